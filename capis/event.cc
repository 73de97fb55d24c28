// Audit events: creation, top-level elements, look-ups and release, and the
// public VELM_AuditEvent_ calls.
#include "capis/event.h"

#include <sys/time.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "capis/api_guard.h"
#include "capis/context.h"
#include "capis/element.h"
#include "capis/element_util.h"
#include "capis/errors.h"
#include "capis/trace.h"
#include "capis/utils.h"

VELM_TRACE_UNIT("event");

namespace velm {

VELM_AuditEvent *auditEvent_Create(VELM_AuditClientContext *context, const char *eventType,
                                   VELM_result *result) {
  if (missingParm(context, eventType, "eventType", result)) return nullptr;
  auto *event = static_cast<VELM_AuditEvent *>(std::calloc(1, sizeof(VELM_AuditEvent)));
  if (event == nullptr) {
    VELM_RECORD(context, result, 1);
    VELM_TRACE_ERROR(context, "ERROR: cannot malloc");
    return nullptr;
  }
  setHandleMagic(event, kEventMagic);
  event->context = context;
  event->eventType = eltTextIn(context, eventType, true, "eventType", result);
  if (event->eventType == nullptr) {
    releaseHandle(event);
    return nullptr;
  }
  // Without its time stamp the event is still usable: only a missing
  // "timestamp" element cannot be filled in later.
  event->defaultTimeStamp = static_cast<struct timeval *>(std::malloc(sizeof(struct timeval)));
  if (event->defaultTimeStamp == nullptr) {
    VELM_RECORD(context, result, 1);
    VELM_TRACE_ERROR(context, "ERROR: cannot malloc");
  } else {
    gettimeofday(event->defaultTimeStamp, nullptr);
  }
  return event;
}

int auditEvent_AddElementByHand(VELM_AuditEvent *event, VELM_AuditElement *element, VELM_result *result) {
  VELM_AuditClientContext *context = event->context;
  if (missingParm(context, element, "element", result)) return -1;
  if ((element->flags & (kEltStatic | kEltAdded)) == kEltAdded) {
    VELM_RECORD(context, result, 21, element->name);
    VELM_TRACE_ERROR(context, "ERROR: The element %s has already been added to event or elt", element->name);
    return -1;
  }
  if (findByName(event->elements, event->count, element->name, std::strlen(element->name)) != nullptr) {
    VELM_RECORD(context, result, 2, element->name);
    VELM_TRACE_ERROR(context, "ERROR: The element %s already exists in the event", element->name);
    return -1;
  }
  if (!growSlots(context, &event->elements, &event->capacity, event->count, kFirstEventSlots, result))
    return -1;
  event->elements[event->count++] = element;
  element->flags |= kEltAdded;
  return 0;
}

VELM_AuditElement *auditEvent_AddElement(VELM_AuditEvent *event, const char *name, int valueType,
                                         const void *value, int copyFlag, VELM_result *result) {
  VELM_AuditClientContext *context = event->context;
  if (missingParm(context, name, "name", result) || missingParm(context, value, "value", result))
    return nullptr;
  const char *leaf = name;
  VELM_AuditElement *parent = nullptr;
  if (lastDot(context, name) != nullptr) {
    parent = addUnder(context, event->elements, event->count, name, &leaf, result);
    if (parent == nullptr) return nullptr;
  }
  VELM_AuditElement *element = auditElement_Create(context, leaf, valueType, value, copyFlag, 1, result);
  if (element == nullptr) return nullptr;
  const int rc = parent != nullptr ? auditElement_AddElementByHand(context, parent, element, result)
                                   : auditEvent_AddElementByHand(event, element, result);
  if (rc != 0) {
    discardNewElement(context, element, copyFlag, result);
    return nullptr;
  }
  return element;
}

int auditEvent_Delete(VELM_AuditEvent *event, VELM_result *result) {
  if (event == nullptr) return 0;
  VELM_AuditClientContext *context = event->context;
  int rc = 0;
  for (int i = 0; i < event->count; ++i)
    if (auditElement_Delete(context, event->elements[i], result) != 0) rc = -1;
  std::free(event->elements);
  std::free(event->eventType);
  std::free(event->defaultTimeStamp);
  releaseHandle(event);
  VELM_TRACE_EXIT_VALUE(context, "EXIT, rc = %d", rc);
  return rc;
}

}  // namespace velm

// ---- Public interface ------------------------------------------------------

using velm::ApiCall;
using velm::eventCall;
using velm::kElementMagic;

namespace {

VELM_AuditElement *addTyped(VELM_AuditEvent *event, const char *name, int valueType, const void *value,
                            int copyFlag, VELM_result *result, const velm::ApiSite &site) {
  return eventCall(event, result, nullptr, site, [&](ApiCall &) {
    return velm::auditEvent_AddElement(event, name, valueType, value, copyFlag, result);
  });
}

}  // namespace

extern "C" {

VELM_AuditEvent *VELM_AuditEvent_Create(VELM_AuditClientContext *context, const char *eventType,
                                        VELM_result *result) {
  return velm::contextCall(context, result, nullptr, VELM_API_SITE, [&](ApiCall &) {
    return velm::auditEvent_Create(context, eventType, result);
  });
}

VELM_AuditElement *VELM_AuditEvent_AddElement(VELM_AuditEvent *event, const char *name, int valueType,
                                              const void *value, int copyFlag, VELM_result *result) {
  return addTyped(event, name, valueType, value, copyFlag, result, VELM_API_SITE);
}

VELM_AuditElement *VELM_AuditEvent_AddIntegerElement(VELM_AuditEvent *event, const char *name, int32_t value,
                                                     VELM_result *result) {
  return addTyped(event, name, VELM_VT_INTEGER, &value, 1, result, VELM_API_SITE);
}

VELM_AuditElement *VELM_AuditEvent_AddLongElement(VELM_AuditEvent *event, const char *name, int64_t value,
                                                  VELM_result *result) {
  return addTyped(event, name, VELM_VT_LONG, &value, 1, result, VELM_API_SITE);
}

VELM_AuditElement *VELM_AuditEvent_AddStringElement(VELM_AuditEvent *event, const char *name,
                                                    const char *value, int copyFlag, VELM_result *result) {
  return addTyped(event, name, VELM_VT_STRING, value, copyFlag, result, VELM_API_SITE);
}

VELM_AuditElement *VELM_AuditEvent_AddDateTimeElement(VELM_AuditEvent *event, const char *name,
                                                      const struct timeval *value, int copyFlag,
                                                      VELM_result *result) {
  return addTyped(event, name, VELM_VT_DATETIME, value, copyFlag, result, VELM_API_SITE);
}

#define VELM_EVT_ADDER_(fn, T, vt)                                                                         \
  VELM_AuditElement *VELM_AuditEvent_##fn(VELM_AuditEvent *event, const char *name, T value, int copyFlag, \
                                          VELM_result *result) {                                           \
    return addTyped(event, name, vt, value, copyFlag, result, VELM_API_SITE);                               \
  }

VELM_EVT_ADDER_(AddAttributeElement, VELM_Attribute *, VELM_VT_ATTRIBUTE)
VELM_EVT_ADDER_(AddAttributePermissionInfoElement, VELM_AttributePermissionInfo *,
                VELM_VT_ATTRIBUTE_PERMISSION_INFO)
VELM_EVT_ADDER_(AddComponentIdElement, VELM_ComponentId *, VELM_VT_COMPONENT_ID)
VELM_EVT_ADDER_(AddHTTPURLInfoElement, VELM_HTTPURLInfo *, VELM_VT_HTTPURL_INFO)
VELM_EVT_ADDER_(AddMembershipInfoElement, VELM_MembershipInfo *, VELM_VT_MEMBERSHIP_INFO)
VELM_EVT_ADDER_(AddMgmtInfoElement, VELM_MgmtInfo *, VELM_VT_MGMT_INFO)
VELM_EVT_ADDER_(AddMsgDataElement, VELM_MsgDataElement *, VELM_VT_MSG_DATA_ELEMENT)
VELM_EVT_ADDER_(AddOutcomeElement, VELM_Outcome *, VELM_VT_OUTCOME)
VELM_EVT_ADDER_(AddPerfInfoElement, VELM_PerfInfo *, VELM_VT_PERF_INFO)
VELM_EVT_ADDER_(AddPolicyInfoElement, VELM_PolicyInfo *, VELM_VT_POLICY_INFO)
VELM_EVT_ADDER_(AddPermissionInfoElement, VELM_PermissionInfo *, VELM_VT_PERMISSION_INFO)
VELM_EVT_ADDER_(AddProvisioningInfoElement, VELM_ProvisioningInfo *, VELM_VT_PROVISIONING_INFO)
VELM_EVT_ADDER_(AddRegistryInfoElement, VELM_RegistryInfo *, VELM_VT_REGISTRY_INFO)
VELM_EVT_ADDER_(AddRegistryObjectInfoElement, VELM_RegistryObjectInfo *, VELM_VT_REGISTRY_OBJECT_INFO)
VELM_EVT_ADDER_(AddResourceInfoElement, VELM_ResourceInfo *, VELM_VT_RESOURCE_INFO)
VELM_EVT_ADDER_(AddTargetInfoElement, VELM_TargetInfo *, VELM_VT_TARGET_INFO)
VELM_EVT_ADDER_(AddUserInfoElement, VELM_UserInfo *, VELM_VT_USER_INFO)
VELM_EVT_ADDER_(AddWorkItemInfoElement, VELM_WorkItemInfo *, VELM_VT_WORK_ITEM_INFO)
VELM_EVT_ADDER_(AddAttributeArrayElement, VELM_Attribute **, VELM_VT_ATTRIBUTE_ARRAY)
VELM_EVT_ADDER_(AddAttributePermissionInfoArrayElement, VELM_AttributePermissionInfo **,
                VELM_VT_ATTRIBUTE_PERMISSION_INFO_ARRAY)
VELM_EVT_ADDER_(AddMembershipInfoArrayElement, VELM_MembershipInfo **, VELM_VT_MEMBERSHIP_INFO_ARRAY)
VELM_EVT_ADDER_(AddPolicyInfoArrayElement, VELM_PolicyInfo **, VELM_VT_POLICY_INFO_ARRAY)

#undef VELM_EVT_ADDER_

VELM_AuditElement *VELM_AuditEvent_AddStaticElement(VELM_AuditEvent *event, VELM_AuditElement *staticElement,
                                                    VELM_result *result) {
  return eventCall(event, result, nullptr, VELM_API_SITE, [&](ApiCall &call) -> VELM_AuditElement * {
    if (!call.requireHandle(staticElement, kElementMagic, "staticElement")) return nullptr;
    if ((staticElement->flags & velm::kEltStatic) == 0) {
      call.record(29, staticElement->name);
      call.error("ERROR: the element with name %s is not static", staticElement->name);
      return nullptr;
    }
    if (velm::auditEvent_AddElementByHand(event, staticElement, result) != 0) {
      call.error("ERROR: adding static element failed");
      return nullptr;
    }
    return staticElement;
  });
}

VELM_AuditElement *VELM_AuditEvent_GetElement(VELM_AuditEvent *event, const char *elementName,
                                              VELM_result *result) {
  return eventCall(event, result, nullptr, VELM_API_SITE, [&](ApiCall &call) -> VELM_AuditElement * {
    if (elementName == nullptr) {
      call.record(9, "elementName");
      call.error("ERROR: The %s parameter is NULL", "elementName");
      return nullptr;
    }
    VELM_AuditElement *found =
        velm::findElement(call.context(), event->elements, event->count, elementName, result);
    if (found != nullptr)
      call.exitWith("EXIT: The element %s was found", elementName);
    else
      call.exitWith("EXIT: The element %s was not found", elementName);
    return found;
  });
}

char *VELM_AuditEvent_GetType(VELM_AuditEvent *event, VELM_result *result) {
  return eventCall(event, result, nullptr, VELM_API_SITE, [&](ApiCall &call) -> char * {
    if (event->eventType == nullptr) return nullptr;
    return velm::eltTextOut(call.context(), event->eventType, result);
  });
}

const struct timeval *VELM_AuditEvent_GetDefaultTimeStamp(VELM_AuditEvent *event, VELM_result *result) {
  return eventCall(event, result, nullptr, VELM_API_SITE,
                   [&](ApiCall &) -> const struct timeval * { return event->defaultTimeStamp; });
}

int VELM_AuditEvent_Delete(VELM_AuditEvent *event, VELM_result *result) {
  return eventCall(event, result, -1, VELM_API_SITE,
                   [&](ApiCall &) { return velm::auditEvent_Delete(event, result); });
}

}  // extern "C"
