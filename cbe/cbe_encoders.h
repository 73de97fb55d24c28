// The encoders of an event's values, written once for both outputs
// (cbe/cbe_output.h). Each writes into the output's current element; the
// DOM-level functions of cbe/velmToCBE.h wrap them.
#pragma once

#include <cstdint>

#include "cbe/cbe_output.h"
#include "cbe/velmToCBE.h"

namespace velm::cbe {

// The whole "CommonBaseEvent" element of event: 0, or -1 with the reasons
// recorded (the output then holds nothing usable).
int encodeEvent(CbeOutput &out, VELM_AuditEvent *event);

// One value of any type 1 to 26, typed form.
int encodeValue(CbeOutput &out, const char *name, int valueType, const void *value);

// Scalars: "name", "type" and one "values" child.
int encodeScalar(CbeOutput &out, const char *name, const XMLCh *type, const char *text);

// Records, typed (1) or untyped (0). With base set, the component id and
// the message data element write their root forms into a loose element put
// into its slot.
int encodeAttribute(CbeOutput &out, const char *name, int typed, const VELM_Attribute *record);
int encodeAttributePermissionInfo(CbeOutput &out, const char *name, int typed,
                                  const VELM_AttributePermissionInfo *record);
int encodeComponentId(CbeOutput &out, bool base, const char *name, int typed, const VELM_ComponentId *record);
int encodeHTTPURLInfo(CbeOutput &out, const char *name, int typed, const VELM_HTTPURLInfo *record);
int encodeMembershipInfo(CbeOutput &out, const char *name, int typed, const VELM_MembershipInfo *record);
int encodeMgmtInfo(CbeOutput &out, const char *name, int typed, const VELM_MgmtInfo *record);
int encodeMsgDataElement(CbeOutput &out, bool base, const char *name, int typed, const VELM_MsgDataElement *record);
int encodeOutcome(CbeOutput &out, const char *name, int typed, const VELM_Outcome *record);
int encodePerfInfo(CbeOutput &out, const char *name, int typed, const VELM_PerfInfo *record);
int encodePolicyInfo(CbeOutput &out, const char *name, int typed, const VELM_PolicyInfo *record);
int encodePermissionInfo(CbeOutput &out, const char *name, int typed, const VELM_PermissionInfo *record);
int encodeProvisioningInfo(CbeOutput &out, const char *name, int typed, const VELM_ProvisioningInfo *record);
int encodeRegistryInfo(CbeOutput &out, const char *name, int typed, const VELM_RegistryInfo *record);
int encodeRegistryObjectInfo(CbeOutput &out, const char *name, int typed, const VELM_RegistryObjectInfo *record);
int encodeResourceInfo(CbeOutput &out, const char *name, int typed, const VELM_ResourceInfo *record);
int encodeTargetInfo(CbeOutput &out, const char *name, int typed, const VELM_TargetInfo *record);
int encodeUserInfo(CbeOutput &out, const char *name, int typed, const VELM_UserInfo *record);
int encodeWorkItemInfo(CbeOutput &out, const char *name, int typed, const VELM_WorkItemInfo *record);
int encodeElementArray(CbeOutput &out, int kind, const char *name, int typed, const void *list);
int encodeAttributes(CbeOutput &out, VELM_Attribute *const *list, const char *owner, bool inArray);
int encodeChildren(CbeOutput &out, const attr_val *table);

// "2006-03-01T10:20:30Z" or "2006-03-01T10:20:30.250000Z" into buf (at
// least 64 bytes): the text, or null (recorded) when the time cannot be
// broken down.
const char *formatDateTime(VELM_AuditClientContext *context, const struct timeval *time, char *buf,
                           std::size_t size, VELM_result *result);

}  // namespace velm::cbe
