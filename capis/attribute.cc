// VELM_Attribute: a name/value pair with an optional source.
#include "capis/info_common.h"
#include "capis/info_simple.h"

VELM_TRACE_UNIT("attribute");

namespace {
constexpr const char *kHandle = "attribute_Handle";
}

namespace velm {

VELM_Attribute *attribute_Create(VELM_AuditClientContext *context, const char *name, const char *value,
                                 const char *source, int convertFlag, VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  if (!infoRequire(context, name, "name", VELM_INFO_SITE, result) ||
      !infoRequire(context, value, "value", VELM_INFO_SITE, result))
    return nullptr;
  auto *rec = infoAllocRecord<VELM_Attribute>(context, VELM_INFO_SITE, result);
  if (rec == nullptr) return nullptr;
  const InfoFieldCopier copy{context, convertFlag, VELM_INFO_SITE, result};
  if (copy(name, rec->name, "name") && copy(value, rec->value, "value") &&
      copy(source, rec->source, "source"))
    return rec;
  attribute_Delete(context, rec, result);
  return nullptr;
}

int attribute_Delete(VELM_AuditClientContext *context, VELM_Attribute *attribute, VELM_result *) {
  VELM_ENTRY_EXIT(context);
  if (attribute == nullptr) return 0;
  infoFreeString(attribute->name);
  infoFreeString(attribute->value);
  infoFreeString(attribute->source);
  releaseHandle(attribute);
  return 0;
}

}  // namespace velm

extern "C" {

VELM_Attribute *VELM_Attribute_Create(VELM_AuditClientContext *context, const char *name, const char *value,
                                      const char *source, VELM_result *result) {
  return velm::contextCall(context, result, nullptr, VELM_API_SITE, [&](velm::ApiCall &) {
    return velm::attribute_Create(context, name, value, source, 1, result);
  });
}

int VELM_Attribute_Delete(VELM_AuditClientContext *context, VELM_Attribute *attribute, VELM_result *result) {
  return velm::infoPublicDelete(context, attribute, kHandle, velm::attribute_Delete, VELM_API_SITE, result);
}

VELM_INFO_STRING_GETTER(Attribute, GetName, name, kHandle)
VELM_INFO_STRING_GETTER(Attribute, GetValue, value, kHandle)
VELM_INFO_STRING_GETTER(Attribute, GetSource, source, kHandle)

}  // extern "C"
