// VELM_AttributePermissionInfo: permissions on attributes, four string arrays.
#include <cstdlib>

#include "capis/info_nested_common.h"

VELM_TRACE_UNIT("attribute_permission_info");

namespace {
constexpr const char *kHandle = "attributePermissionInfo_Handle";
}

namespace velm {

VELM_AttributePermissionInfo *attributePermissionInfo_Create(VELM_AuditClientContext *context,
                                                             char *const *attributeNames,
                                                             char *const *checked, char *const *granted,
                                                             char *const *denied, int convertFlag,
                                                             VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  if (!infoRequire(context, attributeNames, "attributeNames", VELM_INFO_SITE, result) ||
      !infoRequire(context, checked, "checked", VELM_INFO_SITE, result))
    return nullptr;
  auto *rec = infoAllocRecord<VELM_AttributePermissionInfo>(context, VELM_INFO_SITE, result);
  if (rec == nullptr) return nullptr;
  auto copyArray = [&](char *const *array, char **&field, const char *name) {
    return infoCopyStringArray(context, array, convertFlag, &field, VELM_INFO_SITE, result, name);
  };
  if (!copyArray(attributeNames, rec->attributeNames, "attributeNames") ||
      !copyArray(checked, rec->checked, "checked") || !copyArray(granted, rec->granted, "granted") ||
      !copyArray(denied, rec->denied, "denied")) {
    attributePermissionInfo_Delete(context, rec, result);
    return nullptr;
  }
  return rec;
}

int attributePermissionInfo_Delete(VELM_AuditClientContext *context, VELM_AttributePermissionInfo *record,
                                   VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  if (record == nullptr) return 0;
  int rc = 0;
  infoReleaseStringArray(context, record->attributeNames, rc, result);
  infoReleaseStringArray(context, record->checked, rc, result);
  infoReleaseStringArray(context, record->granted, rc, result);
  infoReleaseStringArray(context, record->denied, rc, result);
  releaseHandle(record);
  return rc;
}

}  // namespace velm

using namespace velm;

VELM_AttributePermissionInfo *VELM_AttributePermissionInfo_Create(VELM_AuditClientContext *context,
                                                                  char *const *attributeNames,
                                                                  char *const *checked, char *const *granted,
                                                                  char *const *denied, VELM_result *result) {
  return contextCall(context, result, nullptr, VELM_API_SITE, [&](ApiCall &) {
    return attributePermissionInfo_Create(context, attributeNames, checked, granted, denied, 1, result);
  });
}

int VELM_AttributePermissionInfo_Delete(VELM_AuditClientContext *context,
                                        VELM_AttributePermissionInfo *attrPermInfo, VELM_result *result) {
  return infoPublicDelete(context, attrPermInfo, kHandle, &attributePermissionInfo_Delete, VELM_API_SITE,
                          result);
}

char **VELM_AttributePermissionInfo_GetAttributeNames(VELM_AuditClientContext *context,
                                                      const VELM_AttributePermissionInfo *attrPermInfo,
                                                      VELM_result *result) {
  return infoStringArrayGetter(context, attrPermInfo, &VELM_AttributePermissionInfo::attributeNames, kHandle,
                               VELM_API_SITE, result);
}

char **VELM_AttributePermissionInfo_GetChecked(VELM_AuditClientContext *context,
                                               const VELM_AttributePermissionInfo *attrPermInfo,
                                               VELM_result *result) {
  return infoStringArrayGetter(context, attrPermInfo, &VELM_AttributePermissionInfo::checked, kHandle,
                               VELM_API_SITE, result);
}

char **VELM_AttributePermissionInfo_GetGranted(VELM_AuditClientContext *context,
                                               const VELM_AttributePermissionInfo *attrPermInfo,
                                               VELM_result *result) {
  return infoStringArrayGetter(context, attrPermInfo, &VELM_AttributePermissionInfo::granted, kHandle,
                               VELM_API_SITE, result);
}

char **VELM_AttributePermissionInfo_GetDenied(VELM_AuditClientContext *context,
                                              const VELM_AttributePermissionInfo *attrPermInfo,
                                              VELM_result *result) {
  return infoStringArrayGetter(context, attrPermInfo, &VELM_AttributePermissionInfo::denied, kHandle,
                               VELM_API_SITE, result);
}
