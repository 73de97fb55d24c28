// The info-record families with arrays and nested records, and the four
// record arrays.
//
// Each record starts with its family's magic word (api_guard.h).
//
// Field kinds: strings are UTF-8 heap texts owned by the record (null when
// absent); string arrays (char **) are null-terminated heap arrays of heap
// texts, always the record's own copy; attribute arrays (VELM_Attribute **)
// are null-terminated heap arrays of attribute records, owned by the record
// whether they were copied or adopted; the nested target info is owned the
// same way. The XML encoders and the validation read the fields directly.
#pragma once

#include <cstdint>

#include "capis/info_simple.h"
#include "velm.h"

struct VELM_AttributePermissionInfo {
  uint32_t magic;  // the family\'s velm::recordMagic while alive (api_guard.h)
  char **attributeNames;
  char **checked;
  char **granted;
  char **denied;
};

struct VELM_MsgDataElement {
  uint32_t magic;  // the family\'s velm::recordMagic while alive (api_guard.h)
  char *msgId;
  char *msgIdType;
  char *msgCatalogId;
  char **msgCatalogTokens;
  char *msgCatalog;
  char *msgCatalogType;
  char *msgLocale;
};

struct VELM_PermissionInfo {
  uint32_t magic;  // the family\'s velm::recordMagic while alive (api_guard.h)
  char **checked;
  char **granted;
  char **denied;
  char **J2EERolesChecked;
  char **J2EERolesGranted;
};

struct VELM_TargetInfo {
  uint32_t magic;  // the family\'s velm::recordMagic while alive (api_guard.h)
  char **targetNames;
  VELM_Attribute **attributes;
};

struct VELM_MgmtInfo {
  uint32_t magic;  // the family\'s velm::recordMagic while alive (api_guard.h)
  VELM_TargetInfo *targetInfo;
  char *command;
};

struct VELM_PolicyInfo {
  uint32_t magic;  // the family\'s velm::recordMagic while alive (api_guard.h)
  char *name;
  char *branch;
  char *type;
  char *description;
  VELM_Attribute **attributes;
};

struct VELM_RegistryObjectInfo {
  uint32_t magic;  // the family\'s velm::recordMagic while alive (api_guard.h)
  char *name;
  char *registryName;
  char *type;
  char *description;
  VELM_Attribute **attributes;
};

struct VELM_ResourceInfo {
  uint32_t magic;  // the family\'s velm::recordMagic while alive (api_guard.h)
  char *nameInApp;
  char *nameInPolicy;
  char *type;
  VELM_Attribute **attributes;
};

struct VELM_UserInfo {
  uint32_t magic;  // the family\'s velm::recordMagic while alive (api_guard.h)
  char *registryUserName;
  char *appUserName;
  int32_t uniqueId;
  char **callerList;
  char *domain;
  char *realm;
  char *location;
  char *locationType;
  char *sessionId;
  VELM_Attribute **attributes;
};

namespace velm {

// Internal creates. convertFlag 1 converts the caller's texts (and string
// arrays) from the element code set into UTF-8; 0 copies them unchanged.
// copyNested 1 deep-copies an attribute array or target info; 0 adopts the
// caller's pointer, which the new record then owns. A failing create leaves
// everything the caller passed with the caller. Null on failure, with the
// reason in result.
VELM_AttributePermissionInfo *attributePermissionInfo_Create(VELM_AuditClientContext *context,
                                                             char *const *attributeNames,
                                                             char *const *checked, char *const *granted,
                                                             char *const *denied, int convertFlag,
                                                             VELM_result *result);
VELM_MsgDataElement *msgDataElement_Create(VELM_AuditClientContext *context, const char *msgId,
                                           const char *msgIdType, const char *msgCatalogId,
                                           char *const *msgCatalogTokens, const char *msgCatalog,
                                           const char *msgCatalogType, const char *msgLocale, int convertFlag,
                                           VELM_result *result);
VELM_PermissionInfo *permissionInfo_Create(VELM_AuditClientContext *context, char *const *checked,
                                           char *const *granted, char *const *denied,
                                           char *const *J2EERolesChecked, char *const *J2EERolesGranted,
                                           int convertFlag, VELM_result *result);
VELM_TargetInfo *targetInfo_Create(VELM_AuditClientContext *context, char *const *targetNames,
                                   VELM_Attribute **attributes, int copyNested, int convertFlag,
                                   VELM_result *result);
VELM_MgmtInfo *mgmtInfo_Create(VELM_AuditClientContext *context, VELM_TargetInfo *targetInfo,
                               const char *command, int copyNested, int convertFlag, VELM_result *result);
VELM_PolicyInfo *policyInfo_Create(VELM_AuditClientContext *context, const char *name, const char *branch,
                                   const char *type, const char *description, VELM_Attribute **attributes,
                                   int copyNested, int convertFlag, VELM_result *result);
VELM_RegistryObjectInfo *registryObjectInfo_Create(VELM_AuditClientContext *context, const char *name,
                                                   const char *registryName, const char *type,
                                                   const char *description, VELM_Attribute **attributes,
                                                   int copyNested, int convertFlag, VELM_result *result);
VELM_ResourceInfo *resourceInfo_Create(VELM_AuditClientContext *context, const char *nameInApp,
                                       const char *nameInPolicy, const char *type,
                                       VELM_Attribute **attributes, int copyNested, int convertFlag,
                                       VELM_result *result);
VELM_UserInfo *userInfo_Create(VELM_AuditClientContext *context, const char *registryUserName,
                               const char *appUserName, int32_t uniqueId, char *const *callerList,
                               const char *domain, const char *realm, const char *location,
                               const char *locationType, const char *sessionId, VELM_Attribute **attributes,
                               int copyNested, int convertFlag, VELM_result *result);

// Internal deletes: release the record and everything it owns (strings,
// string arrays, attribute arrays, the nested target info). A null record
// gives 0. -1 when releasing a nested part reported -1; the record's memory
// is released in every case.
int attributePermissionInfo_Delete(VELM_AuditClientContext *context, VELM_AttributePermissionInfo *record,
                                   VELM_result *result);
int msgDataElement_Delete(VELM_AuditClientContext *context, VELM_MsgDataElement *record, VELM_result *result);
int permissionInfo_Delete(VELM_AuditClientContext *context, VELM_PermissionInfo *record, VELM_result *result);
int targetInfo_Delete(VELM_AuditClientContext *context, VELM_TargetInfo *record, VELM_result *result);
int mgmtInfo_Delete(VELM_AuditClientContext *context, VELM_MgmtInfo *record, VELM_result *result);
int policyInfo_Delete(VELM_AuditClientContext *context, VELM_PolicyInfo *record, VELM_result *result);
int registryObjectInfo_Delete(VELM_AuditClientContext *context, VELM_RegistryObjectInfo *record,
                              VELM_result *result);
int resourceInfo_Delete(VELM_AuditClientContext *context, VELM_ResourceInfo *record, VELM_result *result);
int userInfo_Delete(VELM_AuditClientContext *context, VELM_UserInfo *record, VELM_result *result);

// Arrays of records (value types 23 to 26): null-terminated heap arrays of
// record pointers. The copies are deep (every record re-created with
// conversion off, so its checks run again); a failed copy records message 1
// after the family's own message and returns null, with nothing left
// allocated. The frees release every entry and then the array; a null array
// gives 0.
VELM_Attribute **copyAttributeArray(VELM_AuditClientContext *context, VELM_Attribute *const *array,
                                    VELM_result *result);
int freeAttributeArray(VELM_AuditClientContext *context, VELM_Attribute **array, VELM_result *result);
VELM_AttributePermissionInfo **copyAttrPermInfoArray(VELM_AuditClientContext *context,
                                                     VELM_AttributePermissionInfo *const *array,
                                                     VELM_result *result);
int freeAttrPermInfoArray(VELM_AuditClientContext *context, VELM_AttributePermissionInfo **array,
                          VELM_result *result);
VELM_MembershipInfo **copyMembershipInfoArray(VELM_AuditClientContext *context,
                                              VELM_MembershipInfo *const *array, VELM_result *result);
int freeMembershipInfoArray(VELM_AuditClientContext *context, VELM_MembershipInfo **array,
                            VELM_result *result);
VELM_PolicyInfo **copyPolicyInfoArray(VELM_AuditClientContext *context, VELM_PolicyInfo *const *array,
                                      VELM_result *result);
int freePolicyInfoArray(VELM_AuditClientContext *context, VELM_PolicyInfo **array, VELM_result *result);

// Releases a record or record-array value (value types 5 to 26) and reports
// the family's result: 0, or -1 when the family's delete reported -1 or the
// type is not a record type. infoRecord_Delete (info.h) is this without the
// result.
int infoRecord_Release(VELM_AuditClientContext *context, int valueType, void *value, VELM_result *result);

}  // namespace velm
