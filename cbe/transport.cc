// The server transport: process-wide start of the HTTP library, the secure
// environment of https contexts, the service check, and sending batches
// with retries, waits and the hand-over to the disk cache.
#include "cbe/transport.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>

#include "capis/context.h"
#include "capis/disk_cache.h"
#include "capis/errors.h"
#include "capis/event_queue.h"
#include "capis/trace.h"
#include "cbe/emitter.h"
#include "cbe/sendEvent.h"
#include "platform/http.h"
#include "platform/tls.h"

VELM_TRACE_UNIT("transport");

namespace velm {

namespace {

constexpr int kUseDiskCacheNever = 0;
constexpr int kUseDiskCacheAlways = 1;
constexpr int kUseDiskCacheAuto = 2;

std::atomic<bool> reuseConnections{true};
std::atomic<HttpAdapter *> adapterOverride{nullptr};

// Each context's pool of connections. Looked up per request rather than
// kept in the context, so that the context record stays free of HTTP types.
std::mutex poolsMutex;
std::unordered_map<const VELM_AuditClientContext *, std::shared_ptr<CurlHttp>> pools;  // Guarded by poolsMutex

std::shared_ptr<CurlHttp> poolOf(const VELM_AuditClientContext *context) {
  std::scoped_lock lock(poolsMutex);
  auto it = pools.find(context);
  return it != pools.end() ? it->second : nullptr;
}

void configureEmitter(VELM_AuditClientContext *context, Emitter &emitter) {
  if (context->clientUserName != nullptr) emitter.setUsername(context->clientUserName);
  if (context->clientPassword != nullptr) emitter.setPassword(context->clientPassword);
  if (context->secure) emitter.SetSecure(context->secureEnv != nullptr ? context->secureEnv->handleText : nullptr);
  emitter.setTransportTimeout(context->responseTimeout);
}

// One request through the test adapter, the context's pool, or (reuse off,
// or no pool) a connection of its own.
EmitterOutcome post(VELM_AuditClientContext *context, const CommonBaseEventType_ArrayTag *batch) {
  Emitter emitter(context->serverURL, 1);
  configureEmitter(context, emitter);
  if (HttpAdapter *fake = adapterOverride.load()) {
    emitter.setTransport(fake);
    return emitter.sendEvent(context, batch);
  }
  std::shared_ptr<CurlHttp> pool = reuseConnections.load() ? poolOf(context) : nullptr;
  if (pool) {
    emitter.setTransport(pool.get());
    return emitter.sendEvent(context, batch);
  }
  CurlHttp once(false);
  emitter.setTransport(&once);
  return emitter.sendEvent(context, batch);
}

int presentEntries(const CommonBaseEventType_ArrayTag *batch) {
  int n = 0;
  for (int32_t i = 0; i < batch->count; ++i)
    if (batch->entries[i] != nullptr) ++n;
  return n;
}

// Message 37 with the fault's string and detail, whatever their length.
void recordFault(VELM_AuditClientContext *context, VELM_result *result, const EmitterOutcome &out, int line) {
  const int extra = static_cast<int>(out.faultString.size() + out.faultDetail.size() + 1);
  if (errorHandler(context, 37, result, extra, 2, out.faultString.c_str(), out.faultDetail.c_str()) != nullptr)
    logLastError(context, result, kVelmTraceUnit, "sendEvent", line);
}

void traceFault(VELM_AuditClientContext *context, const EmitterOutcome &out) {
  VELM_TRACE_ERROR(context, "fault code: %s", out.faultCode.c_str());
  VELM_TRACE_ERROR(context, "fault string: %s", out.faultString.c_str());
  VELM_TRACE_ERROR(context, "fault detail: %s", out.faultDetail.c_str());
}

bool queueShutDown(eventQueue *q) {
  std::scoped_lock lock(q->lock);
  return q->shutDown != 0;
}

bool cacheShutDown(cacheInfo *ci) {
  std::scoped_lock lock(ci->mutex);
  return ci->shutDown != 0;
}

}  // namespace

void setConnectionReuse(bool on) { reuseConnections.store(on); }
bool connectionReuse() { return reuseConnections.load(); }
void setHttpAdapterForTesting(HttpAdapter *adapter) { adapterOverride.store(adapter); }

// ---------------------------------------------------------------------------
// Process-wide start and stop (the first and the last context, under
// VELMCommon's mutex).

int initializeAxis() {
  std::string error;
  if (httpGlobalInit(error) != 0) {
    processTraceLine(kVelmTraceUnit, __func__, __LINE__,
                     "ERROR The function curl_global_init() failed. Error status is %s", error.c_str());
    return -1;
  }
  return 0;
}

void terminateAxis() { httpGlobalCleanup(); }

// ---------------------------------------------------------------------------
// Context set-up and tear-down.

void logZarvikErrors(VELM_AuditClientContext *context, const char *reason, const char *name,
                     VELM_result *result) {
  if (name == nullptr || reason == nullptr) return;
  VELM_RECORD(context, result, 19, name, reason);
  VELM_TRACE_ERROR(context, "ERROR The function %s failed: %s", name, reason);
}

int initializeZarvikEnvironment(VELM_AuditClientContext *context, VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  TlsError error{TlsStep::Read, {}};
  std::unique_ptr<SecureEnv> env;
  try {
    env = loadSecureEnv(context->keyFilePath, context->stashFilePath, error);
  } catch (const std::bad_alloc &) {
    logZarvikErrors(context, "out of memory", "zvk_environment_open", result);
    return -1;
  }
  if (!env) {
    logZarvikErrors(context, error.reason.c_str(),
                    error.step == TlsStep::Read ? "zvk_attribute_set_buffer" : "zvk_environment_init", result);
    return -1;
  }
  VELM_FLOW(context, "FLOW: secure environment %s: %d trusted certificates, client certificate %s", env->handleText,
            env->caCount, env->cert != nullptr ? "present" : "none");
  context->secureEnv = env.release();
  return 0;
}

int initializeTransport(VELM_AuditClientContext *context, VELM_result *result) {
  if (context->secure && initializeZarvikEnvironment(context, result) != 0) return -1;
  if (!context->secure && context->clientPassword != nullptr) {
    // Basic authentication over plain HTTP shows the password to anyone on the path.
    static constexpr const char *kWarning =
        "WARNING: a password is set for serverURL %s, which is not https: the password is sent unencrypted";
    traceLine(context->errorLogger, kVelmTraceUnit, __func__, __LINE__, kWarning, context->serverURL);
    VELM_TRACE_WARNING(context, kWarning, context->serverURL);
  }
  try {
    auto pool = std::make_shared<CurlHttp>(true);
    std::scoped_lock lock(poolsMutex);
    pools[context] = std::move(pool);
  } catch (const std::bad_alloc &) {
    VELM_RECORD(context, result, 1);
    return -1;
  }
  return 0;
}

void releaseTransport(VELM_AuditClientContext *context) {
  std::shared_ptr<CurlHttp> pool;
  {
    std::scoped_lock lock(poolsMutex);
    auto it = pools.find(context);
    if (it != pools.end()) {
      pool = std::move(it->second);
      pools.erase(it);
    }
  }
  pool.reset();  // closes the idle connections, outside poolsMutex
  delete context->secureEnv;
  context->secureEnv = nullptr;
}

// ---------------------------------------------------------------------------
// Service check.

int checkService(VELM_AuditClientContext *context, VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  char probe[] = "<CommonBaseEvent/>";
  char *texts[] = {probe};
  CommonBaseEventType item{1, texts};
  CommonBaseEventType *entries[] = {&item};
  CommonBaseEventType_ArrayTag batch{1, entries};

  const EmitterOutcome out = post(context, &batch);
  int rc = 0;
  switch (out.kind) {
    case EmitterOutcome::Sent:
      break;
    case EmitterOutcome::Fault:
      // Any fault means the server is there and read the request.
      VELM_FLOW(context, "faultstring: %s", out.faultString.c_str());
      VELM_FLOW(context, "faultdetail: %s", out.faultDetail.c_str());
      if (out.faultString.find("SECJ0053E") != std::string::npos) rc = -3;
      break;
    case EmitterOutcome::Other:
      VELM_TRACE_ERROR(context, "Exception: %s", out.error.c_str());
      VELM_RECORD(context, result, 20, "checkService", out.error.c_str());
      rc = -1;
      break;
  }
  if (rc != -1) VELM_TRACE_ERROR(context, "The service %s is available...", context->serverURL);
  return rc;
}

// ---------------------------------------------------------------------------
// Sending.

int buildAndProcEvent(VELM_AuditClientContext *context, VELM_AuditEvent **events, VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  if (events == nullptr) {
    VELM_TRACE_ERROR(context, "ERROR: The %s parameter is missing", "auditEvents");
    VELM_RECORD(context, result, 9, "auditEvents");
    return -1;
  }
  int n = 0;
  while (events[n] != nullptr) ++n;
  VELM_FLOW(context, "Number of events to send = %d", n);
  if (n == 0) return 0;

  cacheInfo *ci = context->cacheInfo;
  if (context->useDiskCache == kUseDiskCacheAlways ||
      (ci != nullptr && (ci->serverDown.load() != 0 || (ci->serverSlow.load() != 0 && ci->noDiskSpace.load() == 0)))) {
    // Bound for the cache: the events are written straight into the batch string.
    thread_local std::string text;
    text.clear();
    int converted = 0;
    for (int i = 0; i < n; ++i) {
      if (appendEventText(context, events[i], text, result) == 0) {
        ++converted;
      } else {
        VELM_TRACE_ERROR(context, "ERROR: Conversion of VELM Audit Event to CBE XML failed");
        VELM_RECORD(context, result, 25);
      }
    }
    return cacheBatchText(context, text.c_str(), converted, result);
  }

  std::unique_ptr<CommonBaseEventType_ArrayTag, void (*)(CommonBaseEventType_ArrayTag *)> batch(
      newCommonBaseEvents(n), freeCommonBaseEvents);
  if (!batch) {
    VELM_TRACE_ERROR(context, "ERROR: cannot malloc");
    VELM_RECORD(context, result, 1);
    return -1;
  }
  for (int i = 0; i < n; ++i) {
    char *xml = velmAuditEventToText(context, events[i], result);
    CommonBaseEventType *entry = xml != nullptr ? newCommonBaseEvent(xml) : nullptr;
    if (entry == nullptr) {
      std::free(xml);
      VELM_TRACE_ERROR(context, "ERROR: Conversion of VELM Audit Event to CBE XML failed");
      VELM_RECORD(context, result, 25);
      continue;
    }
    batch->entries[batch->count++] = entry;
  }
  return sendEvent(context, batch.get(), context->useDiskCache == kUseDiskCacheAuto ? 1 : 0, result);
}

int sendEvent(VELM_AuditClientContext *context, CommonBaseEventType_ArrayTag *batch, int cacheEvents,
              VELM_result *result) {
  ScopedTrace trace(context, kVelmTraceUnit, __func__, __LINE__);
  cacheInfo *ci = context->cacheInfo;
  DeliveryStats *stats = context->stats;

  // 1. A server known to be down or slow is not tried: the batch goes to the cache.
  if (ci != nullptr && cacheEvents &&
      (context->useDiskCache == kUseDiskCacheAlways || ci->serverDown.load() != 0 || ci->serverSlow.load() != 0))
    return writeEventsToCache(context, batch, result);

  // 2.
  VELM_FLOW(context, "FLOW URL = %s", context->serverURL);
  const int count = batch != nullptr ? batch->count : 0;
  VELM_FLOW(context, "Number of events in the array is %d", count);
  if (count == 0) return 0;

  int attempt = 0;
  bool rejected = false;
  bool failedBefore = false;  // the count of attempts restarts; the statistics do not
  for (;;) {
    // 3.
    if (attempt > 0) VELM_FLOW(context, "FLOW: Resending the events. Retry count is %d", attempt);
    if (failedBefore && stats != nullptr) ++stats->retries;
    failedBefore = true;
    const EmitterOutcome out = post(context, batch);
    if (out.kind == EmitterOutcome::Sent) {
      if (stats != nullptr) {
        ++stats->batchesSent;
        stats->eventsDelivered += static_cast<uint64_t>(presentEntries(batch));
      }
      break;
    }

    if (out.kind == EmitterOutcome::Fault) {
      // 4.
      if (out.faultDetail.empty()) VELM_FLOW(context, "fault detail is null...");
      if (out.faultCode == "soapenv:client") {
        // The server read the batch and refused one event: drop that one, send the rest alone.
        traceFault(context, out);
        recordFault(context, result, out, __LINE__);
        int rc = 0;
        if (count == 1) {
          VELM_TRACE_ERROR(context, "ERROR: sendEvent discarded event %d because it is invalid", 1);
          rejected = true;
          if (stats != nullptr) ++stats->eventsRejected;
        } else {
          // The detail may hold more than one element; one wrapper keeps it a document.
          const std::string wrapped = "<detail>" + out.faultDetail + "</detail>";
          VELM_result local{0, 0, nullptr};
          const int failed = getFailedEvent(context, wrapped.c_str(), &local);
          VELM_Result_Clean(&local);
          for (int i = 1; i <= count; ++i) {
            if (i == failed) {
              VELM_TRACE_ERROR(context, "ERROR: sendEvent discarded event %d because it is invalid", i);
              rejected = true;
              if (stats != nullptr) ++stats->eventsRejected;
              continue;
            }
            if (batch->entries[i - 1] == nullptr) continue;
            rc = sendOneEvent(context, batch->entries[i - 1], result);
          }
        }
        return rejected ? -2 : rc;
      }
      ++attempt;
      if (attempt > __atomic_load_n(&context->numberRetries, __ATOMIC_RELAXED)) {
        traceFault(context, out);
        recordFault(context, result, out, __LINE__);
      }
    } else {
      // 5.
      ++attempt;
      if (attempt > __atomic_load_n(&context->numberRetries, __ATOMIC_RELAXED)) {
        VELM_TRACE_ERROR(context, "Exception: %s", out.error.c_str());
        VELM_RECORD(context, result, 20, "sendEvent", out.error.c_str());
      }
    }

    // 6. Client deletion cuts retrying short.
    eventQueue *q = context->eventQueue;
    bool giveUp = false;
    if (q != nullptr && queueShutDown(q)) {
      VELM_FLOW(context, "FLOW: received shutDown indication in eventQueue control struct");
      giveUp = true;
    } else if (ci != nullptr && cacheShutDown(ci)) {
      VELM_FLOW(context, "FLOW: received shutDown indication in cacheInfo control struct");
      return -1;
    }

    // 7. Wait retryInterval seconds, or less when the client is being deleted.
    if (!giveUp) {
      // The client deletion shortens these while senders run.
      const int retryInterval = __atomic_load_n(&context->retryInterval, __ATOMIC_RELAXED);
      VELM_FLOW(context, "FLOW: Waiting for %d seconds before resending the events", retryInterval);
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(retryInterval);
      if (q != nullptr) {
        std::unique_lock lk(q->lock);
        q->workCond.wait_until(lk, deadline, [q] { return q->shutDown != 0; });
        if (q->shutDown != 0) {
          VELM_FLOW(context, "FLOW: received shutDown indication in eventQueue");
          giveUp = true;
        }
      } else if (ci != nullptr) {
        bool down = false;
        {
          std::unique_lock lk(ci->mutex);
          VELM_FLOW(context, "FLOW: cacheInfo->mutex LOCKED");
          ci->cond.wait_until(lk, deadline, [ci] { return ci->shutDown != 0; });
          down = ci->shutDown != 0;
        }
        VELM_FLOW(context, "FLOW: cacheInfo->mutex UNLOCKED");
        if (down) {
          VELM_FLOW(context, "FLOW: received shutDown indication in cacheInfo control struct");
          return -1;
        }
      } else {
        // Neither a queue nor a cache to be woken by: a plain wait.
        std::this_thread::sleep_until(deadline);
      }
    }

    // 8.
    if (giveUp) {
      if (ci != nullptr && cacheEvents) {
        const int rc2 = writeEventsToCache(context, batch, result);
        trace.dismiss();
        VELM_TRACE_EXIT_VALUE(context, "EXIT: wrote events to cache, rc2 = %d", rc2);
        return rc2;
      }
      if (ci != nullptr) {
        VELM_FLOW(context, "FLOW: event Q shutdown & cacheEvents == 0");
        return -1;
      }
      VELM_TRACE_ERROR(context,
                       "ERROR: we have event queue shutDown, no disk cache, and cannot send events to the server. "
                       "Returning an error");
      return -1;
    }

    // 9.
    if (attempt > __atomic_load_n(&context->numberRetries, __ATOMIC_RELAXED)) {
      if (ci != nullptr) {
        {
          std::scoped_lock lock(ci->mutex);
          ci->serverDown.store(1);
        }
        VELM_FLOW(context, "FLOW: set cacheInfo->serverDown");
        if (cacheEvents) {
          const int rc2 = writeEventsToCache(context, batch, result);
          trace.dismiss();
          VELM_TRACE_EXIT_VALUE(context, "EXIT: wrote events to cache, rc2 = %d", rc2);
          return rc2;
        }
        trace.dismiss();
        VELM_TRACE_EXIT_VALUE(context, "EXIT: cache is enabled, cacheEvents = 0, server down");
        return -1;
      }
      // Without a cache there is nowhere else for the batch: keep trying.
      VELM_FLOW(context, "FLOW: cache is disabled, setting count to 0");
      attempt = 0;
    }
    // 10.
  }
  return rejected ? -2 : 0;
}

int sendOneEvent(VELM_AuditClientContext *context, CommonBaseEventType *item, VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  CommonBaseEventType *entries[] = {item};
  CommonBaseEventType_ArrayTag one{1, entries};
  return sendEvent(context, &one, 0, result);
}

int cacheBatchText(VELM_AuditClientContext *context, const char *text, int events, VELM_result *result) {
  ScopedTrace trace(context, kVelmTraceUnit, __func__, __LINE__);
  const char *path = context->diskCachePath != nullptr ? context->diskCachePath : "";
  int rc = 0;
  if (text == nullptr) {
    // Out of memory: the events would be lost while the caller heard of success.
    rc = -1;
  } else if (context->cacheInfo == nullptr) {
    // No cache control block: nothing could take the batch.
    rc = -1;
  } else {
    // cacheMsg counts the events it wrote (not those it had to discard).
    rc = cacheMsg(context, static_cast<int>(std::strlen(text)), text, events, result) != 0 ? -1 : 0;
  }
  if (rc != 0) {
    VELM_TRACE_ERROR(context, "Failed to cache the events to %s", path);
    VELM_RECORD(context, result, 48, path);
  }
  trace.dismiss();
  VELM_TRACE_EXIT_VALUE(context, "EXIT: rc = %d", rc);
  return rc;
}

int writeEventsToCache(VELM_AuditClientContext *context, CommonBaseEventType_ArrayTag *batch,
                       VELM_result *result) {
  if (batch == nullptr) return 0;
  char *text = velmCommonBaseEventsToString(context, batch, result);
  const int rc = cacheBatchText(context, text, presentEntries(batch), result);
  std::free(text);
  return rc;
}

int sendMsg(VELM_AuditClientContext *context, int, const char *text, VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  CommonBaseEventType_ArrayTag *batch = velmStringToCommonBaseEvents(context, text, result);
  // Damage keeps the whole events before it; a record of which not even one
  // event could be read is unreadable.
  const bool nothingRead = batch != nullptr && batch->count == 0 && text != nullptr &&
                           std::string_view(text).find_first_not_of(" \t\r\n") != std::string_view::npos;
  if (batch == nullptr || nothingRead) {
    if (batch != nullptr) freeCommonBaseEvents(batch);
    VELM_TRACE_ERROR(context, "ERROR  Failed to deserialize %s", "dataBuff");
    VELM_RECORD(context, result, 49, "dataBuff");
    return 0;
  }
  const int rc = sendEvent(context, batch, 0, result);
  freeCommonBaseEvents(batch);
  return rc == -2 ? 0 : rc;
}

}  // namespace velm
