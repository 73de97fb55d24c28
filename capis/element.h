// Audit elements: the named, typed values of an event, and their trees.
#pragma once

#include <cstdint>

#include "velm.h"

// An element record. Heap-allocated, zero-filled on creation. Layout and
// order are fixed: other units read these fields directly.
struct VELM_AuditElement {
  uint32_t magic;  // velm::kElementMagic while alive (api_guard.h)
  char *name;   // UTF-8, owned; never contains "."
  void *value;  // owned; its form is given by valueType
  int32_t valueType;
  uint32_t hash;                 // hashFunc of name; compared before the name bytes
  uint32_t flags;                // kEltStatic | kEltAdded
  int32_t capacity;              // slots in children
  int32_t count;                 // sub-elements held
  VELM_AuditElement **children;  // owned; at least one null slot follows the last child
};

namespace velm {

inline constexpr uint32_t kEltStatic = 1;  // shared; released only by DeleteStatic
inline constexpr uint32_t kEltAdded = 2;   // attached to an event or element; never cleared

inline constexpr int kMinValueType = VELM_VT_INTEGER;
inline constexpr int kMaxValueType = VELM_VT_POLICY_INFO_ARRAY;

// Initial size of an element's children array; it doubles after that.
inline constexpr int kFirstChildSlots = 10;

// Makes a detached element (flags 0, no children), or null with the reason
// recorded. convertFlag 1 converts name and string value from the element
// code set into UTF-8 (unless the context says the code set is UTF-8); 0
// takes them as UTF-8 already. copyFlag as processEltValue. On failure the
// value stays with the caller, whatever copyFlag.
VELM_AuditElement *auditElement_Create(VELM_AuditClientContext *context, const char *name, int valueType,
                                       const void *value, int copyFlag, int convertFlag, VELM_result *result);

// Stores valueType and value in element. copyFlag 0 adopts the pointer as it
// is (the element releases it later); non-zero stores a copy and leaves the
// caller's value alone. The type must be 1 to 26 in both cases. 0, or -1
// with the reason recorded (then the value is not stored).
int processEltValue(VELM_AuditClientContext *context, VELM_AuditElement *element, int valueType,
                    const void *value, int copyFlag, int convertFlag, VELM_result *result);

// Attaches child under parent (static-parent, already-added and duplicate
// name checks, in that order). 0, or -1 with the reason recorded; on failure
// neither element changes and child still belongs to the caller.
int auditElement_AddElementByHand(VELM_AuditClientContext *context, VELM_AuditElement *parent,
                                  VELM_AuditElement *child, VELM_result *result);

// Creates and attaches an element under parent; name may be a dotted path
// relative to parent ("a.b.c" adds c under parent's a.b). The new element,
// or null: nothing added, and the value stays with the caller even when
// copyFlag is 0.
VELM_AuditElement *auditElement_AddElement(VELM_AuditClientContext *context, VELM_AuditElement *parent,
                                           const char *name, int valueType, const void *value, int copyFlag,
                                           VELM_result *result);

// Looks up a dotted path (element code set) among elements[0..count).
// Borrowed element, or null when not found (no message) or out of memory
// (message 1).
VELM_AuditElement *findElement(VELM_AuditClientContext *context, VELM_AuditElement *const *elements,
                               int count, const char *path, VELM_result *result);

// Same as findElement for a path that is already UTF-8 (for internal callers
// that hold UTF-8 names, such as the event tables).
VELM_AuditElement *findElementUTF8(VELM_AuditElement *const *elements, int count, const char *path);

// Releases a non-static element with its value and subtree (static ones, at
// any depth, are left alone). 0, or -1 when releasing some part failed; the
// rest is released all the same. Null element: 0.
int auditElement_Delete(VELM_AuditClientContext *context, VELM_AuditElement *element, VELM_result *result);

// Releases one value by its type. 0, or -1 for an unknown type.
int elementValue_Delete(VELM_AuditClientContext *context, int valueType, void *value, VELM_result *result);

}  // namespace velm
