// VELM_TargetInfo: the targets of a management action, with an optional
// attribute array that the record copies or adopts.
#include <cstdlib>

#include "capis/info_nested_common.h"

VELM_TRACE_UNIT("target_info");

namespace {
constexpr const char *kHandle = "targetInfo_Handle";
}

namespace velm {

VELM_TargetInfo *targetInfo_Create(VELM_AuditClientContext *context, char *const *targetNames,
                                   VELM_Attribute **attributes, int copyNested, int convertFlag,
                                   VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  if (!infoRequire(context, targetNames, "targetNames", VELM_INFO_SITE, result)) return nullptr;
  auto *rec = infoAllocRecord<VELM_TargetInfo>(context, VELM_INFO_SITE, result);
  if (rec == nullptr) return nullptr;
  if (!infoCopyStringArray(context, targetNames, convertFlag, &rec->targetNames, VELM_INFO_SITE, result,
                           "targetNames") ||
      !infoSetAttributes(context, attributes, copyNested, &rec->attributes, result)) {
    targetInfo_Delete(context, rec, result);
    return nullptr;
  }
  return rec;
}

int targetInfo_Delete(VELM_AuditClientContext *context, VELM_TargetInfo *record, VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  if (record == nullptr) return 0;
  int rc = 0;
  infoReleaseStringArray(context, record->targetNames, rc, result);
  infoReleaseAttributes(context, record->attributes, rc, result);
  releaseHandle(record);
  return rc;
}

}  // namespace velm

using namespace velm;

VELM_TargetInfo *VELM_TargetInfo_Create(VELM_AuditClientContext *context, char *const *targetNames,
                                        VELM_Attribute **attributes, int copyFlag, VELM_result *result) {
  return contextCall(context, result, nullptr, VELM_API_SITE, [&](ApiCall &) {
    return targetInfo_Create(context, targetNames, attributes, copyFlag != 0, 1, result);
  });
}

int VELM_TargetInfo_Delete(VELM_AuditClientContext *context, VELM_TargetInfo *targetInfo,
                           VELM_result *result) {
  return infoPublicDelete(context, targetInfo, kHandle, &targetInfo_Delete, VELM_API_SITE, result);
}

char **VELM_TargetInfo_GetTargetNames(VELM_AuditClientContext *context, const VELM_TargetInfo *targetInfo,
                                      VELM_result *result) {
  return infoStringArrayGetter(context, targetInfo, &VELM_TargetInfo::targetNames, kHandle, VELM_API_SITE,
                               result);
}

VELM_Attribute **VELM_TargetInfo_GetAttributes(VELM_AuditClientContext *context,
                                               const VELM_TargetInfo *targetInfo, VELM_result *result) {
  return infoPointerGetter(context, targetInfo, &VELM_TargetInfo::attributes, kHandle, VELM_API_SITE,
                           result);
}
