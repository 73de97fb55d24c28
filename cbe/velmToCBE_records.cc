// Encoders of the info records and record arrays, and the node builders
// the whole conversion shares.
#include <charconv>
#include <cstring>
#include <string>

#include "capis/errors.h"
#include "capis/trace.h"
#include "cbe/cbe_names.h"
#include "cbe/velmToCBE.h"

VELM_TRACE_UNIT("velmToCBE");

namespace velm {
namespace cbe {

const XMLCh *typeWord(int valueType) {
  static constexpr const XMLCh *kWords[] = {
      /*  5 */ u"VELMComplexType:VELMAuditAttribute",
      /*  6 */ u"VELMComplexType:VELMAuditAttributePermissionInfo",
      /*  7 */ u"VELMComplexType:VELMAuditComponentID",
      /*  8 */ u"VELMComplexType:VELMAuditHTTPURLInfo",
      /*  9 */ u"VELMComplexType:VELMAuditMembershipInfo",
      /* 10 */ u"VELMComplexType:VELMAuditMgmtInfo",
      // The message data element has no word of its own and borrows this one.
      /* 11 */ u"VELMComplexType:VELMAuditMgmtInfo",
      /* 12 */ u"VELMComplexType:VELMAuditOutcome",
      /* 13 */ u"VELMComplexType:VELMAuditPerfInfo",
      /* 14 */ u"VELMComplexType:VELMAuditPolicyInfo",
      /* 15 */ u"VELMComplexType:VELMAuditPermissionInfo",
      /* 16 */ u"VELMComplexType:VELMAuditProvisioningInfo",
      /* 17 */ u"VELMComplexType:VELMAuditRegistryInfo",
      /* 18 */ u"VELMComplexType:VELMAuditRegistryObjectInfo",
      /* 19 */ u"VELMComplexType:VELMAuditResourceInfo",
      /* 20 */ u"VELMComplexType:VELMAuditTargetInfo",
      /* 21 */ u"VELMComplexType:VELMAuditUserInfo",
      /* 22 */ u"VELMComplexType:VELMAuditWorkItemInfo",
      /* 23 */ u"VELMComplexType:VELMAuditAttributeArray",
      /* 24 */ u"VELMComplexType:VELMAuditAttributePermissionInfoArray",
      /* 25 */ u"VELMComplexType:VELMAuditMembershipInfoArray",
      /* 26 */ u"VELMComplexType:VELMAuditPolicyInfoArray",
  };
  if (valueType < VELM_VT_ATTRIBUTE || valueType > VELM_VT_POLICY_INFO_ARRAY) return nullptr;
  return kWords[valueType - VELM_VT_ATTRIBUTE];
}

const char *formatNumber(int64_t value, char *buf, std::size_t size) {
  auto [end, ec] = std::to_chars(buf, buf + size - 1, value);
  *end = '\0';
  return buf;
}

std::string partName(const char *owner, const XMLCh *field, int index) {
  std::string name = owner != nullptr ? owner : "";
  if (field != nullptr) {
    if (!name.empty()) name += '.';
    for (const XMLCh *c = field; *c != 0; ++c) name += static_cast<char>(*c);  // the names are ASCII
  }
  if (index >= 0) name += "[" + std::to_string(index) + "]";
  return name;
}

void recordLeftOut(VELM_AuditClientContext *context, VELM_result *result, const std::string &what,
                   const char *function, int line) {
  if (traceOn(context, TraceKind::Error))
    traceLine(context->traceLogger, kVelmTraceUnit, function, line,
              "ERROR: %s could not be encoded and was left out of the event", what.c_str());
  recordMessage(context, result, 8, kVelmTraceUnit, function, line, what.c_str(), kLeftOut);
}

// Nodes are filled before they are attached: the library walks a node's
// ancestors on every append, so building bottom-up keeps that walk short.
template <typename T>
int addValuesImpl(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node, const T *text,
                  VELM_result *result) {
  XmlElement *values = createElement(context, doc, kValues, result);
  if (values == nullptr || setElementData(context, doc, values, text, result) != 0) return -1;
  return addElementToElement(context, node, values, result);
}

int addValues(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node, const char *text,
              VELM_result *result) {
  return addValuesImpl(context, doc, node, text, result);
}

int addValues(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node, const XMLCh *text,
              VELM_result *result) {
  return addValuesImpl(context, doc, node, text, result);
}

int nameAndType(VELM_AuditClientContext *context, XmlElement *node, const char *name, const XMLCh *type,
                VELM_result *result) {
  if (setAttribute(context, node, kName, name, result) != 0) return -1;
  return setAttribute(context, node, kType, type, result);
}

int nameAndType(VELM_AuditClientContext *context, XmlElement *node, const XMLCh *name, const XMLCh *type,
                VELM_result *result) {
  if (setAttribute(context, node, kName, name, result) != 0) return -1;
  return setAttribute(context, node, kType, type, result);
}

namespace {

// A detached "children" node with its name and type.
XmlElement *field(VELM_AuditClientContext *context, XmlDocument *doc, const XMLCh *name, const XMLCh *type,
                  VELM_result *result) {
  XmlElement *child = createElement(context, doc, kChildren, result);
  if (child == nullptr || nameAndType(context, child, name, type, result) != 0) return nullptr;
  return child;
}

int scalarField(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node, const XMLCh *name,
                const XMLCh *type, const char *text, VELM_result *result) {
  XmlElement *child = field(context, doc, name, type, result);
  if (child == nullptr || addValues(context, doc, child, text, result) != 0) return -1;
  return addElementToElement(context, node, child, result);
}

}  // namespace

int stringField(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node, const XMLCh *name,
                const char *value, VELM_result *result) {
  if (value == nullptr) return 0;
  return scalarField(context, doc, node, name, kTypeString, value, result);
}

int intField(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node, const XMLCh *name,
             int32_t value, VELM_result *result) {
  char buf[32];
  return scalarField(context, doc, node, name, kTypeInt, formatNumber(value, buf, sizeof buf), result);
}

int longField(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node, const XMLCh *name,
              int64_t value, VELM_result *result) {
  char buf[32];
  return scalarField(context, doc, node, name, kTypeLong, formatNumber(value, buf, sizeof buf), result);
}

int arrayField(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node, const XMLCh *name,
               char *const *list, VELM_result *result, const char *owner) {
  if (list == nullptr || list[0] == nullptr) return 0;
  XmlElement *child = field(context, doc, name, kTypeStringArray, result);
  if (child == nullptr) return -1;
  // A string that cannot be written is left out, so the rest still goes.
  int written = 0;
  for (int i = 0; list[i] != nullptr; ++i) {
    if (addValues(context, doc, child, list[i], result) == 0) {
      ++written;
    } else {
      recordLeftOut(context, result, partName(owner, name, i), __func__, __LINE__);
    }
  }
  if (written == 0) return 0;
  return addElementToElement(context, node, child, result);
}

}  // namespace cbe

using namespace cbe;

namespace {

// Steps 1 and 2 of every record encoder.
int recordHeader(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node, const char *name,
                 int typed, int valueType, VELM_result *result) {
  if (typed) {
    if (nameAndType(context, node, name, kTypeString, result) != 0) return -1;
    return addValues(context, doc, node, typeWord(valueType), result);
  }
  return nameAndType(context, node, name, kTypeNoValue, result);
}

// A record encoder reached with no record: nothing to write, and the
// caller must not take the node for a finished one.
int missingRecord(VELM_AuditClientContext *context, VELM_result *result, const char *function, int line) {
  if (traceOn(context, TraceKind::Error))
    traceLine(context->traceLogger, kVelmTraceUnit, function, line,
              "The required parameter %s passed to the function is NULL", "value");
  recordMessage(context, result, 9, kVelmTraceUnit, function, line, "value");
  return -1;
}

#define VELM_CHECK_RECORD()                                                                     \
  do {                                                                                          \
    if (record == nullptr || node == nullptr || name == nullptr)                                \
      return missingRecord(context, result, __func__, __LINE__);                                \
  } while (0)

}  // namespace

int addAttrsToElement(VELM_AuditClientContext *context, XmlDocument *doc, const attr_val *table,
                      XmlElement *node, VELM_result *result) {
  (void)doc;
  if (table == nullptr || node == nullptr) return -1;
  for (const attr_val *e = table; e->name != nullptr; ++e) {
    if (e->value == nullptr) continue;
    if (setAttribute(context, node, e->name, e->value, result) != 0) return -1;
  }
  return 0;
}

int addChldsToElement(VELM_AuditClientContext *context, XmlDocument *doc, const attr_val *table,
                      XmlElement *node, VELM_result *result) {
  if (table == nullptr || node == nullptr) return -1;
  for (const attr_val *e = table; e->name != nullptr; ++e)
    if (stringField(context, doc, node, e->name, e->value, result) != 0) return -1;
  return 0;
}

int addArrayToElement(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node, const char *name,
                      int kind, char *const *list, VELM_result *result) {
  if (node == nullptr || name == nullptr || list == nullptr) return 0;
  if (kind != VELM_VT_STRING) {
    VELM_TRACE_ERROR(context, "The element %s has an invalid value type: %d", name, kind);
    VELM_RECORD(context, result, 14, name, kind);
    return -1;
  }
  for (char *const *s = list; *s != nullptr; ++s) {
    XmlElement *e = createElement(context, doc, name, result);
    if (e == nullptr || setElementData(context, doc, e, *s, result) != 0 ||
        addElementToElement(context, node, e, result) != 0)
      return -1;
  }
  return 0;
}

int buildAttributes(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node,
                    VELM_Attribute *const *list, VELM_result *result, const char *owner, bool inArray) {
  if (list == nullptr) return 0;
  static constexpr XMLCh kAttributes[] = u"attributes";
  // An attribute that cannot be written whole is left out (a name without
  // its value would mislead); the others still go.
  for (int i = 0; list[i] != nullptr; ++i) {
    const VELM_Attribute *a = list[i];
    XmlElement *child = field(context, doc, kAttributes, kTypeNoValue, result);
    if (child == nullptr) return -1;
    const attr_val table[] = {{u"name", a->name}, {u"value", a->value}, {u"source", a->source}, {}};
    if (addChldsToElement(context, doc, table, child, result) != 0 ||
        addElementToElement(context, node, child, result) != 0)
      recordLeftOut(context, result, partName(owner, inArray ? nullptr : kAttributes, i), __func__, __LINE__);
  }
  return 0;
}

int buildAttribute(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node, const char *name,
                   int typed, const VELM_Attribute *record, VELM_result *result) {
  VELM_CHECK_RECORD();
  if (recordHeader(context, doc, node, name, typed, VELM_VT_ATTRIBUTE, result) != 0) return -1;
  const attr_val table[] = {{u"name", record->name}, {u"value", record->value}, {u"source", record->source}, {}};
  return addChldsToElement(context, doc, table, node, result);
}

int buildAttributePermissionInfo(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node,
                                 const char *name, int typed, const VELM_AttributePermissionInfo *record,
                                 VELM_result *result) {
  VELM_CHECK_RECORD();
  if (recordHeader(context, doc, node, name, typed, VELM_VT_ATTRIBUTE_PERMISSION_INFO, result) != 0) return -1;
  if (arrayField(context, doc, node, u"attributeNames", record->attributeNames, result, name) != 0 ||
      arrayField(context, doc, node, u"checked", record->checked, result, name) != 0 ||
      arrayField(context, doc, node, u"granted", record->granted, result, name) != 0 ||
      arrayField(context, doc, node, u"denied", record->denied, result, name) != 0)
    return -1;
  return 0;
}

namespace {
// The component id's fields in their written order; "subcomponent" is
// written as "subComponent".
void componentIdTable(const VELM_ComponentId *r, attr_val (&table)[12]) {
  const attr_val t[12] = {{u"location", r->location},
                          {u"locationType", r->locationType},
                          {u"application", r->application},
                          {u"executionEnvironment", r->executionEnvironment},
                          {u"component", r->component},
                          {u"componentType", r->componentType},
                          {u"componentIdType", r->componentIdType},
                          {u"subComponent", r->subcomponent},
                          {u"instanceId", r->instanceId},
                          {u"processId", r->processId},
                          {u"threadId", r->threadId},
                          {}};
  std::memcpy(table, t, sizeof t);
}
}  // namespace

int buildComponentId(VELM_AuditClientContext *context, XmlDocument *doc, cbe_base_elts *base, XmlElement *node,
                     const char *name, int typed, const VELM_ComponentId *record, VELM_result *result) {
  if (record == nullptr || name == nullptr || (base == nullptr && node == nullptr))
    return missingRecord(context, result, __func__, __LINE__);
  attr_val table[12];
  componentIdTable(record, table);
  if (base != nullptr) {
    XmlElement **slot = nullptr;
    const XMLCh *elementName = nullptr;
    if (std::strcmp(name, "sourceComponentId") == 0) {
      slot = &base->sourceComponentId;
      elementName = kSourceComponentId;
    } else if (std::strcmp(name, "reporterComponentId") == 0) {
      slot = &base->reporterComponentId;
      elementName = kReporterComponentId;
    } else {
      return -1;
    }
    XmlElement *e = createElement(context, doc, elementName, result);
    if (e == nullptr) return -1;
    // A field that cannot be written is left out; the others still go.
    for (const attr_val *f = table; f->name != nullptr; ++f) {
      if (f->value != nullptr && setAttribute(context, e, f->name, f->value, result) != 0)
        recordLeftOut(context, result, partName(name, f->name, -1), __func__, __LINE__);
    }
    *slot = e;
    return 0;
  }
  if (recordHeader(context, doc, node, name, typed, VELM_VT_COMPONENT_ID, result) != 0) return -1;
  for (const attr_val *f = table; f->name != nullptr; ++f) {
    if (stringField(context, doc, node, f->name, f->value, result) != 0)
      recordLeftOut(context, result, partName(name, f->name, -1), __func__, __LINE__);
  }
  return 0;
}

int buildHTTPURLInfo(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node, const char *name,
                     int typed, const VELM_HTTPURLInfo *record, VELM_result *result) {
  VELM_CHECK_RECORD();
  if (recordHeader(context, doc, node, name, typed, VELM_VT_HTTPURL_INFO, result) != 0) return -1;
  const attr_val table[] = {{u"url", record->url},
                            {u"method", record->method},
                            {u"requestHeaders", record->requestHeaders},
                            {u"responseHeaders", record->responseHeaders},
                            {}};
  if (addChldsToElement(context, doc, table, node, result) != 0) return -1;
  return intField(context, doc, node, u"responseCode", record->responseCode, result);
}

int buildMembershipInfo(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node, const char *name,
                        int typed, const VELM_MembershipInfo *record, VELM_result *result) {
  VELM_CHECK_RECORD();
  if (recordHeader(context, doc, node, name, typed, VELM_VT_MEMBERSHIP_INFO, result) != 0) return -1;
  const attr_val table[] = {{u"type", record->type}, {u"id", record->id}, {u"name", record->name}, {}};
  return addChldsToElement(context, doc, table, node, result);
}

int buildTargetInfo(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node, const char *name,
                    int typed, const VELM_TargetInfo *record, VELM_result *result) {
  VELM_CHECK_RECORD();
  if (recordHeader(context, doc, node, name, typed, VELM_VT_TARGET_INFO, result) != 0) return -1;
  if (arrayField(context, doc, node, u"targetNames", record->targetNames, result, name) != 0) return -1;
  return buildAttributes(context, doc, node, record->attributes, result, name);
}

int buildMgmtInfo(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node, const char *name,
                  int typed, const VELM_MgmtInfo *record, VELM_result *result) {
  VELM_CHECK_RECORD();
  if (recordHeader(context, doc, node, name, typed, VELM_VT_MGMT_INFO, result) != 0) return -1;
  int status = 0;
  if (record->targetInfo != nullptr) {
    // A target info that cannot be written is left out; the command still is.
    XmlElement *nested = createElement(context, doc, kChildren, result);
    if (nested == nullptr || buildTargetInfo(context, doc, nested, "targetInfo", 0, record->targetInfo, result) != 0 ||
        addElementToElement(context, node, nested, result) != 0)
      status = -1;
  }
  if (stringField(context, doc, node, u"command", record->command, result) != 0) return -1;
  return status;
}

int buildMsgDataElement(VELM_AuditClientContext *context, XmlDocument *doc, cbe_base_elts *base,
                        XmlElement *node, const char *name, int typed, const VELM_MsgDataElement *record,
                        VELM_result *result) {
  if (record == nullptr || (base == nullptr && (node == nullptr || name == nullptr)))
    return missingRecord(context, result, __func__, __LINE__);
  if (base != nullptr) {
    static constexpr XMLCh kMsgLocale[] = u"msgLocale";
    static constexpr XMLCh kMsgCatalogTokens[] = u"msgCatalogTokens";
    XmlElement *e = createElement(context, doc, kMsgDataElement, result);
    if (e == nullptr) return -1;
    if (record->msgLocale != nullptr && setAttribute(context, e, kMsgLocale, record->msgLocale, result) != 0)
      return -1;
    if (record->msgCatalogTokens != nullptr) {
      // A token that cannot be written is left out; the others still go.
      for (int i = 0; record->msgCatalogTokens[i] != nullptr; ++i) {
        XmlElement *token = createElement(context, doc, kMsgCatalogTokens, result);
        if (token == nullptr) return -1;
        if (setAttribute(context, token, kValue, record->msgCatalogTokens[i], result) != 0 ||
            addElementToElement(context, e, token, result) != 0)
          recordLeftOut(context, result, partName("msgDataElement", kMsgCatalogTokens, i), __func__,
                        __LINE__);
      }
    }
    // Here "msgCatalogType" comes before "msgCatalog", unlike the record form.
    const attr_val texts[] = {{u"msgId", record->msgId},
                              {u"msgIdType", record->msgIdType},
                              {u"msgCatalogId", record->msgCatalogId},
                              {u"msgCatalogType", record->msgCatalogType},
                              {u"msgCatalog", record->msgCatalog},
                              {}};
    for (const attr_val *t = texts; t->name != nullptr; ++t) {
      if (t->value == nullptr) continue;
      XmlElement *child = createElement(context, doc, t->name, result);
      if (child == nullptr || setElementData(context, doc, child, t->value, result) != 0 ||
          addElementToElement(context, e, child, result) != 0)
        return -1;
    }
    base->msgDataElement = e;
    return 0;
  }
  if (recordHeader(context, doc, node, name, typed, VELM_VT_MSG_DATA_ELEMENT, result) != 0) return -1;
  const attr_val table[] = {{u"msgId", record->msgId},
                            {u"msgIdType", record->msgIdType},
                            {u"msgCatalogId", record->msgCatalogId},
                            {u"msgCatalog", record->msgCatalog},
                            {u"msgCatalogType", record->msgCatalogType},
                            {u"msgLocale", record->msgLocale},
                            {}};
  if (addChldsToElement(context, doc, table, node, result) != 0) return -1;
  return arrayField(context, doc, node, u"msgCatalogTokens", record->msgCatalogTokens, result, name);
}

int buildOutcome(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node, const char *name,
                 int typed, const VELM_Outcome *record, VELM_result *result) {
  VELM_CHECK_RECORD();
  if (recordHeader(context, doc, node, name, typed, VELM_VT_OUTCOME, result) != 0 ||
      stringField(context, doc, node, u"result", record->result, result) != 0 ||
      intField(context, doc, node, u"majorStatus", record->majorStatus, result) != 0 ||
      intField(context, doc, node, u"minorStatus", record->minorStatus, result) != 0 ||
      stringField(context, doc, node, u"failureReason", record->failureReason, result) != 0)
    return -1;
  return 0;
}

int buildPerfInfo(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node, const char *name,
                  int typed, const VELM_PerfInfo *record, VELM_result *result) {
  VELM_CHECK_RECORD();
  if (recordHeader(context, doc, node, name, typed, VELM_VT_PERF_INFO, result) != 0 ||
      stringField(context, doc, node, u"name", record->name, result) != 0 ||
      stringField(context, doc, node, u"description", record->description, result) != 0 ||
      intField(context, doc, node, u"numDataPoints", record->numDataPoints, result) != 0 ||
      stringField(context, doc, node, u"unit", record->unit, result) != 0 ||
      longField(context, doc, node, u"maxValue", record->maxValue, result) != 0 ||
      longField(context, doc, node, u"minValue", record->minValue, result) != 0 ||
      longField(context, doc, node, u"value", record->value, result) != 0 ||
      stringField(context, doc, node, u"aggregate", record->aggregate, result) != 0)
    return -1;
  return 0;
}

int buildPolicyInfo(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node, const char *name,
                    int typed, const VELM_PolicyInfo *record, VELM_result *result) {
  VELM_CHECK_RECORD();
  if (recordHeader(context, doc, node, name, typed, VELM_VT_POLICY_INFO, result) != 0) return -1;
  const attr_val table[] = {{u"name", record->name},
                            {u"branch", record->branch},
                            {u"type", record->type},
                            {u"description", record->description},
                            {}};
  if (addChldsToElement(context, doc, table, node, result) != 0) return -1;
  return buildAttributes(context, doc, node, record->attributes, result, name);
}

int buildPermissionInfo(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node, const char *name,
                        int typed, const VELM_PermissionInfo *record, VELM_result *result) {
  VELM_CHECK_RECORD();
  if (recordHeader(context, doc, node, name, typed, VELM_VT_PERMISSION_INFO, result) != 0 ||
      arrayField(context, doc, node, u"checked", record->checked, result, name) != 0 ||
      arrayField(context, doc, node, u"granted", record->granted, result, name) != 0 ||
      arrayField(context, doc, node, u"denied", record->denied, result, name) != 0 ||
      arrayField(context, doc, node, u"J2EERolesChecked", record->J2EERolesChecked, result, name) != 0 ||
      arrayField(context, doc, node, u"J2EERolesGranted", record->J2EERolesGranted, result, name) != 0)
    return -1;
  return 0;
}

int buildProvisioningInfo(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node,
                          const char *name, int typed, const VELM_ProvisioningInfo *record, VELM_result *result) {
  VELM_CHECK_RECORD();
  if (recordHeader(context, doc, node, name, typed, VELM_VT_PROVISIONING_INFO, result) != 0) return -1;
  const attr_val table[] = {{u"accountId", record->accountId},
                            {u"resourceId", record->resourceId},
                            {u"resourceType", record->resourceType},
                            {}};
  return addChldsToElement(context, doc, table, node, result);
}

int buildRegistryInfo(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node, const char *name,
                      int typed, const VELM_RegistryInfo *record, VELM_result *result) {
  VELM_CHECK_RECORD();
  if (recordHeader(context, doc, node, name, typed, VELM_VT_REGISTRY_INFO, result) != 0) return -1;
  const attr_val table[] = {{u"type", record->type},
                            {u"serverLocation", record->serverLocation},
                            {u"serverLocationType", record->serverLocationType},
                            {u"serverPort", record->serverPort},
                            {}};
  return addChldsToElement(context, doc, table, node, result);
}

int buildRegistryObjectInfo(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node,
                            const char *name, int typed, const VELM_RegistryObjectInfo *record,
                            VELM_result *result) {
  VELM_CHECK_RECORD();
  if (recordHeader(context, doc, node, name, typed, VELM_VT_REGISTRY_OBJECT_INFO, result) != 0) return -1;
  const attr_val table[] = {{u"name", record->name},
                            {u"registryName", record->registryName},
                            {u"type", record->type},
                            {u"description", record->description},
                            {}};
  if (addChldsToElement(context, doc, table, node, result) != 0) return -1;
  return buildAttributes(context, doc, node, record->attributes, result, name);
}

int buildResourceInfo(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node, const char *name,
                      int typed, const VELM_ResourceInfo *record, VELM_result *result) {
  VELM_CHECK_RECORD();
  if (recordHeader(context, doc, node, name, typed, VELM_VT_RESOURCE_INFO, result) != 0) return -1;
  const attr_val table[] = {{u"nameInApp", record->nameInApp},
                            {u"nameInPolicy", record->nameInPolicy},
                            {u"type", record->type},
                            {}};
  if (addChldsToElement(context, doc, table, node, result) != 0) return -1;
  return buildAttributes(context, doc, node, record->attributes, result, name);
}

int buildUserInfo(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node, const char *name,
                  int typed, const VELM_UserInfo *record, VELM_result *result) {
  VELM_CHECK_RECORD();
  if (recordHeader(context, doc, node, name, typed, VELM_VT_USER_INFO, result) != 0) return -1;
  const attr_val table[] = {{u"registryUserName", record->registryUserName},
                            {u"appUserName", record->appUserName},
                            {u"domain", record->domain},
                            {u"realm", record->realm},
                            {u"location", record->location},
                            {u"locationType", record->locationType},
                            {u"sessionId", record->sessionId},
                            {}};
  if (addChldsToElement(context, doc, table, node, result) != 0 ||
      intField(context, doc, node, u"uniqueId", record->uniqueId, result) != 0 ||
      arrayField(context, doc, node, u"callerList", record->callerList, result, name) != 0)
    return -1;
  return buildAttributes(context, doc, node, record->attributes, result, name);
}

int buildWorkItemInfo(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node, const char *name,
                      int typed, const VELM_WorkItemInfo *record, VELM_result *result) {
  VELM_CHECK_RECORD();
  if (recordHeader(context, doc, node, name, typed, VELM_VT_WORK_ITEM_INFO, result) != 0) return -1;
  const attr_val table[] = {{u"id", record->id}, {u"type", record->type}, {}};
  return addChldsToElement(context, doc, table, node, result);
}

namespace {

// One entry of a record array, untyped, named "value", appended to node
// only when it could be written whole.
// An entry that cannot be written is left out and the others still go.
template <typename R, typename Encoder>
int arrayEntries(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node, const char *name,
                 R *const *list, Encoder encode, VELM_result *result) {
  for (int i = 0; list[i] != nullptr; ++i) {
    XmlElement *child = createElement(context, doc, kChildren, result);
    if (child == nullptr || encode(context, doc, child, "value", 0, list[i], result) != 0 ||
        addElementToElement(context, node, child, result) != 0)
      recordLeftOut(context, result, partName(name, nullptr, i), __func__, __LINE__);
  }
  return 0;
}

}  // namespace

int createElementArray(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node, int kind,
                       const char *name, int typed, const void *list, VELM_result *result) {
  if (name == nullptr || list == nullptr) return 0;
  if (kind < VELM_VT_ATTRIBUTE_ARRAY || kind > VELM_VT_POLICY_INFO_ARRAY) {
    VELM_TRACE_ERROR(context, "The element %s has an invalid value type: %d", name, kind);
    VELM_RECORD(context, result, 14, name, kind);
    return -1;
  }
  if (recordHeader(context, doc, node, name, typed, kind, result) != 0) return -1;
  switch (kind) {
    case VELM_VT_ATTRIBUTE_ARRAY:
      return buildAttributes(context, doc, node, static_cast<VELM_Attribute *const *>(list), result, name,
                             true);
    case VELM_VT_ATTRIBUTE_PERMISSION_INFO_ARRAY:
      return arrayEntries(context, doc, node, name, static_cast<VELM_AttributePermissionInfo *const *>(list),
                          buildAttributePermissionInfo, result);
    case VELM_VT_MEMBERSHIP_INFO_ARRAY:
      return arrayEntries(context, doc, node, name, static_cast<VELM_MembershipInfo *const *>(list),
                          buildMembershipInfo, result);
    default:
      return arrayEntries(context, doc, node, name, static_cast<VELM_PolicyInfo *const *>(list),
                          buildPolicyInfo, result);
  }
}

}  // namespace velm
