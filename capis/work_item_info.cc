// VELM_WorkItemInfo: a workflow item.
#include "capis/info_common.h"
#include "capis/info_simple.h"

VELM_TRACE_UNIT("work_item_info");

namespace {
constexpr const char *kHandle = "workItemInfo_Handle";
}

namespace velm {

VELM_WorkItemInfo *workItemInfo_Create(VELM_AuditClientContext *context, const char *id, const char *type,
                                       int convertFlag, VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  if (!infoRequire(context, id, "id", VELM_INFO_SITE, result) ||
      !infoRequire(context, type, "type", VELM_INFO_SITE, result))
    return nullptr;
  auto *rec = infoAllocRecord<VELM_WorkItemInfo>(context, VELM_INFO_SITE, result);
  if (rec == nullptr) return nullptr;
  const InfoFieldCopier copy{context, convertFlag, VELM_INFO_SITE, result};
  if (copy(id, rec->id, "id") && copy(type, rec->type, "type")) return rec;
  workItemInfo_Delete(context, rec, result);
  return nullptr;
}

int workItemInfo_Delete(VELM_AuditClientContext *context, VELM_WorkItemInfo *workItemInfo, VELM_result *) {
  VELM_ENTRY_EXIT(context);
  if (workItemInfo == nullptr) return 0;
  infoFreeString(workItemInfo->id);
  infoFreeString(workItemInfo->type);
  releaseHandle(workItemInfo);
  return 0;
}

}  // namespace velm

extern "C" {

VELM_WorkItemInfo *VELM_WorkItemInfo_Create(VELM_AuditClientContext *context, const char *id, const char *type,
                                            VELM_result *result) {
  return velm::contextCall(context, result, nullptr, VELM_API_SITE, [&](velm::ApiCall &) {
    return velm::workItemInfo_Create(context, id, type, 1, result);
  });
}

int VELM_WorkItemInfo_Delete(VELM_AuditClientContext *context, VELM_WorkItemInfo *workItemInfo,
                             VELM_result *result) {
  return velm::infoPublicDelete(context, workItemInfo, kHandle, velm::workItemInfo_Delete, VELM_API_SITE, result);
}

VELM_INFO_STRING_GETTER(WorkItemInfo, GetId, id, kHandle)
VELM_INFO_STRING_GETTER(WorkItemInfo, GetType, type, kHandle)

}  // extern "C"
