// Null-terminated arrays of info records (value types 23 to 26): deep copy
// and release.
#include <cstdlib>

#include "capis/errors.h"
#include "capis/info_nested.h"
#include "capis/trace.h"

VELM_TRACE_UNIT("record_arrays");

namespace velm {
namespace {

template <typename R>
size_t countEntries(R *const *array) {
  size_t n = 0;
  while (array[n] != nullptr) ++n;
  return n;
}

// copyOne re-creates one record (recording its own message on failure);
// deleteOne releases one. On any failure everything copied so far goes, and
// message 1 is recorded after the family's message.
template <typename R, typename CopyOne, typename DeleteOne>
R **copyRecordArray(VELM_AuditClientContext *context, R *const *array, CopyOne copyOne, DeleteOne deleteOne,
                    VELM_result *result) {
  if (array == nullptr) {
    VELM_RECORD(context, result, 9, "array");
    VELM_TRACE_ERROR(context, "ERROR: The %s parameter is missing", "array");
    return nullptr;
  }
  const size_t count = countEntries(array);
  auto **copy = static_cast<R **>(std::calloc(count + 1, sizeof(R *)));
  if (copy == nullptr) {
    VELM_RECORD(context, result, 1);
    VELM_TRACE_ERROR(context, "ERROR: cannot malloc");
    return nullptr;
  }
  for (size_t i = 0; i < count; ++i) {
    copy[i] = copyOne(array[i]);
    if (copy[i] == nullptr) {
      for (size_t j = 0; j < i; ++j) deleteOne(copy[j]);
      std::free(copy);
      VELM_RECORD(context, result, 1);
      VELM_TRACE_ERROR(context, "ERROR: cannot malloc");
      return nullptr;
    }
  }
  return copy;
}

// Every entry is released even after a failure; the result is the last
// non-zero entry result (the families only ever report -1).
template <typename R, typename DeleteOne>
int freeRecordArray(R **array, DeleteOne deleteOne) {
  if (array == nullptr) return 0;
  int rc = 0;
  for (R **p = array; *p != nullptr; ++p) {
    const int r = deleteOne(*p);
    if (r != 0) rc = r;
  }
  std::free(array);
  return rc;
}

}  // namespace

VELM_Attribute **copyAttributeArray(VELM_AuditClientContext *context, VELM_Attribute *const *array,
                                    VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  return copyRecordArray(
      context, array,
      [&](const VELM_Attribute *a) {
        return attribute_Create(context, a->name, a->value, a->source, 0, result);
      },
      [&](VELM_Attribute *a) { return attribute_Delete(context, a, result); }, result);
}

int freeAttributeArray(VELM_AuditClientContext *context, VELM_Attribute **array, VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  return freeRecordArray(array, [&](VELM_Attribute *a) { return attribute_Delete(context, a, result); });
}

VELM_AttributePermissionInfo **copyAttrPermInfoArray(VELM_AuditClientContext *context,
                                                     VELM_AttributePermissionInfo *const *array,
                                                     VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  return copyRecordArray(
      context, array,
      [&](const VELM_AttributePermissionInfo *a) {
        return attributePermissionInfo_Create(context, a->attributeNames, a->checked, a->granted, a->denied,
                                              0, result);
      },
      [&](VELM_AttributePermissionInfo *a) { return attributePermissionInfo_Delete(context, a, result); },
      result);
}

int freeAttrPermInfoArray(VELM_AuditClientContext *context, VELM_AttributePermissionInfo **array,
                          VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  return freeRecordArray(array, [&](VELM_AttributePermissionInfo *a) {
    return attributePermissionInfo_Delete(context, a, result) != 0 ? -1 : 0;
  });
}

VELM_MembershipInfo **copyMembershipInfoArray(VELM_AuditClientContext *context,
                                              VELM_MembershipInfo *const *array, VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  return copyRecordArray(
      context, array,
      [&](const VELM_MembershipInfo *m) {
        return membershipInfo_Create(context, m->type, m->id, m->name, 0, result);
      },
      [&](VELM_MembershipInfo *m) { return membershipInfo_Delete(context, m, result); }, result);
}

int freeMembershipInfoArray(VELM_AuditClientContext *context, VELM_MembershipInfo **array,
                            VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  return freeRecordArray(array,
                         [&](VELM_MembershipInfo *m) { return membershipInfo_Delete(context, m, result); });
}

VELM_PolicyInfo **copyPolicyInfoArray(VELM_AuditClientContext *context, VELM_PolicyInfo *const *array,
                                      VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  return copyRecordArray(
      context, array,
      [&](const VELM_PolicyInfo *p) {
        return policyInfo_Create(context, p->name, p->branch, p->type, p->description, p->attributes, 1, 0,
                                 result);
      },
      [&](VELM_PolicyInfo *p) { return policyInfo_Delete(context, p, result); }, result);
}

int freePolicyInfoArray(VELM_AuditClientContext *context, VELM_PolicyInfo **array, VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  return freeRecordArray(array, [&](VELM_PolicyInfo *p) { return policyInfo_Delete(context, p, result); });
}

}  // namespace velm
