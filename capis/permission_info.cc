// VELM_PermissionInfo: permissions checked and granted, five string arrays.
#include <cstdlib>

#include "capis/info_nested_common.h"

VELM_TRACE_UNIT("permission_info");

namespace {
// The getters and the delete name a null record differently; callers match
// on these texts, so both stay as they are.
constexpr const char *kHandle = "permInfo_Handle";
constexpr const char *kDeleteHandle = "permissionInfo_Handle";
}  // namespace

namespace velm {

VELM_PermissionInfo *permissionInfo_Create(VELM_AuditClientContext *context, char *const *checked,
                                           char *const *granted, char *const *denied,
                                           char *const *J2EERolesChecked, char *const *J2EERolesGranted,
                                           int convertFlag, VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  if (!infoRequire(context, checked, "checked", VELM_INFO_SITE, result)) return nullptr;
  auto *rec = infoAllocRecord<VELM_PermissionInfo>(context, VELM_INFO_SITE, result);
  if (rec == nullptr) return nullptr;
  auto copyArray = [&](char *const *array, char **&field, const char *name) {
    return infoCopyStringArray(context, array, convertFlag, &field, VELM_INFO_SITE, result, name);
  };
  if (!copyArray(checked, rec->checked, "checked") || !copyArray(granted, rec->granted, "granted") ||
      !copyArray(denied, rec->denied, "denied") ||
      !copyArray(J2EERolesChecked, rec->J2EERolesChecked, "J2EERolesChecked") ||
      !copyArray(J2EERolesGranted, rec->J2EERolesGranted, "J2EERolesGranted")) {
    permissionInfo_Delete(context, rec, result);
    return nullptr;
  }
  return rec;
}

int permissionInfo_Delete(VELM_AuditClientContext *context, VELM_PermissionInfo *record,
                          VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  if (record == nullptr) return 0;
  int rc = 0;
  infoReleaseStringArray(context, record->checked, rc, result);
  infoReleaseStringArray(context, record->granted, rc, result);
  infoReleaseStringArray(context, record->denied, rc, result);
  infoReleaseStringArray(context, record->J2EERolesChecked, rc, result);
  infoReleaseStringArray(context, record->J2EERolesGranted, rc, result);
  releaseHandle(record);
  return rc;
}

}  // namespace velm

using namespace velm;

VELM_PermissionInfo *VELM_PermissionInfo_Create(VELM_AuditClientContext *context, char *const *checked,
                                                char *const *granted, char *const *denied,
                                                char *const *J2EERolesChecked, char *const *J2EERolesGranted,
                                                VELM_result *result) {
  return contextCall(context, result, nullptr, VELM_API_SITE, [&](ApiCall &) {
    return permissionInfo_Create(context, checked, granted, denied, J2EERolesChecked, J2EERolesGranted, 1,
                                 result);
  });
}

int VELM_PermissionInfo_Delete(VELM_AuditClientContext *context, VELM_PermissionInfo *permInfo,
                               VELM_result *result) {
  return infoPublicDelete(context, permInfo, kDeleteHandle, &permissionInfo_Delete, VELM_API_SITE, result);
}

char **VELM_PermissionInfo_GetChecked(VELM_AuditClientContext *context, const VELM_PermissionInfo *permInfo,
                                      VELM_result *result) {
  return infoStringArrayGetter(context, permInfo, &VELM_PermissionInfo::checked, kHandle, VELM_API_SITE,
                               result);
}

char **VELM_PermissionInfo_GetGranted(VELM_AuditClientContext *context, const VELM_PermissionInfo *permInfo,
                                      VELM_result *result) {
  return infoStringArrayGetter(context, permInfo, &VELM_PermissionInfo::granted, kHandle, VELM_API_SITE,
                               result);
}

char **VELM_PermissionInfo_GetDenied(VELM_AuditClientContext *context, const VELM_PermissionInfo *permInfo,
                                     VELM_result *result) {
  return infoStringArrayGetter(context, permInfo, &VELM_PermissionInfo::denied, kHandle, VELM_API_SITE,
                               result);
}

char **VELM_PermissionInfo_GetJ2EERolesChecked(VELM_AuditClientContext *context,
                                               const VELM_PermissionInfo *permInfo, VELM_result *result) {
  return infoStringArrayGetter(context, permInfo, &VELM_PermissionInfo::J2EERolesChecked, kHandle,
                               VELM_API_SITE, result);
}

char **VELM_PermissionInfo_GetJ2EERolesGranted(VELM_AuditClientContext *context,
                                               const VELM_PermissionInfo *permInfo, VELM_result *result) {
  return infoStringArrayGetter(context, permInfo, &VELM_PermissionInfo::J2EERolesGranted, kHandle,
                               VELM_API_SITE, result);
}
