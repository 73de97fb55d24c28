// VELM_UserInfo: the user who acted, with an optional caller list and an
// optional attribute array that the record copies or adopts.
#include <cstdlib>

#include "capis/info_nested_common.h"

VELM_TRACE_UNIT("user_info");

namespace {
constexpr const char *kHandle = "userInfo_Handle";
}

namespace velm {

VELM_UserInfo *userInfo_Create(VELM_AuditClientContext *context, const char *registryUserName,
                               const char *appUserName, int32_t uniqueId, char *const *callerList,
                               const char *domain, const char *realm, const char *location,
                               const char *locationType, const char *sessionId, VELM_Attribute **attributes,
                               int copyNested, int convertFlag, VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  if (!infoRequire(context, registryUserName, "registryUserName", VELM_INFO_SITE, result) ||
      !infoRequire(context, appUserName, "appUserName", VELM_INFO_SITE, result))
    return nullptr;
  // The location type is optional, but when given it must be a known one
  // (checked on the text as given, before conversion).
  if (locationType != nullptr &&
      !infoCheckLocationType(context, locationType, "locationType", VELM_INFO_SITE, result))
    return nullptr;
  auto *rec = infoAllocRecord<VELM_UserInfo>(context, VELM_INFO_SITE, result);
  if (rec == nullptr) return nullptr;
  InfoFieldCopier copy{context, convertFlag, VELM_INFO_SITE, result};
  rec->uniqueId = uniqueId;
  if (!copy(registryUserName, rec->registryUserName, "registryUserName") ||
      !copy(appUserName, rec->appUserName, "appUserName") ||
      !infoCopyStringArray(context, callerList, convertFlag, &rec->callerList, VELM_INFO_SITE, result,
                           "callerList") ||
      !copy(domain, rec->domain, "domain") || !copy(realm, rec->realm, "realm") ||
      !copy(location, rec->location, "location") || !copy(locationType, rec->locationType, "locationType") ||
      !copy(sessionId, rec->sessionId, "sessionId") ||
      !infoSetAttributes(context, attributes, copyNested, &rec->attributes, result)) {
    userInfo_Delete(context, rec, result);
    return nullptr;
  }
  return rec;
}

int userInfo_Delete(VELM_AuditClientContext *context, VELM_UserInfo *record, VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  if (record == nullptr) return 0;
  int rc = 0;
  infoFreeString(record->registryUserName);
  infoFreeString(record->appUserName);
  infoReleaseStringArray(context, record->callerList, rc, result);
  infoFreeString(record->domain);
  infoFreeString(record->realm);
  infoFreeString(record->location);
  infoFreeString(record->locationType);
  infoFreeString(record->sessionId);
  infoReleaseAttributes(context, record->attributes, rc, result);
  releaseHandle(record);
  return rc;
}

}  // namespace velm

using namespace velm;

VELM_UserInfo *VELM_UserInfo_Create(VELM_AuditClientContext *context, const char *registryUserName,
                                    const char *appUserName, int32_t uniqueId, char *const *callerList,
                                    const char *domain, const char *realm, const char *location,
                                    const char *locationType, const char *sessionId,
                                    VELM_Attribute **attributes, int copyFlag, VELM_result *result) {
  return contextCall(context, result, nullptr, VELM_API_SITE, [&](ApiCall &) {
    return userInfo_Create(context, registryUserName, appUserName, uniqueId, callerList, domain, realm,
                           location, locationType, sessionId, attributes, copyFlag != 0, 1, result);
  });
}

int VELM_UserInfo_Delete(VELM_AuditClientContext *context, VELM_UserInfo *userInfo, VELM_result *result) {
  return infoPublicDelete(context, userInfo, kHandle, &userInfo_Delete, VELM_API_SITE, result);
}

char *VELM_UserInfo_GetRegistryUserName(VELM_AuditClientContext *context, const VELM_UserInfo *userInfo,
                                        VELM_result *result) {
  return infoStringGetter(context, userInfo, &VELM_UserInfo::registryUserName, kHandle, VELM_API_SITE,
                          result);
}

char *VELM_UserInfo_GetAppUserName(VELM_AuditClientContext *context, const VELM_UserInfo *userInfo,
                                   VELM_result *result) {
  return infoStringGetter(context, userInfo, &VELM_UserInfo::appUserName, kHandle, VELM_API_SITE, result);
}

int32_t VELM_UserInfo_GetUniqueId(VELM_AuditClientContext *context, const VELM_UserInfo *userInfo,
                                  VELM_result *result) {
  return infoIntGetter(context, userInfo, &VELM_UserInfo::uniqueId, kHandle, VELM_API_SITE, result);
}

char **VELM_UserInfo_GetCallerList(VELM_AuditClientContext *context, const VELM_UserInfo *userInfo,
                                   VELM_result *result) {
  return infoStringArrayGetter(context, userInfo, &VELM_UserInfo::callerList, kHandle, VELM_API_SITE,
                               result);
}

char *VELM_UserInfo_GetDomain(VELM_AuditClientContext *context, const VELM_UserInfo *userInfo,
                              VELM_result *result) {
  return infoStringGetter(context, userInfo, &VELM_UserInfo::domain, kHandle, VELM_API_SITE, result);
}

char *VELM_UserInfo_GetRealm(VELM_AuditClientContext *context, const VELM_UserInfo *userInfo,
                             VELM_result *result) {
  return infoStringGetter(context, userInfo, &VELM_UserInfo::realm, kHandle, VELM_API_SITE, result);
}

char *VELM_UserInfo_GetLocation(VELM_AuditClientContext *context, const VELM_UserInfo *userInfo,
                                VELM_result *result) {
  return infoStringGetter(context, userInfo, &VELM_UserInfo::location, kHandle, VELM_API_SITE, result);
}

char *VELM_UserInfo_GetLocationType(VELM_AuditClientContext *context, const VELM_UserInfo *userInfo,
                                    VELM_result *result) {
  return infoStringGetter(context, userInfo, &VELM_UserInfo::locationType, kHandle, VELM_API_SITE, result);
}

char *VELM_UserInfo_GetSessionId(VELM_AuditClientContext *context, const VELM_UserInfo *userInfo,
                                 VELM_result *result) {
  return infoStringGetter(context, userInfo, &VELM_UserInfo::sessionId, kHandle, VELM_API_SITE, result);
}

VELM_Attribute **VELM_UserInfo_GetAttributes(VELM_AuditClientContext *context, const VELM_UserInfo *userInfo,
                                             VELM_result *result) {
  return infoPointerGetter(context, userInfo, &VELM_UserInfo::attributes, kHandle, VELM_API_SITE, result);
}
