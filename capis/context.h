// The client context and the process-wide record behind it.
#pragma once

#include <pthread.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "platform/nls.h"
#include "qlg.h"
#include "velm.h"

namespace velm {

struct HashEntry;      // utils.h
struct eventQueue;     // event_queue.h
struct cacheInfo;      // disk_cache.h
struct SecureEnv;      // the transport's TLS settings of a secure context

// Shared by every context of the process: the source of global instance ids.
struct GIIdTable {
  pthread_mutex_t mutex;  // serialises id generation
  uint32_t counter;       // ids issued so far; guarded by mutex
  char *pidText;          // getpid() as "%08X"
};

// Delivery counters of one context, kept by the client, the queue, the
// transport and the cache as events move; read by VELM_AuditClient_GetStats.
struct DeliveryStats {
  std::atomic<uint64_t> eventsAccepted{0};   // SendEvent returned 0
  std::atomic<uint64_t> eventsDelivered{0};  // in a request the server answered with success
  std::atomic<uint64_t> batchesSent{0};      // requests answered with success
  std::atomic<uint64_t> retries{0};          // attempts after a failed one
  std::atomic<uint64_t> eventsCached{0};     // handed to the disk cache and written
  std::atomic<uint64_t> eventsDiscarded{0};  // thrown away (queue or cache full past the time-out)
  std::atomic<uint64_t> eventsRejected{0};   // refused by the server as invalid
};

// The library's own threads (queue and cache manager threads) that can still
// reach a context. Client deletion waits for them only so long; one that
// outlives it (blocked in a request, say) must still find the context, so
// context deletion waits for this count to drop to zero.
struct LiveThreads {
  std::mutex mutex;
  std::condition_variable cond;
  int count = 0;  // guarded by mutex
};
// Counts a thread before it is started, so that it is waited for even if it
// has not run yet.
inline void enterThread(LiveThreads *t) {
  std::scoped_lock lock(t->mutex);
  t->count += 1;
}
// The thread's (or a failed start's) last touch of anything the context owns.
inline void leaveThread(LiveThreads *t) {
  std::scoped_lock lock(t->mutex);
  t->count -= 1;
  t->cond.notify_all();
}
// True once no counted thread is left; false after timeout.
inline bool waitThreadsGone(LiveThreads *t, std::chrono::steady_clock::duration timeout) {
  std::unique_lock lock(t->mutex);
  return t->cond.wait_until(lock, std::chrono::steady_clock::now() + timeout, [t] { return t->count == 0; });
}

// One per process, created once and never freed.
struct VELMCommonRec {
  pthread_mutex_t mutex;  // process-wide set-up and tear-down
  // Guarded by mutex:
  int refCount;           // counted, live contexts
  int eventTableReady;    // predefined event-type table built
  GIIdTable *giidTable;
};

// Holds a pthread mutex (VELMCommon's, the id table's) for a scope.
class PthreadLock {
 public:
  explicit PthreadLock(pthread_mutex_t &m) : m_(m) { pthread_mutex_lock(&m_); }
  ~PthreadLock() { pthread_mutex_unlock(&m_); }
  PthreadLock(const PthreadLock &) = delete;
  PthreadLock &operator=(const PthreadLock &) = delete;

 private:
  pthread_mutex_t &m_;
};

// The process-wide record, or null when its allocation failed. The first
// call creates it (once per process, safe from any thread).
VELMCommonRec *velmCommon();

struct ApiSite;  // api_guard.h

// Internal twins of VELM_AuditClientContext_Create and _Delete. The context
// only exists part-way through creation, so createContext writes the "ENTRY"
// and "EXIT" lines itself, under the name site gives (its own by default).
VELM_AuditClientContext *createContext(const VELM_Property *propertyList, VELM_result *result);
VELM_AuditClientContext *createContext(const VELM_Property *propertyList, VELM_result *result,
                                       const ApiSite &site);
void deleteContext(VELM_AuditClientContext *context);

}  // namespace velm

// Settings and run-time state of one client context. String properties are
// heap copies (null when not given and without default); integers by value.
struct VELM_AuditClientContext {
  uint32_t magic;  // velm::kContextMagic while alive (api_guard.h)
  // Properties, in the order of the property table.
  char *serverURL;
  char *keyFilePath;
  char *stashFilePath;
  char *clientUserName;
  char *clientPassword;
  int transferSize;
  int queueSize;
  int hiWater;
  int flushInterval;
  int numberEQThreads;
  int numberCMThreads;
  int numberRetries;
  int retryInterval;
  int compress;  // 1 "yes", 0 "no"
  char *elementCodeSet;
  char *errorLocale;
  char *errorCodeSet;
  int traceLevel;
  int errorTraceLevel;
  int entryTraceLevel;
  int flowTraceLevel;
  int usingQUILL;  // 1 "yes", 0 "no"
  char *traceLoggerName;
  char *traceFilePath;
  int maxTraceFileSize;
  int maxTraceFiles;
  char *errorLoggerName;
  char *errorFilePath;
  int maxErrorFileSize;
  int maxErrorFiles;
  int useDiskCache;  // 0 "never", 1 "always", 2 "auto"
  int lowWater;
  char *diskCachePath;
  int maxCacheFileSize;
  int maxCacheFiles;
  int rebindInterval;
  int tempStorageFullTimeout;
  int shutDownTimeout;
  int responseTimeout;
  int cacheSync;  // 1 "yes": cache writes reach the disk before they count (an addition)

  // Internal state.
  char *installDir;
  QlgObject *traceLogger;
  QlgObject *errorLogger;
  cvx_catd catalog;
  cvx_loc errorLocaleHandle;
  cvx_cs errorCodeSetHandle;
  cvx_cs elementCodeSetHandle;
  cvx_cs utf8CodeSet;
  int elementCodeSetIsUTF8;
  int secure;
  velm::HashEntry **locTypeTable;
  int locTypeTableSize;
  int actualEQThreads;
  int actualCMThreads;
  velm::eventQueue *eventQueue;  // the client's queue; null without client or with "always"
  VELM_AuditClient *client;
  velm::cacheInfo *cacheInfo;    // disk cache control block; null when the cache is off
  velm::SecureEnv *secureEnv;    // loaded trust store and client identity of an https context
  velm::GIIdTable *giidTable;  // shared, owned by VELMCommon
  velm::DeliveryStats *stats;  // owned; null until the context is complete
  velm::LiveThreads *liveThreads;  // owned; library threads that can still reach the context
  int counted;                 // holds a reference in VELMCommon
  int checkServerOnCreate;     // always on
  int validateEvents;          // always on
  int deleteEvents;            // always on
};
