// The audit client and the public VELM_AuditClient_ calls.
#include "capis/client.h"

#include <pthread.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <utility>

#include "capis/cache_internal.h"
#include "capis/context.h"
#include "capis/disk_cache.h"
#include "capis/element.h"
#include "capis/errors.h"
#include "capis/event.h"
#include "capis/event_check.h"
#include "capis/trace.h"
#include "capis/utils.h"
#include "cbe/transport.h"

VELM_TRACE_UNIT("client");

// The steps of the public calls trace under the public function's name.
#define CLIENT_TRACE_(ctx, kind, fn, ...)                                                    \
  do {                                                                                     \
    if (::velm::traceOn((ctx), (kind)))                                                    \
      ::velm::traceLine((ctx)->traceLogger, kVelmTraceUnit, (fn), __LINE__, __VA_ARGS__); \
  } while (0)
#define CLIENT_FLOW(ctx, fn, ...) CLIENT_TRACE_(ctx, ::velm::TraceKind::Flow, fn, __VA_ARGS__)
#define CLIENT_ERROR(ctx, fn, ...) CLIENT_TRACE_(ctx, ::velm::TraceKind::Error, fn, __VA_ARGS__)
#define CLIENT_RECORD(ctx, result, fn, n, ...) \
  ::velm::recordMessage((ctx), (result), (n), kVelmTraceUnit, (fn), __LINE__ __VA_OPT__(, ) __VA_ARGS__)

namespace velm {

namespace {

using Clock = std::chrono::steady_clock;

// Threads get at least this long to end after their shutDown flag is set.
constexpr auto kThreadGrace = std::chrono::seconds(20);
// With "auto", a queue that has not drained after this long goes to the cache.
constexpr auto kDrainToCacheAfter = std::chrono::seconds(60);
// Cache threads need not signal the deletion; it re-tests this often.
constexpr auto kCacheRecheck = std::chrono::milliseconds(200);

constexpr const char *kCreate = "VELM_AuditClient_Create";
constexpr const char *kSend = "VELM_AuditClient_SendEvent";

constexpr int kNever = 0;
constexpr int kAlways = 1;
constexpr int kAuto = 2;

// Settings the deletion shortens so that the threads give up quickly.
struct SavedSettings {
  int lowWater;
  int rebindInterval;
  int retryInterval;
  int numberRetries;
};

// The threads read these while the deletion changes them.
void storeSetting(int *field, int value) { __atomic_store_n(field, value, __ATOMIC_RELAXED); }

SavedSettings lowerSettings(VELM_AuditClientContext *context) {
  SavedSettings s{context->lowWater, context->rebindInterval, context->retryInterval, context->numberRetries};
  storeSetting(&context->lowWater, 0);
  storeSetting(&context->rebindInterval, std::min(s.rebindInterval, 1));
  storeSetting(&context->retryInterval, std::min(s.retryInterval, 1));
  storeSetting(&context->numberRetries, context->cacheInfo != nullptr ? 0 : std::min(s.numberRetries, 1));
  return s;
}

void restoreSettings(VELM_AuditClientContext *context, const SavedSettings &s) {
  storeSetting(&context->lowWater, s.lowWater);
  storeSetting(&context->rebindInterval, s.rebindInterval);
  storeSetting(&context->retryInterval, s.retryInterval);
  storeSetting(&context->numberRetries, s.numberRetries);
}

// Step 2 of the deletion: let the threads send partial batches at once and
// wait until the queue is empty or the limit has passed. Returns the events
// still queued.
int drainQueue(VELM_AuditClientContext *context, eventQueue *queue, Clock::time_point start,
               Clock::time_point limit) {
  std::unique_lock lk(queue->lock);
  if (queue->size > 0) {
    queue->flushInterval = 0;
    queue->workCond.notify_all();
  }
  cacheInfo *cache = context->cacheInfo;
  bool slowChecked = context->useDiskCache != kAuto || cache == nullptr;
  while (queue->size > 0 && Clock::now() < limit) {
    const auto until = slowChecked ? limit : std::min(limit, start + kDrainToCacheAfter);
    queue->spaceCond.wait_until(lk, until, [queue] { return queue->size == 0; });
    if (!slowChecked && Clock::now() >= start + kDrainToCacheAfter) {
      // The remaining events go to the disk cache instead.
      if (cache->serverSlow.load() == 0) cache->serverSlow.store(1);
      slowChecked = true;
    }
  }
  return queue->size;
}

// Waits until the queue's threads have left or the deadline has passed.
bool waitQueueThreads(eventQueue *queue, Clock::time_point deadline) {
  std::unique_lock lk(queue->lock);
  return queue->spaceCond.wait_until(lk, deadline, [queue] { return queue->activeThreads == 0; });
}

// Step 4: sets the cache's shutDown flag and wakes everything that waits on
// the cache or on one of its files.
void stopCache(VELM_AuditClientContext *context, cacheInfo *cache) {
  {
    std::scoped_lock lock(cache->mutex);
    if (cache->shutDown == 0) {
      VELM_FLOW(context, "FLOW: about to set cacheInfo->shutDown");
      VELM_FLOW(context, "FLOW: cacheInfo->mutex LOCKED");
      // Cache threads test the flag between waits without the mutex.
      storeFlag(cache->shutDown, 1);
      VELM_FLOW(context, "FLOW: cacheInfo->shutDown has been set");
    }
  }
  VELM_FLOW(context, "FLOW: cacheInfo->mutex UNLOCKED");
  cache->cond.notify_all();

  std::unique_lock lk(cache->mutex);
  if (cache->cacheFiles == nullptr || cache->cacheFilesSize <= 0) return;
  VELM_FLOW(context, "FLOW: awakening waiters for cacheInfo->cacheFiles");
  for (int32_t i = 0; i < cache->cacheFilesSize; ++i) {
    cacheFileInfo *file = cache->cacheFiles[i];
    if (file == nullptr) continue;
    const char *name = file->fileName != nullptr ? file->fileName : "";
    const long addr = static_cast<long>(reinterpret_cast<intptr_t>(file));
    VELM_FLOW(context, "FLOW: awakening waiters for cacheFiles[%d]: %lx", static_cast<int>(i), addr);
    std::scoped_lock fileLock(file->mutex);
    VELM_FLOW(context, "FLOW: locked cacheFileInfo for %s: %lx", name, addr);
    VELM_FLOW(context, "FLOW: broadcasting cacheFileInfo->cond for file %s", name);
    file->cond.notify_all();
    VELM_FLOW(context, "FLOW: unlocking cacheFileInfo for %s: %lx", name, addr);
  }
}

bool waitCacheThreads(cacheInfo *cache, Clock::time_point deadline) {
  std::unique_lock lk(cache->mutex);
  while (cache->numCMThreads > 0) {
    const auto now = Clock::now();
    if (now >= deadline) return false;
    cache->cond.wait_until(lk, std::min(deadline, now + kCacheRecheck), [cache] { return cache->numCMThreads == 0; });
  }
  return true;
}

// Adds "globalInstanceId" unless the event has it at the top level already.
int createGIIdElement(VELM_AuditClientContext *context, VELM_AuditEvent *event, VELM_result *result) {
  if (findElementUTF8(event->elements, event->count, "globalInstanceId") != nullptr) return 0;
  auto *id = static_cast<char *>(std::malloc(65));
  if (id == nullptr) {
    VELM_RECORD(context, result, 1);
    VELM_TRACE_ERROR(context, "ERROR: cannot malloc");
    return -1;
  }
  if (createGIId(context, id, result) != 0) {
    std::free(id);
    return -1;
  }
  // Adopted as it is: the id is plain ASCII.
  VELM_AuditElement *element =
      auditElement_Create(event->context, "globalInstanceId", VELM_VT_STRING, id, 0, 0, result);
  if (element == nullptr) {
    std::free(id);
    return -1;
  }
  if (auditEvent_AddElementByHand(event, element, result) != 0) {
    auditElement_Delete(event->context, element, result);
    return -1;
  }
  return 0;
}

}  // namespace

int createGIId(VELM_AuditClientContext *context, char *buf, VELM_result *result) {
  GIIdTable *table = context->giidTable;
  if (table == nullptr) {
    VELM_TRACE_ERROR(context, "ERROR: globalInstanceId table not initialized");
    return -1;
  }
  VelmUuid uuid{};
  uint32_t sequence = 0;
  {
    PthreadLock lock(table->mutex);
    if (velm_create_uuid(context, &uuid, result) != 0) {
      VELM_TRACE_ERROR(context, "ERROR: cannot create uuid");
      return -1;
    }
    sequence = ++table->counter;
  }
  std::snprintf(buf, 65, "%s%04X%04X%02X%02X%08X%02X%02X%02X%02X%02X%02X%s%08X", "DXA60",
                unsigned{uuid.timeHiAndVersion}, unsigned{uuid.timeMid}, unsigned{uuid.clockSeqHiAndReserved},
                unsigned{uuid.clockSeqLow}, unsigned{uuid.timeLow}, unsigned{uuid.node[0]}, unsigned{uuid.node[1]},
                unsigned{uuid.node[2]}, unsigned{uuid.node[3]}, unsigned{uuid.node[4]}, unsigned{uuid.node[5]},
                table->pidText, unsigned{sequence});
  VELM_FLOW(context, "FLOW: GIID value = %s", buf);
  return 0;
}

int writeEvent(VELM_AuditClientContext *context, VELM_AuditEvent *event, VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  VELM_AuditEvent *list[2] = {event, nullptr};
  VELM_FLOW(context, "FLOW: calling buildAndProcEvent");
  const int rc = buildAndProcEvent(context, list, result);
  if (rc != 0) {
    const int errors = result->numErrors;
    VELM_RECORD(context, result, 28, errors);
    VELM_TRACE_ERROR(context, "ERROR: %d errors returned from buildAndProcEvent. See error log", errors);
    // -1: nothing was sent or cached, and the caller's send fails.
    if (rc != -1) auditEvent_Delete(event, result);
    return rc;
  }
  auditEvent_Delete(event, result);
  VELM_FLOW(context, "FLOW: Deleted audit event");
  VELM_Result_Clean(result);
  return 0;
}

VELM_AuditClient *auditClient_Create(VELM_AuditClientContext *context, VELM_result *result) {
  if (context->client != nullptr) {
    CLIENT_RECORD(context, result, kCreate, 61);
    CLIENT_ERROR(context, kCreate, "ERROR: tried to create a 2nd client for this context");
    return nullptr;
  }
  auto *client = new (std::nothrow) VELM_AuditClient;
  if (client == nullptr) {
    CLIENT_RECORD(context, result, kCreate, 1);
    CLIENT_ERROR(context, kCreate, "ERROR: cannot malloc");
    return nullptr;
  }
  client->context = context;
  auto release = [client] {
    poisonHandle(client);
    delete client;
  };
  auto teardown = [client, result] {
    auditClient_Delete(client, result);
    return nullptr;
  };

  const int check = checkService(context, result);
  if (check == -3) {
    release();
    CLIENT_ERROR(context, kCreate,
                     "ERROR: The client doesn't have the required security roles to send events to the server, "
                     "so VELM_AuditClient_Create is being aborted");
    return nullptr;
  }
  if (check == -1) {
    if (context->useDiskCache == kNever) {
      release();
      CLIENT_ERROR(context, kCreate,
                       "ERROR: unable to contact VELM Web Service at URL: %s. No disk cache enabled, so "
                       "VELM_AuditClient_Create is being aborted",
                       context->serverURL);
      return nullptr;
    }
    CLIENT_ERROR(context, kCreate,
                       "WARNING: unable to contact VELM Web Service at URL: %s, but continuing with "
                       "VELM_AuditClient_Create because disk cache is enabled",
                       context->serverURL);
  }

  if (context->useDiskCache != kAlways && setupEventQueue(client, result) != 0) {
    release();
    CLIENT_ERROR(context, kCreate, "ERROR: setupEventQueue returned an error");
    return nullptr;
  }
  // The cache is in use when the context has its control block.
  const bool useQueue = client->queue != nullptr;
  const bool useCache = context->cacheInfo != nullptr;
  if (useCache && setupCacheFiles(context, result) != 0) return teardown();

  // Threads of the two kinds start alternately; a failed start is recorded
  // and the others are still tried.
  context->actualEQThreads = 0;
  context->actualCMThreads = 0;
  const int rounds = std::max(context->numberEQThreads, context->numberCMThreads);
  for (int i = 0; i < rounds; ++i) {
    if (useQueue && context->actualEQThreads < context->numberEQThreads) startEQThread(context, client, result);
    if (useCache && context->actualCMThreads < context->numberCMThreads) startCMThread(context, result);
  }
  // A kind of thread of which none started ends the creation; fewer than
  // requested is a warning.
  struct Started {
    bool used;
    int started, requested;
    int noneMessage;
    const char *noneTrace;
    int fewMessage;
    const char *fewTrace;
  };
  const Started kinds[] = {
      {useQueue, context->actualEQThreads, context->numberEQThreads, 52,
       "ERROR: could not spawn any event queue threads", 54,
       "WARNING: only %d of the %d specified event queue threads could be spawned. Processing will continue, but "
       "performance may be degraded"},
      {useCache, context->actualCMThreads, context->numberCMThreads, 53,
       "ERROR: could not spawn any disk cache manager threads", 55,
       "WARNING: only %d of the %d specified disk cache managerthreads could be spawned. Processing will "
       "continue, but performance may be degraded"},
  };
  for (const Started &k : kinds) {
    if (!k.used) continue;
    if (k.started == 0) {
      auditClient_Delete(client, result);
      CLIENT_RECORD(context, result, kCreate, k.noneMessage);
      CLIENT_ERROR(context, kCreate, k.noneTrace);
      return nullptr;
    }
    if (k.started < k.requested) {
      CLIENT_RECORD(context, result, kCreate, k.fewMessage, k.started, k.requested);
      CLIENT_ERROR(context, kCreate, k.fewTrace, k.started, k.requested);
    }
  }
  CLIENT_FLOW(context, kCreate, "FLOW: actualEQThreads = %d, actualCMThreads = %d", context->actualEQThreads,
            context->actualCMThreads);
  context->client = client;
  return client;
}

int auditClient_SendEvent(VELM_AuditClient *client, VELM_AuditEvent *event, VELM_result *result) {
  VELM_AuditClientContext *context = client->context;
  if (checkEvent(event->context, event, result) != 0) return -1;
  if (createGIIdElement(context, event, result) != 0) {
    CLIENT_ERROR(context, kSend, "ERROR returned by createGIIdElement");
    return -1;
  }
  if (client->queue == nullptr) {
    if (writeEvent(context, event, result) == -1) {
      CLIENT_ERROR(context, kSend, "ERROR returned by writeEvent");
      return -1;
    }
  } else if (enqueueEvent(client->queue.get(), event, result) == -1) {
    CLIENT_ERROR(context, kSend, "ERROR returned by enqueueEvent");
    return -1;
  }
  if (context->stats != nullptr) context->stats->eventsAccepted.fetch_add(1, std::memory_order_relaxed);
  return 0;
}

void auditClient_Delete(VELM_AuditClient *client, VELM_result *result) {
  VELM_AuditClientContext *context = client->context;
  VELM_ENTRY_EXIT(context);
  eventQueue *queue = client->queue.get();
  cacheInfo *cache = context->cacheInfo;

  // 1. Shorter settings; taken under the queue's lock so that threads that
  // read them since their last pass through the lock see the change in order.
  SavedSettings saved{};
  if (queue != nullptr) {
    std::scoped_lock lock(queue->lock);
    saved = lowerSettings(context);
  } else {
    saved = lowerSettings(context);
  }

  // shutDownTimeout counts as unsigned seconds: -1 has no limit.
  const auto start = Clock::now();
  const auto limit = start + std::chrono::seconds(static_cast<uint32_t>(context->shutDownTimeout));

  // 2. Drain.
  if (queue != nullptr) {
    const int left = drainQueue(context, queue, start, limit);
    if (left > 0) {
      VELM_RECORD(context, result, 18, left);
      VELM_TRACE_ERROR(context, "ERROR: cannot flush event queue. %d events still present", left);
    }
  }

  // 3. Stop the queue threads; they get at least kThreadGrace more.
  if (queue != nullptr) {
    {
      std::scoped_lock lock(queue->lock);
      queue->shutDown = 1;
    }
    queue->workCond.notify_all();
    queue->spaceCond.notify_all();
    waitQueueThreads(queue, std::max(limit, Clock::now() + kThreadGrace));
  }

  // 4. Stop the cache threads.
  if (cache != nullptr) stopCache(context, cache);

  // 5. Wait for all threads, with the same grace.
  const auto deadline = std::max(limit, Clock::now() + kThreadGrace);
  const bool queueDone = queue == nullptr || waitQueueThreads(queue, deadline);
  const bool cacheDone = cache == nullptr || waitCacheThreads(cache, deadline);
  if (!queueDone || !cacheDone) {
    int eqLeft = 0;
    int cmLeft = 0;
    if (queue != nullptr) {
      std::scoped_lock lock(queue->lock);
      eqLeft = queue->activeThreads;
    }
    if (cache != nullptr) {
      std::scoped_lock lock(cache->mutex);
      cmLeft = cache->numCMThreads;
    }
    // Their shared state stays allocated until they have left.
    VELM_TRACE_ERROR(context,
                     "ERROR: %d event queue threads and %d disk cache manager threads are still running after "
                     "the shutdown timeout",
                     eqLeft, cmLeft);
    if (context->errorLogger != nullptr)
      traceLine(context->errorLogger, kVelmTraceUnit, __func__, __LINE__,
                "%d event queue threads and %d disk cache manager threads are still running after the shutdown "
                "timeout",
                eqLeft, cmLeft);
  }

  // 6. Events that were dropped while the server was unavailable.
  if (queue != nullptr || cache != nullptr) reportDiscardedEvents(context, 1, result);

  // 7. Release.
  restoreSettings(context, saved);
  eventQueue_Delete(client, result);
  if (context->client == client) context->client = nullptr;
  poisonHandle(client);
  delete client;
}

}  // namespace velm

namespace {

// The calls that take only a client: a null result (nullParmHandler1) or an
// unusable client (message 13) fails before the guard runs body.
template <typename F>
int clientCall(VELM_AuditClient *client, VELM_result *result, const velm::ApiSite &site, F &&body) {
  if (result == nullptr) {
    nullParmHandler1(nullptr, result, site.unit, site.line, site.function);
    return -1;
  }
  if (!velm::validClient(client)) {
    velm::reportBadClient(nullptr, result, site);
    return -1;
  }
  return velm::apiCall(client->context, result, -1, site, std::forward<F>(body));
}

}  // namespace

extern "C" {

VELM_API VELM_AuditClient *VELM_AuditClient_Create(VELM_AuditClientContext *context, VELM_result *result) {
  return velm::contextCall(context, result, nullptr, VELM_API_SITE,
                           [&](velm::ApiCall &) { return velm::auditClient_Create(context, result); });
}

VELM_API int VELM_AuditClient_SendEvent(VELM_AuditClient *client, VELM_AuditEvent *event, VELM_result *result) {
  // The client is checked before "ENTRY", with the event's context for the message.
  return velm::eventCall(event, result, -1, VELM_API_SITE_OWN_ENTRY, [&](velm::ApiCall &call) {
    if (!velm::validClient(client)) {
      call.record(13);
      call.error("ERROR: client parameter is NULL");
      return -1;
    }
    call.entry("ENTRY");
    return velm::auditClient_SendEvent(client, event, result);
  });
}

VELM_API int VELM_AuditClient_Delete(VELM_AuditClient *client, VELM_result *result) {
  return clientCall(client, result, VELM_API_SITE, [&](velm::ApiCall &) {
    velm::auditClient_Delete(client, result);
    return 0;
  });
}

VELM_API int VELM_AuditClient_GetStats(VELM_AuditClient *client, VELM_DeliveryStats *stats, VELM_result *result) {
  return clientCall(client, result, VELM_API_SITE, [&](velm::ApiCall &call) {
    if (!call.require(stats, "stats")) return -1;
    VELM_DeliveryStats out{};
    if (const velm::DeliveryStats *s = client->context->stats; s != nullptr) {
      out.eventsAccepted = s->eventsAccepted.load();
      out.eventsDelivered = s->eventsDelivered.load();
      out.batchesSent = s->batchesSent.load();
      out.retries = s->retries.load();
      out.eventsCached = s->eventsCached.load();
      out.eventsDiscarded = s->eventsDiscarded.load();
      out.eventsRejected = s->eventsRejected.load();
    }
    if (velm::eventQueue *queue = client->queue.get(); queue != nullptr) {
      std::scoped_lock lock(queue->lock);
      out.queueDepth = static_cast<uint64_t>(queue->size);
    }
    *stats = out;
    return 0;
  });
}

}  // extern "C"
