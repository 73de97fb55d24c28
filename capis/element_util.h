// Helpers shared by the element and event units (not used elsewhere).
#pragma once

#include <cstddef>
#include <cstdint>

#include "capis/element.h"
#include "capis/errors.h"
#include "capis/trace.h"
#include "velm.h"

namespace velm {

// Text into an element: a heap copy, converted into UTF-8 when convert is
// set and the element code set is not UTF-8, that XML can carry. Null with
// message 1 (memory) or message 8 naming `what` (a text that cannot be
// converted or carried) recorded.
char *eltTextIn(VELM_AuditClientContext *context, const char *text, bool convert, const char *what,
                VELM_result *result);
// Stored UTF-8 text out to the caller in the element code set (free with
// VELM_Free). Null with message 1 or message 8 naming `what` recorded.
char *eltTextOut(VELM_AuditClientContext *context, const char *text, VELM_result *result,
                 const char *what = "value");

// The last "." of a name in the element code set, or null.
const char *lastDot(VELM_AuditClientContext *context, const char *name);

// Records message 9 for a null required parameter; true when it was null.
bool missingParm(VELM_AuditClientContext *context, const void *parm, const char *parmName,
                 VELM_result *result);

// Makes room for one more pointer in a null-ended array of count entries:
// first firstSize slots, then doubling. False with message 1 recorded.
bool growSlots(VELM_AuditClientContext *context, VELM_AuditElement ***slots, int32_t *capacity, int32_t count,
               int firstSize, VELM_result *result);

// The element named name[0..length) (UTF-8) among elements, hash first.
VELM_AuditElement *findByName(VELM_AuditElement *const *elements, int count, const char *name, size_t length);

// For a dotted name: the element that the path before the last "." names
// among elements, with *leaf set to the part after it; null with message 17
// (or 1) recorded when it is missing. For a plain name: null, *leaf = name.
VELM_AuditElement *addUnder(VELM_AuditClientContext *context, VELM_AuditElement *const *elements, int count,
                            const char *name, const char **leaf, VELM_result *result);

// Releases an element whose attachment failed; an adopted value goes back to
// the caller instead of being released.
void discardNewElement(VELM_AuditClientContext *context, VELM_AuditElement *element, int copyFlag,
                       VELM_result *result);

// Sets the static bit on element and its whole subtree.
void setStatic(VELM_AuditElement *element);

}  // namespace velm
