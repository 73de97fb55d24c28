// The simple info-record families: records whose fields are only strings
// and integers. Layouts are read directly by the element code, validation
// and the XML encoders; applications see them only as opaque handles.
//
// Each record starts with its family's magic word (recordMagic in
// api_guard.h), set on creation and poisoned on delete.
//
// Every string field is a heap text in UTF-8 owned by the record, or null
// when an optional field was not given. Records are zero-filled on creation
// and never change afterwards.
//
// Internal creates take the fields in the family's order, then convertFlag:
// 1 converts the texts from the element code set into UTF-8 (unless the
// element code set is UTF-8), 0 copies them byte for byte (used to copy a
// record that is already UTF-8). Both run the family's required-parameter
// and value checks. They return the new record, or null with the reason
// recorded in result; nothing the caller passed is kept or released.
// Internal deletes release the record and its strings (a null record is a
// no-op) and return 0.
#pragma once

#include <cstdint>

#include "velm.h"

struct VELM_Attribute {
  uint32_t magic;  // the family\'s velm::recordMagic while alive (api_guard.h)
  char *name;    // required
  char *value;   // required
  char *source;
};

struct VELM_ComponentId {
  uint32_t magic;  // the family\'s velm::recordMagic while alive (api_guard.h)
  char *location;              // required
  char *locationType;          // required, one of the location types
  char *application;           // required
  char *executionEnvironment;
  char *component;             // required
  char *componentType;         // required
  char *componentIdType;       // required
  char *subcomponent;          // required
  char *instanceId;
  char *processId;
  char *threadId;
};

struct VELM_HTTPURLInfo {
  uint32_t magic;  // the family\'s velm::recordMagic while alive (api_guard.h)
  char *url;     // required
  char *method;  // required
  int32_t responseCode;
  char *requestHeaders;
  char *responseHeaders;
};

struct VELM_MembershipInfo {
  uint32_t magic;  // the family\'s velm::recordMagic while alive (api_guard.h)
  char *type;  // required
  char *id;
  char *name;
};

struct VELM_Outcome {
  uint32_t magic;  // the family\'s velm::recordMagic while alive (api_guard.h)
  char *result;  // required, "SUCCESSFUL" or "UNSUCCESSFUL"
  int32_t majorStatus;
  int32_t minorStatus;
  char *failureReason;  // required when result is "UNSUCCESSFUL"
};

struct VELM_PerfInfo {
  uint32_t magic;  // the family\'s velm::recordMagic while alive (api_guard.h)
  char *name;         // required
  char *description;  // required
  int32_t numDataPoints;
  char *unit;  // required
  int64_t maxValue;
  int64_t minValue;
  int64_t value;
  char *aggregate;  // required
};

struct VELM_ProvisioningInfo {
  uint32_t magic;  // the family\'s velm::recordMagic while alive (api_guard.h)
  char *accountId;
  char *resourceId;  // required
  char *resourceType;
};

struct VELM_RegistryInfo {
  uint32_t magic;  // the family\'s velm::recordMagic while alive (api_guard.h)
  char *type;                // required
  char *serverLocation;      // required
  char *serverLocationType;  // required, one of the location types
  char *serverPort;          // required (text)
};

struct VELM_WorkItemInfo {
  uint32_t magic;  // the family\'s velm::recordMagic while alive (api_guard.h)
  char *id;    // required
  char *type;  // required
};

namespace velm {

// The two values an outcome's result may take.
inline constexpr const char *kOutcomeSuccessful = "SUCCESSFUL";
inline constexpr const char *kOutcomeUnsuccessful = "UNSUCCESSFUL";

VELM_Attribute *attribute_Create(VELM_AuditClientContext *context, const char *name, const char *value,
                                 const char *source, int convertFlag, VELM_result *result);
int attribute_Delete(VELM_AuditClientContext *context, VELM_Attribute *attribute, VELM_result *result);

VELM_ComponentId *componentId_Create(VELM_AuditClientContext *context, const char *location,
                                     const char *locationType, const char *application,
                                     const char *executionEnvironment, const char *component,
                                     const char *componentType, const char *componentIdType,
                                     const char *subcomponent, const char *instanceId, const char *processId,
                                     const char *threadId, int convertFlag, VELM_result *result);
int componentId_Delete(VELM_AuditClientContext *context, VELM_ComponentId *componentId, VELM_result *result);

VELM_HTTPURLInfo *HTTPURLInfo_Create(VELM_AuditClientContext *context, const char *url, const char *method,
                                     int32_t responseCode, const char *requestHeaders,
                                     const char *responseHeaders, int convertFlag, VELM_result *result);
int HTTPURLInfo_Delete(VELM_AuditClientContext *context, VELM_HTTPURLInfo *HTTPURLInfo, VELM_result *result);

VELM_MembershipInfo *membershipInfo_Create(VELM_AuditClientContext *context, const char *type, const char *id,
                                           const char *name, int convertFlag, VELM_result *result);
int membershipInfo_Delete(VELM_AuditClientContext *context, VELM_MembershipInfo *membershipInfo,
                          VELM_result *result);

VELM_Outcome *outcome_Create(VELM_AuditClientContext *context, const char *result, int32_t majorStatus,
                             int32_t minorStatus, const char *failureReason, int convertFlag,
                             VELM_result *resultRecord);
int outcome_Delete(VELM_AuditClientContext *context, VELM_Outcome *outcome, VELM_result *result);

VELM_PerfInfo *perfInfo_Create(VELM_AuditClientContext *context, const char *name, const char *description,
                               int32_t numDataPoints, const char *unit, int64_t maxValue, int64_t minValue,
                               int64_t value, const char *aggregate, int convertFlag, VELM_result *result);
int perfInfo_Delete(VELM_AuditClientContext *context, VELM_PerfInfo *perfInfo, VELM_result *result);

VELM_ProvisioningInfo *provisioningInfo_Create(VELM_AuditClientContext *context, const char *accountId,
                                               const char *resourceId, const char *resourceType,
                                               int convertFlag, VELM_result *result);
int provisioningInfo_Delete(VELM_AuditClientContext *context, VELM_ProvisioningInfo *provisioningInfo,
                            VELM_result *result);

VELM_RegistryInfo *registryInfo_Create(VELM_AuditClientContext *context, const char *type,
                                       const char *serverLocation, const char *serverLocationType,
                                       const char *serverPort, int convertFlag, VELM_result *result);
int registryInfo_Delete(VELM_AuditClientContext *context, VELM_RegistryInfo *registryInfo, VELM_result *result);

VELM_WorkItemInfo *workItemInfo_Create(VELM_AuditClientContext *context, const char *id, const char *type,
                                       int convertFlag, VELM_result *result);
int workItemInfo_Delete(VELM_AuditClientContext *context, VELM_WorkItemInfo *workItemInfo, VELM_result *result);

}  // namespace velm
