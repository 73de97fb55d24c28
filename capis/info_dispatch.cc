// Info records as element values: copy and release by value type.
#include <string>

#include "capis/errors.h"
#include "capis/info.h"
#include "capis/trace.h"

VELM_TRACE_UNIT("info_dispatch");

namespace velm {

namespace {

// A copy takes the record's own (UTF-8) fields with conversion off and every
// nested array or record deep-copied, so the family's checks run again.
constexpr int kNoConvert = 0;
constexpr int kCopyNested = 1;

template <typename R>
const R *as(const void *value) {
  return static_cast<const R *>(value);
}

}  // namespace

void *infoRecord_Copy(VELM_AuditClientContext *context, int valueType, const void *value,
                      VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  if (value == nullptr) {
    VELM_RECORD(context, result, 9, "value");
    VELM_TRACE_ERROR(context, "ERROR: The %s parameter is missing", "value");
    return nullptr;
  }
  auto *ctx = context;
  switch (valueType) {
    case VELM_VT_ATTRIBUTE: {
      auto *r = as<VELM_Attribute>(value);
      return attribute_Create(ctx, r->name, r->value, r->source, kNoConvert, result);
    }
    case VELM_VT_ATTRIBUTE_PERMISSION_INFO: {
      auto *r = as<VELM_AttributePermissionInfo>(value);
      return attributePermissionInfo_Create(ctx, r->attributeNames, r->checked, r->granted, r->denied,
                                            kNoConvert, result);
    }
    case VELM_VT_COMPONENT_ID: {
      auto *r = as<VELM_ComponentId>(value);
      return componentId_Create(ctx, r->location, r->locationType, r->application, r->executionEnvironment,
                                r->component, r->componentType, r->componentIdType, r->subcomponent,
                                r->instanceId, r->processId, r->threadId, kNoConvert, result);
    }
    case VELM_VT_HTTPURL_INFO: {
      auto *r = as<VELM_HTTPURLInfo>(value);
      return HTTPURLInfo_Create(ctx, r->url, r->method, r->responseCode, r->requestHeaders,
                                r->responseHeaders, kNoConvert, result);
    }
    case VELM_VT_MEMBERSHIP_INFO: {
      auto *r = as<VELM_MembershipInfo>(value);
      return membershipInfo_Create(ctx, r->type, r->id, r->name, kNoConvert, result);
    }
    case VELM_VT_MGMT_INFO: {
      auto *r = as<VELM_MgmtInfo>(value);
      return mgmtInfo_Create(ctx, r->targetInfo, r->command, kCopyNested, kNoConvert, result);
    }
    case VELM_VT_MSG_DATA_ELEMENT: {
      auto *r = as<VELM_MsgDataElement>(value);
      return msgDataElement_Create(ctx, r->msgId, r->msgIdType, r->msgCatalogId, r->msgCatalogTokens,
                                   r->msgCatalog, r->msgCatalogType, r->msgLocale, kNoConvert, result);
    }
    case VELM_VT_OUTCOME: {
      auto *r = as<VELM_Outcome>(value);
      return outcome_Create(ctx, r->result, r->majorStatus, r->minorStatus, r->failureReason, kNoConvert,
                            result);
    }
    case VELM_VT_PERF_INFO: {
      auto *r = as<VELM_PerfInfo>(value);
      return perfInfo_Create(ctx, r->name, r->description, r->numDataPoints, r->unit, r->maxValue,
                             r->minValue, r->value, r->aggregate, kNoConvert, result);
    }
    case VELM_VT_POLICY_INFO: {
      auto *r = as<VELM_PolicyInfo>(value);
      return policyInfo_Create(ctx, r->name, r->branch, r->type, r->description, r->attributes, kCopyNested,
                               kNoConvert, result);
    }
    case VELM_VT_PERMISSION_INFO: {
      auto *r = as<VELM_PermissionInfo>(value);
      return permissionInfo_Create(ctx, r->checked, r->granted, r->denied, r->J2EERolesChecked,
                                   r->J2EERolesGranted, kNoConvert, result);
    }
    case VELM_VT_PROVISIONING_INFO: {
      auto *r = as<VELM_ProvisioningInfo>(value);
      return provisioningInfo_Create(ctx, r->accountId, r->resourceId, r->resourceType, kNoConvert, result);
    }
    case VELM_VT_REGISTRY_INFO: {
      auto *r = as<VELM_RegistryInfo>(value);
      return registryInfo_Create(ctx, r->type, r->serverLocation, r->serverLocationType, r->serverPort,
                                 kNoConvert, result);
    }
    case VELM_VT_REGISTRY_OBJECT_INFO: {
      auto *r = as<VELM_RegistryObjectInfo>(value);
      return registryObjectInfo_Create(ctx, r->name, r->registryName, r->type, r->description, r->attributes,
                                       kCopyNested, kNoConvert, result);
    }
    case VELM_VT_RESOURCE_INFO: {
      auto *r = as<VELM_ResourceInfo>(value);
      return resourceInfo_Create(ctx, r->nameInApp, r->nameInPolicy, r->type, r->attributes, kCopyNested,
                                 kNoConvert, result);
    }
    case VELM_VT_TARGET_INFO: {
      auto *r = as<VELM_TargetInfo>(value);
      return targetInfo_Create(ctx, r->targetNames, r->attributes, kCopyNested, kNoConvert, result);
    }
    case VELM_VT_USER_INFO: {
      auto *r = as<VELM_UserInfo>(value);
      return userInfo_Create(ctx, r->registryUserName, r->appUserName, r->uniqueId, r->callerList, r->domain,
                             r->realm, r->location, r->locationType, r->sessionId, r->attributes, kCopyNested,
                             kNoConvert, result);
    }
    case VELM_VT_WORK_ITEM_INFO: {
      auto *r = as<VELM_WorkItemInfo>(value);
      return workItemInfo_Create(ctx, r->id, r->type, kNoConvert, result);
    }
    case VELM_VT_ATTRIBUTE_ARRAY:
      return copyAttributeArray(ctx, static_cast<VELM_Attribute *const *>(value), result);
    case VELM_VT_ATTRIBUTE_PERMISSION_INFO_ARRAY:
      return copyAttrPermInfoArray(ctx, static_cast<VELM_AttributePermissionInfo *const *>(value), result);
    case VELM_VT_MEMBERSHIP_INFO_ARRAY:
      return copyMembershipInfoArray(ctx, static_cast<VELM_MembershipInfo *const *>(value), result);
    case VELM_VT_POLICY_INFO_ARRAY:
      return copyPolicyInfoArray(ctx, static_cast<VELM_PolicyInfo *const *>(value), result);
    default:
      break;
  }
  VELM_RECORD(context, result, 8, "valueType", std::to_string(valueType).c_str());
  VELM_TRACE_ERROR(context, "ERROR: valueType parameter has an invalid value: %d", valueType);
  return nullptr;
}

int infoRecord_Release(VELM_AuditClientContext *context, int valueType, void *value, VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  auto *ctx = context;
  switch (valueType) {
    case VELM_VT_ATTRIBUTE:
      return attribute_Delete(ctx, static_cast<VELM_Attribute *>(value), result);
    case VELM_VT_ATTRIBUTE_PERMISSION_INFO:
      return attributePermissionInfo_Delete(ctx, static_cast<VELM_AttributePermissionInfo *>(value), result);
    case VELM_VT_COMPONENT_ID:
      return componentId_Delete(ctx, static_cast<VELM_ComponentId *>(value), result);
    case VELM_VT_HTTPURL_INFO:
      return HTTPURLInfo_Delete(ctx, static_cast<VELM_HTTPURLInfo *>(value), result);
    case VELM_VT_MEMBERSHIP_INFO:
      return membershipInfo_Delete(ctx, static_cast<VELM_MembershipInfo *>(value), result);
    case VELM_VT_MGMT_INFO:
      return mgmtInfo_Delete(ctx, static_cast<VELM_MgmtInfo *>(value), result);
    case VELM_VT_MSG_DATA_ELEMENT:
      return msgDataElement_Delete(ctx, static_cast<VELM_MsgDataElement *>(value), result);
    case VELM_VT_OUTCOME:
      return outcome_Delete(ctx, static_cast<VELM_Outcome *>(value), result);
    case VELM_VT_PERF_INFO:
      return perfInfo_Delete(ctx, static_cast<VELM_PerfInfo *>(value), result);
    case VELM_VT_POLICY_INFO:
      return policyInfo_Delete(ctx, static_cast<VELM_PolicyInfo *>(value), result);
    case VELM_VT_PERMISSION_INFO:
      return permissionInfo_Delete(ctx, static_cast<VELM_PermissionInfo *>(value), result);
    case VELM_VT_PROVISIONING_INFO:
      return provisioningInfo_Delete(ctx, static_cast<VELM_ProvisioningInfo *>(value), result);
    case VELM_VT_REGISTRY_INFO:
      return registryInfo_Delete(ctx, static_cast<VELM_RegistryInfo *>(value), result);
    case VELM_VT_REGISTRY_OBJECT_INFO:
      return registryObjectInfo_Delete(ctx, static_cast<VELM_RegistryObjectInfo *>(value), result);
    case VELM_VT_RESOURCE_INFO:
      return resourceInfo_Delete(ctx, static_cast<VELM_ResourceInfo *>(value), result);
    case VELM_VT_TARGET_INFO:
      return targetInfo_Delete(ctx, static_cast<VELM_TargetInfo *>(value), result);
    case VELM_VT_USER_INFO:
      return userInfo_Delete(ctx, static_cast<VELM_UserInfo *>(value), result);
    case VELM_VT_WORK_ITEM_INFO:
      return workItemInfo_Delete(ctx, static_cast<VELM_WorkItemInfo *>(value), result);
    case VELM_VT_ATTRIBUTE_ARRAY:
      return freeAttributeArray(ctx, static_cast<VELM_Attribute **>(value), result);
    case VELM_VT_ATTRIBUTE_PERMISSION_INFO_ARRAY:
      return freeAttrPermInfoArray(ctx, static_cast<VELM_AttributePermissionInfo **>(value), result);
    case VELM_VT_MEMBERSHIP_INFO_ARRAY:
      return freeMembershipInfoArray(ctx, static_cast<VELM_MembershipInfo **>(value), result);
    case VELM_VT_POLICY_INFO_ARRAY:
      return freePolicyInfoArray(ctx, static_cast<VELM_PolicyInfo **>(value), result);
    default:
      break;
  }
  VELM_TRACE_ERROR(context, "ERROR: valueType parameter has an invalid value: %d", valueType);
  return -1;
}

void infoRecord_Delete(VELM_AuditClientContext *context, int valueType, void *value) {
  // The families' deletes record nothing today; a scratch result keeps
  // anything they might add from leaking.
  VELM_result scratch{0, 0, nullptr};
  infoRecord_Release(context, valueType, value, &scratch);
  VELM_Result_Clean(&scratch);
}

}  // namespace velm
