// Audit events: an event type, a creation time and a set of elements.
#pragma once

#include <sys/time.h>

#include <cstdint>

#include "capis/element.h"
#include "velm.h"

// An event record. Heap-allocated, zero-filled on creation. Layout and order
// are fixed: validation, the client and the XML conversion read elements and
// count directly (findElement for dotted look-ups).
struct VELM_AuditEvent {
  uint32_t magic;                    // velm::kEventMagic while alive (api_guard.h)
  VELM_AuditClientContext *context;  // not owned; must outlive the event
  char *eventType;                   // UTF-8, owned
  struct timeval *defaultTimeStamp;  // owned; creation time; null if its allocation failed
  int32_t capacity;                  // slots in elements
  int32_t count;                     // top-level elements held
  VELM_AuditElement **elements;      // owned; at least one null slot follows the last element
};

namespace velm {

// Initial size of an event's top-level array; it doubles after that.
inline constexpr int kFirstEventSlots = 20;

// Creates an event of eventType (element code set), stamped with the current
// time. Null with the reason recorded.
VELM_AuditEvent *auditEvent_Create(VELM_AuditClientContext *context, const char *eventType,
                                   VELM_result *result);

// Creates and attaches an element; name may be a dotted path. The new
// element, or null: nothing added, and the value stays with the caller even
// when copyFlag is 0.
VELM_AuditElement *auditEvent_AddElement(VELM_AuditEvent *event, const char *name, int valueType,
                                         const void *value, int copyFlag, VELM_result *result);

// Attaches an existing element at the top level (already-added, then
// duplicate-name checks). 0, or -1 with the reason recorded; on failure the
// element still belongs to the caller.
int auditEvent_AddElementByHand(VELM_AuditEvent *event, VELM_AuditElement *element, VELM_result *result);

// Releases the event and its non-static elements. 0, or -1 when releasing
// some element failed (the rest is released all the same). Null event: 0.
int auditEvent_Delete(VELM_AuditEvent *event, VELM_result *result);

}  // namespace velm
