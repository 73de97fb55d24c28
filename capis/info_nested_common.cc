#include "capis/info_nested_common.h"

#include "capis/utils.h"

VELM_TRACE_UNIT("info_nested_common");

namespace velm {

bool infoSetAttributes(VELM_AuditClientContext *context, VELM_Attribute **attributes, int copyNested,
                       VELM_Attribute ***field, VELM_result *result) {
  if (attributes == nullptr) return true;
  if (copyNested == 0) {
    *field = attributes;
    return true;
  }
  VELM_Attribute **copy = copyAttributeArray(context, attributes, result);
  if (copy == nullptr) return false;
  *field = copy;
  return true;
}

void infoReleaseStringArray(VELM_AuditClientContext *context, char **&field, int &rc, VELM_result *result) {
  if (field == nullptr) return;
  if (freeStringArray(context, field, result) != 0) rc = -1;
  field = nullptr;
}

void infoReleaseAttributes(VELM_AuditClientContext *context, VELM_Attribute **&field, int &rc,
                           VELM_result *result) {
  if (field == nullptr) return;
  if (freeAttributeArray(context, field, result) != 0) rc = -1;
  field = nullptr;
}

}  // namespace velm
