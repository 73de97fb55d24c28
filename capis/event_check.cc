// Validation of events against the predefined event types.
//
// The order of the checks is part of the behaviour callers see: only the
// first problem is reported, present elements are always checked for type,
// null value and value rule, and the special checks of table entries that
// come before a missing required element still run (so "timestamp" is added
// before the missing element is reported).
#include "capis/event_check.h"

#include <pthread.h>
#include <sys/time.h>

#include <atomic>
#include <cstring>
#include <new>
#include <string>

#include "capis/api_guard.h"
#include "capis/context.h"
#include "capis/errors.h"
#include "capis/info_simple.h"
#include "capis/trace.h"

VELM_TRACE_UNIT("event_check");

namespace velm {

namespace {

// Set (release) once initEventTable has built the tables, so that a
// validating thread that sees it (acquire) also sees the buckets.
std::atomic<bool> eventTablesBuilt{false};

// Contexts build the tables when they are created; this covers a caller
// that validates through some other path first.
int ensureEventTable(VELM_AuditClientContext *context, VELM_result *result) {
  if (eventTablesBuilt.load(std::memory_order_acquire)) return 0;
  VELMCommonRec *common = velmCommon();
  if (common == nullptr) {
    VELM_RECORD(context, result, 1);
    VELM_TRACE_ERROR(context, "ERROR: cannot malloc");
    return -1;
  }
  PthreadLock lock(common->mutex);
  return initEventTable(context, result);
}

// First element of elements[0..count) with this hash and name.
const VELM_AuditElement *findByName(VELM_AuditElement *const *elements, int count, const char *name,
                                    uint32_t hash) {
  for (int i = 0; i < count; ++i) {
    const VELM_AuditElement *el = elements[i];
    if (el != nullptr && el->hash == hash && el->name != nullptr && std::strcmp(el->name, name) == 0) return el;
  }
  return nullptr;
}

// The rules of the special checks that make one element required when
// another holds a given value (all but the time stamp). The missing name in
// message 15 is the rule's, not the table entry's.
struct TriggerRule {
  int32_t code;
  const char *trigger;       // looked up among the same elements
  int32_t triggerType;       // VELM_VT_STRING, or VELM_VT_OUTCOME (its result field)
  const char *triggerValue;  // exact, NUL included
  const char *missing;
};

constexpr TriggerRule kTriggerRules[] = {
    {SPCHK_ACTION_LOGOUT, "action", VELM_VT_STRING, "logout", "terminateReason"},
    {SPCHK_OUTCOME_RESULT_SUCCESS, "outcome", VELM_VT_OUTCOME, "SUCCESSFUL", "accessDecision"},
    {SPCHK_ACC_DEC_DENIED, "accessDecision", VELM_VT_STRING, "denied", "accessDecisionReason"},
    {SPCHK_ACTION_STATISTIC, "action", VELM_VT_STRING, "statistic", "perfInfo"},
    {SPCHK_COMP_STAT_NON_COMP, "complianceStatus", VELM_VT_STRING, "nonCompliant", "violationName"},
    {SPCHK_ACTION_HTTP_REQ, "action", VELM_VT_STRING, "httpRequest", "httpURLInfo"},
};

const TriggerRule *findTriggerRule(int32_t code) {
  for (const TriggerRule &rule : kTriggerRules)
    if (rule.code == code) return &rule;
  return nullptr;
}

// True when the rule's trigger element is present and holds its value. The
// trigger's type was checked before any special check runs; one of another
// type (or without a value) is never read as text.
bool triggerHolds(VELM_AuditElement *const *elements, int count, const TriggerRule &rule) {
  const VELM_AuditElement *el = findByName(elements, count, rule.trigger, hashFunc(rule.trigger));
  if (el == nullptr || el->value == nullptr || el->valueType != rule.triggerType) return false;
  const char *text = rule.triggerType == VELM_VT_OUTCOME ? static_cast<const VELM_Outcome *>(el->value)->result
                                                         : static_cast<const char *>(el->value);
  return text != nullptr && std::strcmp(text, rule.triggerValue) == 0;
}

// SPCHK_TIMESTAMP: attaches a copy of the event's creation time as
// "timestamp". An event whose creation time could not be stored gets the
// current time instead of a failure it could never get past.
int addTimeStamp(VELM_AuditClientContext *context, VELM_AuditEvent *event, VELM_result *result) {
  struct timeval now {};
  const struct timeval *stamp = event->defaultTimeStamp;
  if (stamp == nullptr) {
    gettimeofday(&now, nullptr);
    stamp = &now;
  }
  VELM_AuditElement *element = auditElement_Create(context, "timestamp", VELM_VT_DATETIME, stamp, 1, 0, result);
  if (element == nullptr) return -1;
  if (auditEvent_AddElementByHand(event, element, result) != 0) {
    auditElement_Delete(context, element, result);
    return -1;
  }
  VELM_FLOW(context, "FLOW: added element timestamp");
  return 0;
}

// checkPreDefElts with an explicit note whether elements is the event's
// top-level array: a special check may add "timestamp" there, which can move
// the array, so the walk then continues on the event's current one.
int checkPreDefEltsIn(VELM_AuditClientContext *context, VELM_AuditEvent *event, VELM_AuditElement *const *elements,
                      int count, const PreDefElt *elts, bool topLevel, VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  for (const PreDefElt *entry = elts; entry->name != nullptr; ++entry) {
    const VELM_AuditElement *el = findByName(elements, count, entry->name, entry->hash);
    if (el != nullptr) {
      if (el->valueType != entry->valueType) {
        VELM_RECORD(context, result, 14, el->name, static_cast<int>(el->valueType));
        VELM_TRACE_ERROR(context, "ERROR: predefined element '%s' has wrong valueType: %d", el->name,
                         static_cast<int>(el->valueType));
        return -1;
      }
      if (el->value == nullptr) {
        VELM_RECORD(context, result, 16, el->name);
        VELM_TRACE_ERROR(context, "ERROR: predefined element '%s' has NULL value", el->name);
        return -1;
      }
      if (entry->subElts != nullptr &&
          checkPreDefEltsIn(context, event, el->children, el->count, entry->subElts, false, result) != 0)
        return -1;
      continue;
    }
    if (entry->required) {
      VELM_RECORD(context, result, 15, entry->name);
      VELM_TRACE_ERROR(context, "ERROR: the required element '%s' is not present", entry->name);
      return -1;
    }
    if (entry->specCheckCode != SPCHK_NONE) {
      if (doSpecCheck(context, event, elements, count, entry, result) != 0) return -1;
      if (topLevel) {
        elements = event->elements;
        count = event->count;
      }
    }
  }
  return 0;
}

// Adopted string values (copyFlag 0) were stored as given; the first time
// the library looks at them is here. The first one that XML cannot carry is
// returned with its dotted path (built only then, so that valid events cost
// no allocation), to fail the check instead of the conversion after the send
// was accepted.
const VELM_AuditElement *findBadText(VELM_AuditElement *const *elements, int count, std::string *path) {
  for (int i = 0; i < count; ++i) {
    const VELM_AuditElement *el = elements[i];
    if (el == nullptr || el->name == nullptr) continue;
    if (el->valueType == VELM_VT_STRING && el->value != nullptr &&
        findXmlTextFault(static_cast<const char *>(el->value), nullptr)) {
      *path = el->name;
      return el;
    }
    if (el->count > 0) {
      if (const VELM_AuditElement *bad = findBadText(el->children, el->count, path)) {
        *path = std::string(el->name) + "." + *path;
        return bad;
      }
    }
  }
  return nullptr;
}

}  // namespace

int buildPreDefEltTabHashTable(VELM_AuditClientContext *context, PreDefEltTab *table, VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  // Left over from an initialisation that failed part-way.
  if (table->buckets != nullptr) {
    freeHashTable(table->buckets, table->bucketCount);
    table->buckets = nullptr;
    table->bucketCount = 0;
  }
  int numElts = 0, numReqElts = 0, numSpChkElts = 0;
  for (PreDefElt *entry = table->elts; entry->name != nullptr; ++entry) {
    entry->hash = hashFunc(entry->name);
    ++numElts;
    if (entry->required) ++numReqElts;
    if (entry->specCheckCode != SPCHK_NONE) ++numSpChkElts;
  }
  table->numElts = numElts;
  table->numReqElts = numReqElts;
  table->numSpChkElts = numSpChkElts;

  const int size = computeHashTableSz(numElts);
  HashEntry **buckets = createHashTable(size);
  bool ok = buckets != nullptr;
  for (int i = 0; ok && i < numElts; ++i) ok = addToHashTable(table->elts[i].name, i, buckets, size) != nullptr;
  if (!ok) {
    if (buckets != nullptr) freeHashTable(buckets, size);
    VELM_RECORD(context, result, 1);
    VELM_TRACE_ERROR(context, "ERROR: cannot malloc");
    return -1;
  }
  table->buckets = buckets;
  table->bucketCount = size;
  return 0;
}

int initEventTable(VELM_AuditClientContext *context, VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  VELMCommonRec *common = velmCommon();
  if (common != nullptr && common->eventTableReady) {
    eventTablesBuilt.store(true, std::memory_order_release);
    return 0;
  }
  for (EventTableEntry *type = VELM_EventTable; type->name != nullptr; ++type) {
    type->hash = hashFunc(type->name);
    PreDefEltTab *table = type->table;
    if (buildPreDefEltTabHashTable(context, table, result) != 0) return -1;
    VELM_FLOW(context, "FLOW: eventType %s, #Elts = %d, #ReqElts = %d, #SpChkElts = %d", type->name,
              static_cast<int>(table->numElts), static_cast<int>(table->numReqElts),
              static_cast<int>(table->numSpChkElts));
  }
  if (buildPreDefEltTabHashTable(context, &commonPreDefEltTab, result) != 0) return -1;
  VELM_FLOW(context, "FLOW: commonPreDefEltTab  #Elts = %d, #ReqElts = %d, #SpChkElts = %d",
            static_cast<int>(commonPreDefEltTab.numElts), static_cast<int>(commonPreDefEltTab.numReqElts),
            static_cast<int>(commonPreDefEltTab.numSpChkElts));
  if (common != nullptr) common->eventTableReady = 1;
  eventTablesBuilt.store(true, std::memory_order_release);
  return 0;
}

PreDefEltTab *findPreDefEltTab(const char *eventType) {
  if (eventType == nullptr) return nullptr;
  const uint32_t hash = hashFunc(eventType);
  for (EventTableEntry *type = VELM_EventTable; type->name != nullptr; ++type)
    if (type->hash == hash && std::strcmp(type->name, eventType) == 0) return type->table;
  return nullptr;
}

int checkEltVal(VELM_AuditClientContext *context, const VELM_AuditElement *element, int valueCheck,
                VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  const char *value = static_cast<const char *>(element->value);
  bool valid = false;
  switch (valueCheck) {
    case VALCHK_LOCATION_TYPE:
      valid = context != nullptr && context->locTypeTable != nullptr &&
              checkHashTableForMatch(context, value, context->locTypeTable, context->locTypeTableSize, result) == 0;
      break;
    case VALCHK_YES_NO:
      valid = std::strcmp(value, "Yes") == 0 || std::strcmp(value, "No") == 0;
      break;
    default:
      VELM_TRACE_ERROR(context, "ERROR: invalid valueCheck passed to checkEltVal: %d \n", valueCheck);
      return -1;
  }
  if (valid) return 0;
  VELM_RECORD(context, result, 47, element->name, value);
  VELM_TRACE_ERROR(context, "ERROR: predefined element '%s' has invalid value: %s", element->name, value);
  return -1;
}

int checkElement(VELM_AuditClientContext *context, VELM_AuditEvent *event, const VELM_AuditElement *element,
                 const PreDefEltTab *table, int *reqEltCnt, int *spChkEltCnt, VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  if (element == nullptr || element->name == nullptr || table->buckets == nullptr || table->bucketCount <= 0)
    return 0;
  const PreDefElt *entry = nullptr;
  for (const HashEntry *node = table->buckets[element->hash % static_cast<uint32_t>(table->bucketCount)];
       node != nullptr; node = node->next) {
    const PreDefElt &candidate = table->elts[node->value];
    if (candidate.hash == element->hash && std::strcmp(candidate.name, element->name) == 0) {
      entry = &candidate;
      break;
    }
  }
  if (entry == nullptr) return 0;

  if (entry->required) ++*reqEltCnt;
  if (entry->specCheckCode != SPCHK_NONE) ++*spChkEltCnt;
  if (element->valueType != entry->valueType) {
    VELM_RECORD(context, result, 14, element->name, static_cast<int>(element->valueType));
    VELM_TRACE_ERROR(context, "ERROR: predefined element '%s' has wrong valueType: %d", element->name,
                     static_cast<int>(element->valueType));
    return -1;
  }
  if (element->value == nullptr) {
    VELM_RECORD(context, result, 16, element->name);
    VELM_TRACE_ERROR(context, "ERROR: predefined element '%s' has NULL value", element->name);
    return -1;
  }
  if (entry->valueCheck != VALCHK_NONE && checkEltVal(context, element, entry->valueCheck, result) != 0) return -1;
  if (entry->subElts != nullptr &&
      checkPreDefEltsIn(context, event, element->children, element->count, entry->subElts, false, result) != 0)
    return -1;
  return 0;
}

int checkPreDefElts(VELM_AuditClientContext *context, VELM_AuditEvent *event, VELM_AuditElement *const *elements,
                    int count, const PreDefElt *elts, VELM_result *result) {
  return checkPreDefEltsIn(context, event, elements, count, elts, elements == event->elements, result);
}

int processSpChks(VELM_AuditClientContext *context, VELM_AuditEvent *event, VELM_AuditElement *const *elements,
                  int count, const PreDefEltTab *table, VELM_result *result) {
  ScopedTrace trace(context, kVelmTraceUnit, __func__, __LINE__);
  if (table->numSpChkElts == 0) {
    trace.dismiss();
    VELM_TRACE_EXIT_VALUE(context, "EXIT: no special checks in table");
    return 0;
  }
  // As in checkPreDefElts: adding "timestamp" may move the event's array.
  const bool topLevel = elements == event->elements;
  int visited = 0;
  for (const PreDefElt *entry = table->elts; entry->name != nullptr && visited < table->numSpChkElts; ++entry) {
    if (entry->specCheckCode == SPCHK_NONE) continue;
    ++visited;
    if (findByName(elements, count, entry->name, entry->hash) != nullptr) continue;
    if (doSpecCheck(context, event, elements, count, entry, result) != 0) return -1;
    if (topLevel) {
      elements = event->elements;
      count = event->count;
    }
  }
  return 0;
}

int doSpecCheck(VELM_AuditClientContext *context, VELM_AuditEvent *event, VELM_AuditElement *const *elements,
                int count, const PreDefElt *entry, VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  if (entry->specCheckCode == SPCHK_TIMESTAMP) return addTimeStamp(context, event, result);
  const TriggerRule *rule = findTriggerRule(entry->specCheckCode);
  if (rule == nullptr) {
    VELM_TRACE_ERROR(context, "ERROR: the special check code is invalid: %d", static_cast<int>(entry->specCheckCode));
    return -1;
  }
  if (!triggerHolds(elements, count, *rule)) return 0;
  VELM_RECORD(context, result, 15, rule->missing);
  VELM_TRACE_ERROR(context, "ERROR: the required element '%s' is not present", rule->missing);
  return -1;
}

int checkEvent(VELM_AuditClientContext *context, VELM_AuditEvent *event, VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  if (ensureEventTable(context, result) != 0) return -1;
  const char *eventType = event->eventType != nullptr ? event->eventType : "";
  VELM_FLOW(context, "FLOW: checking event with eventType = %s", eventType);
  std::string badPath;
  if (const VELM_AuditElement *bad = findBadText(event->elements, event->count, &badPath)) {
    checkXmlText(context, static_cast<const char *>(bad->value), badPath.c_str(), result);
    return -1;
  }
  const PreDefEltTab *common = &commonPreDefEltTab;
  const PreDefEltTab *typeTable = findPreDefEltTab(event->eventType);
  const int numReqElts = common->numReqElts + (typeTable != nullptr ? typeTable->numReqElts : 0);
  const int numSpChkElts = common->numSpChkElts + (typeTable != nullptr ? typeTable->numSpChkElts : 0);
  VELM_FLOW(context, "FLOW: numReqElts = %d, numSpChkElts = %d", numReqElts, numSpChkElts);

  int reqEltCnt = 0, spChkEltCnt = 0;
  for (int i = 0; i < event->count; ++i) {
    const VELM_AuditElement *element = event->elements[i];
    if (checkElement(context, event, element, common, &reqEltCnt, &spChkEltCnt, result) != 0) return -1;
    if (typeTable != nullptr &&
        checkElement(context, event, element, typeTable, &reqEltCnt, &spChkEltCnt, result) != 0)
      return -1;
  }
  VELM_FLOW(context, "FLOW: reqEltCnt = %d, spChkEltCnt = %d", reqEltCnt, spChkEltCnt);

  if (reqEltCnt < numReqElts) {
    VELM_FLOW(context, "FLOW: we are missing some required elements");
    // The event's array is passed afresh each time: the common walk may have
    // added "timestamp" and moved it.
    if (checkPreDefElts(context, event, event->elements, event->count, common->elts, result) != 0) return -1;
    if (typeTable != nullptr &&
        checkPreDefElts(context, event, event->elements, event->count, typeTable->elts, result) != 0)
      return -1;
    return 0;
  }
  if (spChkEltCnt < numSpChkElts) {
    if (processSpChks(context, event, event->elements, event->count, common, result) != 0) return -1;
    if (typeTable != nullptr) {
      VELM_FLOW(context, "FLOW: calling processSpChks for preDefEltTab for event type %s", eventType);
      if (processSpChks(context, event, event->elements, event->count, typeTable, result) != 0) return -1;
    }
    return 0;
  }
  VELM_FLOW(context, "FLOW: spChk element count has been met");
  return 0;
}

}  // namespace velm

extern "C" {

VELM_API int VELM_AuditEvent_Validate(VELM_AuditEvent *event, VELM_result *result) {
  return velm::eventCall(event, result, -1, VELM_API_SITE, [&](velm::ApiCall &call) {
    return velm::checkEvent(call.context(), event, result) == 0 ? 0 : -1;
  });
}

}  // extern "C"
