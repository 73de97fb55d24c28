// Info records as element values: one place that knows every family.
#pragma once

#include "capis/info_nested.h"
#include "capis/info_simple.h"
#include "velm.h"

namespace velm {

// Deep copy of a record or record-array value (value types 5 to 26) through
// the family's internal create with conversion off, so the family's checks
// run again on the copy. Null (with the reason recorded) on failure.
void *infoRecord_Copy(VELM_AuditClientContext *context, int valueType, const void *value,
                      VELM_result *result);
// Releases a record or record-array value (value types 5 to 26).
void infoRecord_Delete(VELM_AuditClientContext *context, int valueType, void *value);

}  // namespace velm
