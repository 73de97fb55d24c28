// VELM_MembershipInfo: a group or role membership.
#include "capis/info_common.h"
#include "capis/info_simple.h"

VELM_TRACE_UNIT("membership_info");

namespace {
constexpr const char *kHandle = "membershipInfo_Handle";
// The name the delete has always reported; kept as applications see it.
constexpr const char *kDeleteHandle = "membershipInfo__Handle";
}  // namespace

namespace velm {

VELM_MembershipInfo *membershipInfo_Create(VELM_AuditClientContext *context, const char *type, const char *id,
                                           const char *name, int convertFlag, VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  if (!infoRequire(context, type, "type", VELM_INFO_SITE, result)) return nullptr;
  auto *rec = infoAllocRecord<VELM_MembershipInfo>(context, VELM_INFO_SITE, result);
  if (rec == nullptr) return nullptr;
  const InfoFieldCopier copy{context, convertFlag, VELM_INFO_SITE, result};
  if (copy(type, rec->type, "type") && copy(id, rec->id, "id") && copy(name, rec->name, "name")) return rec;
  membershipInfo_Delete(context, rec, result);
  return nullptr;
}

int membershipInfo_Delete(VELM_AuditClientContext *context, VELM_MembershipInfo *membershipInfo, VELM_result *) {
  VELM_ENTRY_EXIT(context);
  if (membershipInfo == nullptr) return 0;
  for (char **field : {&membershipInfo->type, &membershipInfo->id, &membershipInfo->name}) infoFreeString(*field);
  releaseHandle(membershipInfo);
  return 0;
}

}  // namespace velm

extern "C" {

VELM_MembershipInfo *VELM_MembershipInfo_Create(VELM_AuditClientContext *context, const char *type, const char *id,
                                                const char *name, VELM_result *result) {
  return velm::contextCall(context, result, nullptr, VELM_API_SITE, [&](velm::ApiCall &) {
    return velm::membershipInfo_Create(context, type, id, name, 1, result);
  });
}

int VELM_MembershipInfo_Delete(VELM_AuditClientContext *context, VELM_MembershipInfo *membershipInfo,
                               VELM_result *result) {
  return velm::infoPublicDelete(context, membershipInfo, kDeleteHandle, velm::membershipInfo_Delete, VELM_API_SITE,
                                result);
}

VELM_INFO_STRING_GETTER(MembershipInfo, GetType, type, kHandle)
VELM_INFO_STRING_GETTER(MembershipInfo, GetId, id, kHandle)
VELM_INFO_STRING_GETTER(MembershipInfo, GetName, name, kHandle)

}  // extern "C"
