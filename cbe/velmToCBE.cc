// An audit event into one "CommonBaseEvent" element: the fixed frame, the
// base elements, and every other element as an extended data element.
#include "cbe/velmToCBE.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "capis/errors.h"
#include "capis/trace.h"
#include "cbe/cbe_names.h"

VELM_TRACE_UNIT("velmToCBE");

namespace velm {

using namespace cbe;

namespace {

char *heapCopy(const char *text) {
  const std::size_t n = std::strlen(text) + 1;
  char *copy = static_cast<char *>(std::malloc(n));
  if (copy != nullptr) std::memcpy(copy, text, n);
  return copy;
}

void recordNoMemory(VELM_AuditClientContext *context, VELM_result *result, const char *function, int line) {
  if (traceOn(context, TraceKind::Error))
    traceLine(context->traceLogger, kVelmTraceUnit, function, line, "ERROR: cannot malloc");
  recordMessage(context, result, 1, kVelmTraceUnit, function, line);
}

// The encoder of a record or array value type, typed form.
int encodeValue(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node, const char *name,
                int valueType, const void *v, VELM_result *result) {
  switch (valueType) {
    case VELM_VT_INTEGER: return buildInteger(context, doc, node, name, *static_cast<const int32_t *>(v), result);
    case VELM_VT_LONG: return buildLong(context, doc, node, name, *static_cast<const int64_t *>(v), result);
    case VELM_VT_STRING: return buildString(context, doc, node, name, static_cast<const char *>(v), result);
    case VELM_VT_DATETIME:
      return builddateTime(context, doc, node, name, static_cast<const struct timeval *>(v), result);
    case VELM_VT_ATTRIBUTE:
      return buildAttribute(context, doc, node, name, 1, static_cast<const VELM_Attribute *>(v), result);
    case VELM_VT_ATTRIBUTE_PERMISSION_INFO:
      return buildAttributePermissionInfo(context, doc, node, name, 1,
                                          static_cast<const VELM_AttributePermissionInfo *>(v), result);
    case VELM_VT_COMPONENT_ID:
      return buildComponentId(context, doc, nullptr, node, name, 1, static_cast<const VELM_ComponentId *>(v),
                              result);
    case VELM_VT_HTTPURL_INFO:
      return buildHTTPURLInfo(context, doc, node, name, 1, static_cast<const VELM_HTTPURLInfo *>(v), result);
    case VELM_VT_MEMBERSHIP_INFO:
      return buildMembershipInfo(context, doc, node, name, 1, static_cast<const VELM_MembershipInfo *>(v), result);
    case VELM_VT_MGMT_INFO:
      return buildMgmtInfo(context, doc, node, name, 1, static_cast<const VELM_MgmtInfo *>(v), result);
    case VELM_VT_MSG_DATA_ELEMENT:
      return buildMsgDataElement(context, doc, nullptr, node, name, 1, static_cast<const VELM_MsgDataElement *>(v),
                                 result);
    case VELM_VT_OUTCOME:
      return buildOutcome(context, doc, node, name, 1, static_cast<const VELM_Outcome *>(v), result);
    case VELM_VT_PERF_INFO:
      return buildPerfInfo(context, doc, node, name, 1, static_cast<const VELM_PerfInfo *>(v), result);
    case VELM_VT_POLICY_INFO:
      return buildPolicyInfo(context, doc, node, name, 1, static_cast<const VELM_PolicyInfo *>(v), result);
    case VELM_VT_PERMISSION_INFO:
      return buildPermissionInfo(context, doc, node, name, 1, static_cast<const VELM_PermissionInfo *>(v), result);
    case VELM_VT_PROVISIONING_INFO:
      return buildProvisioningInfo(context, doc, node, name, 1, static_cast<const VELM_ProvisioningInfo *>(v),
                                   result);
    case VELM_VT_REGISTRY_INFO:
      return buildRegistryInfo(context, doc, node, name, 1, static_cast<const VELM_RegistryInfo *>(v), result);
    case VELM_VT_REGISTRY_OBJECT_INFO:
      return buildRegistryObjectInfo(context, doc, node, name, 1, static_cast<const VELM_RegistryObjectInfo *>(v),
                                     result);
    case VELM_VT_RESOURCE_INFO:
      return buildResourceInfo(context, doc, node, name, 1, static_cast<const VELM_ResourceInfo *>(v), result);
    case VELM_VT_TARGET_INFO:
      return buildTargetInfo(context, doc, node, name, 1, static_cast<const VELM_TargetInfo *>(v), result);
    case VELM_VT_USER_INFO:
      return buildUserInfo(context, doc, node, name, 1, static_cast<const VELM_UserInfo *>(v), result);
    case VELM_VT_WORK_ITEM_INFO:
      return buildWorkItemInfo(context, doc, node, name, 1, static_cast<const VELM_WorkItemInfo *>(v), result);
    case VELM_VT_ATTRIBUTE_ARRAY:
    case VELM_VT_ATTRIBUTE_PERMISSION_INFO_ARRAY:
    case VELM_VT_MEMBERSHIP_INFO_ARRAY:
    case VELM_VT_POLICY_INFO_ARRAY:
      return createElementArray(context, doc, node, valueType, name, 1, v, result);
    default: {
      char type[16];
      std::snprintf(type, sizeof type, "%d", valueType);
      VELM_TRACE_ERROR(context, "The element %s has an invalid value type: %s", name, type);
      VELM_RECORD(context, result, 14, name, valueType);
      return -1;
    }
  }
}

// Step 4 of every top-level element: its base elements onto the root.
int copyBaseToRoot(VELM_AuditClientContext *context, XmlElement *root, cbe_base_elts *base, VELM_result *result) {
  int status = 0;
  if (base->creationTime != nullptr) {
    if (setAttribute(context, root, kCreationTime, base->creationTime, result) != 0) status = -1;
    std::free(base->creationTime);
    base->creationTime = nullptr;
  }
  if (status == 0 && base->msg != nullptr && setAttribute(context, root, kMsg, base->msg, result) != 0) status = -1;
  if (base->sequenceNumber != nullptr) {
    if (status == 0 && setAttribute(context, root, kSequenceNumber, base->sequenceNumber, result) != 0)
      status = -1;
    std::free(base->sequenceNumber);
    base->sequenceNumber = nullptr;
  }
  if (status == 0 && base->globalInstanceId != nullptr &&
      setAttribute(context, root, kGlobalInstanceId, base->globalInstanceId, result) != 0)
    status = -1;
  if (status != 0) return -1;
  for (XmlElement *e : {base->sourceComponentId, base->reporterComponentId, base->msgDataElement,
                        base->extendedDataElements})
    if (e != nullptr && addElementToElement(context, root, e, result) != 0) return -1;
  return 0;
}

// The root's attributes and its situation, the same for every event.
int buildFrame(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *root, const char *eventType,
               VELM_result *result) {
  if (setAttribute(context, root, kVersion, kCbeVersion, result) != 0) return -1;
  const std::size_t typeLength = std::strlen(eventType);
  char *extension = static_cast<char *>(std::malloc(typeLength + 9));
  if (extension == nullptr) {
    recordNoMemory(context, result, __func__, __LINE__);
    return -1;
  }
  std::memcpy(extension, "KTO_DXA_", 8);
  std::memcpy(extension + 8, eventType, typeLength + 1);
  const int rc = setAttribute(context, root, kExtensionName, extension, result);
  std::free(extension);
  if (rc != 0) return -1;

  XmlElement *situation = createElement(context, doc, kSituation, result);
  if (situation == nullptr || setAttribute(context, situation, kCategoryName, kReportSituation, result) != 0)
    return -1;
  XmlElement *situationType = createElement(context, doc, kSituationType, result);
  if (situationType == nullptr || setAttribute(context, situationType, kReportCategory, kSecurity, result) != 0 ||
      setAttribute(context, situationType, kReasoningScope, kInternal, result) != 0)
    return -1;
  if (addElementToElement(context, situation, situationType, result) != 0 ||
      addElementToElement(context, root, situation, result) != 0)
    return -1;
  return 0;
}

void releaseBase(cbe_base_elts *base) {
  std::free(base->creationTime);
  std::free(base->sequenceNumber);
  *base = {};
}

}  // namespace

XmlElement *convertToCBE(VELM_AuditClientContext *context, VELM_AuditEvent *event, VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  if (event == nullptr) {
    VELM_TRACE_ERROR(context, "The required parameter %s passed to the function is NULL", "event");
    VELM_RECORD(context, result, 12);
    return nullptr;
  }
  XmlDocument *doc = createDocument(context, kCommonBaseEvent, result);
  if (doc == nullptr) return nullptr;
  XmlElement *root = getRootElement(context, doc, result);
  if (root == nullptr) {
    deleteDocument(context, doc, result);
    return nullptr;
  }

  int status = buildFrame(context, doc, root, event->eventType != nullptr ? event->eventType : "", result);
  cbe_base_elts base{};
  for (int i = 0; status == 0 && i < event->count; ++i) {
    base = {};
    VELM_AuditElement *element = event->elements[i];
    if (element == nullptr) {
      VELM_FLOW(context, "FLOW: Element is NULL...");
      continue;
    }
    VELM_FLOW(context, "FLOW: Element name is %s", element->name);
    const int rc = buildDOMElement(context, doc, nullptr, &base, element, result);
    VELM_FLOW(context, "FLOW: return code from buildDOMElement is %d", rc);
    if (rc == -1) {
      status = -1;
      break;
    }
    status = copyBaseToRoot(context, root, &base, result);
  }
  releaseBase(&base);
  if (status == 0) {
    status = buildVELMVersion(context, doc, &base, "VELMEventVersion", "6.0", result);
    if (status == 0) status = addElementToElement(context, root, base.extendedDataElements, result);
  }
  if (status != 0) {
    VELM_TRACE_ERROR(context, "ERROR: buildDOMElement failed...");
    deleteDocument(context, doc, result);
    return nullptr;
  }
  return root;
}

int buildDOMElement(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *parent, cbe_base_elts *base,
                    VELM_AuditElement *element, VELM_result *result) {
  if (element == nullptr || element->name == nullptr || element->value == nullptr) return -1;
  const char *name = element->name;

  int status = 0;
  XmlElement *node = nullptr;
  if (buildBaseElements(context, doc, base, element, name, element->value, result) != 0) {
    // Not a base element: an extended data element of its own.
    const bool topLevel = base->extendedDataElements == nullptr;
    node = createElement(context, doc, topLevel ? kExtendedDataElements : kChildren, result);
    if (node == nullptr) return -1;
    if (topLevel) base->extendedDataElements = node;
    status = encodeValue(context, doc, node, name, element->valueType, element->value, result);
    if (status != 0) {
      node = nullptr;  // dropped; the document goes with the failed conversion
    } else if (parent != nullptr && addElementToElement(context, parent, node, result) != 0) {
      return -1;
    }
  }
  if (status == -1) return -1;
  for (int i = 0; i < element->count; ++i) {
    VELM_AuditElement *child = element->children[i];
    if (child == nullptr) continue;
    status = buildDOMElement(context, doc, node, base, child, result);
    if (status != 0) break;
  }
  return status;
}

int buildBaseElements(VELM_AuditClientContext *context, XmlDocument *doc, cbe_base_elts *base,
                      VELM_AuditElement *element, const char *name, const void *value, VELM_result *result) {
  if (base == nullptr || element == nullptr || name == nullptr || value == nullptr) return -1;
  switch (element->valueType) {
    case VELM_VT_COMPONENT_ID:
      if (std::strcmp(name, "sourceComponentId") == 0 || std::strcmp(name, "reporterComponentId") == 0)
        return buildComponentId(context, doc, base, nullptr, name, 1, static_cast<const VELM_ComponentId *>(value),
                                result);
      return -1;
    case VELM_VT_MSG_DATA_ELEMENT:
      if (std::strcmp(name, "auditMsgElement") == 0)
        return buildMsgDataElement(context, doc, base, nullptr, name, 1,
                                   static_cast<const VELM_MsgDataElement *>(value), result);
      return -1;
    case VELM_VT_DATETIME:
      if (std::strcmp(name, "timestamp") == 0) {
        char *text = convertTodateTimeFormat(context, static_cast<const struct timeval *>(value), result);
        if (text == nullptr) return -1;
        std::free(base->creationTime);  // a nested "timestamp" after an earlier one
        base->creationTime = text;
        return 0;
      }
      return -1;
    case VELM_VT_STRING:
      if (std::strcmp(name, "auditMsg") == 0) {
        base->msg = static_cast<const char *>(value);
        return 0;
      }
      if (std::strcmp(name, "globalInstanceId") == 0) {
        base->globalInstanceId = static_cast<const char *>(value);
        return 0;
      }
      return -1;
    case VELM_VT_LONG:
      if (std::strcmp(name, "sequenceNumber") == 0) {
        char buf[32];
        char *text = heapCopy(formatNumber(*static_cast<const int64_t *>(value), buf, sizeof buf));
        if (text == nullptr) {
          recordNoMemory(context, result, __func__, __LINE__);
          return -1;
        }
        std::free(base->sequenceNumber);
        base->sequenceNumber = text;
        return 0;
      }
      return -1;
    default:
      return -1;
  }
}

namespace {
int buildScalar(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node, const char *name,
                const XMLCh *type, const char *text, VELM_result *result) {
  if (nameAndType(context, node, name, type, result) != 0) return -1;
  return addValues(context, doc, node, text, result);
}
}  // namespace

int buildString(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node, const char *name,
                const char *text, VELM_result *result) {
  return buildScalar(context, doc, node, name, kTypeString, text, result);
}

int buildInteger(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node, const char *name,
                 int32_t value, VELM_result *result) {
  char buf[32];
  return buildScalar(context, doc, node, name, kTypeInt, formatNumber(value, buf, sizeof buf), result);
}

int buildLong(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node, const char *name,
              int64_t value, VELM_result *result) {
  char buf[32];
  return buildScalar(context, doc, node, name, kTypeLong, formatNumber(value, buf, sizeof buf), result);
}

int builddateTime(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node, const char *name,
                  const struct timeval *time, VELM_result *result) {
  char *text = convertTodateTimeFormat(context, time, result);
  if (text == nullptr) return -1;
  const int rc = buildScalar(context, doc, node, name, kTypeDateTime, text, result);
  std::free(text);
  return rc;
}

char *convertTodateTimeFormat(VELM_AuditClientContext *context, const struct timeval *time, VELM_result *result) {
  if (time == nullptr) return nullptr;
  struct tm parts {};
  const time_t seconds = time->tv_sec;
  char buf[1024];
  if (gmtime_r(&seconds, &parts) == nullptr || std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &parts) == 0) {
    VELM_TRACE_ERROR(context, "ERROR: %s failed", "convertTodateTimeFormat()");
    VELM_RECORD(context, result, 64, "convertTodateTimeFormat()");
    return nullptr;
  }
  if (time->tv_usec != 0) {
    char fraction[64];
    std::snprintf(fraction, sizeof fraction, "%f", static_cast<double>(time->tv_usec) / 1000000.0);
    const char *point = std::strchr(fraction, '.');
    const std::size_t length = std::strlen(buf);  // ends in "Z"
    if (point != nullptr && length + std::strlen(point) < sizeof buf) {
      std::snprintf(buf + length - 1, sizeof buf - (length - 1), "%sZ", point);
    }
  }
  char *text = heapCopy(buf);
  if (text == nullptr) recordNoMemory(context, result, __func__, __LINE__);
  return text;
}

int buildVELMVersion(VELM_AuditClientContext *context, XmlDocument *doc, cbe_base_elts *base, const char *name,
                     const char *value, VELM_result *result) {
  if (base->extendedDataElements == nullptr) {
    base->extendedDataElements = createElement(context, doc, kExtendedDataElements, result);
    if (base->extendedDataElements == nullptr) return -1;
  }
  return buildString(context, doc, base->extendedDataElements, name, value, result);
}

}  // namespace velm
