// VELM_MgmtInfo: a management command and the nested target info it acts
// on, which the record copies or adopts.
#include <cstdlib>

#include "capis/info_nested_common.h"

VELM_TRACE_UNIT("mgmt_info");

namespace {
constexpr const char *kHandle = "mgmtInfo_Handle";
}

namespace velm {

VELM_MgmtInfo *mgmtInfo_Create(VELM_AuditClientContext *context, VELM_TargetInfo *targetInfo,
                               const char *command, int copyNested, int convertFlag, VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  auto *rec = infoAllocRecord<VELM_MgmtInfo>(context, VELM_INFO_SITE, result);
  if (rec == nullptr) return nullptr;
  // The command goes in before the target info, so that a failure can never
  // release a target info the record would have adopted.
  InfoFieldCopier copy{context, convertFlag, VELM_INFO_SITE, result};
  if (!copy(command, rec->command, "command")) {
    mgmtInfo_Delete(context, rec, result);
    return nullptr;
  }
  if (targetInfo != nullptr) {
    if (copyNested == 0) {
      rec->targetInfo = targetInfo;
    } else {
      // A copy runs the target info's checks again.
      rec->targetInfo =
          targetInfo_Create(context, targetInfo->targetNames, targetInfo->attributes, 1, 0, result);
      if (rec->targetInfo == nullptr) {
        mgmtInfo_Delete(context, rec, result);
        return nullptr;
      }
    }
  }
  return rec;
}

int mgmtInfo_Delete(VELM_AuditClientContext *context, VELM_MgmtInfo *record, VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  if (record == nullptr) return 0;
  int rc = 0;
  if (record->targetInfo != nullptr && targetInfo_Delete(context, record->targetInfo, result) != 0) rc = -1;
  infoFreeString(record->command);
  releaseHandle(record);
  return rc;
}

}  // namespace velm

using namespace velm;

VELM_MgmtInfo *VELM_MgmtInfo_Create(VELM_AuditClientContext *context, VELM_TargetInfo *targetInfo,
                                    const char *command, int copyFlag, VELM_result *result) {
  return contextCall(context, result, nullptr, VELM_API_SITE, [&](ApiCall &) {
    return mgmtInfo_Create(context, targetInfo, command, copyFlag != 0, 1, result);
  });
}

int VELM_MgmtInfo_Delete(VELM_AuditClientContext *context, VELM_MgmtInfo *mgmtInfo, VELM_result *result) {
  return infoPublicDelete(context, mgmtInfo, kHandle, &mgmtInfo_Delete, VELM_API_SITE, result);
}

VELM_TargetInfo *VELM_MgmtInfo_GetTargetInfo(VELM_AuditClientContext *context, const VELM_MgmtInfo *mgmtInfo,
                                             VELM_result *result) {
  return infoPointerGetter(context, mgmtInfo, &VELM_MgmtInfo::targetInfo, kHandle, VELM_API_SITE, result);
}

char *VELM_MgmtInfo_GetCommand(VELM_AuditClientContext *context, const VELM_MgmtInfo *mgmtInfo,
                               VELM_result *result) {
  return infoStringGetter(context, mgmtInfo, &VELM_MgmtInfo::command, kHandle, VELM_API_SITE, result);
}
