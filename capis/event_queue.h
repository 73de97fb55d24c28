// The event queue between the application's senders and the queue threads
// that hand batches to the transport.
//
// Lock order: the queue's lock before cacheInfo::mutex (disk_cache.h). No
// network or disk work is done while lock is held. Every wait is timed, on
// steady_clock, with a predicate.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>

#include "velm.h"

namespace velm {

// One queued event. Allocated on enqueue, freed when taken off.
struct eventQueueNode {
  eventQueueNode *next = nullptr;
  eventQueueNode *prev = nullptr;
  VELM_AuditEvent *event = nullptr;
  std::chrono::steady_clock::time_point queuedAt{};  // monotonic: the flush test counts whole seconds
};

// One per audit client. The client and every queue thread hold a reference
// (std::shared_ptr), so the queue outlives the last thread that can reach it.
struct eventQueue {
  std::mutex lock;
  std::condition_variable spaceCond;  // senders wait for room; deletion waits for drain and thread exit
  std::condition_variable workCond;   // queue threads (and the transport's retry wait) wait for work or shut-down

  VELM_AuditClientContext *context = nullptr;  // owner; read-only for the queue
  VELM_AuditClient *client = nullptr;          // owner; never dereferenced by the threads
  const char *serverURL = nullptr;             // the context's text

  // Copies of the context properties taken at creation. flushInterval is
  // lowered to 0 by the deletion's drain, hence guarded by lock.
  int32_t queueSize = 0;
  int32_t hiWater = 0;
  int32_t transferSize = 0;

  // Guarded by lock:
  int32_t flushInterval = 0;
  int32_t size = 0;                // events queued
  int32_t shutDown = 0;            // set once by client deletion
  int32_t activeThreads = 0;       // queue threads started and not yet left
  int32_t numDiscardedEvents = 0;  // dropped on a full queue without a disk cache, since the last report
  eventQueueNode head;             // sentinel of the circular list; links to itself when empty
};

// Creates the client's queue and records it in the context. 0 or -1.
int setupEventQueue(VELM_AuditClient *client, VELM_result *result);

// Appends event; on a full queue blocks, hands the event over synchronously
// ("auto") or drops and counts it. 0: the event belongs to the library.
// -1: it stays with the caller.
int enqueueEvent(eventQueue *queue, VELM_AuditEvent *event, VELM_result *result);

// Starts one queue thread if fewer than numberEQThreads were started. 0 or -1.
int startEQThread(VELM_AuditClientContext *context, VELM_AuditClient *client, VELM_result *result);

// Body of a queue thread; the thread's own reference keeps the queue alive.
void eventQueueHandler(std::shared_ptr<eventQueue> queue);

// Sends due batches; entered and left with lk (the queue's lock) held, which
// it releases while the transport works. 0, or -1 on an empty queue.
int processQueue(eventQueue *queue, VELM_AuditEvent **batchArray, int flush, std::unique_lock<std::mutex> &lk,
                 VELM_result *result);

// Drops the client's reference to its queue. The queue itself goes when the
// last thread has left; events still queued then are deleted undelivered. 0.
int eventQueue_Delete(VELM_AuditClient *client, VELM_result *result);

// List primitives; the caller holds lock.
void eqPush(eventQueue *queue, eventQueueNode *node);
eventQueueNode *eqPop(eventQueue *queue);

// Test hook: after `successes` more queue-thread starts, every further start
// fails as thread creation would. A negative value switches the hook off.
void failEQThreadStartsAfter(int successes);

}  // namespace velm
