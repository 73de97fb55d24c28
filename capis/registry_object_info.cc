// VELM_RegistryObjectInfo: an object in a user registry, with an optional
// attribute array that the record copies or adopts.
#include <cstdlib>

#include "capis/info_nested_common.h"

VELM_TRACE_UNIT("registry_object_info");

namespace {
constexpr const char *kHandle = "registryObjectInfo_Handle";
}

namespace velm {

VELM_RegistryObjectInfo *registryObjectInfo_Create(VELM_AuditClientContext *context, const char *name,
                                                   const char *registryName, const char *type,
                                                   const char *description, VELM_Attribute **attributes,
                                                   int copyNested, int convertFlag, VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  if (!infoRequire(context, name, "name", VELM_INFO_SITE, result) ||
      !infoRequire(context, type, "type", VELM_INFO_SITE, result))
    return nullptr;
  auto *rec = infoAllocRecord<VELM_RegistryObjectInfo>(context, VELM_INFO_SITE, result);
  if (rec == nullptr) return nullptr;
  InfoFieldCopier copy{context, convertFlag, VELM_INFO_SITE, result};
  if (!copy(name, rec->name, "name") || !copy(registryName, rec->registryName, "registryName") ||
      !copy(type, rec->type, "type") || !copy(description, rec->description, "description") ||
      !infoSetAttributes(context, attributes, copyNested, &rec->attributes, result)) {
    registryObjectInfo_Delete(context, rec, result);
    return nullptr;
  }
  return rec;
}

int registryObjectInfo_Delete(VELM_AuditClientContext *context, VELM_RegistryObjectInfo *record,
                              VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  if (record == nullptr) return 0;
  int rc = 0;
  infoFreeString(record->name);
  infoFreeString(record->registryName);
  infoFreeString(record->type);
  infoFreeString(record->description);
  infoReleaseAttributes(context, record->attributes, rc, result);
  releaseHandle(record);
  return rc;
}

}  // namespace velm

using namespace velm;

VELM_RegistryObjectInfo *VELM_RegistryObjectInfo_Create(VELM_AuditClientContext *context, const char *name,
                                                        const char *registryName, const char *type,
                                                        const char *description, VELM_Attribute **attributes,
                                                        int copyFlag, VELM_result *result) {
  return contextCall(context, result, nullptr, VELM_API_SITE, [&](ApiCall &) {
    return registryObjectInfo_Create(context, name, registryName, type, description, attributes, copyFlag != 0,
                                     1, result);
  });
}

int VELM_RegistryObjectInfo_Delete(VELM_AuditClientContext *context,
                                   VELM_RegistryObjectInfo *registryObjectInfo, VELM_result *result) {
  return infoPublicDelete(context, registryObjectInfo, kHandle, &registryObjectInfo_Delete, VELM_API_SITE,
                          result);
}

char *VELM_RegistryObjectInfo_GetName(VELM_AuditClientContext *context,
                                      const VELM_RegistryObjectInfo *registryObjectInfo,
                                      VELM_result *result) {
  return infoStringGetter(context, registryObjectInfo, &VELM_RegistryObjectInfo::name, kHandle,
                          VELM_API_SITE, result);
}

char *VELM_RegistryObjectInfo_GetRegistryName(VELM_AuditClientContext *context,
                                              const VELM_RegistryObjectInfo *registryObjectInfo,
                                              VELM_result *result) {
  return infoStringGetter(context, registryObjectInfo, &VELM_RegistryObjectInfo::registryName, kHandle,
                          VELM_API_SITE, result);
}

char *VELM_RegistryObjectInfo_GetType(VELM_AuditClientContext *context,
                                      const VELM_RegistryObjectInfo *registryObjectInfo,
                                      VELM_result *result) {
  return infoStringGetter(context, registryObjectInfo, &VELM_RegistryObjectInfo::type, kHandle,
                          VELM_API_SITE, result);
}

char *VELM_RegistryObjectInfo_GetDescription(VELM_AuditClientContext *context,
                                             const VELM_RegistryObjectInfo *registryObjectInfo,
                                             VELM_result *result) {
  return infoStringGetter(context, registryObjectInfo, &VELM_RegistryObjectInfo::description, kHandle,
                          VELM_API_SITE, result);
}

VELM_Attribute **VELM_RegistryObjectInfo_GetAttributes(VELM_AuditClientContext *context,
                                                       const VELM_RegistryObjectInfo *registryObjectInfo,
                                                       VELM_result *result) {
  return infoPointerGetter(context, registryObjectInfo, &VELM_RegistryObjectInfo::attributes, kHandle,
                           VELM_API_SITE, result);
}
