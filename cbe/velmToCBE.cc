// An audit event into one "CommonBaseEvent" element: the fixed frame, the
// base elements, and every other element as an extended data element.
// Written once for both outputs (cbe/cbe_output.h).
#include "cbe/velmToCBE.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "capis/errors.h"
#include "capis/trace.h"
#include "cbe/cbe_encoders.h"
#include "cbe/cbe_names.h"

VELM_TRACE_UNIT("velmToCBE");

namespace velm {
namespace cbe {

namespace {

void recordNoMemory(VELM_AuditClientContext *context, VELM_result *result, const char *function, int line) {
  if (traceOn(context, TraceKind::Error))
    traceLine(context->traceLogger, kVelmTraceUnit, function, line, "ERROR: cannot malloc");
  recordMessage(context, result, 1, kVelmTraceUnit, function, line);
}

// What the base elements of one top-level element produced.
struct BaseState {
  char creationTime[96];
  bool haveTime = false;
  const char *msg = nullptr;  // borrowed from the element
  char sequenceNumber[32];
  bool haveSequence = false;
  const char *globalInstanceId = nullptr;  // borrowed from the element
  bool haveTop = false;  // the top-level extended data element is made
};

// 0 when the element was taken as a base element; -1 when it is not one (or
// its base form could not be built), so it is encoded like any other.
int baseElement(CbeOutput &o, BaseState &base, VELM_AuditElement *element, const char *name, const void *value) {
  if (element == nullptr || name == nullptr || value == nullptr) return -1;
  switch (element->valueType) {
    case VELM_VT_COMPONENT_ID:
      if (std::strcmp(name, "sourceComponentId") == 0 || std::strcmp(name, "reporterComponentId") == 0)
        return encodeComponentId(o, true, name, 1, static_cast<const VELM_ComponentId *>(value));
      return -1;
    case VELM_VT_MSG_DATA_ELEMENT:
      if (std::strcmp(name, "auditMsgElement") == 0)
        return encodeMsgDataElement(o, true, name, 1, static_cast<const VELM_MsgDataElement *>(value));
      return -1;
    case VELM_VT_DATETIME:
      if (std::strcmp(name, "timestamp") == 0) {
        // A nested "timestamp" after an earlier one replaces it.
        if (formatDateTime(o.context(), static_cast<const struct timeval *>(value), base.creationTime,
                           sizeof base.creationTime, o.result()) == nullptr)
          return -1;
        base.haveTime = true;
        return 0;
      }
      return -1;
    case VELM_VT_STRING:
      if (std::strcmp(name, "auditMsg") == 0) {
        base.msg = static_cast<const char *>(value);
        return 0;
      }
      if (std::strcmp(name, "globalInstanceId") == 0) {
        base.globalInstanceId = static_cast<const char *>(value);
        return 0;
      }
      return -1;
    case VELM_VT_LONG:
      if (std::strcmp(name, "sequenceNumber") == 0) {
        formatNumber(*static_cast<const int64_t *>(value), base.sequenceNumber, sizeof base.sequenceNumber);
        base.haveSequence = true;
        return 0;
      }
      return -1;
    default:
      return -1;
  }
}

// One element and its subtree. parentOpen tells whether the element's
// parent became a node: a non-base element under a base element is built
// but attached nowhere, as it always was (only the first one of a
// top-level base element becomes that element's extended data element).
int encodeElement(CbeOutput &o, bool parentOpen, BaseState &base, VELM_AuditElement *element) {
  if (element == nullptr || element->name == nullptr || element->value == nullptr) return -1;
  const char *name = element->name;
  bool opened = false;
  bool topLevel = false;
  if (baseElement(o, base, element, name, element->value) != 0) {
    topLevel = !base.haveTop;
    if (o.open(topLevel ? kExtendedDataElements : kChildren, topLevel || !parentOpen) != 0) return -1;
    if (topLevel) base.haveTop = true;
    if (encodeValue(o, name, element->valueType, element->value) != 0) {
      o.drop();  // the document goes with the failed conversion
      return -1;
    }
    opened = true;
  }
  int status = 0;
  for (int i = 0; i < element->count; ++i) {
    VELM_AuditElement *child = element->children[i];
    if (child == nullptr) continue;
    status = encodeElement(o, opened, base, child);
    if (status != 0) break;
  }
  if (!opened) return status;
  if (status != 0) {
    o.drop();
    return status;
  }
  return o.close(topLevel ? kSlotExtended : kSlotNone);
}

// Step 4 of every top-level element: its base elements onto the root.
int copyBaseToRoot(CbeOutput &o, const BaseState &base) {
  int status = 0;
  if (base.haveTime && o.rootAttr(kCreationTime, base.creationTime) != 0) status = -1;
  if (status == 0 && base.msg != nullptr && o.rootAttr(kMsg, base.msg) != 0) status = -1;
  if (status == 0 && base.haveSequence && o.rootAttr(kSequenceNumber, base.sequenceNumber) != 0) status = -1;
  if (status == 0 && base.globalInstanceId != nullptr && o.rootAttr(kGlobalInstanceId, base.globalInstanceId) != 0)
    status = -1;
  if (status != 0) return -1;
  return o.flushSlots();
}

// The root's attributes and its situation, the same for every event.
int encodeFrame(CbeOutput &o, const char *eventType) {
  if (o.rootAttr(kVersion, kCbeVersion) != 0) return -1;
  const std::size_t typeLength = std::strlen(eventType);
  char local[128];
  std::string heap;
  char *extension = local;
  if (typeLength + 9 > sizeof local) {
    try {
      heap.resize(typeLength + 9);
    } catch (const std::bad_alloc &) {
      recordNoMemory(o.context(), o.result(), __func__, __LINE__);
      return -1;
    }
    extension = heap.data();
  }
  std::memcpy(extension, "KTO_DXA_", 8);
  std::memcpy(extension + 8, eventType, typeLength + 1);
  if (o.rootAttr(kExtensionName, extension) != 0) return -1;

  if (o.open(kSituation) != 0) return -1;
  if (o.attr(kCategoryName, kReportSituation) != 0 || o.open(kSituationType) != 0) {
    o.drop();
    return -1;
  }
  if (o.attr(kReportCategory, kSecurity) != 0 || o.attr(kReasoningScope, kInternal) != 0) {
    o.drop();
    o.drop();
    return -1;
  }
  if (o.close() != 0) {
    o.drop();
    return -1;
  }
  return o.close();
}

}  // namespace

int encodeEvent(CbeOutput &o, VELM_AuditEvent *event) {
  VELM_AuditClientContext *context = o.context();
  int status = encodeFrame(o, event->eventType != nullptr ? event->eventType : "");
  for (int i = 0; status == 0 && i < event->count; ++i) {
    BaseState base;
    VELM_AuditElement *element = event->elements[i];
    if (element == nullptr) {
      VELM_FLOW(context, "FLOW: Element is NULL...");
      continue;
    }
    VELM_FLOW(context, "FLOW: Element name is %s", element->name);
    const int rc = encodeElement(o, false, base, element);
    VELM_FLOW(context, "FLOW: return code from buildDOMElement is %d", rc);
    if (rc == -1) {
      status = -1;
      break;
    }
    status = copyBaseToRoot(o, base);
  }
  if (status == 0) {
    // The closing extended data element with the version of the event format.
    status = o.open(kExtendedDataElements, true);
    if (status == 0) {
      status = encodeScalar(o, "VELMEventVersion", kTypeString, "6.0");
      if (status == 0) {
        status = o.close(kSlotExtended);
      } else {
        o.drop();
      }
    }
    if (status == 0) status = o.flushSlots();
  }
  if (status != 0) VELM_TRACE_ERROR(context, "ERROR: buildDOMElement failed...");
  return status;
}

int encodeScalar(CbeOutput &o, const char *name, const XMLCh *type, const char *text) {
  if (o.attr(kName, name) != 0 || o.attr(kType, type) != 0) return -1;
  return o.values(text);
}

int encodeValue(CbeOutput &o, const char *name, int valueType, const void *v) {
  switch (valueType) {
    case VELM_VT_INTEGER: {
      char buf[32];
      return encodeScalar(o, name, kTypeInt, formatNumber(*static_cast<const int32_t *>(v), buf, sizeof buf));
    }
    case VELM_VT_LONG: {
      char buf[32];
      return encodeScalar(o, name, kTypeLong, formatNumber(*static_cast<const int64_t *>(v), buf, sizeof buf));
    }
    case VELM_VT_STRING: return encodeScalar(o, name, kTypeString, static_cast<const char *>(v));
    case VELM_VT_DATETIME: {
      char buf[96];
      const char *text = formatDateTime(o.context(), static_cast<const struct timeval *>(v), buf, sizeof buf,
                                        o.result());
      if (text == nullptr) return -1;
      return encodeScalar(o, name, kTypeDateTime, text);
    }
    case VELM_VT_ATTRIBUTE: return encodeAttribute(o, name, 1, static_cast<const VELM_Attribute *>(v));
    case VELM_VT_ATTRIBUTE_PERMISSION_INFO:
      return encodeAttributePermissionInfo(o, name, 1, static_cast<const VELM_AttributePermissionInfo *>(v));
    case VELM_VT_COMPONENT_ID:
      return encodeComponentId(o, false, name, 1, static_cast<const VELM_ComponentId *>(v));
    case VELM_VT_HTTPURL_INFO: return encodeHTTPURLInfo(o, name, 1, static_cast<const VELM_HTTPURLInfo *>(v));
    case VELM_VT_MEMBERSHIP_INFO:
      return encodeMembershipInfo(o, name, 1, static_cast<const VELM_MembershipInfo *>(v));
    case VELM_VT_MGMT_INFO: return encodeMgmtInfo(o, name, 1, static_cast<const VELM_MgmtInfo *>(v));
    case VELM_VT_MSG_DATA_ELEMENT:
      return encodeMsgDataElement(o, false, name, 1, static_cast<const VELM_MsgDataElement *>(v));
    case VELM_VT_OUTCOME: return encodeOutcome(o, name, 1, static_cast<const VELM_Outcome *>(v));
    case VELM_VT_PERF_INFO: return encodePerfInfo(o, name, 1, static_cast<const VELM_PerfInfo *>(v));
    case VELM_VT_POLICY_INFO: return encodePolicyInfo(o, name, 1, static_cast<const VELM_PolicyInfo *>(v));
    case VELM_VT_PERMISSION_INFO:
      return encodePermissionInfo(o, name, 1, static_cast<const VELM_PermissionInfo *>(v));
    case VELM_VT_PROVISIONING_INFO:
      return encodeProvisioningInfo(o, name, 1, static_cast<const VELM_ProvisioningInfo *>(v));
    case VELM_VT_REGISTRY_INFO: return encodeRegistryInfo(o, name, 1, static_cast<const VELM_RegistryInfo *>(v));
    case VELM_VT_REGISTRY_OBJECT_INFO:
      return encodeRegistryObjectInfo(o, name, 1, static_cast<const VELM_RegistryObjectInfo *>(v));
    case VELM_VT_RESOURCE_INFO: return encodeResourceInfo(o, name, 1, static_cast<const VELM_ResourceInfo *>(v));
    case VELM_VT_TARGET_INFO: return encodeTargetInfo(o, name, 1, static_cast<const VELM_TargetInfo *>(v));
    case VELM_VT_USER_INFO: return encodeUserInfo(o, name, 1, static_cast<const VELM_UserInfo *>(v));
    case VELM_VT_WORK_ITEM_INFO: return encodeWorkItemInfo(o, name, 1, static_cast<const VELM_WorkItemInfo *>(v));
    case VELM_VT_ATTRIBUTE_ARRAY:
    case VELM_VT_ATTRIBUTE_PERMISSION_INFO_ARRAY:
    case VELM_VT_MEMBERSHIP_INFO_ARRAY:
    case VELM_VT_POLICY_INFO_ARRAY:
      return encodeElementArray(o, valueType, name, 1, v);
    default: {
      VELM_AuditClientContext *context = o.context();
      VELM_result *result = o.result();
      char type[16];
      std::snprintf(type, sizeof type, "%d", valueType);
      VELM_TRACE_ERROR(context, "The element %s has an invalid value type: %s", name, type);
      VELM_RECORD(context, result, 14, name, valueType);
      return -1;
    }
  }
}

namespace {

// Days since 1970-01-01 to a proleptic Gregorian date.
void civilFromDays(int64_t days, int64_t &year, unsigned &month, unsigned &day) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(days - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = doy - (153 * mp + 2) / 5 + 1;
  month = mp < 10 ? mp + 3 : mp - 9;
  year = static_cast<int64_t>(yoe) + era * 400 + (month <= 2 ? 1 : 0);
}

char *put2(char *p, unsigned v) {
  p[0] = static_cast<char>('0' + v / 10);
  p[1] = static_cast<char>('0' + v % 10);
  return p + 2;
}

}  // namespace

const char *formatDateTime(VELM_AuditClientContext *context, const struct timeval *time, char *buf,
                           std::size_t size, VELM_result *result) {
  if (time == nullptr) return nullptr;
  const int64_t seconds = time->tv_sec;
  // Years 1000 to 9999 (almost every time ever sent) are written here; the
  // others keep the C library's forms, which differ in width and sign.
  constexpr int64_t kYear1000 = -30610224000LL;
  constexpr int64_t kYear10000 = 253402300800LL;
  std::size_t length;
  if (seconds >= kYear1000 && seconds < kYear10000 && size >= 64) {
    int64_t days = seconds / 86400;
    int64_t rest = seconds % 86400;
    if (rest < 0) {
      rest += 86400;
      --days;
    }
    int64_t year;
    unsigned month, day;
    civilFromDays(days, year, month, day);
    char *p = buf;
    p = put2(p, static_cast<unsigned>(year / 100));
    p = put2(p, static_cast<unsigned>(year % 100));
    *p++ = '-';
    p = put2(p, month);
    *p++ = '-';
    p = put2(p, day);
    *p++ = 'T';
    p = put2(p, static_cast<unsigned>(rest / 3600));
    *p++ = ':';
    p = put2(p, static_cast<unsigned>(rest / 60 % 60));
    *p++ = ':';
    p = put2(p, static_cast<unsigned>(rest % 60));
    *p++ = 'Z';
    *p = '\0';
    length = static_cast<std::size_t>(p - buf);
  } else {
    struct tm parts {};
    const time_t t = time->tv_sec;
    if (gmtime_r(&t, &parts) == nullptr || std::strftime(buf, size, "%Y-%m-%dT%H:%M:%SZ", &parts) == 0) {
      VELM_TRACE_ERROR(context, "ERROR: %s failed", "convertTodateTimeFormat()");
      VELM_RECORD(context, result, 64, "convertTodateTimeFormat()");
      return nullptr;
    }
    length = std::strlen(buf);
  }
  if (time->tv_usec != 0) {
    char fraction[64];
    const long usec = time->tv_usec;
    if (usec > 0 && usec < 1000000) {
      // Six digits, as "%f" writes usec / 1e6.
      fraction[0] = '.';
      long v = usec;
      for (int i = 6; i >= 1; --i) {
        fraction[i] = static_cast<char>('0' + v % 10);
        v /= 10;
      }
      fraction[7] = '\0';
    } else {
      std::snprintf(fraction, sizeof fraction, "%f", static_cast<double>(usec) / 1000000.0);
    }
    const char *point = std::strchr(fraction, '.');
    if (point != nullptr && length + std::strlen(point) < size)
      std::snprintf(buf + length - 1, size - (length - 1), "%sZ", point);
  }
  return buf;
}

}  // namespace cbe

using namespace cbe;

XmlElement *convertToCBE(VELM_AuditClientContext *context, VELM_AuditEvent *event, VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  if (event == nullptr) {
    VELM_TRACE_ERROR(context, "The required parameter %s passed to the function is NULL", "event");
    VELM_RECORD(context, result, 12);
    return nullptr;
  }
  DomOutput out(context, result);
  if (out.root() == nullptr) return nullptr;
  if (encodeEvent(out, event) != 0) return nullptr;  // the document goes with out
  return out.release();
}

int writeCBE(VELM_AuditClientContext *context, VELM_AuditEvent *event, std::string &out, VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  if (event == nullptr) {
    VELM_TRACE_ERROR(context, "The required parameter %s passed to the function is NULL", "event");
    VELM_RECORD(context, result, 12);
    return -1;
  }
  try {
    TextOutput &writer = TextOutput::forThread();
    writer.reset(context, result);
    if (encodeEvent(writer, event) != 0) return -1;
    return writer.finish(out);
  } catch (const std::bad_alloc &) {
    recordNoMemory(context, result, __func__, __LINE__);
    return -1;
  }
}

int buildString(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node, const char *name,
                const char *text, VELM_result *result) {
  DomOutput o(context, result, doc, node);
  return encodeScalar(o, name, kTypeString, text);
}

int buildInteger(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node, const char *name,
                 int32_t value, VELM_result *result) {
  DomOutput o(context, result, doc, node);
  return encodeValue(o, name, VELM_VT_INTEGER, &value);
}

int buildLong(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node, const char *name,
              int64_t value, VELM_result *result) {
  DomOutput o(context, result, doc, node);
  return encodeValue(o, name, VELM_VT_LONG, &value);
}

int builddateTime(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node, const char *name,
                  const struct timeval *time, VELM_result *result) {
  DomOutput o(context, result, doc, node);
  return encodeValue(o, name, VELM_VT_DATETIME, time);
}

char *convertTodateTimeFormat(VELM_AuditClientContext *context, const struct timeval *time, VELM_result *result) {
  char buf[96];
  const char *text = formatDateTime(context, time, buf, sizeof buf, result);
  if (text == nullptr) return nullptr;
  char *copy = strdup(text);
  if (copy == nullptr) recordNoMemory(context, result, __func__, __LINE__);
  return copy;
}

}  // namespace velm
