// The cache writer: appends one compressed batch as one record to a cache
// file. Writers share files through the slots (one per event queue thread),
// one writer per file per record; a full disk, the file limit or a lack of
// file handles make them wait in 2-second steps within tempStorageFullTimeout.
//
// Lock order: cacheInfo.mutex, then a cacheFileInfo.mutex. A writer that
// holds a file (inUse) may take cacheInfo.mutex, so nobody waits for inUse
// while holding cacheInfo.mutex.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <new>

#include "capis/cache_internal.h"
#include "capis/context.h"
#include "capis/errors.h"
#include "capis/trace.h"
#include "platform/compress.h"
#include "platform/fs.h"

namespace velm {

VELM_TRACE_UNIT("cache_writer");

namespace {

constexpr auto kWaitStep = std::chrono::seconds(2);

const char *diskCachePath(VELM_AuditClientContext *context) {
  return context->diskCachePath != nullptr ? context->diskCachePath : "";
}

// The waits are counted against the time-out as unsigned numbers, so -1
// never runs out and 0 gives up at once.
bool budgetLeft(VELM_AuditClientContext *context, int waited) {
  return static_cast<uint32_t>(waited) < static_cast<uint32_t>(context->tempStorageFullTimeout);
}

void noteNoDiskSpace(VELM_AuditClientContext *context) {
  if (context->cacheInfo->noDiskSpace.exchange(1) == 0) {
    VELM_result local{0, 0, nullptr};
    reportNoDiskSpace(context, &local);
    VELM_Result_Clean(&local);
  }
}

// The place reserved in fileQ and the half-made file go away together.
void giveUpCreation(VELM_AuditClientContext *context, cacheFileInfo *f, bool reserved, const char *path,
                    VELM_result *result) {
  cacheInfo *ci = context->cacheInfo;
  if (reserved) ci->fileQ->size -= 1;
  const bool remove = f->fp != nullptr && path != nullptr;
  freeCacheFileInfo(context, f, result);
  // It holds no record (at most a cut header), so nothing is lost with it.
  if (remove && fs::remove(path) == 0) syncCacheDir(context);
  ci->creationFlag = 0;
}

}  // namespace

void shutDownCache(VELM_AuditClientContext *context) {
  cacheInfo *ci = context->cacheInfo;
  if (ci == nullptr) return;
  std::scoped_lock lock(ci->mutex);
  storeFlag(ci->shutDown, 1);
  broadcastCache(ci);
  for (int s = 0; s < ci->cacheFilesSize; ++s) {
    if (cacheFileInfo *f = ci->cacheFiles[s]) {
      std::scoped_lock fl(f->mutex);
      f->cond.notify_all();
    }
  }
  for (cacheFileInfo *f = ci->fileQ != nullptr ? ci->fileQ->head.next : nullptr; f != nullptr && f != &ci->fileQ->head;
       f = f->next) {
    std::scoped_lock fl(f->mutex);
    f->cond.notify_all();
  }
}

int reportMaxCacheFiles(VELM_AuditClientContext *context, VELM_result *result) {
  VELM_RECORD(context, result, 58, context->maxCacheFiles, diskCachePath(context));
  VELM_Result_Clean(result);
  VELM_TRACE_WARNING(context,
                     "WARNING: the maxCacheFiles property value of %d has been reached. The value of the "
                     "diskCachePath property is %s. The process is not being terminated because this problem will "
                     "be corrected when the server becomes available and existing disk cache files are drained and "
                     "deleted. In the mean time, this may cause the process to appear to hang.",
                     context->maxCacheFiles, diskCachePath(context));
  return 0;
}

int reportNoDiskSpace(VELM_AuditClientContext *context, VELM_result *result) {
  VELM_RECORD(context, result, 59, diskCachePath(context));
  VELM_Result_Clean(result);
  VELM_TRACE_WARNING(context,
                     "WARNING: The file system containing the disk cache files is out of space. The value of the "
                     "diskCachePath property is %s. The process is not being terminated because this problem will "
                     "be corrected when the server becomes available and existing disk cache files are drained and "
                     "deleted. In the mean time, this may cause the process to appear to hang.",
                     diskCachePath(context));
  return 0;
}

int reportNoFileHandles(VELM_AuditClientContext *context, int errorNumber, VELM_result *result) {
  char number[16];
  const char *text = std::strerror(errorNumber);
  if (text == nullptr) {
    std::snprintf(number, sizeof number, "%d", errorNumber);
    text = number;
  }
  VELM_RECORD(context, result, 60, diskCachePath(context), text);
  VELM_Result_Clean(result);
  VELM_TRACE_WARNING(context,
                     "WARNING: when attempting to open a disk cache file, an error was received indicating that "
                     "there are too many files open either at the system level or at the process level. The process "
                     "is not being terminated. It will continue to attempt the open. This may cause the process to "
                     "appear to hang. The value of the diskCachePath property is %s. The error from the open was: %s",
                     diskCachePath(context), text);
  return 0;
}

FILE *openCacheFile(VELM_AuditClientContext *context, CacheLock *lock, const char *path, int block,
                    const char *mode, VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  cacheInfo *ci = context->cacheInfo;
  VELM_FLOW(context, "FLOW: filePath = %s, block = %d", path, block);
  if (loadFlag(ci->shutDown)) return nullptr;
  FILE *fp = fs::open(path, mode);
  if (fp != nullptr) return fp;
  const int e = errno;
  VELM_FLOW(context, "FLOW: fopen returned NULL, errno = %d", e);
  if (e == ENFILE || e == EMFILE) {
    if (!ci->noFileHandles) {
      ci->noFileHandles = 1;
      VELM_result local{0, 0, nullptr};
      reportNoFileHandles(context, e, &local);
      VELM_Result_Clean(&local);
    }
  } else if (e == ENOSPC) {
    noteNoDiskSpace(context);
  } else {
    VELM_RECORD(context, result, 38, path, std::strerror(e));
    VELM_TRACE_ERROR(context, "ERROR on open of disk cache file %s: %s, code: %d", path, std::strerror(e), e);
    return nullptr;
  }
  if (block == 0 || lock == nullptr) {
    VELM_FLOW(context, "FLOW: block = 0, so we are returning");
    return nullptr;
  }
  for (int waited = 0;; waited += 2) {
    if (loadFlag(ci->shutDown)) return nullptr;
    if (!budgetLeft(context, waited)) {
      VELM_FLOW(context, "FLOW: tempStorageFullTimeout of %d secs, exceeded", context->tempStorageFullTimeout);
      return nullptr;
    }
    waitCache(ci, *lock, kWaitStep);
    fp = fs::open(path, mode);
    if (fp != nullptr) {
      if (ci->noFileHandles || ci->noDiskSpace) {
        ci->noFileHandles = 0;
        ci->noDiskSpace = 0;
        broadcastCache(ci);
        VELM_FLOW(context, "FLOW: broadcasting cacheInfo->cond - just opened file");
      }
      return fp;
    }
    VELM_FLOW(context, "FLOW: fopen returned NULL, errno = %d", errno);
  }
}

int acquireCreationFlag(VELM_AuditClientContext *context, CacheLock &lock, VELM_result *) {
  cacheInfo *ci = context->cacheInfo;
  if (loadFlag(ci->shutDown)) return -1;
  while (ci->creationFlag) {
    if (!waitCache(ci, lock, kWaitStep)) return -1;
  }
  ci->creationFlag = 1;
  return 0;
}

cacheFileInfo *createCacheFile(VELM_AuditClientContext *context, CacheLock &lock, int slot, int block,
                               VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  cacheInfo *ci = context->cacheInfo;
  fileQ *q = ci->fileQ;
  if (block == 0 && q->size >= context->maxCacheFiles) {
    if (ci->maxFiles) {
      VELM_FLOW(context, "FLOW: cacheInfo->maxFiles is already set; returning NULL");
    } else {
      ci->maxFiles = 1;
      VELM_result local{0, 0, nullptr};
      reportMaxCacheFiles(context, &local);
      VELM_FLOW(context, "FLOW: maxCacheFiles reached");
    }
    return nullptr;
  }
  if (acquireCreationFlag(context, lock, result) != 0) return nullptr;
  if (ci->cacheFiles[slot] != nullptr) {  // made meanwhile by another writer
    ci->creationFlag = 0;
    return ci->cacheFiles[slot];
  }
  cacheFileInfo *f = createCacheFileInfo(context, result);
  if (f == nullptr) {
    ci->creationFlag = 0;
    return nullptr;
  }
  char path[kPathBufferSize];
  for (int waited = 0;;) {
    if (q->size < context->maxCacheFiles) {
      ci->maxFiles = 0;
      q->size += 1;
      char stamp[255];
      const time_t now = std::time(nullptr);
      struct tm local{};
      localtime_r(&now, &local);
      cvx_strftime(context->elementCodeSetHandle, nullptr, stamp, sizeof stamp, "%Y-%m-%d-%H-%M-%S", &local);
      char name[kPathBufferSize];
      for (int n = 1;; ++n) {
        std::snprintf(name, sizeof name, "%s.%s.%d", ci->filePrefix, stamp, n);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-truncation"
        std::snprintf(path, sizeof path, "%s%s%s", ci->cacheDir, "/", name);  // cut at 511, as every path
#pragma GCC diagnostic pop
        if (!fs::exists(path)) break;
      }
      FILE *fp = openCacheFile(context, &lock, path, block, "ab+", result);
      if (fp == nullptr) {
        giveUpCreation(context, f, true, nullptr, result);
        return nullptr;
      }
      // Unbuffered: a record goes out in one write, and a failed write or
      // flush leaves nothing behind in a buffer to reach the file later.
      std::setvbuf(fp, nullptr, _IONBF, 0);
      f->creationTime = now;
      f->fp = fp;
      f->fileName = strdup(name);
      if (f->fileName == nullptr) {
        VELM_RECORD(context, result, 1);
        giveUpCreation(context, f, true, path, result);
        return nullptr;
      }
      break;
    }
    if (!ci->maxFiles) {
      ci->maxFiles = 1;
      VELM_result local{0, 0, nullptr};
      reportMaxCacheFiles(context, &local);
      VELM_FLOW(context, "FLOW: maxCacheFiles reached");
    }
    if (!loadFlag(ci->shutDown) && budgetLeft(context, waited)) {
      VELM_FLOW(context, "FLOW: waiting for cache file to be deleted: numSecs = %d", waited);
      if (waitCache(ci, lock, kWaitStep)) {
        waited += 2;
        continue;
      }
    }
    giveUpCreation(context, f, false, nullptr, result);
    return nullptr;
  }

  char header[32];
  std::snprintf(header, sizeof header, "%0*ld", kCheckpointWidth, static_cast<long>(kFirstRecordOffset));
  for (int waited = 0;;) {
    int hard = 0;  // message of a hard error
    int e = 0;
    if (fs::write(f->fp, header, kCheckpointWidth) == static_cast<std::size_t>(kCheckpointWidth)) {
      if (fs::flush(f->fp) == 0 && fs::flush(f->fp) == 0 && syncCacheData(context, f->fp) == 0) break;
      e = errno;
      if (e != ENOSPC) {
        hard = 41;
      } else {
        VELM_FLOW(context, "FLOW: got ENOSPC flushing file hdr for %s", path);
      }
    } else {
      e = errno;
      if (e != ENOSPC) {
        hard = 42;
      } else {
        VELM_FLOW(context, "FLOW: got ENOSPC writing file hdr for %s", path);
      }
    }
    if (hard != 0) {
      VELM_RECORD(context, result, hard, path, std::strerror(e));
      if (hard == 42) {
        VELM_TRACE_ERROR(context, "ERROR on write to disk cache file %s: %s, errno = %d", path, std::strerror(e), e);
      } else {
        VELM_TRACE_ERROR(context, "ERROR on fflush on disk cache file %s: %s, errno = %d", path, std::strerror(e),
                         e);
      }
      giveUpCreation(context, f, true, path, result);
      return nullptr;
    }
    noteNoDiskSpace(context);
    if (!budgetLeft(context, waited)) {
      giveUpCreation(context, f, true, path, result);
      return nullptr;
    }
    std::clearerr(f->fp);
    fs::seek(f->fp, 0, SEEK_SET);
    fs::truncate(f->fp, 0);
    if (!waitCache(ci, lock, kWaitStep)) {
      giveUpCreation(context, f, true, path, result);
      return nullptr;
    }
    waited += 2;
  }
  if (ci->noDiskSpace) {
    ci->noDiskSpace = 0;
    broadcastCache(ci);
    VELM_FLOW(context, "FLOW: broadcasting cacheInfo->cond - just reset noDiskSpace");
  }
  // The new name must survive a power cut before records are counted in it.
  syncCacheDir(context);
  f->currSize = kFirstRecordOffset;
  {
    std::scoped_lock fl(f->mutex);
    fqPush(q, f);
    f->beingWritten = 1;
  }
  ci->cacheFiles[slot] = f;
  ci->creationFlag = 0;
  broadcastCache(ci);
  VELM_FLOW(context, "FLOW: broadcasting cacheInfo->cond - just created cache file");
  return f;
}

int getNextSlot(VELM_AuditClientContext *context, VELM_result *result) {
  cacheInfo *ci = context->cacheInfo;
  CacheLock lock(ci->mutex);
  const int size = ci->cacheFilesSize;
  if (size <= 0) return -1;
  int s = ci->nextSlot % size;
  if (ci->cacheFiles[s] == nullptr && createCacheFile(context, lock, s, 0, result) == nullptr) {
    if (loadFlag(ci->shutDown)) return -1;
    int found = -1;
    for (int k = 1; k <= size; ++k) {
      const int j = (s + k) % size;
      if (ci->cacheFiles[j] != nullptr) {
        found = j;
        break;
      }
    }
    if (found >= 0) {
      s = found;
    } else if (createCacheFile(context, lock, s, 1, result) == nullptr) {
      return -1;
    }
  }
  ci->nextSlot = (s + 1) % size;
  return s;
}

cacheFileInfo *acquireCacheFile(VELM_AuditClientContext *context, CacheLock &lock, int slot, VELM_result *) {
  cacheInfo *ci = context->cacheInfo;
  for (;;) {
    if (loadFlag(ci->shutDown) || ci->cacheFiles[slot] == nullptr) return nullptr;
    cacheFileInfo *f = ci->cacheFiles[slot];
    std::unique_lock fl(f->mutex);
    if (!f->beingWritten) return nullptr;
    if (!f->inUse) {
      f->inUse = 1;
      return f;
    }
    // Wait for the holder without cacheInfo.mutex: the holder may need it
    // (to wait for disk space) before it lets the file go. waiters keeps a
    // drainer from freeing the record under this wait.
    f->waiters += 1;
    lock.unlock();
    f->cond.wait_for(fl, kWaitStep,
                     [&] { return !f->inUse || !f->beingWritten || loadFlag(ci->shutDown) != 0; });
    f->waiters -= 1;
    fl.unlock();
    lock.lock();
  }
}

int releaseCacheFile(VELM_AuditClientContext *context, cacheFileInfo *f, VELM_result *) {
  std::scoped_lock fl(f->mutex);
  if (f->inUse) {
    f->inUse = 0;
    VELM_FLOW(context, "FLOW: broadcasting cacheFileInfo->cond for file %s", f->fileName);
    f->cond.notify_all();  // also wakes a drainer waiting for new data
  }
  return 0;
}

int selectCacheFile(VELM_AuditClientContext *context, int needed, cacheFileInfo **out, VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  cacheInfo *ci = context->cacheInfo;
  for (;;) {
    const int s = getNextSlot(context, result);
    if (s == -1) {
      if (context->tempStorageFullTimeout == -1 || loadFlag(ci->shutDown)) return -1;
      if (ci->noDiskSpace) return 1;
      std::scoped_lock lock(ci->mutex);
      if (ci->noFileHandles) return 3;
      if (ci->maxFiles) return 2;
      return -1;
    }
    CacheLock lock(ci->mutex);
    cacheFileInfo *f = acquireCacheFile(context, lock, s, result);
    if (f != nullptr) {
      const int32_t size = loadFlag(f->currSize);
      // A file without records takes any record, however large: rolling it
      // over could never give a better one.
      if ((static_cast<long>(size) + needed <= context->maxCacheFileSize || size <= kFirstRecordOffset) &&
          !loadFlag(f->corrupt)) {
        *out = f;
        return 0;
      }
      VELM_FLOW(context, "FLOW: rolling over file %s with currSize of %d", f->fileName, size);
      {
        std::scoped_lock fl(f->mutex);
        if (f->fp != nullptr) {
          fs::close(f->fp);
          f->fp = nullptr;
        }
        storeFlag(f->beingWritten, 0);
        f->inUse = 0;
        f->cond.notify_all();  // a drainer tailing the file reads it to its end
      }
      if (ci->cacheFiles[s] == f) ci->cacheFiles[s] = nullptr;
      // A drainer that finished with the file while it was written left the
      // record to the writer; it may still be reached by waiting writers.
      if (!fqLinked(f)) retireCacheFileInfo(ci, f);
      if (createCacheFile(context, lock, s, 0, result) != nullptr) {
        f = acquireCacheFile(context, lock, s, result);
        if (f != nullptr) {
          *out = f;  // a record larger than maxCacheFileSize goes whole into a fresh file
          return 0;
        }
      }
    }
    if (loadFlag(ci->shutDown)) return -1;
  }
}

int writeCacheRecord(VELM_AuditClientContext *context, cacheFileInfo *f, char *buffer, int dataSize,
                     int compSize, int numEvents, VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  cacheInfo *ci = context->cacheInfo;
  const std::string path = cachePath(ci, f->fileName);
  // Only this writer appends while it holds the file, so the file ends at currSize.
  const long o = loadFlag(f->currSize);
  formatRecordHeader(buffer, dataSize, compSize, numEvents);
  const std::size_t length = static_cast<std::size_t>(compSize) + kRecordHeaderSize;
  auto cutBack = [&]() {
    std::clearerr(f->fp);
    fs::seek(f->fp, o, SEEK_SET);
    fs::truncate(f->fp, o);
    VELM_FLOW(context, "FLOW: truncated file %s to size %d, currSize = %d", f->fileName, o, f->currSize);
  };
  for (int waited = 0;; waited += 2) {
    if (loadFlag(f->corrupt)) return -1;
    if (fs::write(f->fp, buffer, length) == length) {
      if (fs::flush(f->fp) == 0 && fs::flush(f->fp) == 0 && syncCacheData(context, f->fp) == 0) break;
      const int e = errno;
      if (e != ENOSPC) {
        VELM_RECORD(context, result, 41, path.c_str(), std::strerror(e));
        VELM_TRACE_ERROR(context, "ERROR on fflush on disk cache file %s: %s, errno = %d", path.c_str(),
                         std::strerror(e), e);
        cutBack();
        return -1;
      }
      VELM_FLOW(context, "FLOW: got ENOSPC flushing data record to %s", path.c_str());
    } else {
      const int e = errno;
      if (e != ENOSPC) {
        VELM_RECORD(context, result, 42, path.c_str(), std::strerror(e));
        VELM_TRACE_ERROR(context, "ERROR on write to disk cache file %s: %s, errno = %d", path.c_str(),
                         std::strerror(e), e);
        cutBack();
        return -1;
      }
      VELM_FLOW(context, "FLOW: got ENOSPC writing data rec to %s", path.c_str());
    }
    noteNoDiskSpace(context);
    cutBack();
    if (!budgetLeft(context, waited)) return 1;
    if (loadFlag(ci->shutDown)) return -1;
    {
      CacheLock lock(ci->mutex);
      if (!waitCache(ci, lock, kWaitStep)) return -1;
    }
  }
  if (fs::seek(f->fp, o + static_cast<long>(length), SEEK_SET) != 0)
    VELM_FLOW(context, "FLOW: could NOT seek to pos %d on file %s after write", o + static_cast<long>(length),
              f->fileName);
  if (ci->noDiskSpace) {
    CacheLock lock(ci->mutex);
    if (ci->noDiskSpace.exchange(0) != 0) broadcastCache(ci);
  }
  storeFlag(f->currSize, static_cast<int32_t>(o + static_cast<long>(length)));
  VELM_FLOW(context, "FLOW: wrote record w %d events to file %s whose currSize is now %d", numEvents, f->fileName,
            loadFlag(f->currSize));
  return 0;
}

int cacheMsg(VELM_AuditClientContext *context, int dataSize, const char *data, int numEvents, VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  cacheInfo *ci = context->cacheInfo;
  if (ci == nullptr) {
    VELM_TRACE_EXIT_VALUE(context, "EXIT - disk cache is not enabled");
    return 0;
  }
  VELM_FLOW(context, "FLOW: dataSize = %d", dataSize);
  if (dataSize < 0 || data == nullptr) return -1;
  const unsigned long n = static_cast<unsigned long>(dataSize);
  const unsigned long capacity = n + n / 1000 + 12;
  std::unique_ptr<char[]> buffer(new (std::nothrow) char[kRecordHeaderSize + capacity]);
  if (buffer == nullptr) {
    VELM_RECORD(context, result, 1);
    VELM_TRACE_ERROR(context, "ERROR: cannot malloc");
    return -1;
  }
  VELM_FLOW(context, "FLOW: calling zvelm_compress, dataSize = %d", dataSize);
  unsigned long compSize = capacity;
  const int rc = zvelm_compress(reinterpret_cast<unsigned char *>(buffer.get()) + kRecordHeaderSize, &compSize,
                                reinterpret_cast<const unsigned char *>(data), n);
  if (rc != 0) {
    VELM_RECORD(context, result, 40, rc);
    VELM_TRACE_ERROR(context, "ERROR on compress call: %d", rc);
    return -1;
  }
  VELM_FLOW(context, "FLOW: compSize = %d", static_cast<long>(compSize));
  const bool finite = context->tempStorageFullTimeout != -1;
  int written = -1;
  for (;;) {
    cacheFileInfo *f = nullptr;
    const int sel = selectCacheFile(context, static_cast<int>(compSize) + kRecordHeaderSize, &f, result);
    if (sel == 0) {
      written = writeCacheRecord(context, f, buffer.get(), dataSize, static_cast<int>(compSize), numEvents, result);
      const bool corrupt = written != 0 && loadFlag(f->corrupt) != 0;
      releaseCacheFile(context, f, result);
      if (corrupt) continue;  // a drainer found the file corrupt meanwhile: write it elsewhere
      break;
    }
    if (sel == -1 || !finite) return -1;
    discardEvents(context, numEvents, result);
    return 0;
  }
  if (written == 0) {
    if (context->stats != nullptr)
      context->stats->eventsCached.fetch_add(static_cast<uint64_t>(numEvents), std::memory_order_relaxed);
    return 0;
  }
  if (written == 1 && finite) {
    discardEvents(context, numEvents, result);
    return 0;
  }
  return -1;
}

}  // namespace velm
