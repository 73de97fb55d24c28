// VELM_RegistryInfo: the user registry involved.
#include "capis/info_common.h"
#include "capis/info_simple.h"

VELM_TRACE_UNIT("registry_info");

namespace {
constexpr const char *kHandle = "registryInfo_Handle";
}

namespace velm {

VELM_RegistryInfo *registryInfo_Create(VELM_AuditClientContext *context, const char *type,
                                       const char *serverLocation, const char *serverLocationType,
                                       const char *serverPort, int convertFlag, VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  if (!infoRequire(context, type, "type", VELM_INFO_SITE, result) ||
      !infoRequire(context, serverLocation, "serverLocation", VELM_INFO_SITE, result) ||
      !infoRequire(context, serverLocationType, "serverLocationType", VELM_INFO_SITE, result) ||
      !infoCheckLocationType(context, serverLocationType, "serverLocationType", VELM_INFO_SITE, result) ||
      !infoRequire(context, serverPort, "serverPort", VELM_INFO_SITE, result))
    return nullptr;
  auto *rec = infoAllocRecord<VELM_RegistryInfo>(context, VELM_INFO_SITE, result);
  if (rec == nullptr) return nullptr;
  const InfoFieldCopier copy{context, convertFlag, VELM_INFO_SITE, result};
  if (copy(type, rec->type, "type") && copy(serverLocation, rec->serverLocation, "serverLocation") &&
      copy(serverLocationType, rec->serverLocationType, "serverLocationType") &&
      copy(serverPort, rec->serverPort, "serverPort"))
    return rec;
  registryInfo_Delete(context, rec, result);
  return nullptr;
}

int registryInfo_Delete(VELM_AuditClientContext *context, VELM_RegistryInfo *registryInfo, VELM_result *) {
  VELM_ENTRY_EXIT(context);
  if (registryInfo == nullptr) return 0;
  for (char **field : {&registryInfo->type, &registryInfo->serverLocation, &registryInfo->serverLocationType,
                       &registryInfo->serverPort})
    infoFreeString(*field);
  releaseHandle(registryInfo);
  return 0;
}

}  // namespace velm

extern "C" {

VELM_RegistryInfo *VELM_RegistryInfo_Create(VELM_AuditClientContext *context, const char *type,
                                            const char *serverLocation, const char *serverLocationType,
                                            const char *serverPort, VELM_result *result) {
  return velm::contextCall(context, result, nullptr, VELM_API_SITE, [&](velm::ApiCall &) {
    return velm::registryInfo_Create(context, type, serverLocation, serverLocationType, serverPort, 1, result);
  });
}

int VELM_RegistryInfo_Delete(VELM_AuditClientContext *context, VELM_RegistryInfo *registryInfo,
                             VELM_result *result) {
  return velm::infoPublicDelete(context, registryInfo, kHandle, velm::registryInfo_Delete, VELM_API_SITE, result);
}

VELM_INFO_STRING_GETTER(RegistryInfo, GetType, type, kHandle)
VELM_INFO_STRING_GETTER(RegistryInfo, GetServerLocation, serverLocation, kHandle)
VELM_INFO_STRING_GETTER(RegistryInfo, GetServerLocationType, serverLocationType, kHandle)
VELM_INFO_STRING_GETTER(RegistryInfo, GetServerPort, serverPort, kHandle)

}  // extern "C"
