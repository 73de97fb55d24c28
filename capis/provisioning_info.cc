// VELM_ProvisioningInfo: an account provisioned on a resource.
#include "capis/info_common.h"
#include "capis/info_simple.h"

VELM_TRACE_UNIT("provisioning_info");

namespace {
constexpr const char *kHandle = "provisioningInfo_Handle";
// The name the delete has always reported; kept as applications see it.
constexpr const char *kDeleteHandle = "provsioningInfo_Handle";
}  // namespace

namespace velm {

VELM_ProvisioningInfo *provisioningInfo_Create(VELM_AuditClientContext *context, const char *accountId,
                                               const char *resourceId, const char *resourceType,
                                               int convertFlag, VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  if (!infoRequire(context, resourceId, "resourceId", VELM_INFO_SITE, result)) return nullptr;
  auto *rec = infoAllocRecord<VELM_ProvisioningInfo>(context, VELM_INFO_SITE, result);
  if (rec == nullptr) return nullptr;
  const InfoFieldCopier copy{context, convertFlag, VELM_INFO_SITE, result};
  if (copy(accountId, rec->accountId, "accountId") && copy(resourceId, rec->resourceId, "resourceId") &&
      copy(resourceType, rec->resourceType, "resourceType"))
    return rec;
  provisioningInfo_Delete(context, rec, result);
  return nullptr;
}

int provisioningInfo_Delete(VELM_AuditClientContext *context, VELM_ProvisioningInfo *provisioningInfo,
                            VELM_result *) {
  VELM_ENTRY_EXIT(context);
  if (provisioningInfo == nullptr) return 0;
  for (char **field : {&provisioningInfo->accountId, &provisioningInfo->resourceId, &provisioningInfo->resourceType})
    infoFreeString(*field);
  releaseHandle(provisioningInfo);
  return 0;
}

}  // namespace velm

extern "C" {

VELM_ProvisioningInfo *VELM_ProvisioningInfo_Create(VELM_AuditClientContext *context, const char *accountId,
                                                    const char *resourceId, const char *resourceType,
                                                    VELM_result *result) {
  return velm::contextCall(context, result, nullptr, VELM_API_SITE, [&](velm::ApiCall &) {
    return velm::provisioningInfo_Create(context, accountId, resourceId, resourceType, 1, result);
  });
}

int VELM_ProvisioningInfo_Delete(VELM_AuditClientContext *context, VELM_ProvisioningInfo *provisioningInfo,
                                 VELM_result *result) {
  return velm::infoPublicDelete(context, provisioningInfo, kDeleteHandle, velm::provisioningInfo_Delete,
                                VELM_API_SITE, result);
}

VELM_INFO_STRING_GETTER(ProvisioningInfo, GetAccountId, accountId, kHandle)
VELM_INFO_STRING_GETTER(ProvisioningInfo, GetResourceId, resourceId, kHandle)
VELM_INFO_STRING_GETTER(ProvisioningInfo, GetResourceType, resourceType, kHandle)

}  // extern "C"
