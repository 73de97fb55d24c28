// Encoders of the info records and record arrays, and the node builders
// the whole conversion shares, written once for both outputs.
#include <charconv>
#include <cstring>
#include <string>

#include "capis/errors.h"
#include "capis/trace.h"
#include "cbe/cbe_encoders.h"
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

// The node builders. A node is finished before it is attached: the DOM
// walks a node's ancestors on every append, so building bottom-up keeps
// that walk short, and the writer can drop what could not be written whole.

namespace {

int addValuesTo(CbeOutput &o, const char *text) { return o.values(text); }

int addValuesTo(CbeOutput &o, const XMLCh *text) {
  if (o.open(kValues) != 0) return -1;
  if (o.text(text) != 0) {
    o.drop();
    return -1;
  }
  return o.close();
}

int nameAndTypeOf(CbeOutput &o, const char *name, const XMLCh *type) {
  if (o.attr(kName, name) != 0) return -1;
  return o.attr(kType, type);
}

// An open "children" node with its name and type.
int openField(CbeOutput &o, const XMLCh *name, const XMLCh *type) {
  if (o.open(kChildren) != 0) return -1;
  if (o.attr(kName, name) != 0 || o.attr(kType, type) != 0) {
    o.drop();
    return -1;
  }
  return 0;
}

int scalarFieldOf(CbeOutput &o, const XMLCh *name, const XMLCh *type, const char *text) {
  return o.scalarField(name, type, text);
}

int stringFieldOf(CbeOutput &o, const XMLCh *name, const char *value) {
  if (value == nullptr) return 0;
  return scalarFieldOf(o, name, kTypeString, value);
}

int intFieldOf(CbeOutput &o, const XMLCh *name, int32_t value) {
  char buf[32];
  return scalarFieldOf(o, name, kTypeInt, formatNumber(value, buf, sizeof buf));
}

int longFieldOf(CbeOutput &o, const XMLCh *name, int64_t value) {
  char buf[32];
  return scalarFieldOf(o, name, kTypeLong, formatNumber(value, buf, sizeof buf));
}

int arrayFieldOf(CbeOutput &o, const XMLCh *name, char *const *list, const char *owner) {
  if (list == nullptr || list[0] == nullptr) return 0;
  if (openField(o, name, kTypeStringArray) != 0) return -1;
  // A string that cannot be written is left out, so the rest still goes.
  int written = 0;
  for (int i = 0; list[i] != nullptr; ++i) {
    if (addValuesTo(o, list[i]) == 0) {
      ++written;
    } else {
      recordLeftOut(o.context(), o.result(), partName(owner, name, i), __func__, __LINE__);
    }
  }
  if (written == 0) {
    o.drop();
    return 0;
  }
  return o.close();
}

}  // namespace

int addValues(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node, const char *text,
              VELM_result *result) {
  DomOutput o(context, result, doc, node);
  return addValuesTo(o, text);
}

int addValues(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node, const XMLCh *text,
              VELM_result *result) {
  DomOutput o(context, result, doc, node);
  return addValuesTo(o, text);
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

int stringField(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node, const XMLCh *name,
                const char *value, VELM_result *result) {
  DomOutput o(context, result, doc, node);
  return stringFieldOf(o, name, value);
}

int intField(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node, const XMLCh *name,
             int32_t value, VELM_result *result) {
  DomOutput o(context, result, doc, node);
  return intFieldOf(o, name, value);
}

int longField(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node, const XMLCh *name,
              int64_t value, VELM_result *result) {
  DomOutput o(context, result, doc, node);
  return longFieldOf(o, name, value);
}

int arrayField(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node, const XMLCh *name,
               char *const *list, VELM_result *result, const char *owner) {
  DomOutput o(context, result, doc, node);
  return arrayFieldOf(o, name, list, owner);
}

// ---- Records -------------------------------------------------------------------

namespace {

// Steps 1 and 2 of every record encoder.
int recordHeader(CbeOutput &o, const char *name, int typed, int valueType) {
  if (typed) {
    if (nameAndTypeOf(o, name, kTypeString) != 0) return -1;
    return addValuesTo(o, typeWord(valueType));
  }
  return nameAndTypeOf(o, name, kTypeNoValue);
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

#define VELM_CHECK_RECORD()                                                    \
  do {                                                                         \
    if (record == nullptr || !o.hasCurrent() || name == nullptr)               \
      return missingRecord(o.context(), o.result(), __func__, __LINE__);       \
  } while (0)

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

// One entry of a record array, untyped, named "value", kept only when it
// could be written whole; the others still go.
template <typename R, typename Encoder>
int arrayEntries(CbeOutput &o, const char *name, R *const *list, Encoder encode) {
  for (int i = 0; list[i] != nullptr; ++i) {
    bool kept = false;
    if (o.open(kChildren) == 0) {
      if (encode(o, "value", 0, list[i]) == 0) {
        kept = o.close() == 0;
      } else {
        o.drop();
      }
    }
    if (!kept) recordLeftOut(o.context(), o.result(), partName(name, nullptr, i), __func__, __LINE__);
  }
  return 0;
}

}  // namespace

int encodeChildren(CbeOutput &o, const attr_val *table) {
  if (table == nullptr || !o.hasCurrent()) return -1;
  for (const attr_val *e = table; e->name != nullptr; ++e)
    if (stringFieldOf(o, e->name, e->value) != 0) return -1;
  return 0;
}

int encodeAttributes(CbeOutput &o, VELM_Attribute *const *list, const char *owner, bool inArray) {
  if (list == nullptr) return 0;
  static constexpr XMLCh kAttributes[] = u"attributes";
  // An attribute that cannot be written whole is left out (a name without
  // its value would mislead); the others still go.
  for (int i = 0; list[i] != nullptr; ++i) {
    const VELM_Attribute *a = list[i];
    if (openField(o, kAttributes, kTypeNoValue) != 0) return -1;
    const attr_val table[] = {{u"name", a->name}, {u"value", a->value}, {u"source", a->source}, {}};
    if (encodeChildren(o, table) != 0) {
      o.drop();
      recordLeftOut(o.context(), o.result(), partName(owner, inArray ? nullptr : kAttributes, i), __func__,
                    __LINE__);
    } else if (o.close() != 0) {
      recordLeftOut(o.context(), o.result(), partName(owner, inArray ? nullptr : kAttributes, i), __func__,
                    __LINE__);
    }
  }
  return 0;
}

int encodeAttribute(CbeOutput &o, const char *name, int typed, const VELM_Attribute *record) {
  VELM_CHECK_RECORD();
  if (recordHeader(o, name, typed, VELM_VT_ATTRIBUTE) != 0) return -1;
  const attr_val table[] = {{u"name", record->name}, {u"value", record->value}, {u"source", record->source}, {}};
  return encodeChildren(o, table);
}

int encodeAttributePermissionInfo(CbeOutput &o, const char *name, int typed,
                                  const VELM_AttributePermissionInfo *record) {
  VELM_CHECK_RECORD();
  if (recordHeader(o, name, typed, VELM_VT_ATTRIBUTE_PERMISSION_INFO) != 0) return -1;
  if (arrayFieldOf(o, u"attributeNames", record->attributeNames, name) != 0 ||
      arrayFieldOf(o, u"checked", record->checked, name) != 0 ||
      arrayFieldOf(o, u"granted", record->granted, name) != 0 ||
      arrayFieldOf(o, u"denied", record->denied, name) != 0)
    return -1;
  return 0;
}

int encodeComponentId(CbeOutput &o, bool base, const char *name, int typed, const VELM_ComponentId *record) {
  if (record == nullptr || name == nullptr || (!base && !o.hasCurrent()))
    return missingRecord(o.context(), o.result(), __func__, __LINE__);
  attr_val table[12];
  componentIdTable(record, table);
  if (base) {
    int slot;
    const XMLCh *elementName;
    if (std::strcmp(name, "sourceComponentId") == 0) {
      slot = kSlotSource;
      elementName = kSourceComponentId;
    } else if (std::strcmp(name, "reporterComponentId") == 0) {
      slot = kSlotReporter;
      elementName = kReporterComponentId;
    } else {
      return -1;
    }
    if (o.open(elementName, true) != 0) return -1;
    // A field that cannot be written is left out; the others still go.
    for (const attr_val *f = table; f->name != nullptr; ++f) {
      if (f->value != nullptr && o.attr(f->name, f->value) != 0)
        recordLeftOut(o.context(), o.result(), partName(name, f->name, -1), __func__, __LINE__);
    }
    return o.close(slot);
  }
  if (recordHeader(o, name, typed, VELM_VT_COMPONENT_ID) != 0) return -1;
  for (const attr_val *f = table; f->name != nullptr; ++f) {
    if (stringFieldOf(o, f->name, f->value) != 0)
      recordLeftOut(o.context(), o.result(), partName(name, f->name, -1), __func__, __LINE__);
  }
  return 0;
}

int encodeHTTPURLInfo(CbeOutput &o, const char *name, int typed, const VELM_HTTPURLInfo *record) {
  VELM_CHECK_RECORD();
  if (recordHeader(o, name, typed, VELM_VT_HTTPURL_INFO) != 0) return -1;
  const attr_val table[] = {{u"url", record->url},
                            {u"method", record->method},
                            {u"requestHeaders", record->requestHeaders},
                            {u"responseHeaders", record->responseHeaders},
                            {}};
  if (encodeChildren(o, table) != 0) return -1;
  return intFieldOf(o, u"responseCode", record->responseCode);
}

int encodeMembershipInfo(CbeOutput &o, const char *name, int typed, const VELM_MembershipInfo *record) {
  VELM_CHECK_RECORD();
  if (recordHeader(o, name, typed, VELM_VT_MEMBERSHIP_INFO) != 0) return -1;
  const attr_val table[] = {{u"type", record->type}, {u"id", record->id}, {u"name", record->name}, {}};
  return encodeChildren(o, table);
}

int encodeTargetInfo(CbeOutput &o, const char *name, int typed, const VELM_TargetInfo *record) {
  VELM_CHECK_RECORD();
  if (recordHeader(o, name, typed, VELM_VT_TARGET_INFO) != 0) return -1;
  if (arrayFieldOf(o, u"targetNames", record->targetNames, name) != 0) return -1;
  return encodeAttributes(o, record->attributes, name, false);
}

int encodeMgmtInfo(CbeOutput &o, const char *name, int typed, const VELM_MgmtInfo *record) {
  VELM_CHECK_RECORD();
  if (recordHeader(o, name, typed, VELM_VT_MGMT_INFO) != 0) return -1;
  int status = 0;
  if (record->targetInfo != nullptr) {
    // A target info that cannot be written is left out; the command still is.
    if (o.open(kChildren) != 0) {
      status = -1;
    } else if (encodeTargetInfo(o, "targetInfo", 0, record->targetInfo) != 0) {
      o.drop();
      status = -1;
    } else if (o.close() != 0) {
      status = -1;
    }
  }
  if (stringFieldOf(o, u"command", record->command) != 0) return -1;
  return status;
}

int encodeMsgDataElement(CbeOutput &o, bool base, const char *name, int typed, const VELM_MsgDataElement *record) {
  if (record == nullptr || (!base && (!o.hasCurrent() || name == nullptr)))
    return missingRecord(o.context(), o.result(), __func__, __LINE__);
  if (base) {
    static constexpr XMLCh kMsgLocale[] = u"msgLocale";
    static constexpr XMLCh kMsgCatalogTokens[] = u"msgCatalogTokens";
    if (o.open(kMsgDataElement, true) != 0) return -1;
    if (record->msgLocale != nullptr && o.attr(kMsgLocale, record->msgLocale) != 0) {
      o.drop();
      return -1;
    }
    if (record->msgCatalogTokens != nullptr) {
      // A token that cannot be written is left out; the others still go.
      for (int i = 0; record->msgCatalogTokens[i] != nullptr; ++i) {
        if (o.open(kMsgCatalogTokens) != 0) {
          o.drop();
          return -1;
        }
        bool kept = false;
        if (o.attr(kValue, record->msgCatalogTokens[i]) != 0) {
          o.drop();
        } else {
          kept = o.close() == 0;
        }
        if (!kept)
          recordLeftOut(o.context(), o.result(), partName("msgDataElement", kMsgCatalogTokens, i), __func__,
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
      if (o.open(t->name) != 0) {
        o.drop();
        return -1;
      }
      if (o.text(t->value) != 0) {
        o.drop();
        o.drop();
        return -1;
      }
      if (o.close() != 0) {
        o.drop();
        return -1;
      }
    }
    return o.close(kSlotMsgData);
  }
  if (recordHeader(o, name, typed, VELM_VT_MSG_DATA_ELEMENT) != 0) return -1;
  const attr_val table[] = {{u"msgId", record->msgId},
                            {u"msgIdType", record->msgIdType},
                            {u"msgCatalogId", record->msgCatalogId},
                            {u"msgCatalog", record->msgCatalog},
                            {u"msgCatalogType", record->msgCatalogType},
                            {u"msgLocale", record->msgLocale},
                            {}};
  if (encodeChildren(o, table) != 0) return -1;
  return arrayFieldOf(o, u"msgCatalogTokens", record->msgCatalogTokens, name);
}

int encodeOutcome(CbeOutput &o, const char *name, int typed, const VELM_Outcome *record) {
  VELM_CHECK_RECORD();
  if (recordHeader(o, name, typed, VELM_VT_OUTCOME) != 0 || stringFieldOf(o, u"result", record->result) != 0 ||
      intFieldOf(o, u"majorStatus", record->majorStatus) != 0 ||
      intFieldOf(o, u"minorStatus", record->minorStatus) != 0 ||
      stringFieldOf(o, u"failureReason", record->failureReason) != 0)
    return -1;
  return 0;
}

int encodePerfInfo(CbeOutput &o, const char *name, int typed, const VELM_PerfInfo *record) {
  VELM_CHECK_RECORD();
  if (recordHeader(o, name, typed, VELM_VT_PERF_INFO) != 0 || stringFieldOf(o, u"name", record->name) != 0 ||
      stringFieldOf(o, u"description", record->description) != 0 ||
      intFieldOf(o, u"numDataPoints", record->numDataPoints) != 0 ||
      stringFieldOf(o, u"unit", record->unit) != 0 || longFieldOf(o, u"maxValue", record->maxValue) != 0 ||
      longFieldOf(o, u"minValue", record->minValue) != 0 || longFieldOf(o, u"value", record->value) != 0 ||
      stringFieldOf(o, u"aggregate", record->aggregate) != 0)
    return -1;
  return 0;
}

int encodePolicyInfo(CbeOutput &o, const char *name, int typed, const VELM_PolicyInfo *record) {
  VELM_CHECK_RECORD();
  if (recordHeader(o, name, typed, VELM_VT_POLICY_INFO) != 0) return -1;
  const attr_val table[] = {{u"name", record->name},
                            {u"branch", record->branch},
                            {u"type", record->type},
                            {u"description", record->description},
                            {}};
  if (encodeChildren(o, table) != 0) return -1;
  return encodeAttributes(o, record->attributes, name, false);
}

int encodePermissionInfo(CbeOutput &o, const char *name, int typed, const VELM_PermissionInfo *record) {
  VELM_CHECK_RECORD();
  if (recordHeader(o, name, typed, VELM_VT_PERMISSION_INFO) != 0 ||
      arrayFieldOf(o, u"checked", record->checked, name) != 0 ||
      arrayFieldOf(o, u"granted", record->granted, name) != 0 ||
      arrayFieldOf(o, u"denied", record->denied, name) != 0 ||
      arrayFieldOf(o, u"J2EERolesChecked", record->J2EERolesChecked, name) != 0 ||
      arrayFieldOf(o, u"J2EERolesGranted", record->J2EERolesGranted, name) != 0)
    return -1;
  return 0;
}

int encodeProvisioningInfo(CbeOutput &o, const char *name, int typed, const VELM_ProvisioningInfo *record) {
  VELM_CHECK_RECORD();
  if (recordHeader(o, name, typed, VELM_VT_PROVISIONING_INFO) != 0) return -1;
  const attr_val table[] = {{u"accountId", record->accountId},
                            {u"resourceId", record->resourceId},
                            {u"resourceType", record->resourceType},
                            {}};
  return encodeChildren(o, table);
}

int encodeRegistryInfo(CbeOutput &o, const char *name, int typed, const VELM_RegistryInfo *record) {
  VELM_CHECK_RECORD();
  if (recordHeader(o, name, typed, VELM_VT_REGISTRY_INFO) != 0) return -1;
  const attr_val table[] = {{u"type", record->type},
                            {u"serverLocation", record->serverLocation},
                            {u"serverLocationType", record->serverLocationType},
                            {u"serverPort", record->serverPort},
                            {}};
  return encodeChildren(o, table);
}

int encodeRegistryObjectInfo(CbeOutput &o, const char *name, int typed, const VELM_RegistryObjectInfo *record) {
  VELM_CHECK_RECORD();
  if (recordHeader(o, name, typed, VELM_VT_REGISTRY_OBJECT_INFO) != 0) return -1;
  const attr_val table[] = {{u"name", record->name},
                            {u"registryName", record->registryName},
                            {u"type", record->type},
                            {u"description", record->description},
                            {}};
  if (encodeChildren(o, table) != 0) return -1;
  return encodeAttributes(o, record->attributes, name, false);
}

int encodeResourceInfo(CbeOutput &o, const char *name, int typed, const VELM_ResourceInfo *record) {
  VELM_CHECK_RECORD();
  if (recordHeader(o, name, typed, VELM_VT_RESOURCE_INFO) != 0) return -1;
  const attr_val table[] = {{u"nameInApp", record->nameInApp},
                            {u"nameInPolicy", record->nameInPolicy},
                            {u"type", record->type},
                            {}};
  if (encodeChildren(o, table) != 0) return -1;
  return encodeAttributes(o, record->attributes, name, false);
}

int encodeUserInfo(CbeOutput &o, const char *name, int typed, const VELM_UserInfo *record) {
  VELM_CHECK_RECORD();
  if (recordHeader(o, name, typed, VELM_VT_USER_INFO) != 0) return -1;
  const attr_val table[] = {{u"registryUserName", record->registryUserName},
                            {u"appUserName", record->appUserName},
                            {u"domain", record->domain},
                            {u"realm", record->realm},
                            {u"location", record->location},
                            {u"locationType", record->locationType},
                            {u"sessionId", record->sessionId},
                            {}};
  if (encodeChildren(o, table) != 0 || intFieldOf(o, u"uniqueId", record->uniqueId) != 0 ||
      arrayFieldOf(o, u"callerList", record->callerList, name) != 0)
    return -1;
  return encodeAttributes(o, record->attributes, name, false);
}

int encodeWorkItemInfo(CbeOutput &o, const char *name, int typed, const VELM_WorkItemInfo *record) {
  VELM_CHECK_RECORD();
  if (recordHeader(o, name, typed, VELM_VT_WORK_ITEM_INFO) != 0) return -1;
  const attr_val table[] = {{u"id", record->id}, {u"type", record->type}, {}};
  return encodeChildren(o, table);
}

int encodeElementArray(CbeOutput &o, int kind, const char *name, int typed, const void *list) {
  if (name == nullptr || list == nullptr) return 0;
  VELM_AuditClientContext *context = o.context();
  VELM_result *result = o.result();
  if (kind < VELM_VT_ATTRIBUTE_ARRAY || kind > VELM_VT_POLICY_INFO_ARRAY) {
    VELM_TRACE_ERROR(context, "The element %s has an invalid value type: %d", name, kind);
    VELM_RECORD(context, result, 14, name, kind);
    return -1;
  }
  if (recordHeader(o, name, typed, kind) != 0) return -1;
  switch (kind) {
    case VELM_VT_ATTRIBUTE_ARRAY:
      return encodeAttributes(o, static_cast<VELM_Attribute *const *>(list), name, true);
    case VELM_VT_ATTRIBUTE_PERMISSION_INFO_ARRAY:
      return arrayEntries(o, name, static_cast<VELM_AttributePermissionInfo *const *>(list),
                          encodeAttributePermissionInfo);
    case VELM_VT_MEMBERSHIP_INFO_ARRAY:
      return arrayEntries(o, name, static_cast<VELM_MembershipInfo *const *>(list), encodeMembershipInfo);
    default:
      return arrayEntries(o, name, static_cast<VELM_PolicyInfo *const *>(list), encodePolicyInfo);
  }
}

}  // namespace cbe

// ---- The DOM-level functions ----------------------------------------------------

using namespace cbe;

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
  DomOutput o(context, result, doc, node);
  return encodeChildren(o, table);
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
  DomOutput o(context, result, doc, node);
  return encodeAttributes(o, list, owner, inArray);
}

#define VELM_DOM_RECORD(Type, Encoder)                                                                  \
  int build##Type(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node, const char *name, \
                  int typed, const VELM_##Type *record, VELM_result *result) {                          \
    DomOutput o(context, result, doc, node);                                                            \
    return Encoder(o, name, typed, record);                                                             \
  }

VELM_DOM_RECORD(Attribute, encodeAttribute)
VELM_DOM_RECORD(AttributePermissionInfo, encodeAttributePermissionInfo)
VELM_DOM_RECORD(HTTPURLInfo, encodeHTTPURLInfo)
VELM_DOM_RECORD(MembershipInfo, encodeMembershipInfo)
VELM_DOM_RECORD(MgmtInfo, encodeMgmtInfo)
VELM_DOM_RECORD(Outcome, encodeOutcome)
VELM_DOM_RECORD(PerfInfo, encodePerfInfo)
VELM_DOM_RECORD(PolicyInfo, encodePolicyInfo)
VELM_DOM_RECORD(PermissionInfo, encodePermissionInfo)
VELM_DOM_RECORD(ProvisioningInfo, encodeProvisioningInfo)
VELM_DOM_RECORD(RegistryInfo, encodeRegistryInfo)
VELM_DOM_RECORD(RegistryObjectInfo, encodeRegistryObjectInfo)
VELM_DOM_RECORD(ResourceInfo, encodeResourceInfo)
VELM_DOM_RECORD(TargetInfo, encodeTargetInfo)
VELM_DOM_RECORD(UserInfo, encodeUserInfo)
VELM_DOM_RECORD(WorkItemInfo, encodeWorkItemInfo)
#undef VELM_DOM_RECORD

int buildComponentId(VELM_AuditClientContext *context, XmlDocument *doc, cbe_base_elts *base, XmlElement *node,
                     const char *name, int typed, const VELM_ComponentId *record, VELM_result *result) {
  DomOutput o(context, result, doc, node);
  const int rc = encodeComponentId(o, base != nullptr, name, typed, record);
  if (rc == 0 && base != nullptr) {
    if (o.slotFilled(kSlotSource)) base->sourceComponentId = o.slot(kSlotSource);
    if (o.slotFilled(kSlotReporter)) base->reporterComponentId = o.slot(kSlotReporter);
  }
  return rc;
}

int buildMsgDataElement(VELM_AuditClientContext *context, XmlDocument *doc, cbe_base_elts *base,
                        XmlElement *node, const char *name, int typed, const VELM_MsgDataElement *record,
                        VELM_result *result) {
  DomOutput o(context, result, doc, node);
  const int rc = encodeMsgDataElement(o, base != nullptr, name, typed, record);
  if (rc == 0 && base != nullptr && o.slotFilled(kSlotMsgData)) base->msgDataElement = o.slot(kSlotMsgData);
  return rc;
}

int createElementArray(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node, int kind,
                       const char *name, int typed, const void *list, VELM_result *result) {
  DomOutput o(context, result, doc, node);
  return encodeElementArray(o, kind, name, typed, list);
}

}  // namespace velm
