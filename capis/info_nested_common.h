// Plumbing of the info-record families with string arrays, attribute arrays
// and the nested target info, on top of info_common.h.
#pragma once

#include "capis/info_common.h"
#include "capis/info_nested.h"

namespace velm {

// Public getter of a string-array field: the guard, the handle check, then
// a new array of new texts in the element code set (null for a null field).
template <typename R>
char **infoStringArrayGetter(VELM_AuditClientContext *context, const R *record, char **R::*field,
                             const char *handleName, const ApiSite &site, VELM_result *result) {
  return contextCall(context, result, nullptr, site, [&](ApiCall &call) -> char ** {
    if (!call.requireHandle(record, handleName)) return nullptr;
    return infoGetStringArray(context, record->*field, result);
  });
}

// Public getter of an attribute-array or nested-record field: the record's
// own pointer, borrowed for the life of the record.
template <typename R, typename P>
P *infoPointerGetter(VELM_AuditClientContext *context, const R *record, P *R::*field, const char *handleName,
                     const ApiSite &site, VELM_result *result) {
  return contextCall(context, result, nullptr, site, [&](ApiCall &call) -> P * {
    if (!call.requireHandle(record, handleName)) return nullptr;
    return record->*field;
  });
}

// Stores an attribute array in *field: a deep copy when copyNested is
// non-zero, the caller's own array otherwise (the record then owns it). A
// null array leaves *field null. False when the copy failed (messages
// recorded, *field unchanged). Callers store it last, so that a failing
// create never releases an adopted array.
bool infoSetAttributes(VELM_AuditClientContext *context, VELM_Attribute **attributes, int copyNested,
                       VELM_Attribute ***field, VELM_result *result);

// Releases a string-array field and clears it; folds -1 into rc.
void infoReleaseStringArray(VELM_AuditClientContext *context, char **&field, int &rc, VELM_result *result);
// Releases an attribute-array field and clears it; folds -1 into rc.
void infoReleaseAttributes(VELM_AuditClientContext *context, VELM_Attribute **&field, int &rc,
                           VELM_result *result);

}  // namespace velm
