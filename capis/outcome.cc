// VELM_Outcome: the result of the audited action.
#include <cstring>

#include "capis/errors.h"
#include "capis/info_common.h"
#include "capis/info_simple.h"

VELM_TRACE_UNIT("outcome");

namespace {
constexpr const char *kHandle = "outcome_Handle";
}

namespace velm {

VELM_Outcome *outcome_Create(VELM_AuditClientContext *context, const char *result, int32_t majorStatus,
                             int32_t minorStatus, const char *failureReason, int convertFlag,
                             VELM_result *resultRecord) {
  VELM_ENTRY_EXIT(context);
  if (!infoRequire(context, result, "result", VELM_INFO_SITE, resultRecord)) return nullptr;
  const bool unsuccessful = std::strcmp(result, kOutcomeUnsuccessful) == 0;
  if (!unsuccessful && std::strcmp(result, kOutcomeSuccessful) != 0) {
    VELM_RECORD(context, resultRecord, 8, "result", result);
    VELM_TRACE_ERROR(context, "ERROR: The value of the result parameter, %s, is invalid", result);
    return nullptr;
  }
  // A failure needs its reason; a success may carry one.
  if (unsuccessful && !infoRequire(context, failureReason, "failureReason", VELM_INFO_SITE, resultRecord))
    return nullptr;
  auto *rec = infoAllocRecord<VELM_Outcome>(context, VELM_INFO_SITE, resultRecord);
  if (rec == nullptr) return nullptr;
  const InfoFieldCopier copy{context, convertFlag, VELM_INFO_SITE, resultRecord};
  rec->majorStatus = majorStatus;
  rec->minorStatus = minorStatus;
  if (copy(result, rec->result, "result") && copy(failureReason, rec->failureReason, "failureReason"))
    return rec;
  outcome_Delete(context, rec, resultRecord);
  return nullptr;
}

int outcome_Delete(VELM_AuditClientContext *context, VELM_Outcome *outcome, VELM_result *) {
  VELM_ENTRY_EXIT(context);
  if (outcome == nullptr) return 0;
  infoFreeString(outcome->result);
  infoFreeString(outcome->failureReason);
  releaseHandle(outcome);
  return 0;
}

}  // namespace velm

extern "C" {

VELM_Outcome *VELM_Outcome_Create(VELM_AuditClientContext *context, const char *result, int32_t majorStatus,
                                  int32_t minorStatus, const char *failureReason, VELM_result *resultRecord) {
  return velm::contextCall(context, resultRecord, nullptr, VELM_API_SITE, [&](velm::ApiCall &) {
    return velm::outcome_Create(context, result, majorStatus, minorStatus, failureReason, 1, resultRecord);
  });
}

int VELM_Outcome_Delete(VELM_AuditClientContext *context, VELM_Outcome *outcome, VELM_result *result) {
  return velm::infoPublicDelete(context, outcome, kHandle, velm::outcome_Delete, VELM_API_SITE, result);
}

VELM_INFO_STRING_GETTER(Outcome, GetResult, result, kHandle)
VELM_INFO_INT_GETTER(Outcome, GetMajorStatus, int32_t, majorStatus, kHandle)
VELM_INFO_INT_GETTER(Outcome, GetMinorStatus, int32_t, minorStatus, kHandle)
VELM_INFO_STRING_GETTER(Outcome, GetFailureReason, failureReason, kHandle)

}  // extern "C"
