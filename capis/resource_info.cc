// VELM_ResourceInfo: the resource acted on, with an optional attribute array
// that the record copies or adopts.
#include <cstdlib>

#include "capis/info_nested_common.h"

VELM_TRACE_UNIT("resource_info");

namespace {
constexpr const char *kHandle = "resourceInfo_Handle";
}

namespace velm {

VELM_ResourceInfo *resourceInfo_Create(VELM_AuditClientContext *context, const char *nameInApp,
                                       const char *nameInPolicy, const char *type,
                                       VELM_Attribute **attributes, int copyNested, int convertFlag,
                                       VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  if (!infoRequire(context, nameInApp, "nameInApp", VELM_INFO_SITE, result) ||
      !infoRequire(context, nameInPolicy, "nameInPolicy", VELM_INFO_SITE, result) ||
      !infoRequire(context, type, "type", VELM_INFO_SITE, result))
    return nullptr;
  auto *rec = infoAllocRecord<VELM_ResourceInfo>(context, VELM_INFO_SITE, result);
  if (rec == nullptr) return nullptr;
  InfoFieldCopier copy{context, convertFlag, VELM_INFO_SITE, result};
  if (!copy(nameInApp, rec->nameInApp, "nameInApp") ||
      !copy(nameInPolicy, rec->nameInPolicy, "nameInPolicy") || !copy(type, rec->type, "type") ||
      !infoSetAttributes(context, attributes, copyNested, &rec->attributes, result)) {
    resourceInfo_Delete(context, rec, result);
    return nullptr;
  }
  return rec;
}

int resourceInfo_Delete(VELM_AuditClientContext *context, VELM_ResourceInfo *record, VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  if (record == nullptr) return 0;
  int rc = 0;
  infoFreeString(record->nameInApp);
  infoFreeString(record->nameInPolicy);
  infoFreeString(record->type);
  infoReleaseAttributes(context, record->attributes, rc, result);
  releaseHandle(record);
  return rc;
}

}  // namespace velm

using namespace velm;

VELM_ResourceInfo *VELM_ResourceInfo_Create(VELM_AuditClientContext *context, const char *nameInApp,
                                            const char *nameInPolicy, const char *type,
                                            VELM_Attribute **attributes, int copyFlag, VELM_result *result) {
  return contextCall(context, result, nullptr, VELM_API_SITE, [&](ApiCall &) {
    return resourceInfo_Create(context, nameInApp, nameInPolicy, type, attributes, copyFlag != 0, 1, result);
  });
}

int VELM_ResourceInfo_Delete(VELM_AuditClientContext *context, VELM_ResourceInfo *resourceInfo,
                             VELM_result *result) {
  return infoPublicDelete(context, resourceInfo, kHandle, &resourceInfo_Delete, VELM_API_SITE, result);
}

char *VELM_ResourceInfo_GetNameInApp(VELM_AuditClientContext *context, const VELM_ResourceInfo *resourceInfo,
                                     VELM_result *result) {
  return infoStringGetter(context, resourceInfo, &VELM_ResourceInfo::nameInApp, kHandle, VELM_API_SITE,
                          result);
}

char *VELM_ResourceInfo_GetNameInPolicy(VELM_AuditClientContext *context,
                                        const VELM_ResourceInfo *resourceInfo, VELM_result *result) {
  return infoStringGetter(context, resourceInfo, &VELM_ResourceInfo::nameInPolicy, kHandle, VELM_API_SITE,
                          result);
}

char *VELM_ResourceInfo_GetType(VELM_AuditClientContext *context, const VELM_ResourceInfo *resourceInfo,
                                VELM_result *result) {
  return infoStringGetter(context, resourceInfo, &VELM_ResourceInfo::type, kHandle, VELM_API_SITE, result);
}

VELM_Attribute **VELM_ResourceInfo_GetAttributes(VELM_AuditClientContext *context,
                                                 const VELM_ResourceInfo *resourceInfo, VELM_result *result) {
  return infoPointerGetter(context, resourceInfo, &VELM_ResourceInfo::attributes, kHandle, VELM_API_SITE,
                           result);
}
