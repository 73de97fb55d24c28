// The event queue: senders append events, queue threads take them off in
// batches and hand them to the transport with the lock released.
#include "capis/event_queue.h"

#include <atomic>
#include <cstring>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "capis/client.h"
#include "capis/context.h"
#include "capis/disk_cache.h"
#include "capis/errors.h"
#include "capis/event.h"
#include "capis/trace.h"
#include "cbe/transport.h"

VELM_TRACE_UNIT("event_queue");

namespace velm {

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kSenderStep = std::chrono::seconds(1);  // a blocked sender re-tests once a second
constexpr auto kThreadStep = std::chrono::seconds(2);  // queue threads poll every two seconds

std::atomic<int> eqStartsBeforeFailure{-1};

// True when the injected failure of the test hook applies to this start.
bool injectedStartFailure() {
  int left = eqStartsBeforeFailure.load();
  while (left > 0) {
    if (eqStartsBeforeFailure.compare_exchange_weak(left, left - 1)) return false;
  }
  return left == 0;
}

// The oldest event has waited flushInterval whole seconds. Caller holds lock.
bool flushDue(const eventQueue *queue, Clock::time_point now) {
  if (queue->size <= 0) return false;
  const auto waited = std::chrono::duration_cast<std::chrono::seconds>(now - queue->head.next->queuedAt);
  return waited.count() >= queue->flushInterval;
}

// Deletes events taken off the queue; their delivery is over either way.
void deleteEvents(VELM_AuditEvent **events, int count, VELM_result *result) {
  for (int i = 0; i < count; ++i) {
    auditEvent_Delete(events[i], result);
    events[i] = nullptr;
  }
}

}  // namespace

void failEQThreadStartsAfter(int successes) { eqStartsBeforeFailure.store(successes < 0 ? -1 : successes); }

void eqPush(eventQueue *queue, eventQueueNode *node) {
  eventQueueNode *tail = queue->head.prev;
  node->next = &queue->head;
  node->prev = tail;
  tail->next = node;
  queue->head.prev = node;
  ++queue->size;
}

eventQueueNode *eqPop(eventQueue *queue) {
  if (queue->size <= 0) return nullptr;
  eventQueueNode *node = queue->head.next;
  queue->head.next = node->next;
  node->next->prev = &queue->head;
  node->next = node->prev = nullptr;
  --queue->size;
  return node;
}

int setupEventQueue(VELM_AuditClient *client, VELM_result *result) {
  VELM_AuditClientContext *context = client->context;
  VELM_ENTRY_EXIT(context);
  std::shared_ptr<eventQueue> queue;
  try {
    queue = std::make_shared<eventQueue>();
  } catch (const std::bad_alloc &) {
    VELM_RECORD(context, result, 1);
    VELM_TRACE_ERROR(context, "ERROR: cannot malloc");
    return -1;
  }
  queue->context = context;
  queue->client = client;
  queue->head.next = queue->head.prev = &queue->head;
  queue->flushInterval = context->flushInterval;
  queue->transferSize = context->transferSize;
  queue->queueSize = context->queueSize;
  queue->hiWater = context->hiWater;
  queue->serverURL = context->serverURL;
  client->queue = queue;
  context->eventQueue = queue.get();
  return 0;
}

int enqueueEvent(eventQueue *queue, VELM_AuditEvent *event, VELM_result *result) {
  VELM_AuditClientContext *context = queue->context;
  VELM_ENTRY_EXIT(context);
  std::unique_lock lk(queue->lock);

  if (queue->size >= queue->queueSize && context->useDiskCache == 2) {
    lk.unlock();
    // The sender converts and sends its own event; while serverSlow is set
    // the transport sends batches straight to the cache.
    if (context->cacheInfo != nullptr && context->cacheInfo->serverSlow.load() == 0) {
      context->cacheInfo->serverSlow.store(1);
      VELM_FLOW(context, "FLOW: cacheInfo->serverSlow has been set");
    }
    const int rc = writeEvent(context, event, result);
    if (rc == -1) VELM_TRACE_ERROR(context, "ERROR returned by writeEvent");
    return rc;
  }

  // Full queue: wait for room in one-second steps, up to tempStorageFullTimeout
  // of them (unsigned, so -1 waits as long as the queue stays full).
  const auto limit = static_cast<uint32_t>(context->tempStorageFullTimeout);
  for (uint32_t waits = 0; queue->size >= queue->queueSize; ++waits) {
    if (waits >= limit) {
      lk.unlock();
      discardEvents(context, 1, result);
      auditEvent_Delete(event, result);
      return 0;
    }
    queue->spaceCond.wait_until(lk, Clock::now() + kSenderStep,
                                [queue] { return queue->size < queue->queueSize; });
  }

  auto *node = new (std::nothrow) eventQueueNode;
  if (node == nullptr) {
    lk.unlock();
    VELM_RECORD(context, result, 1);
    VELM_TRACE_ERROR(context, "ERROR: cannot malloc");
    return -1;
  }
  node->event = event;
  node->queuedAt = Clock::now();
  eqPush(queue, node);
  // Below hiWater the threads find the events by their polling.
  if (queue->size >= queue->hiWater) queue->workCond.notify_all();
  return 0;
}

int startEQThread(VELM_AuditClientContext *context, VELM_AuditClient *client, VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  if (context->actualEQThreads >= context->numberEQThreads) return 0;
  std::shared_ptr<eventQueue> queue = client->queue;
  // The thread counts as active from here on, so the deletion waits for a
  // thread that was created but has not run yet.
  {
    std::scoped_lock lock(queue->lock);
    ++queue->activeThreads;
  }
  enterThread(context->liveThreads);
  std::error_code failure;
  if (injectedStartFailure()) {
    failure = std::make_error_code(std::errc::resource_unavailable_try_again);
  } else {
    try {
      // Detached: the thread's end is observed through activeThreads, and
      // its reference keeps the queue alive until it has left.
      std::thread(eventQueueHandler, queue).detach();
    } catch (const std::system_error &e) {
      failure = e.code();
    }
  }
  if (failure) {
    leaveThread(context->liveThreads);
    {
      std::scoped_lock lock(queue->lock);
      --queue->activeThreads;
    }
    queue->spaceCond.notify_all();
    const std::string text = failure.message();
    VELM_RECORD(context, result, 11, text.c_str());
    VELM_TRACE_ERROR(context, "ERROR - pthread_create returned msg: %s, code: %d", text.c_str(), failure.value());
    return -1;
  }
  ++context->actualEQThreads;
  return 0;
}

void eventQueueHandler(std::shared_ptr<eventQueue> queue) {
  VELM_AuditClientContext *context = queue->context;
  LiveThreads *live = context->liveThreads;
  VELM_TRACE_ENTRY(context);
  VELM_result local{0, 0, nullptr};
  std::vector<VELM_AuditEvent *> batch;
  bool ready = true;
  try {
    batch.assign(static_cast<std::size_t>(queue->transferSize) + 1, nullptr);
  } catch (const std::bad_alloc &) {
    VELM_RECORD(context, &local, 1);
    VELM_TRACE_ERROR(context, "ERROR: cannot malloc");
    ready = false;
  }

  {
    std::unique_lock lk(queue->lock);
    while (ready && queue->shutDown == 0) {
      if (queue->size >= queue->hiWater) {
        processQueue(queue.get(), batch.data(), 0, lk, &local);
        queue->spaceCond.notify_all();
      } else if (flushDue(queue.get(), Clock::now())) {
        VELM_Result_Clean(&local);
        processQueue(queue.get(), batch.data(), 1, lk, &local);
        queue->spaceCond.notify_all();
      }
      queue->workCond.wait_until(lk, Clock::now() + kThreadStep, [&queue] {
        return queue->shutDown != 0 || queue->size >= queue->hiWater || flushDue(queue.get(), Clock::now());
      });
    }
    VELM_Result_Clean(&local);
    VELM_TRACE_EXIT(context);
    // From here on the client may be gone: its deletion ends once the last
    // thread has left. The context stays until leaveThread.
    --queue->activeThreads;
  }
  queue->spaceCond.notify_all();
  leaveThread(live);
}

int processQueue(eventQueue *queue, VELM_AuditEvent **batchArray, int flush, std::unique_lock<std::mutex> &lk,
                 VELM_result *result) {
  VELM_AuditClientContext *context = queue->context;
  VELM_ENTRY_EXIT(context);
  if (queue->size <= 0) {
    VELM_TRACE_ERROR(context, "ERROR: queue->size = %d", queue->size);
    return -1;
  }
  VELM_FLOW(context, "FLOW: queue->size = %d", queue->size);
  // After shutDown no new batch is taken: what is left is deleted with the queue.
  while (queue->shutDown == 0 && (queue->size >= queue->transferSize || (flush != 0 && queue->size > 0))) {
    int count = 0;
    while (count < queue->transferSize) {
      eventQueueNode *node = eqPop(queue);
      if (node == nullptr) break;
      batchArray[count++] = node->event;
      delete node;
      VELM_FLOW(context, "FLOW: event added to event array");
    }
    batchArray[count] = nullptr;

    // Unlocked: senders keep queuing while the batch is converted and sent.
    lk.unlock();
    queue->spaceCond.notify_all();
    VELM_FLOW(context, "FLOW: calling buildAndProcEvent");
    buildAndProcEvent(context, batchArray, result);
    if (result->numErrors > 0) {
      // With a disk cache a failed batch has gone to the cache.
      if (context->cacheInfo == nullptr) {
        const int errors = result->numErrors;
        VELM_RECORD(context, result, 28, errors);
        VELM_TRACE_ERROR(context, "ERROR: %d errors returned from buildAndProcEvent.", errors);
      }
      VELM_Result_Clean(result);
    }
    deleteEvents(batchArray, count, result);
    VELM_Result_Clean(result);
    lk.lock();

    // The deletion lowers lowWater while the threads run.
    if (queue->size <= __atomic_load_n(&context->lowWater, __ATOMIC_RELAXED)) {
      cacheInfo *cache = context->cacheInfo;
      if (cache != nullptr) {
        if (cache->serverSlow.load() != 0) {
          cache->serverSlow.store(0);
          VELM_FLOW(context, "FLOW: cacheInfo->serverSlow has been reset");
          reportDiscardedEvents(context, 0, result);
          VELM_Result_Clean(result);
        }
      } else if (queue->numDiscardedEvents != 0) {
        // The report takes the queue's lock itself.
        lk.unlock();
        reportDiscardedEvents(context, 0, result);
        lk.lock();
        VELM_Result_Clean(result);
      }
    }
  }
  return 0;
}

int eventQueue_Delete(VELM_AuditClient *client, VELM_result *result) {
  std::shared_ptr<eventQueue> queue = std::move(client->queue);
  if (queue == nullptr) return 0;
  VELM_AuditClientContext *context = queue->context;
  VELM_ENTRY_EXIT(context);
  std::vector<VELM_AuditEvent *> left;
  bool threadsLeft = false;
  {
    std::scoped_lock lock(queue->lock);
    while (eventQueueNode *node = eqPop(queue.get())) {
      left.push_back(node->event);
      delete node;
    }
    threadsLeft = queue->activeThreads > 0;
  }
  // A thread that outlived the deletion still finds the queue, with its
  // shutDown flag set, through the context; it frees the queue as it leaves.
  if (!threadsLeft && context->eventQueue == queue.get()) context->eventQueue = nullptr;
  deleteEvents(left.data(), static_cast<int>(left.size()), result);
  return 0;
}

}  // namespace velm
