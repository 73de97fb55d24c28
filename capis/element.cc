// Audit elements: creation, values and their ownership, attachment, dotted
// look-ups and release, and the public VELM_AuditElement_ calls.
#include "capis/element.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "capis/api_guard.h"
#include "capis/context.h"
#include "capis/element_util.h"
#include "capis/errors.h"
#include "capis/info.h"
#include "capis/trace.h"
#include "capis/utils.h"

VELM_TRACE_UNIT("element");

namespace velm {

namespace {

// Copies raw bytes onto the heap (the scalar value types).
void *copyBytes(VELM_AuditClientContext *context, const void *value, size_t size, VELM_result *result) {
  void *copy = std::malloc(size);
  if (copy == nullptr) {
    VELM_RECORD(context, result, 1);
    VELM_TRACE_ERROR(context, "ERROR: cannot malloc");
    return nullptr;
  }
  std::memcpy(copy, value, size);
  return copy;
}

void setStaticTree(VELM_AuditElement *element) {
  element->flags |= kEltStatic;
  for (int i = 0; i < element->count; ++i) setStaticTree(element->children[i]);
}

}  // namespace

char *eltTextIn(VELM_AuditClientContext *context, const char *text, bool convert, const char *what,
                VELM_result *result) {
  char *copy = nullptr;
  if (convert && context != nullptr && !context->elementCodeSetIsUTF8) {
    copy = utf8Convert(context, text, kToUTF8, result, what);
    if (copy == nullptr) return nullptr;
  } else {
    copy = strdup(text);
    if (copy == nullptr) {
      VELM_RECORD(context, result, 1);
      VELM_TRACE_ERROR(context, "ERROR: cannot malloc");
      return nullptr;
    }
  }
  // Refused now, while the caller can still learn which value it was, not
  // when the event fails its conversion on the way out.
  if (!checkXmlText(context, copy, what, result)) {
    std::free(copy);
    return nullptr;
  }
  return copy;
}

char *eltTextOut(VELM_AuditClientContext *context, const char *text, VELM_result *result, const char *what) {
  if (context != nullptr && !context->elementCodeSetIsUTF8)
    return utf8Convert(context, text, kFromUTF8, result, what);
  char *copy = strdup(text);
  if (copy == nullptr) {
    VELM_RECORD(context, result, 1);
    VELM_TRACE_ERROR(context, "ERROR: cannot malloc");
  }
  return copy;
}

const char *lastDot(VELM_AuditClientContext *context, const char *name) {
  if (context != nullptr && !context->elementCodeSetIsUTF8 && context->elementCodeSetHandle != nullptr)
    return cvx_strrchr(context->elementCodeSetHandle, name, '.');
  return std::strrchr(name, '.');
}

bool missingParm(VELM_AuditClientContext *context, const void *parm, const char *parmName,
                 VELM_result *result) {
  if (parm != nullptr) return false;
  VELM_RECORD(context, result, 9, parmName);
  VELM_TRACE_ERROR(context, "ERROR: The %s parameter is missing", parmName);
  return true;
}

bool growSlots(VELM_AuditClientContext *context, VELM_AuditElement ***slots, int32_t *capacity, int32_t count,
               int firstSize, VELM_result *result) {
  // Grow before the last free slot is taken, so a null always ends the array.
  if (count < *capacity - 1) return true;
  if (*capacity > INT32_MAX / 2) {
    VELM_RECORD(context, result, 1);
    VELM_TRACE_ERROR(context, "ERROR: cannot malloc");
    return false;
  }
  const int32_t newCapacity = *capacity == 0 ? firstSize : *capacity * 2;
  auto **grown = static_cast<VELM_AuditElement **>(std::calloc(newCapacity, sizeof(VELM_AuditElement *)));
  if (grown == nullptr) {
    VELM_RECORD(context, result, 1);
    VELM_TRACE_ERROR(context, "ERROR: cannot malloc");
    return false;
  }
  if (count > 0) std::memcpy(grown, *slots, count * sizeof(VELM_AuditElement *));
  std::free(*slots);
  *slots = grown;
  *capacity = newCapacity;
  return true;
}

VELM_AuditElement *findByName(VELM_AuditElement *const *elements, int count, const char *name,
                              size_t length) {
  if (name[length] != '\0') {  // a component of a path: hash it on its own
    const std::string key(name, length);
    return findByName(elements, count, key.c_str(), length);
  }
  const uint32_t hash = hashFunc(name);
  for (int i = 0; i < count; ++i) {
    VELM_AuditElement *e = elements[i];
    if (e != nullptr && e->hash == hash && e->name != nullptr && std::strcmp(e->name, name) == 0) return e;
  }
  return nullptr;
}

int processEltValue(VELM_AuditClientContext *context, VELM_AuditElement *element, int valueType,
                    const void *value, int copyFlag, int convertFlag, VELM_result *result) {
  element->valueType = valueType;
  // The type is checked for adopted values too: a value of unknown type
  // could neither be encoded nor released later.
  if (valueType < kMinValueType || valueType > kMaxValueType) {
    const std::string number = std::to_string(valueType);
    VELM_RECORD(context, result, 8, "valueType", number.c_str());
    VELM_TRACE_ERROR(context, "ERROR: valueType parameter has an invalid value: %d", valueType);
    return -1;
  }
  if (missingParm(context, value, "value", result)) return -1;
  if (copyFlag == 0) {
    element->value = const_cast<void *>(value);
    return 0;
  }
  void *copy = nullptr;
  switch (valueType) {
    case VELM_VT_INTEGER:
      copy = copyBytes(context, value, sizeof(int32_t), result);
      break;
    case VELM_VT_LONG:
      copy = copyBytes(context, value, sizeof(int64_t), result);
      break;
    case VELM_VT_DATETIME:
      copy = copyBytes(context, value, sizeof(struct timeval), result);
      break;
    case VELM_VT_STRING:
      copy = eltTextIn(context, static_cast<const char *>(value), convertFlag != 0,
                       element->name != nullptr ? element->name : "value", result);
      break;
    default:
      copy = infoRecord_Copy(context, valueType, value, result);
      break;
  }
  if (copy == nullptr) return -1;
  element->value = copy;
  return 0;
}

VELM_AuditElement *auditElement_Create(VELM_AuditClientContext *context, const char *name, int valueType,
                                       const void *value, int copyFlag, int convertFlag,
                                       VELM_result *result) {
  if (missingParm(context, name, "name", result) || missingParm(context, value, "value", result))
    return nullptr;
  auto *element = static_cast<VELM_AuditElement *>(std::calloc(1, sizeof(VELM_AuditElement)));
  if (element == nullptr) {
    VELM_RECORD(context, result, 1);
    VELM_TRACE_ERROR(context, "ERROR: cannot malloc");
    return nullptr;
  }
  setHandleMagic(element, kElementMagic);
  element->name = eltTextIn(context, name, convertFlag != 0, "name", result);
  if (element->name == nullptr) {
    std::free(element);
    return nullptr;
  }
  element->hash = hashFunc(element->name);
  OnUnwind discard([&] {
    element->value = nullptr;
    auditElement_Delete(context, element, result);
  });
  if (processEltValue(context, element, valueType, value, copyFlag, convertFlag, result) != 0) {
    element->value = nullptr;  // nothing was stored; the caller keeps its value
    auditElement_Delete(context, element, result);
    return nullptr;
  }
  VELM_FLOW(context, "FLOW: creating element with name = %s, valueType = %d", element->name, valueType);
  return element;
}

int auditElement_AddElementByHand(VELM_AuditClientContext *context, VELM_AuditElement *parent,
                                  VELM_AuditElement *child, VELM_result *result) {
  if (missingParm(context, parent, "parentElement", result) || missingParm(context, child, "element", result))
    return -1;
  if (parent->flags & kEltStatic) {
    VELM_RECORD(context, result, 30, parent->name);
    VELM_TRACE_ERROR(context, "ERROR: The parent element %s is static & cannot be added to", parent->name);
    return -1;
  }
  if ((child->flags & (kEltStatic | kEltAdded)) == kEltAdded) {
    VELM_RECORD(context, result, 21, child->name);
    VELM_TRACE_ERROR(context, "ERROR: The element %s has already been added to event or elt", child->name);
    return -1;
  }
  if (findByName(parent->children, parent->count, child->name, std::strlen(child->name)) != nullptr) {
    VELM_RECORD(context, result, 2, child->name);
    VELM_TRACE_ERROR(context, "ERROR: The element %s already exists in the event", child->name);
    return -1;
  }
  if (!growSlots(context, &parent->children, &parent->capacity, parent->count, kFirstChildSlots, result))
    return -1;
  parent->children[parent->count++] = child;
  child->flags |= kEltAdded;
  return 0;
}

VELM_AuditElement *addUnder(VELM_AuditClientContext *context, VELM_AuditElement *const *elements, int count,
                            const char *name, const char **leaf, VELM_result *result) {
  const char *dot = lastDot(context, name);
  *leaf = name;
  if (dot == nullptr) return nullptr;
  const std::string prefix(name, dot - name);
  const int before = result != nullptr ? result->numErrors : 0;
  VELM_AuditElement *found = findElement(context, elements, count, prefix.c_str(), result);
  if (found == nullptr) {
    if (result == nullptr || result->numErrors == before) {  // not found, as opposed to out of memory
      VELM_RECORD(context, result, 17, prefix.c_str());
      VELM_TRACE_ERROR(context, "ERROR: parent element %s, does not exist", prefix.c_str());
    }
    return nullptr;
  }
  *leaf = dot + 1;
  return found;
}

void discardNewElement(VELM_AuditClientContext *context, VELM_AuditElement *element, int copyFlag,
                       VELM_result *result) {
  // A failed add leaves an adopted value with the caller, as every other
  // failure does, so the caller always knows who releases it.
  if (copyFlag == 0) element->value = nullptr;
  auditElement_Delete(context, element, result);
}

VELM_AuditElement *auditElement_AddElement(VELM_AuditClientContext *context, VELM_AuditElement *parent,
                                           const char *name, int valueType, const void *value, int copyFlag,
                                           VELM_result *result) {
  if (missingParm(context, parent, "parentElement", result) || missingParm(context, name, "name", result) ||
      missingParm(context, value, "value", result))
    return nullptr;
  const char *leaf = name;
  VELM_AuditElement *target = parent;
  if (lastDot(context, name) != nullptr) {
    target = addUnder(context, parent->children, parent->count, name, &leaf, result);
    if (target == nullptr) return nullptr;
  }
  VELM_AuditElement *element = auditElement_Create(context, leaf, valueType, value, copyFlag, 1, result);
  if (element == nullptr) return nullptr;
  if (auditElement_AddElementByHand(context, target, element, result) != 0) {
    discardNewElement(context, element, copyFlag, result);
    return nullptr;
  }
  return element;
}

VELM_AuditElement *findElementUTF8(VELM_AuditElement *const *elements, int count, const char *path) {
  if (path == nullptr || *path == '\0') return nullptr;
  const char *part = path;
  for (;;) {
    // "." is a single byte that never occurs inside a UTF-8 sequence.
    const char *dot = std::strchr(part, '.');
    const size_t length = dot != nullptr ? static_cast<size_t>(dot - part) : std::strlen(part);
    if (length == 0) return nullptr;
    VELM_AuditElement *found = findByName(elements, count, part, length);
    if (found == nullptr || dot == nullptr) return found;
    if (found->count == 0) return nullptr;
    elements = found->children;
    count = found->count;
    part = dot + 1;
  }
}

VELM_AuditElement *findElement(VELM_AuditClientContext *context, VELM_AuditElement *const *elements,
                               int count, const char *path, VELM_result *result) {
  if (path == nullptr) return nullptr;
  char *converted = nullptr;
  if (context != nullptr && !context->elementCodeSetIsUTF8) {
    converted = utf8Convert(context, path, kToUTF8, result, "name");
    if (converted == nullptr) return nullptr;
    path = converted;
  }
  VELM_AuditElement *found = findElementUTF8(elements, count, path);
  if (found != nullptr) VELM_TRACE_EXIT_VALUE(context, "EXIT: element %s, found", path);
  std::free(converted);
  return found;
}

int elementValue_Delete(VELM_AuditClientContext *context, int valueType, void *value, VELM_result *) {
  if (valueType >= VELM_VT_INTEGER && valueType <= VELM_VT_DATETIME) {
    std::free(value);
    return 0;
  }
  if (valueType > VELM_VT_DATETIME && valueType <= kMaxValueType) {
    infoRecord_Delete(context, valueType, value);
    return 0;
  }
  VELM_TRACE_ERROR(context, "ERROR: invalid value type passed to elementValue_Delete: %d \n", valueType);
  return -1;
}

int auditElement_Delete(VELM_AuditClientContext *context, VELM_AuditElement *element, VELM_result *result) {
  if (element == nullptr) return 0;
  if (element->flags & kEltStatic) {
    VELM_TRACE_EXIT_VALUE(context, "EXIT - element is static, so it was not deleted");
    return 0;
  }
  int rc = 0;
  std::free(element->name);
  if (element->valueType != 0 && element->value != nullptr &&
      elementValue_Delete(context, element->valueType, element->value, result) != 0)
    rc = -1;
  for (int i = 0; i < element->count; ++i)
    if (auditElement_Delete(context, element->children[i], result) != 0) rc = -1;
  std::free(element->children);
  releaseHandle(element);
  if (rc != 0) VELM_TRACE_ERROR(context, "ERROR deleting element or element value");
  return rc;
}

void setStatic(VELM_AuditElement *element) { setStaticTree(element); }

}  // namespace velm

// ---- Public interface ------------------------------------------------------

using velm::ApiCall;
using velm::contextCall;
using velm::kElementMagic;

namespace {

VELM_AuditElement *addTyped(VELM_AuditClientContext *context, VELM_AuditElement *parent, const char *name,
                            int valueType, const void *value, int copyFlag, VELM_result *result,
                            const velm::ApiSite &site) {
  return contextCall(context, result, nullptr, site, [&](ApiCall &call) -> VELM_AuditElement * {
    if (!call.requireHandle(parent, kElementMagic, "parentElement")) return nullptr;
    return velm::auditElement_AddElement(context, parent, name, valueType, value, copyFlag, result);
  });
}

}  // namespace

extern "C" {

VELM_AuditElement *VELM_AuditElement_AddElement(VELM_AuditClientContext *context,
                                                VELM_AuditElement *parentElement, const char *name,
                                                int valueType, const void *value, int copyFlag,
                                                VELM_result *result) {
  return addTyped(context, parentElement, name, valueType, value, copyFlag, result, VELM_API_SITE);
}

VELM_AuditElement *VELM_AuditElement_AddIntegerElement(VELM_AuditClientContext *context,
                                                       VELM_AuditElement *parentElement, const char *name,
                                                       int32_t value, VELM_result *result) {
  return addTyped(context, parentElement, name, VELM_VT_INTEGER, &value, 1, result, VELM_API_SITE);
}

VELM_AuditElement *VELM_AuditElement_AddLongElement(VELM_AuditClientContext *context,
                                                    VELM_AuditElement *parentElement, const char *name,
                                                    int64_t value, VELM_result *result) {
  return addTyped(context, parentElement, name, VELM_VT_LONG, &value, 1, result, VELM_API_SITE);
}

VELM_AuditElement *VELM_AuditElement_AddStringElement(VELM_AuditClientContext *context,
                                                      VELM_AuditElement *parentElement, const char *name,
                                                      const char *value, int copyFlag, VELM_result *result) {
  return addTyped(context, parentElement, name, VELM_VT_STRING, value, copyFlag, result, VELM_API_SITE);
}

VELM_AuditElement *VELM_AuditElement_AddDateTimeElement(VELM_AuditClientContext *context,
                                                        VELM_AuditElement *parentElement, const char *name,
                                                        const struct timeval *value, int copyFlag,
                                                        VELM_result *result) {
  return addTyped(context, parentElement, name, VELM_VT_DATETIME, value, copyFlag, result, VELM_API_SITE);
}

#define VELM_ELT_ADDER_(fn, T, vt)                                                                       \
  VELM_AuditElement *VELM_AuditElement_##fn(VELM_AuditClientContext *context,                            \
                                            VELM_AuditElement *parentElement, const char *name, T value, \
                                            int copyFlag, VELM_result *result) {                         \
    return addTyped(context, parentElement, name, vt, value, copyFlag, result, VELM_API_SITE);            \
  }

VELM_ELT_ADDER_(AddAttributeElement, VELM_Attribute *, VELM_VT_ATTRIBUTE)
VELM_ELT_ADDER_(AddAttributePermissionInfoElement, VELM_AttributePermissionInfo *,
                VELM_VT_ATTRIBUTE_PERMISSION_INFO)
VELM_ELT_ADDER_(AddComponentIdElement, VELM_ComponentId *, VELM_VT_COMPONENT_ID)
VELM_ELT_ADDER_(AddHTTPURLInfoElement, VELM_HTTPURLInfo *, VELM_VT_HTTPURL_INFO)
VELM_ELT_ADDER_(AddMembershipInfoElement, VELM_MembershipInfo *, VELM_VT_MEMBERSHIP_INFO)
VELM_ELT_ADDER_(AddMgmtInfoElement, VELM_MgmtInfo *, VELM_VT_MGMT_INFO)
VELM_ELT_ADDER_(AddMsgDataElement, VELM_MsgDataElement *, VELM_VT_MSG_DATA_ELEMENT)
VELM_ELT_ADDER_(AddOutcomeElement, VELM_Outcome *, VELM_VT_OUTCOME)
VELM_ELT_ADDER_(AddPerfInfoElement, VELM_PerfInfo *, VELM_VT_PERF_INFO)
VELM_ELT_ADDER_(AddPolicyInfoElement, VELM_PolicyInfo *, VELM_VT_POLICY_INFO)
VELM_ELT_ADDER_(AddPermissionInfoElement, VELM_PermissionInfo *, VELM_VT_PERMISSION_INFO)
VELM_ELT_ADDER_(AddProvisioningInfoElement, VELM_ProvisioningInfo *, VELM_VT_PROVISIONING_INFO)
VELM_ELT_ADDER_(AddRegistryInfoElement, VELM_RegistryInfo *, VELM_VT_REGISTRY_INFO)
VELM_ELT_ADDER_(AddRegistryObjectInfoElement, VELM_RegistryObjectInfo *, VELM_VT_REGISTRY_OBJECT_INFO)
VELM_ELT_ADDER_(AddResourceInfoElement, VELM_ResourceInfo *, VELM_VT_RESOURCE_INFO)
VELM_ELT_ADDER_(AddTargetInfoElement, VELM_TargetInfo *, VELM_VT_TARGET_INFO)
VELM_ELT_ADDER_(AddUserInfoElement, VELM_UserInfo *, VELM_VT_USER_INFO)
VELM_ELT_ADDER_(AddWorkItemInfoElement, VELM_WorkItemInfo *, VELM_VT_WORK_ITEM_INFO)
VELM_ELT_ADDER_(AddAttributeArrayElement, VELM_Attribute **, VELM_VT_ATTRIBUTE_ARRAY)
VELM_ELT_ADDER_(AddAttributePermissionInfoArrayElement, VELM_AttributePermissionInfo **,
                VELM_VT_ATTRIBUTE_PERMISSION_INFO_ARRAY)
VELM_ELT_ADDER_(AddMembershipInfoArrayElement, VELM_MembershipInfo **, VELM_VT_MEMBERSHIP_INFO_ARRAY)
VELM_ELT_ADDER_(AddPolicyInfoArrayElement, VELM_PolicyInfo **, VELM_VT_POLICY_INFO_ARRAY)

#undef VELM_ELT_ADDER_

VELM_AuditElement *VELM_AuditElement_AddStaticElement(VELM_AuditClientContext *context,
                                                      VELM_AuditElement *parentElement,
                                                      VELM_AuditElement *staticElement, VELM_result *result) {
  return contextCall(context, result, nullptr, VELM_API_SITE, [&](ApiCall &call) -> VELM_AuditElement * {
    if (!call.requireHandle(parentElement, kElementMagic, "parentElement") ||
        !call.requireHandle(staticElement, kElementMagic, "staticElement"))
      return nullptr;
    if ((staticElement->flags & velm::kEltStatic) == 0) {
      call.record(29, staticElement->name);
      call.error("ERROR: the element with name %s is not static", staticElement->name);
      return nullptr;
    }
    if (velm::auditElement_AddElementByHand(context, parentElement, staticElement, result) != 0) {
      call.error("ERROR: adding static element failed");
      return nullptr;
    }
    return staticElement;
  });
}

int VELM_AuditElement_DeleteStatic(VELM_AuditClientContext *context, VELM_AuditElement *elementHandle,
                                   VELM_result *result) {
  return contextCall(context, result, -1, VELM_API_SITE, [&](ApiCall &call) {
    if (!call.requireHandle(elementHandle, kElementMagic, "elementHandle")) return -1;
    // A non-static element still belongs to its parent: releasing it here
    // would leave the parent pointing at freed memory.
    if ((elementHandle->flags & velm::kEltStatic) == 0) {
      call.record(8, "elementHandle", elementHandle->name);
      call.error("ERROR: the element with name %s is not static", elementHandle->name);
      return -1;
    }
    elementHandle->flags &= ~velm::kEltStatic;
    return velm::auditElement_Delete(context, elementHandle, result);
  });
}

VELM_AuditElement *VELM_AuditElement_GetElement(VELM_AuditClientContext *context,
                                                VELM_AuditElement *parentElementHandle,
                                                const char *subElementName, VELM_result *result) {
  return contextCall(context, result, nullptr, VELM_API_SITE, [&](ApiCall &call) -> VELM_AuditElement * {
    if (!call.requireHandle(parentElementHandle, kElementMagic, "parentElementHandle",
                            "ERROR: The %s parameter is NULL"))
      return nullptr;
    if (subElementName == nullptr) {
      call.record(9, "subElementName");
      call.error("ERROR: The %s parameter is NULL", "subElementName");
      return nullptr;
    }
    VELM_AuditElement *found = velm::findElement(context, parentElementHandle->children,
                                                 parentElementHandle->count, subElementName, result);
    if (found == nullptr) call.flow("The sub-element %s was not found", subElementName);
    return found;
  });
}

char *VELM_AuditElement_GetName(VELM_AuditClientContext *context, VELM_AuditElement *element_Handle,
                                VELM_result *result) {
  return contextCall(context, result, nullptr, VELM_API_SITE, [&](ApiCall &call) -> char * {
    if (!call.requireHandle(element_Handle, kElementMagic, "element_Handle") || element_Handle->name == nullptr)
      return nullptr;
    return velm::eltTextOut(context, element_Handle->name, result);
  });
}

void *VELM_AuditElement_GetValue(VELM_AuditClientContext *context, VELM_AuditElement *element_Handle,
                                 VELM_result *result) {
  return contextCall(context, result, nullptr, VELM_API_SITE, [&](ApiCall &call) -> void * {
    if (!call.requireHandle(element_Handle, kElementMagic, "element_Handle") || element_Handle->value == nullptr)
      return nullptr;
    if (element_Handle->valueType == VELM_VT_STRING)
      return velm::eltTextOut(context, static_cast<const char *>(element_Handle->value), result);
    return element_Handle->value;
  });
}

int VELM_AuditElement_IsStatic(VELM_AuditClientContext *context, VELM_AuditElement *element_Handle,
                               VELM_result *result) {
  return contextCall(context, result, -1, VELM_API_SITE, [&](ApiCall &call) {
    if (!call.requireHandle(element_Handle, kElementMagic, "element_Handle")) return -1;
    return (element_Handle->flags & velm::kEltStatic) ? 1 : 0;
  });
}

int VELM_AuditElement_SetStatic(VELM_AuditClientContext *context, VELM_AuditElement *element_Handle,
                                VELM_result *result) {
  return contextCall(context, result, -1, VELM_API_SITE_OWN_ENTRY, [&](ApiCall &call) {
    if (!call.requireHandle(element_Handle, kElementMagic, "element_Handle")) return -1;
    call.entry("ENTRY - making element %s static", element_Handle->name);
    velm::setStatic(element_Handle);
    return 0;
  });
}

int VELM_AuditElement_GetValueType(VELM_AuditClientContext *context, VELM_AuditElement *element_Handle,
                                   VELM_result *result) {
  return contextCall(context, result, -1, VELM_API_SITE, [&](ApiCall &call) {
    if (!call.requireHandle(element_Handle, kElementMagic, "element_Handle")) return -1;
    return element_Handle->valueType;
  });
}

}  // extern "C"
