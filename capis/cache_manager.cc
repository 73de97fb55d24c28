// Cache manager threads: each takes the oldest cache file nobody drains,
// resends its records from the checkpoint on, follows it while it is still
// written, and deletes it once everything in it was delivered. While the
// server is down one thread polls it and the others wait.
//
// Delivery is at least once: the checkpoint in the file moves only after a
// successful send and is written before waiting, after a failed send and at
// shut-down, so records sent after the last write go out again after a crash.
#include <cerrno>
#include <cstring>
#include <new>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "capis/cache_internal.h"
#include "capis/context.h"
#include "capis/errors.h"
#include "capis/trace.h"
#include "cbe/transport.h"
#include "platform/fs.h"

namespace velm {

VELM_TRACE_UNIT("cache_manager");

namespace {

std::mutex transportMutex;
CacheTransport transport{checkService, sendMsg};  // guarded by transportMutex

// Caller holds cacheInfo.mutex.
int unlinkFileInfo(fileQ *q, cacheFileInfo *f) {
  if (q->size <= 0 || !fqLinked(f)) return -1;
  f->prev->next = f->next;
  f->next->prev = f->prev;
  f->next = f->prev = nullptr;
  q->size -= 1;
  return 0;
}

std::string edge(const std::string &s, bool head) {
  if (s.size() <= 10) return s;
  return head ? s.substr(0, 10) : s.substr(s.size() - 10);
}

}  // namespace

void setCacheTransport(const CacheTransport &t) {
  std::scoped_lock lock(transportMutex);
  transport.checkService = t.checkService != nullptr ? t.checkService : checkService;
  transport.sendMsg = t.sendMsg != nullptr ? t.sendMsg : sendMsg;
}

CacheTransport cacheTransport() {
  std::scoped_lock lock(transportMutex);
  return transport;
}

int startCMThread(VELM_AuditClientContext *context, VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  cacheInfo *ci = context->cacheInfo;
  if (ci == nullptr || context->actualCMThreads >= context->numberCMThreads) return 0;
  // Counted before the thread exists, so a client deletion that follows at
  // once still waits for it.
  {
    std::scoped_lock lock(ci->mutex);
    ci->numCMThreads += 1;
  }
  enterThread(context->liveThreads);
  try {
    std::thread(cacheManager, context).detach();
  } catch (const std::system_error &e) {
    leaveThread(context->liveThreads);
    {
      std::scoped_lock lock(ci->mutex);
      ci->numCMThreads -= 1;
    }
    VELM_RECORD(context, result, 11, e.what());
    VELM_TRACE_ERROR(context, "ERROR - pthread_create returned msg: %s, code: %d", e.what(), e.code().value());
    return -1;
  }
  context->actualCMThreads += 1;
  return 0;
}

void cacheManager(VELM_AuditClientContext *context) {
  LiveThreads *live = context->liveThreads;
  VELM_TRACE_ENTRY(context);
  cacheInfo *ci = context->cacheInfo;
  VELM_result res{0, 0, nullptr};
  while (!loadFlag(ci->shutDown)) {
    VELM_Result_Clean(&res);
    cacheFileInfo *f = getNextCacheFile(context, &res);
    if (f == nullptr) {
      CacheLock lock(ci->mutex);
      if (!waitCache(ci, lock, std::chrono::seconds(2))) break;
      continue;
    }
    if (drainCacheFile(context, f, &res) != 0)
      VELM_FLOW(context, "FLOW: error returned from drainCacheFile on file %s", f->fileName);
    if (loadFlag(ci->shutDown)) break;  // f stays on fileQ
    std::string name;
    bool remove = false;
    bool release = false;
    {
      CacheLock lock(ci->mutex);
      VELM_FLOW(context, "FLOW: dequeueFileInfo for %s", f->fileName);
      unlinkFileInfo(ci->fileQ, f);
      remove = f->deleteFile != 0;
      name = f->fileName;
      std::scoped_lock fl(f->mutex);
      // A record still in a writer slot is left to the writer, which drops
      // it at roll-over; one a writer still waits on is kept until the end.
      if (!f->beingWritten) {
        if (f->waiters == 0) {
          release = true;
        } else {
          retireCacheFileInfo(ci, f);
        }
      }
    }
    if (remove) deleteCacheFile(context, name.c_str(), &res);
    if (release) freeCacheFileInfo(context, f, &res);
    if (loadFlag(ci->shutDown)) break;
    CacheLock lock(ci->mutex);
    if (ci->maxFiles && ci->fileQ->size < context->maxCacheFiles) {
      ci->maxFiles = 0;
      broadcastCache(ci);
      VELM_FLOW(context, "FLOW: broadcasting cacheInfo->cond - just reset maxFiles");
    }
  }
  VELM_Result_Clean(&res);
  VELM_TRACE_EXIT(context);
  {
    // Client deletion stops waiting once this is 0; context deletion waits
    // for leaveThread.
    std::scoped_lock lock(ci->mutex);
    ci->numCMThreads -= 1;
  }
  leaveThread(live);
}

cacheFileInfo *getNextCacheFile(VELM_AuditClientContext *context, VELM_result *) {
  cacheInfo *ci = context->cacheInfo;
  std::scoped_lock lock(ci->mutex);
  for (cacheFileInfo *f = ci->fileQ->head.next; f != &ci->fileQ->head; f = f->next) {
    if (f->beingDrained) continue;
    std::scoped_lock fl(f->mutex);
    if (!f->beingDrained) {
      f->beingDrained = 1;
      return f;
    }
  }
  VELM_FLOW(context, "FLOW: no files on file Q that need draining, returning NULL");
  return nullptr;
}

int dequeueFileInfo(VELM_AuditClientContext *context, fileQ *q, cacheFileInfo *f, VELM_result *) {
  std::scoped_lock lock(context->cacheInfo->mutex);
  VELM_FLOW(context, "FLOW: dequeueFileInfo for %s", f->fileName);
  return unlinkFileInfo(q, f);
}

int deleteCacheFile(VELM_AuditClientContext *context, const char *fileName, VELM_result *) {
  VELM_FLOW(context, "FLOW: deleting cache file %s", fileName);
  const std::string path = cachePath(context->cacheInfo, fileName);
  if (fs::remove(path.c_str()) != 0) {
    const int e = errno;
    VELM_TRACE_ERROR(context, "ERROR: remove of file %s failed: %s", path.c_str(), std::strerror(e));
    return -1;
  }
  syncCacheDir(context);
  return 0;
}

int bindToServer(VELM_AuditClientContext *context, VELM_result *) {
  const CacheTransport t = cacheTransport();
  VELM_result own{0, 0, nullptr};
  const int rc = t.checkService != nullptr ? t.checkService(context, &own) : -1;
  VELM_Result_Clean(&own);  // failed polls leave no messages
  if (rc == 0) {
    VELM_TRACE_EXIT_VALUE(context, "EXIT - service is available");
  } else {
    VELM_TRACE_EXIT_VALUE(context, "EXIT - service is not available");
  }
  return rc;
}

int waitForServerAvail(VELM_AuditClientContext *context, VELM_result *result) {
  cacheInfo *ci = context->cacheInfo;
  if (!ci->serverDown) return 0;
  // Client deletion shortens the interval while the threads run.
  const int rebind = __atomic_load_n(&context->rebindInterval, __ATOMIC_RELAXED);
  const auto interval = std::chrono::seconds(rebind > 0 ? rebind : 1);
  CacheLock lock(ci->mutex);
  if (ci->serverBeingChecked) {
    VELM_FLOW(context, "FLOW: another thread is polling server, wait for serverDown = 0");
    while (ci->serverDown) {
      ci->cond.wait_for(lock, interval, [&] { return !ci->serverDown || loadFlag(ci->shutDown) != 0; });
      if (loadFlag(ci->shutDown)) {
        VELM_FLOW(context, "FLOW: cacheInfo->shutDown is set");
        return -1;
      }
    }
    return loadFlag(ci->shutDown) ? -1 : 0;
  }
  VELM_FLOW(context, "FLOW: this thread will poll server, setting serverBeingChecked");
  ci->serverBeingChecked = 1;
  int r = -1;
  bool stopped = false;
  for (;;) {
    ci->cond.wait_for(lock, interval, [&] { return loadFlag(ci->shutDown) != 0; });
    if (loadFlag(ci->shutDown)) {
      stopped = true;
      break;
    }
    // The probe may take up to responseTimeout: writers and queue threads
    // must not stall behind it, so it runs without the mutex.
    lock.unlock();
    r = bindToServer(context, result);
    lock.lock();
    if (r != -1) break;
  }
  ci->serverBeingChecked = 0;
  if (!stopped) {
    ci->serverDown = 0;
    lock.unlock();
    reportDiscardedEvents(context, 0, result);
    VELM_Result_Clean(result);
    lock.lock();
    broadcastCache(ci);
    VELM_FLOW(context, "FLOW: broadcasting cacheInfo->cond - just reset serverDown");
  } else {
    broadcastCache(ci);  // waiters see shutDown
  }
  if (stopped) r = -1;
  VELM_TRACE_EXIT_VALUE(context, "EXIT: rc = %d", r);
  return r;
}

int drainCacheFile(VELM_AuditClientContext *context, cacheFileInfo *f, VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  cacheInfo *ci = context->cacheInfo;
  VELM_FLOW(context, "FLOW: file to drain is %s", f->fileName);
  const std::string path = cachePath(ci, f->fileName);
  FILE *file = nullptr;
  {
    CacheLock lock(ci->mutex);
    file = openCacheFile(context, &lock, path.c_str(), 1, "rb+", result);
  }
  if (file == nullptr) return -1;
  VELM_FLOW(context, "FLOW: cache file %s has been opened for draining", f->fileName);
  const int seek = seekToNextEvent(context, file, result);
  if (seek == -2) {
    // A checkpoint outside the file: its records are kept for inspection
    // under a corrupt name rather than taken for drained and deleted.
    fs::close(file);
    handleCorruptedCacheFile(context, f, result);
    storeFlag(f->drainDone, 1);
    return -1;
  }
  if (seek != 0) {
    VELM_FLOW(context, "FLOW: could not seekToNextEvent on file: %s, beingWritten = %d", f->fileName,
              loadFlag(f->beingWritten));
    VELM_FLOW(context, "FLOW: file size = %d", loadFlag(f->currSize));
    fs::close(file);
    // Only a file cut inside its checkpoint holds nothing; after an I/O
    // error the file is left for a later run.
    if (seek == -1 && !loadFlag(f->beingWritten)) {
      f->deleteFile = 1;
      VELM_FLOW(context, "FLOW: set deleteFile flag for cache file %s", f->fileName);
      storeFlag(f->drainDone, 1);
    }
    return -1;
  }
  f->readCheckPoint = static_cast<int32_t>(fs::tell(file));
  const int transferSize = context->transferSize > 0 ? context->transferSize : 1;
  cacheRecord rec;
  bool shutDownExit = false;
  try {
    for (;;) {
      if (loadFlag(ci->shutDown)) {
        shutDownExit = true;
        break;
      }
      if (loadFlag(f->drainDone)) break;
      if (ci->serverDown && waitForServerAvail(context, result) != 0) {
        VELM_FLOW(context, "FLOW: error on waitForServerAvail; aborting");
        shutDownExit = loadFlag(ci->shutDown) != 0;
        break;
      }
      if (getEventRec(context, f, file, rec, 1, result) != 0) {
        if (loadFlag(ci->shutDown)) {
          shutDownExit = true;
          break;
        }
        if (rec.status == kRecEndOfData) {
          f->deleteFile = 1;
          VELM_FLOW(context, "FLOW: set deleteFile flag for cache file %s", f->fileName);
        }
        if (rec.status == kRecNoMemory) return -1;
        storeFlag(f->drainDone, 1);
        break;
      }
      std::string batch;
      if (rec.numEvents != 1) {
        VELM_FLOW(context, "FLOW: event record contains %d events", rec.numEvents);
        batch = std::move(rec.dataBuf);
      } else {
        VELM_FLOW(context, "FLOW: event rec contained only 1 event, will try to collect more");
        std::vector<std::string> parts;
        parts.push_back(std::move(rec.dataBuf));
        int total = 1;
        // Only what is already on disk: collecting never waits.
        while (total < transferSize && file != nullptr) {
          if (getEventRec(context, f, file, rec, 0, result) != 0 || loadFlag(ci->shutDown)) break;
          total += rec.numEvents;
          std::string text = std::move(rec.dataBuf);
          while (!text.empty() && text.back() == '\0') text.pop_back();
          parts.push_back(std::move(text));
        }
        VELM_FLOW(context, "FLOW: successfully collected %d events", total);
        VELM_FLOW(context, "FLOW: number of data buffs = %d", static_cast<int>(parts.size()));
        std::size_t length = 0;
        for (std::size_t i = 0; i < parts.size(); ++i) {
          VELM_FLOW(context, "FLOW: buffer %d: start = %s, end = %s", static_cast<int>(i),
                    edge(parts[i], true).c_str(), edge(parts[i], false).c_str());
          length += parts[i].size();
        }
        batch.reserve(length);
        for (const std::string &p : parts) batch += p;
        VELM_FLOW(context, "FLOW: successfully collected %d event records", static_cast<int>(parts.size()));
      }
      if (rec.status == kRecShutDown) {
        shutDownExit = true;
        break;
      }
      // Send until done with the batch, waiting for the server in between.
      for (;;) {
        if (loadFlag(ci->shutDown)) {
          shutDownExit = true;
          break;
        }
        VELM_FLOW(context, "dataSize is %d", static_cast<int>(batch.size()));
        if (!ci->serverDown) {
          const CacheTransport t = cacheTransport();
          const int rc = t.sendMsg != nullptr
                             ? t.sendMsg(context, static_cast<int>(batch.size()), batch.c_str(), result)
                             : -1;
          if (rc == 0) {
            if (file != nullptr) f->readCheckPoint = static_cast<int32_t>(fs::tell(file));
            VELM_FLOW(context, "FLOW: sendMsg successful, ckpt on %s = %d", f->fileName, f->readCheckPoint);
            break;
          }
          if (loadFlag(ci->shutDown)) {
            shutDownExit = true;
            break;
          }
          VELM_FLOW(context, "FLOW: sendMsg failed while draining cache");
          ci->serverDown = 1;
          if (file != nullptr) updateReadPos(context, file, f, result);
        }
        if (waitForServerAvail(context, result) == 0) continue;
        VELM_FLOW(context, "FLOW: error on waitForServerAvail; aborting");
        break;
      }
      if (shutDownExit) break;
      if (file == nullptr) {  // the file turned out corrupt while collecting
        storeFlag(f->drainDone, 1);
        break;
      }
    }
  } catch (const std::bad_alloc &) {
    VELM_RECORD(context, result, 1);
    VELM_TRACE_ERROR(context, "ERROR: cannot malloc");
    if (file != nullptr) {
      updateReadPos(context, file, f, result);
      fs::close(file);
    }
    return -1;
  }
  if (shutDownExit && file != nullptr) updateReadPos(context, file, f, result);
  if (file != nullptr) fs::close(file);
  return 0;
}

}  // namespace velm
