// The predefined event types: the elements that each one names, with the
// value type, whether it is required, and its special and value checks.
//
// Everything here is constant-initialised; only the hashes, the counts and
// the bucket arrays are written, once per process, by initEventTable (under
// VELMCommon's mutex). After that the tables are read-only.
#include "capis/event_check.h"

namespace velm {

namespace {

constexpr int32_t kOptional = 0;
constexpr int32_t kRequired = 1;

constexpr PreDefElt elt(const char *name, int32_t valueType, int32_t required = kOptional,
                        int32_t specCheckCode = SPCHK_NONE, int32_t valueCheck = VALCHK_NONE) {
  return PreDefElt{name, 0, valueType, required, specCheckCode, valueCheck, nullptr};
}

// Every event: 11 elements, 2 required, 1 with a special check.
constinit PreDefElt commonPreDefElts[] = {
    elt("reporterComponentId", VELM_VT_COMPONENT_ID),
    elt("sourceComponentId", VELM_VT_COMPONENT_ID, kRequired),
    elt("outcome", VELM_VT_OUTCOME, kRequired),
    elt("timestamp", VELM_VT_DATETIME, kOptional, SPCHK_TIMESTAMP),
    elt("startTime", VELM_VT_DATETIME),
    elt("endTime", VELM_VT_DATETIME),
    elt("auditTrailId", VELM_VT_STRING),
    elt("auditMsg", VELM_VT_STRING),
    elt("auditMsgElement", VELM_VT_MSG_DATA_ELEMENT),
    elt("sequenceNumber", VELM_VT_LONG),
    elt("globalInstanceId", VELM_VT_STRING),
    {},
};

}  // namespace

constinit PreDefEltTab commonPreDefEltTab{0, 0, 0, nullptr, 0, commonPreDefElts};

namespace {

// AUDIT_AUTHN: 8 elements, 2 required, 0 with a special check.
constinit PreDefElt authnPreDefElts[] = {
    elt("userInfo", VELM_VT_USER_INFO, kRequired),
    elt("registryInfo", VELM_VT_REGISTRY_INFO),
    elt("authnType", VELM_VT_STRING, kRequired),
    elt("authnTypeVersion", VELM_VT_STRING),
    elt("authenProvider", VELM_VT_STRING),
    elt("partner", VELM_VT_STRING),
    elt("action", VELM_VT_STRING),
    elt("progName", VELM_VT_STRING),
    {},
};
constinit PreDefEltTab authnPreDefEltTab{0, 0, 0, nullptr, 0, authnPreDefElts};

// AUDIT_AUTHN_TERMINATE: 8 elements, 2 required, 1 with a special check.
constinit PreDefElt authnTerminatePreDefElts[] = {
    elt("userInfo", VELM_VT_USER_INFO, kRequired),
    elt("registryInfo", VELM_VT_REGISTRY_INFO),
    elt("authnType", VELM_VT_STRING, kRequired),
    elt("authnTypeVersion", VELM_VT_STRING),
    elt("action", VELM_VT_STRING),
    elt("progName", VELM_VT_STRING),
    elt("loginTime", VELM_VT_DATETIME),
    elt("terminateReason", VELM_VT_STRING, kOptional, SPCHK_ACTION_LOGOUT),
    {},
};
constinit PreDefEltTab authnTerminatePreDefEltTab{0, 0, 0, nullptr, 0, authnTerminatePreDefElts};

// AUDIT_AUTHN_CREDS_MODIFY: 3 elements, 2 required, 0 with a special check.
constinit PreDefElt authnCredsModifyPreDefElts[] = {
    elt("userInfo", VELM_VT_USER_INFO, kRequired),
    elt("registryInfo", VELM_VT_REGISTRY_INFO),
    elt("action", VELM_VT_STRING, kRequired),
    {},
};
constinit PreDefEltTab authnCredsModifyPreDefEltTab{0, 0, 0, nullptr, 0, authnCredsModifyPreDefElts};

// AUDIT_AUTHN_MAPPING: 6 elements, 4 required, 0 with a special check.
constinit PreDefElt authnMappingPreDefElts[] = {
    elt("originalSecurityDomain", VELM_VT_STRING, kRequired),
    elt("originalRealm", VELM_VT_STRING),
    elt("originalUserName", VELM_VT_STRING, kRequired),
    elt("mappedSecurityDomain", VELM_VT_STRING, kRequired),
    elt("mappedRealm", VELM_VT_STRING),
    elt("mappedUserName", VELM_VT_STRING, kRequired),
    {},
};
constinit PreDefEltTab authnMappingPreDefEltTab{0, 0, 0, nullptr, 0, authnMappingPreDefElts};

// AUDIT_AUTHZ: 11 elements, 3 required, 2 with a special check.
constinit PreDefElt authzPreDefElts[] = {
    elt("userInfo", VELM_VT_USER_INFO, kRequired),
    elt("registryInfo", VELM_VT_REGISTRY_INFO),
    elt("resourceInfo", VELM_VT_RESOURCE_INFO, kRequired),
    elt("accessDecision", VELM_VT_STRING, kOptional, SPCHK_OUTCOME_RESULT_SUCCESS),
    elt("accessDecisionReason", VELM_VT_STRING, kOptional, SPCHK_ACC_DEC_DENIED),
    elt("permissionInfo", VELM_VT_PERMISSION_INFO, kRequired),
    elt("attributePermissionInfo", VELM_VT_ATTRIBUTE_PERMISSION_INFO_ARRAY),
    elt("policyInfo", VELM_VT_POLICY_INFO_ARRAY),
    elt("appName", VELM_VT_STRING),
    elt("attributes", VELM_VT_ATTRIBUTE_ARRAY),
    elt("action", VELM_VT_STRING),
    {},
};
constinit PreDefEltTab authzPreDefEltTab{0, 0, 0, nullptr, 0, authzPreDefElts};

// AUDIT_MGMT_POLICY: 7 elements, 3 required, 0 with a special check.
constinit PreDefElt auditMgmtPolicyPreDefElts[] = {
    elt("userInfo", VELM_VT_USER_INFO, kRequired),
    elt("registryInfo", VELM_VT_REGISTRY_INFO),
    elt("action", VELM_VT_STRING, kRequired),
    elt("mgmtInfo", VELM_VT_MGMT_INFO),
    elt("policyInfo", VELM_VT_POLICY_INFO, kRequired),
    elt("memberships", VELM_VT_MEMBERSHIP_INFO_ARRAY),
    elt("resourceInfo", VELM_VT_RESOURCE_INFO),
    {},
};
constinit PreDefEltTab auditMgmtPolicyPreDefEltTab{0, 0, 0, nullptr, 0, auditMgmtPolicyPreDefElts};

// AUDIT_MGMT_REGISTRY: 5 elements, 3 required, 0 with a special check.
constinit PreDefElt auditMgmtRegistryPreDefElts[] = {
    elt("userInfo", VELM_VT_USER_INFO, kRequired),
    elt("registryInfo", VELM_VT_REGISTRY_INFO),
    elt("action", VELM_VT_STRING, kRequired),
    elt("mgmtInfo", VELM_VT_MGMT_INFO),
    elt("registryObjectInfo", VELM_VT_REGISTRY_OBJECT_INFO, kRequired),
    {},
};
constinit PreDefEltTab auditMgmtRegistryPreDefEltTab{0, 0, 0, nullptr, 0, auditMgmtRegistryPreDefElts};

// AUDIT_RUNTIME: 5 elements, 2 required, 1 with a special check.
constinit PreDefElt auditRuntimePreDefElts[] = {
    elt("action", VELM_VT_STRING, kRequired),
    elt("resourceInfo", VELM_VT_RESOURCE_INFO, kRequired),
    elt("perfInfo", VELM_VT_PERF_INFO, kOptional, SPCHK_ACTION_STATISTIC),
    elt("userInfo", VELM_VT_USER_INFO),
    elt("registryInfo", VELM_VT_REGISTRY_INFO),
    {},
};
constinit PreDefEltTab auditRuntimePreDefEltTab{0, 0, 0, nullptr, 0, auditRuntimePreDefElts};

// AUDIT_MGMT_CONFIG: 5 elements, 3 required, 0 with a special check.
constinit PreDefElt auditMgmtConfigPreDefElts[] = {
    elt("userInfo", VELM_VT_USER_INFO, kRequired),
    elt("registryInfo", VELM_VT_REGISTRY_INFO),
    elt("action", VELM_VT_STRING, kRequired),
    elt("mgmtInfo", VELM_VT_MGMT_INFO),
    elt("type", VELM_VT_STRING, kRequired),
    {},
};
constinit PreDefEltTab auditMgmtConfigPreDefEltTab{0, 0, 0, nullptr, 0, auditMgmtConfigPreDefElts};

// AUDIT_MGMT_PROVISIONING: 4 elements, 4 required, 0 with a special check.
constinit PreDefElt auditMgmtProvisioningPreDefElts[] = {
    elt("userInfo", VELM_VT_USER_INFO, kRequired),
    elt("targetUserInfo", VELM_VT_REGISTRY_OBJECT_INFO, kRequired),
    elt("action", VELM_VT_STRING, kRequired),
    elt("provisioningTargetInfo", VELM_VT_PROVISIONING_INFO, kRequired),
    {},
};
constinit PreDefEltTab auditMgmtProvisioningPreDefEltTab{0, 0, 0, nullptr, 0, auditMgmtProvisioningPreDefElts};

// AUDIT_RUNTIME_KEY: 7 elements, 4 required, 0 with a special check.
constinit PreDefElt auditRuntimeKeyPreDefElts[] = {
    elt("keyLabel", VELM_VT_STRING, kRequired),
    elt("lifetime", VELM_VT_DATETIME),
    elt("location", VELM_VT_STRING, kRequired),
    elt("locationType", VELM_VT_STRING, kRequired, SPCHK_NONE, VALCHK_LOCATION_TYPE),
    elt("userInfo", VELM_VT_USER_INFO),
    elt("registryInfo", VELM_VT_REGISTRY_INFO),
    elt("action", VELM_VT_STRING, kRequired),
    {},
};
constinit PreDefEltTab auditRuntimeKeyPreDefEltTab{0, 0, 0, nullptr, 0, auditRuntimeKeyPreDefElts};

// AUDIT_PASSWORD_CHANGE: 3 elements, 1 required, 0 with a special check.
constinit PreDefElt auditPasswordChangePreDefElts[] = {
    elt("userInfo", VELM_VT_USER_INFO, kRequired),
    elt("registryInfo", VELM_VT_REGISTRY_INFO),
    elt("provisioningInfo", VELM_VT_PROVISIONING_INFO),
    {},
};
constinit PreDefEltTab auditPasswordChangePreDefEltTab{0, 0, 0, nullptr, 0, auditPasswordChangePreDefElts};

// AUDIT_COMPLIANCE: 15 elements, 1 required, 1 with a special check.
constinit PreDefElt auditCompliancePreDefElts[] = {
    elt("complianceStatus", VELM_VT_STRING, kRequired),
    elt("policyName", VELM_VT_STRING),
    elt("violationName", VELM_VT_STRING, kOptional, SPCHK_COMP_STAT_NON_COMP),
    elt("targetUser", VELM_VT_STRING),
    elt("targetAccount", VELM_VT_STRING),
    elt("targetResource", VELM_VT_STRING),
    elt("policyDescription", VELM_VT_STRING),
    elt("message", VELM_VT_STRING),
    elt("violationClassification", VELM_VT_STRING),
    elt("severity", VELM_VT_STRING),
    elt("violationDescription", VELM_VT_STRING),
    elt("recommendation", VELM_VT_STRING),
    elt("fixDescription", VELM_VT_STRING),
    elt("fixId", VELM_VT_STRING),
    elt("suppressed", VELM_VT_STRING, kOptional, SPCHK_NONE, VALCHK_YES_NO),
    {},
};
constinit PreDefEltTab auditCompliancePreDefEltTab{0, 0, 0, nullptr, 0, auditCompliancePreDefElts};

// AUDIT_RESOURCE_ACCESS: 10 elements, 4 required, 2 with a special check.
constinit PreDefElt auditResourceAccessPreDefElts[] = {
    elt("userInfo", VELM_VT_USER_INFO, kRequired),
    elt("registryInfo", VELM_VT_REGISTRY_INFO),
    elt("resourceInfo", VELM_VT_RESOURCE_INFO, kRequired),
    elt("action", VELM_VT_STRING, kRequired),
    elt("accessDecision", VELM_VT_STRING),
    elt("accessDecisionReason", VELM_VT_STRING, kOptional, SPCHK_ACC_DEC_DENIED),
    elt("attributePermissionInfo", VELM_VT_ATTRIBUTE_PERMISSION_INFO_ARRAY),
    elt("appName", VELM_VT_STRING),
    elt("httpURLInfo", VELM_VT_HTTPURL_INFO, kOptional, SPCHK_ACTION_HTTP_REQ),
    elt("permissionInfo", VELM_VT_PERMISSION_INFO, kRequired),
    {},
};
constinit PreDefEltTab auditResourceAccessPreDefEltTab{0, 0, 0, nullptr, 0, auditResourceAccessPreDefElts};

// AUDIT_MGMT_RESOURCE: 5 elements, 3 required, 0 with a special check.
constinit PreDefElt auditMgmtResourcePreDefElts[] = {
    elt("userInfo", VELM_VT_USER_INFO, kRequired),
    elt("registryInfo", VELM_VT_REGISTRY_INFO),
    elt("action", VELM_VT_STRING, kRequired),
    elt("mgmtInfo", VELM_VT_MGMT_INFO),
    elt("resourceInfo", VELM_VT_RESOURCE_INFO, kRequired),
    {},
};
constinit PreDefEltTab auditMgmtResourcePreDefEltTab{0, 0, 0, nullptr, 0, auditMgmtResourcePreDefElts};

// AUDIT_DATA_SYNC: 4 elements, 2 required, 0 with a special check.
constinit PreDefElt auditDataSyncPreDefElts[] = {
    elt("userInfo", VELM_VT_USER_INFO),
    elt("registryInfo", VELM_VT_REGISTRY_INFO),
    elt("resourceInfo", VELM_VT_RESOURCE_INFO, kRequired),
    elt("action", VELM_VT_STRING, kRequired),
    {},
};
constinit PreDefEltTab auditDataSyncPreDefEltTab{0, 0, 0, nullptr, 0, auditDataSyncPreDefElts};

// AUDIT_WORKFLOW: 7 elements, 3 required, 0 with a special check.
constinit PreDefElt auditWorkflowPreDefElts[] = {
    elt("userInfo", VELM_VT_USER_INFO, kRequired),
    elt("registryInfo", VELM_VT_REGISTRY_INFO),
    elt("workItemInfo", VELM_VT_WORK_ITEM_INFO, kRequired),
    elt("action", VELM_VT_STRING, kRequired),
    elt("targetUserInfo", VELM_VT_USER_INFO),
    elt("targetUserRegistryInfo", VELM_VT_REGISTRY_INFO),
    elt("userInputs", VELM_VT_ATTRIBUTE_ARRAY),
    {},
};
constinit PreDefEltTab auditWorkflowPreDefEltTab{0, 0, 0, nullptr, 0, auditWorkflowPreDefElts};

}  // namespace

constinit EventTableEntry VELM_EventTable[kNumEventTypes + 1] = {
    {"AUDIT_AUTHN", 0, &authnPreDefEltTab},
    {"AUDIT_AUTHN_TERMINATE", 0, &authnTerminatePreDefEltTab},
    {"AUDIT_AUTHN_CREDS_MODIFY", 0, &authnCredsModifyPreDefEltTab},
    {"AUDIT_AUTHN_MAPPING", 0, &authnMappingPreDefEltTab},
    {"AUDIT_AUTHZ", 0, &authzPreDefEltTab},
    {"AUDIT_MGMT_POLICY", 0, &auditMgmtPolicyPreDefEltTab},
    {"AUDIT_MGMT_REGISTRY", 0, &auditMgmtRegistryPreDefEltTab},
    {"AUDIT_RUNTIME", 0, &auditRuntimePreDefEltTab},
    {"AUDIT_MGMT_CONFIG", 0, &auditMgmtConfigPreDefEltTab},
    {"AUDIT_MGMT_PROVISIONING", 0, &auditMgmtProvisioningPreDefEltTab},
    {"AUDIT_RUNTIME_KEY", 0, &auditRuntimeKeyPreDefEltTab},
    {"AUDIT_PASSWORD_CHANGE", 0, &auditPasswordChangePreDefEltTab},
    {"AUDIT_COMPLIANCE", 0, &auditCompliancePreDefEltTab},
    {"AUDIT_RESOURCE_ACCESS", 0, &auditResourceAccessPreDefEltTab},
    {"AUDIT_MGMT_RESOURCE", 0, &auditMgmtResourcePreDefEltTab},
    {"AUDIT_DATA_SYNC", 0, &auditDataSyncPreDefEltTab},
    {"AUDIT_WORKFLOW", 0, &auditWorkflowPreDefEltTab},
    {nullptr, 0, nullptr},
};

}  // namespace velm
