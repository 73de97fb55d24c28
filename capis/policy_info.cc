// VELM_PolicyInfo: a policy, with an optional attribute array that the
// record copies or adopts.
#include <cstdlib>

#include "capis/info_nested_common.h"

VELM_TRACE_UNIT("policy_info");

namespace {
constexpr const char *kHandle = "policyInfo_Handle";
}

namespace velm {

VELM_PolicyInfo *policyInfo_Create(VELM_AuditClientContext *context, const char *name, const char *branch,
                                   const char *type, const char *description, VELM_Attribute **attributes,
                                   int copyNested, int convertFlag, VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  if (!infoRequire(context, name, "name", VELM_INFO_SITE, result) ||
      !infoRequire(context, type, "type", VELM_INFO_SITE, result))
    return nullptr;
  auto *rec = infoAllocRecord<VELM_PolicyInfo>(context, VELM_INFO_SITE, result);
  if (rec == nullptr) return nullptr;
  InfoFieldCopier copy{context, convertFlag, VELM_INFO_SITE, result};
  if (!copy(name, rec->name, "name") || !copy(branch, rec->branch, "branch") ||
      !copy(type, rec->type, "type") || !copy(description, rec->description, "description") ||
      !infoSetAttributes(context, attributes, copyNested, &rec->attributes, result)) {
    policyInfo_Delete(context, rec, result);
    return nullptr;
  }
  return rec;
}

int policyInfo_Delete(VELM_AuditClientContext *context, VELM_PolicyInfo *record, VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  if (record == nullptr) return 0;
  int rc = 0;
  infoFreeString(record->name);
  infoFreeString(record->branch);
  infoFreeString(record->type);
  infoFreeString(record->description);
  infoReleaseAttributes(context, record->attributes, rc, result);
  releaseHandle(record);
  return rc;
}

}  // namespace velm

using namespace velm;

VELM_PolicyInfo *VELM_PolicyInfo_Create(VELM_AuditClientContext *context, const char *name,
                                        const char *branch, const char *type, const char *description,
                                        VELM_Attribute **attributes, int copyFlag, VELM_result *result) {
  return contextCall(context, result, nullptr, VELM_API_SITE, [&](ApiCall &) {
    return policyInfo_Create(context, name, branch, type, description, attributes, copyFlag != 0, 1, result);
  });
}

int VELM_PolicyInfo_Delete(VELM_AuditClientContext *context, VELM_PolicyInfo *policyInfo,
                           VELM_result *result) {
  return infoPublicDelete(context, policyInfo, kHandle, &policyInfo_Delete, VELM_API_SITE, result);
}

char *VELM_PolicyInfo_GetName(VELM_AuditClientContext *context, const VELM_PolicyInfo *policyInfo,
                              VELM_result *result) {
  return infoStringGetter(context, policyInfo, &VELM_PolicyInfo::name, kHandle, VELM_API_SITE, result);
}

char *VELM_PolicyInfo_GetBranch(VELM_AuditClientContext *context, const VELM_PolicyInfo *policyInfo,
                                VELM_result *result) {
  return infoStringGetter(context, policyInfo, &VELM_PolicyInfo::branch, kHandle, VELM_API_SITE, result);
}

char *VELM_PolicyInfo_GetType(VELM_AuditClientContext *context, const VELM_PolicyInfo *policyInfo,
                              VELM_result *result) {
  return infoStringGetter(context, policyInfo, &VELM_PolicyInfo::type, kHandle, VELM_API_SITE, result);
}

char *VELM_PolicyInfo_GetDescription(VELM_AuditClientContext *context, const VELM_PolicyInfo *policyInfo,
                                     VELM_result *result) {
  return infoStringGetter(context, policyInfo, &VELM_PolicyInfo::description, kHandle, VELM_API_SITE,
                          result);
}

VELM_Attribute **VELM_PolicyInfo_GetAttributes(VELM_AuditClientContext *context,
                                               const VELM_PolicyInfo *policyInfo, VELM_result *result) {
  return infoPointerGetter(context, policyInfo, &VELM_PolicyInfo::attributes, kHandle, VELM_API_SITE,
                           result);
}
