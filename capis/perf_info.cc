// VELM_PerfInfo: a performance statistic.
#include "capis/info_common.h"
#include "capis/info_simple.h"

VELM_TRACE_UNIT("perf_info");

namespace {
constexpr const char *kHandle = "perfInfo_Handle";
}

namespace velm {

VELM_PerfInfo *perfInfo_Create(VELM_AuditClientContext *context, const char *name, const char *description,
                               int32_t numDataPoints, const char *unit, int64_t maxValue, int64_t minValue,
                               int64_t value, const char *aggregate, int convertFlag, VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  if (!infoRequire(context, name, "name", VELM_INFO_SITE, result) ||
      !infoRequire(context, description, "description", VELM_INFO_SITE, result) ||
      !infoRequire(context, unit, "unit", VELM_INFO_SITE, result) ||
      !infoRequire(context, aggregate, "aggregate", VELM_INFO_SITE, result))
    return nullptr;
  auto *rec = infoAllocRecord<VELM_PerfInfo>(context, VELM_INFO_SITE, result);
  if (rec == nullptr) return nullptr;
  const InfoFieldCopier copy{context, convertFlag, VELM_INFO_SITE, result};
  rec->numDataPoints = numDataPoints;
  rec->maxValue = maxValue;
  rec->minValue = minValue;
  rec->value = value;
  if (copy(name, rec->name, "name") && copy(description, rec->description, "description") &&
      copy(unit, rec->unit, "unit") && copy(aggregate, rec->aggregate, "aggregate"))
    return rec;
  perfInfo_Delete(context, rec, result);
  return nullptr;
}

int perfInfo_Delete(VELM_AuditClientContext *context, VELM_PerfInfo *perfInfo, VELM_result *) {
  VELM_ENTRY_EXIT(context);
  if (perfInfo == nullptr) return 0;
  for (char **field : {&perfInfo->name, &perfInfo->description, &perfInfo->unit, &perfInfo->aggregate})
    infoFreeString(*field);
  releaseHandle(perfInfo);
  return 0;
}

}  // namespace velm

extern "C" {

VELM_PerfInfo *VELM_PerfInfo_Create(VELM_AuditClientContext *context, const char *name, const char *description,
                                    int32_t numDataPoints, const char *unit, int64_t maxValue, int64_t minValue,
                                    int64_t value, const char *aggregate, VELM_result *result) {
  return velm::contextCall(context, result, nullptr, VELM_API_SITE, [&](velm::ApiCall &) {
    return velm::perfInfo_Create(context, name, description, numDataPoints, unit, maxValue, minValue, value,
                                 aggregate, 1, result);
  });
}

int VELM_PerfInfo_Delete(VELM_AuditClientContext *context, VELM_PerfInfo *perfInfo, VELM_result *result) {
  return velm::infoPublicDelete(context, perfInfo, kHandle, velm::perfInfo_Delete, VELM_API_SITE, result);
}

VELM_INFO_STRING_GETTER(PerfInfo, GetName, name, kHandle)
VELM_INFO_STRING_GETTER(PerfInfo, GetDescription, description, kHandle)
VELM_INFO_INT_GETTER(PerfInfo, GetNumDataPoints, int32_t, numDataPoints, kHandle)
VELM_INFO_STRING_GETTER(PerfInfo, GetUnit, unit, kHandle)
VELM_INFO_INT_GETTER(PerfInfo, GetMaxValue, int64_t, maxValue, kHandle)
VELM_INFO_INT_GETTER(PerfInfo, GetMinValue, int64_t, minValue, kHandle)
VELM_INFO_INT_GETTER(PerfInfo, GetValue, int64_t, value, kHandle)
VELM_INFO_STRING_GETTER(PerfInfo, GetAggregate, aggregate, kHandle)

}  // extern "C"
