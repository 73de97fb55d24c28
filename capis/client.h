// The audit client: creation with the server check and the start of the
// queue and cache threads, sending with validation and the global instance
// id, and the deletion that drains and stops everything.
#pragma once

#include <cstdint>
#include <memory>

#include "capis/event_queue.h"
#include "velm.h"

namespace velm {

// First word of a live client; poisoned on delete so that a stale handle is
// refused instead of used.
inline constexpr uint32_t kClientMagic = 0x564C4D43u;      // "VLMC"
inline constexpr uint32_t kClientDeadMagic = 0xDEADC11Eu;

// Length of a global instance id, without its NUL.
inline constexpr int kGIIdLength = 53;

}  // namespace velm

// One per context. Created and freed by the library.
struct VELM_AuditClient {
  uint32_t magic = velm::kClientMagic;
  VELM_AuditClientContext *context = nullptr;
  // The client's reference to its queue (null with useDiskCache "always");
  // the queue threads hold their own.
  std::shared_ptr<velm::eventQueue> queue;
};

namespace velm {

// Internal twins of the public calls. Arguments are checked by the caller.
VELM_AuditClient *auditClient_Create(VELM_AuditClientContext *context, VELM_result *result);
int auditClient_SendEvent(VELM_AuditClient *client, VELM_AuditEvent *event, VELM_result *result);
// Drains the queue, stops the threads and frees the client (also the end of
// a failed creation).
void auditClient_Delete(VELM_AuditClient *client, VELM_result *result);

// True when client is a live client handle.
inline bool validClient(const VELM_AuditClient *client) {
  return client != nullptr && client->magic == kClientMagic;
}

// Synchronous hand-over of one event to the transport. 0 or another non-(-1)
// result: the event has been deleted. -1: it stays with the caller.
int writeEvent(VELM_AuditClientContext *context, VELM_AuditEvent *event, VELM_result *result);

// A new global instance id (kGIIdLength characters) in buf, which holds at
// least 65 bytes. 0, or -1 with the reason traced.
int createGIId(VELM_AuditClientContext *context, char *buf, VELM_result *result);

}  // namespace velm
