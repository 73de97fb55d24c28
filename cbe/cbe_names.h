// The element, attribute and type names of the CBE document, in the XML
// library's UTF-16 once and for all, and the small node builders the
// encoders share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "cbe/element.h"
#include "velm.h"

namespace velm::cbe {

// Elements.
inline constexpr XMLCh kCommonBaseEvent[] = u"CommonBaseEvent";
inline constexpr XMLCh kSituation[] = u"situation";
inline constexpr XMLCh kSituationType[] = u"situationType";
inline constexpr XMLCh kExtendedDataElements[] = u"extendedDataElements";
inline constexpr XMLCh kChildren[] = u"children";
inline constexpr XMLCh kValues[] = u"values";
inline constexpr XMLCh kSourceComponentId[] = u"sourceComponentId";
inline constexpr XMLCh kReporterComponentId[] = u"reporterComponentId";
inline constexpr XMLCh kMsgDataElement[] = u"msgDataElement";

// Attributes.
inline constexpr XMLCh kName[] = u"name";
inline constexpr XMLCh kType[] = u"type";
inline constexpr XMLCh kValue[] = u"value";
inline constexpr XMLCh kVersion[] = u"version";
inline constexpr XMLCh kExtensionName[] = u"extensionName";
inline constexpr XMLCh kCreationTime[] = u"creationTime";
inline constexpr XMLCh kMsg[] = u"msg";
inline constexpr XMLCh kSequenceNumber[] = u"sequenceNumber";
inline constexpr XMLCh kGlobalInstanceId[] = u"globalInstanceId";
inline constexpr XMLCh kCategoryName[] = u"categoryName";
inline constexpr XMLCh kReportCategory[] = u"reportCategory";
inline constexpr XMLCh kReasoningScope[] = u"reasoningScope";

// Fixed values.
inline constexpr XMLCh kCbeVersion[] = u"1.0.1";
inline constexpr XMLCh kReportSituation[] = u"ReportSituation";
inline constexpr XMLCh kSecurity[] = u"SECURITY";
inline constexpr XMLCh kInternal[] = u"INTERNAL";

// CBE type words of the "type" attribute.
inline constexpr XMLCh kTypeInt[] = u"int";
inline constexpr XMLCh kTypeLong[] = u"long";
inline constexpr XMLCh kTypeString[] = u"string";
inline constexpr XMLCh kTypeDateTime[] = u"dateTime";
inline constexpr XMLCh kTypeNoValue[] = u"noValue";
inline constexpr XMLCh kTypeStringArray[] = u"stringArray";

// The "values" type word of a record or array value type (5 to 26), or
// null for any other type.
const XMLCh *typeWord(int valueType);

// ---- Node builders (all record their failures; 0 or -1) -----------------

// A "values" child holding text.
int addValues(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node, const char *text,
              VELM_result *result);
int addValues(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node, const XMLCh *text,
              VELM_result *result);
// "name" and "type" of an extended data element.
int nameAndType(VELM_AuditClientContext *context, XmlElement *node, const char *name, const XMLCh *type,
                VELM_result *result);
int nameAndType(VELM_AuditClientContext *context, XmlElement *node, const XMLCh *name, const XMLCh *type,
                VELM_result *result);

// Field children of a record node: "children" with "name" and "type" and
// the field's "values".
int stringField(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node, const XMLCh *name,
                const char *value, VELM_result *result);  // nothing when value is null
int intField(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node, const XMLCh *name,
             int32_t value, VELM_result *result);
int longField(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node, const XMLCh *name,
              int64_t value, VELM_result *result);
// Nothing when the list is null or empty. A string that cannot be written
// is left out and recorded (message 8 naming owner.name[i]); the others
// still are.
int arrayField(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node, const XMLCh *name,
               char *const *list, VELM_result *result, const char *owner = nullptr);

// What an encoder leaves out is named "owner.field[i]" (index -1: none;
// field null: "owner[i]") in message 8 with this reason, and traced.
inline constexpr const char *kLeftOut = "it could not be encoded and was left out of the event";
std::string partName(const char *owner, const XMLCh *field, int index);
void recordLeftOut(VELM_AuditClientContext *context, VELM_result *result, const std::string &what,
                   const char *function, int line);

// Decimal text of a number, "%ld" / "%lld" style, into buf (at least 24).
const char *formatNumber(int64_t value, char *buf, std::size_t size);

}  // namespace velm::cbe
