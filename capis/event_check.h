// The predefined event types and the validation of events against them.
//
// The tables are constant data apart from the hashes, counts and hash
// buckets, which initEventTable fills in once per process under VELMCommon's
// mutex. From then on they are only read, so any number of threads may
// validate their own events at the same time.
#pragma once

#include <cstdint>

#include "capis/element.h"
#include "capis/event.h"
#include "capis/runtimes.h"  // declares initEventTable
#include "capis/utils.h"
#include "velm.h"

namespace velm {

// Special checks: a rule that runs only when its own element is absent.
inline constexpr int32_t SPCHK_NONE = 0;
inline constexpr int32_t SPCHK_TIMESTAMP = 1;               // adds "timestamp"
inline constexpr int32_t SPCHK_ACTION_LOGOUT = 2;           // "action" "logout" needs "terminateReason"
inline constexpr int32_t SPCHK_OUTCOME_RESULT_SUCCESS = 3;  // outcome "SUCCESSFUL" needs "accessDecision"
inline constexpr int32_t SPCHK_ACC_DEC_DENIED = 4;          // "denied" needs "accessDecisionReason"
inline constexpr int32_t SPCHK_ACTION_STATISTIC = 5;        // "statistic" needs "perfInfo"
inline constexpr int32_t SPCHK_COMP_STAT_NON_COMP = 6;      // "nonCompliant" needs "violationName"
inline constexpr int32_t SPCHK_ACTION_HTTP_REQ = 7;         // "httpRequest" needs "httpURLInfo"

// Value checks on string elements.
inline constexpr int32_t VALCHK_NONE = 0;
inline constexpr int32_t VALCHK_LOCATION_TYPE = 1;  // one of the location types, exact case
inline constexpr int32_t VALCHK_YES_NO = 2;         // exactly "Yes" or "No"

// One predefined element. A table is an array of these ended by a null name.
struct PreDefElt {
  const char *name;        // ASCII
  uint32_t hash;           // hashFunc(name), filled by initEventTable
  int32_t valueType;       // the value type the element must have
  int32_t required;        // 1: must be present
  int32_t specCheckCode;   // SPCHK_*
  int32_t valueCheck;      // VALCHK_*
  const PreDefElt *subElts;  // checked among the element's children; unused by the built-in tables
};

// The predefined elements of one event type (or the common ones).
struct PreDefEltTab {
  int32_t numElts;       // counted by initEventTable
  int32_t numReqElts;
  int32_t numSpChkElts;
  HashEntry **buckets;   // names of elts, value = index into elts
  int32_t bucketCount;
  PreDefElt *elts;
};

// One event type. VELM_EventTable ends with a null name.
struct EventTableEntry {
  const char *name;  // compared with the event's eventType (UTF-8 bytes)
  uint32_t hash;     // filled by initEventTable
  PreDefEltTab *table;
};

inline constexpr int kNumEventTypes = 17;
extern EventTableEntry VELM_EventTable[kNumEventTypes + 1];
extern PreDefEltTab commonPreDefEltTab;

// Builds table's buckets (replacing any left from an earlier, failed
// initialisation). 0, or -1 with message 1.
int buildPreDefEltTabHashTable(VELM_AuditClientContext *context, PreDefEltTab *table, VELM_result *result);

// The table of eventType (UTF-8), or null when it is not predefined.
PreDefEltTab *findPreDefEltTab(const char *eventType);

// Validates event against the common table and its type's table. 0 when
// valid; -1 with exactly one message in result otherwise (or none, for an
// internal inconsistency that is only traced). May add a "timestamp"
// element to the event, which stays there whatever the outcome.
int checkEvent(VELM_AuditClientContext *context, VELM_AuditEvent *event, VELM_result *result);

// Checks one present element against table (value type, null value, value
// check, sub-elements) and counts it in reqEltCnt / spChkEltCnt when the
// table marks it required / special. 0 or -1.
int checkElement(VELM_AuditClientContext *context, VELM_AuditEvent *event, const VELM_AuditElement *element,
                 const PreDefEltTab *table, int *reqEltCnt, int *spChkEltCnt, VELM_result *result);

// Applies one value check to a string element. 0 or -1.
int checkEltVal(VELM_AuditClientContext *context, const VELM_AuditElement *element, int valueCheck,
                VELM_result *result);

// Walks the entries of elts in order against elements[0..count): reports
// the first missing required element and runs the special checks of the
// absent entries on the way. 0 or -1.
int checkPreDefElts(VELM_AuditClientContext *context, VELM_AuditEvent *event, VELM_AuditElement *const *elements,
                    int count, const PreDefElt *elts, VELM_result *result);

// Runs the special checks of table's entries that are absent from
// elements[0..count). 0 or -1.
int processSpChks(VELM_AuditClientContext *context, VELM_AuditEvent *event, VELM_AuditElement *const *elements,
                  int count, const PreDefEltTab *table, VELM_result *result);

// One special check for the absent entry. 0 or -1.
int doSpecCheck(VELM_AuditClientContext *context, VELM_AuditEvent *event, VELM_AuditElement *const *elements,
                int count, const PreDefElt *entry, VELM_result *result);

}  // namespace velm
