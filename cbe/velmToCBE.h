// Conversion of an audit event into one Common Base Event (1.0.1) element,
// and the encoders of its scalar values, info records and record arrays.
//
// Every element of the event becomes an extended data element ("name",
// "type", its "values", then its "children"), except the base elements
// (well-known names and types, wherever they stand), which become root
// attributes or the root children "sourceComponentId",
// "reporterComponentId" and "msgDataElement".
//
// All operations take the client context first (may be null) and the
// caller's result last; 0 is success and -1 failure unless said otherwise,
// with the reasons recorded by the XML helpers (cbe/element.h).
#pragma once

#include <sys/time.h>

#include <cstdint>
#include <string>

#include "capis/element.h"
#include "capis/event.h"
#include "capis/info_nested.h"
#include "capis/info_simple.h"
#include "cbe/element.h"
#include "velm.h"

namespace velm {

// The root forms of the base elements, as the DOM-level record encoders
// hand them over (an addition for their callers and tests).
struct cbe_base_elts {
  XmlElement *sourceComponentId;
  XmlElement *reporterComponentId;
  XmlElement *msgDataElement;
};

// A name and a value (null values are skipped). Tables end with a null name.
// Names are the encoders' constants, already in the library's UTF-16.
struct attr_val {
  const XMLCh *name;
  const char *value;
};

// ---- The event ----------------------------------------------------------

// A new document holding the event's "CommonBaseEvent" element, which is
// returned; the caller releases it with deleteElement. Null on failure (the
// document is then already released).
XmlElement *convertToCBE(VELM_AuditClientContext *context, VELM_AuditEvent *event, VELM_result *result);

// The same element appended as text to out, written directly (the send
// and cache paths): exactly the bytes convertToCBE and convertToString give
// together, and the same failures. 0, or -1 with out unchanged.
int writeCBE(VELM_AuditClientContext *context, VELM_AuditEvent *event, std::string &out, VELM_result *result);

// Scalar values into an already created extended data element.
int buildString(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node, const char *name,
                const char *text, VELM_result *result);
int buildInteger(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node, const char *name,
                 int32_t value, VELM_result *result);
int buildLong(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node, const char *name,
              int64_t value, VELM_result *result);
int builddateTime(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node, const char *name,
                  const struct timeval *time, VELM_result *result);

// "2006-03-01T10:20:30Z", or with microseconds "2006-03-01T10:20:30.250000Z",
// as a new heap string (free with VELM_Free); null when the time cannot be
// broken down.
char *convertTodateTimeFormat(VELM_AuditClientContext *context, const struct timeval *time, VELM_result *result);

// ---- Info records -------------------------------------------------------
// Each fills node, made by the caller, with "name" = name and the record's
// fields: typed (1) as a value of its own ("type" "string" and a "values"
// child with the type word), untyped (0) when nested in another record or
// an array ("type" "noValue").

int buildAttribute(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node, const char *name,
                   int typed, const VELM_Attribute *record, VELM_result *result);
int buildAttributePermissionInfo(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node,
                                 const char *name, int typed, const VELM_AttributePermissionInfo *record,
                                 VELM_result *result);
int buildHTTPURLInfo(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node, const char *name,
                     int typed, const VELM_HTTPURLInfo *record, VELM_result *result);
int buildMembershipInfo(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node, const char *name,
                        int typed, const VELM_MembershipInfo *record, VELM_result *result);
int buildMgmtInfo(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node, const char *name,
                  int typed, const VELM_MgmtInfo *record, VELM_result *result);
int buildOutcome(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node, const char *name,
                 int typed, const VELM_Outcome *record, VELM_result *result);
int buildPerfInfo(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node, const char *name,
                  int typed, const VELM_PerfInfo *record, VELM_result *result);
int buildPolicyInfo(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node, const char *name,
                    int typed, const VELM_PolicyInfo *record, VELM_result *result);
int buildPermissionInfo(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node, const char *name,
                        int typed, const VELM_PermissionInfo *record, VELM_result *result);
int buildProvisioningInfo(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node,
                          const char *name, int typed, const VELM_ProvisioningInfo *record, VELM_result *result);
int buildRegistryInfo(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node, const char *name,
                      int typed, const VELM_RegistryInfo *record, VELM_result *result);
int buildRegistryObjectInfo(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node,
                            const char *name, int typed, const VELM_RegistryObjectInfo *record,
                            VELM_result *result);
int buildResourceInfo(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node, const char *name,
                      int typed, const VELM_ResourceInfo *record, VELM_result *result);
int buildTargetInfo(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node, const char *name,
                    int typed, const VELM_TargetInfo *record, VELM_result *result);
int buildUserInfo(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node, const char *name,
                  int typed, const VELM_UserInfo *record, VELM_result *result);
int buildWorkItemInfo(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node, const char *name,
                      int typed, const VELM_WorkItemInfo *record, VELM_result *result);

// With base: the attribute form, an element named name ("sourceComponentId"
// or "reporterComponentId", anything else fails) stored in base. Without
// base: the record form on node.
int buildComponentId(VELM_AuditClientContext *context, XmlDocument *doc, cbe_base_elts *base, XmlElement *node,
                     const char *name, int typed, const VELM_ComponentId *record, VELM_result *result);
// With base: the CBE "msgDataElement" stored in base. Without base: the
// record form on node.
int buildMsgDataElement(VELM_AuditClientContext *context, XmlDocument *doc, cbe_base_elts *base,
                        XmlElement *node, const char *name, int typed, const VELM_MsgDataElement *record,
                        VELM_result *result);

// A record array (kind 23 to 26, list null-terminated). Nothing and 0 when
// name or list is missing; message 14 for another kind.
int createElementArray(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node, int kind,
                       const char *name, int typed, const void *list, VELM_result *result);

// One "attributes" child per attribute of the null-terminated list. An
// attribute that cannot be written is left out and recorded (message 8
// naming owner.attributes[i], or owner[i] for an attribute array).
int buildAttributes(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node,
                    VELM_Attribute *const *list, VELM_result *result, const char *owner = nullptr,
                    bool inArray = false);

// The set entries of table as XML attributes of node.
int addAttrsToElement(VELM_AuditClientContext *context, XmlDocument *doc, const attr_val *table,
                      XmlElement *node, VELM_result *result);
// The set entries of table as string field children of node.
int addChldsToElement(VELM_AuditClientContext *context, XmlDocument *doc, const attr_val *table,
                      XmlElement *node, VELM_result *result);
// Kind 3 (strings): one element called name per string of the list, holding
// the string. Nothing and 0 when node, name or list is missing.
int addArrayToElement(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *node, const char *name,
                      int kind, char *const *list, VELM_result *result);

}  // namespace velm
