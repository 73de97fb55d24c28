// The cache's start-up and tear-down: the control block, the queue of files
// (those earlier processes left, oldest first, then new ones), and the
// writer slots filled at client creation.
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "capis/cache_internal.h"
#include "capis/context.h"
#include "capis/errors.h"
#include "capis/trace.h"
#include "platform/fs.h"

namespace velm {

VELM_TRACE_UNIT("cache_setup");

namespace {

// The number after the last "." of a name, which orders files created in the
// same second; names without one sort first.
long sequenceOf(const char *name) {
  const char *dot = std::strrchr(name, '.');
  if (dot == nullptr) return 0;
  return parseDecimal(dot + 1, 10);
}

bool laterThan(const cacheFileInfo *a, const cacheFileInfo *b) {
  if (a->creationTime != b->creationTime) return a->creationTime > b->creationTime;
  return sequenceOf(a->fileName) > sequenceOf(b->fileName);
}

}  // namespace

void fqPush(fileQ *q, cacheFileInfo *f) {
  cacheFileInfo *head = &q->head;
  f->next = head;
  f->prev = head->prev;
  head->prev->next = f;
  head->prev = f;
}

cacheFileInfo *fqPop(fileQ *q) {
  if (q->size <= 0 || q->head.next == &q->head) return nullptr;
  cacheFileInfo *f = q->head.next;
  f->prev->next = f->next;
  f->next->prev = f->prev;
  f->next = f->prev = nullptr;
  q->size -= 1;
  return f;
}

bool fqLinked(const cacheFileInfo *f) { return f->next != nullptr; }

void retireCacheFileInfo(cacheInfo *ci, cacheFileInfo *f) {
  f->next = ci->retired;
  f->prev = nullptr;
  ci->retired = f;
}

cacheFileInfo *createCacheFileInfo(VELM_AuditClientContext *context, VELM_result *result) {
  auto *f = new (std::nothrow) cacheFileInfo();
  if (f == nullptr) {
    VELM_RECORD(context, result, 1);
    VELM_TRACE_ERROR(context, "ERROR: cannot malloc");
  }
  return f;
}

int freeCacheFileInfo(VELM_AuditClientContext *context, cacheFileInfo *f, VELM_result *) {
  if (f == nullptr) return 0;
  VELM_FLOW(context, "FLOW: freeing cacheFileInfo %x", static_cast<long>(reinterpret_cast<uintptr_t>(f)));
  if (f->fp != nullptr) fs::close(f->fp);
  if (f->fileName != nullptr) {
    VELM_FLOW(context, "FLOW: freeing cacheFileInfo for file %s", f->fileName);
    std::free(f->fileName);
  }
  delete f;
  return 0;
}

int createCacheFileQ(VELM_AuditClientContext *context, VELM_result *result) {
  auto *q = new (std::nothrow) fileQ();
  if (q == nullptr) {
    VELM_RECORD(context, result, 1);
    VELM_TRACE_ERROR(context, "ERROR: cannot malloc");
    return -1;
  }
  q->head.next = q->head.prev = &q->head;
  context->cacheInfo->fileQ = q;
  return 0;
}

int getCreationTime(VELM_AuditClientContext *context, const char *fileName, time_t *creationTime, VELM_result *) {
  VELM_ENTRY_EXIT(context);
  if (fileName == nullptr || creationTime == nullptr) {
    VELM_FLOW(context, "FLOW: fileName or creationTime is NULL");
    return -1;
  }
  std::string copy(fileName);
  cvx_cs cs = context->elementCodeSetHandle;
  char *last = cvx_strrchr(cs, copy.data(), '.');
  if (last == nullptr) {
    VELM_FLOW(context, "FLOW: can't find last dot in fileName");
    return -1;
  }
  *last = '\0';
  VELM_FLOW(context, "FLOW: strPtr = %s", last + 1);
  char *prev = cvx_strrchr(cs, copy.data(), '.');
  if (prev == nullptr) {
    VELM_FLOW(context, "FLOW: can't find next to last dot in fileName");
    return -1;
  }
  const char *stamp = prev + 1;
  VELM_FLOW(context, "FLOW: timestamp = %s", stamp);
  struct tm tm{};
  if (cvx_strptime(cs, nullptr, stamp, "%Y-%m-%d-%H-%M-%S", &tm) == nullptr) {
    VELM_FLOW(context, "FLOW: strpStatus is NULL");
    return -1;
  }
  tm.tm_isdst = -1;
  const time_t t = std::mktime(&tm);
  if (t == -1 || t == 0) {
    VELM_FLOW(context, "FLOW: mktime returned %x", static_cast<long>(t));
    VELM_FLOW(context, "FLOW: sec = %d, min = %d, hour = %d", tm.tm_sec, tm.tm_min, tm.tm_hour);
    VELM_FLOW(context, "FLOW: mday = %d, mon = %d,  year = %d", tm.tm_mday, tm.tm_mon, tm.tm_year);
    return -1;
  }
  *creationTime = t;
  return 0;
}

cacheFileInfo *buildCfInfo(VELM_AuditClientContext *context, fileQ *q, const char *fileName, const char *cacheDir,
                           VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  if (std::strlen(fileName) > 511) return nullptr;
  cacheFileInfo *f = createCacheFileInfo(context, result);
  if (f == nullptr) return nullptr;
  char path[kPathBufferSize];
  std::snprintf(path, sizeof path, "%s%s%s", cacheDir, "/", fileName);
  struct ::stat st{};
  if (fs::statFile(path, &st) != 0) {
    const int e = errno;
    VELM_RECORD(context, result, 57, path, std::strerror(e));
    VELM_TRACE_ERROR(context, "ERROR: can't stat file: %s: %s", path, std::strerror(e));
    freeCacheFileInfo(context, f, result);
    return nullptr;
  }
  f->fileName = strdup(fileName);
  if (f->fileName == nullptr) {
    VELM_RECORD(context, result, 1);
    freeCacheFileInfo(context, f, result);
    return nullptr;
  }
  f->currSize = static_cast<int32_t>(st.st_size);
  if (getCreationTime(context, fileName, &f->creationTime, result) != 0) {
    VELM_FLOW(context, "FLOW: failed to get creation time from fileName: %s", fileName);
    f->creationTime = st.st_ctime;
  }
  std::scoped_lock lock(f->mutex);
  cacheFileInfo *head = &q->head;
  if (head->next == head) {
    VELM_FLOW(context, "FLOW: fileQ->size = 0, linking in first cacheFileInfo");
    fqPush(q, f);
  } else {
    VELM_FLOW(context, "FLOW: fileQ->size = %d, linking in new cacheFileInfo", q->size);
    cacheFileInfo *at = head->next;
    while (at != head && !laterThan(at, f)) at = at->next;
    if (at != head) {
      VELM_FLOW(context, "FLOW: linking cacheFileInfo ahead of another one");
    } else {
      VELM_FLOW(context, "FLOW: linking cacheFileInfo to tail of fileQ");
    }
    f->next = at;
    f->prev = at->prev;
    at->prev->next = f;
    at->prev = f;
  }
  q->size += 1;
  return f;
}

int buildCacheFileQ(VELM_AuditClientContext *context, const char *cacheDir, const char *filePrefix,
                    VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  std::vector<std::string> names;
  if (fs::listDir(cacheDir, names) != 0) {
    const int e = errno;
    VELM_RECORD(context, result, 56, cacheDir, std::strerror(e));
    VELM_TRACE_ERROR(context, "ERROR: cannot open directory %s: %s\n", cacheDir, std::strerror(e));
    return -1;
  }
  const std::size_t prefixLen = std::strlen(filePrefix);
  fileQ *q = context->cacheInfo->fileQ;
  for (const std::string &name : names) {
    if (name.compare(0, prefixLen, filePrefix) != 0 || name.size() < prefixLen) continue;
    if (name.find("corrupt") != std::string::npos) continue;
    VELM_FLOW(context, "FLOW: buildCfInfo for file %s", name.c_str());
    if (buildCfInfo(context, q, name.c_str(), cacheDir, result) == nullptr) return -1;
  }
  for (cacheFileInfo *f = q->head.next; f != &q->head; f = f->next)
    VELM_FLOW(context, "FLOW: Q-entry for file %s, ctime = %x", f->fileName, static_cast<long>(f->creationTime));
  return 0;
}

int initDiskCache(VELM_AuditClientContext *context, VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  context->cacheInfo = nullptr;
  if (context->useDiskCache == 0) {
    VELM_TRACE_EXIT_VALUE(context, "EXIT - the optional disk cache is not enabled");
    return 0;
  }
  if (context->diskCachePath == nullptr) {
    VELM_RECORD(context, result, 6, "diskCachePath");
    VELM_TRACE_ERROR(context, "ERROR - the %s property is missing", "diskCachePath");
    return -1;
  }
  auto *ci = new (std::nothrow) cacheInfo();
  if (ci == nullptr) {
    VELM_RECORD(context, result, 1);
    VELM_TRACE_ERROR(context, "ERROR: cannot malloc");
    return -1;
  }
  // Proves the path can be created here before any event depends on it.
  FILE *probe = fs::open(context->diskCachePath, "ab+");
  if (probe == nullptr) {
    const int e = errno;
    delete ci;
    VELM_RECORD(context, result, 38, context->diskCachePath, std::strerror(e));
    VELM_TRACE_ERROR(context, "ERROR on open of disk cache file %s: %s, code: %d", context->diskCachePath,
                     std::strerror(e), e);
    return -1;
  }
  fs::close(probe);
  fs::remove(context->diskCachePath);
  context->cacheInfo = ci;
  auto fail = [&]() {
    VELM_result local{0, 0, nullptr};
    freeCacheInfo(context, &local);
    VELM_Result_Clean(&local);
    return -1;
  };
  if (createCacheFileQ(context, result) != 0) return fail();
  char *copy = strdup(context->diskCachePath);
  if (copy == nullptr) {
    VELM_RECORD(context, result, 1);
    return fail();
  }
  char *slash = cvx_strrchr(context->elementCodeSetHandle, copy, '/');
  if (slash == nullptr) {
    std::free(copy);
    VELM_RECORD(context, result, 7, "diskCachePath", context->diskCachePath);
    VELM_TRACE_ERROR(context, "ERROR - invalid %s property value: %s, not a valid pathname", "diskCachePath",
                     context->diskCachePath);
    return fail();
  }
  *slash = '\0';
  ci->cacheDir = copy;
  ci->filePrefix = slash + 1;
  if (buildCacheFileQ(context, ci->cacheDir, ci->filePrefix, result) != 0) return fail();
  return 0;
}

int setupCacheFiles(VELM_AuditClientContext *context, VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  cacheInfo *ci = context->cacheInfo;
  if (ci == nullptr) return 0;
  const int n = context->numberEQThreads > 0 ? context->numberEQThreads : 1;
  auto *slots = new (std::nothrow) cacheFileInfo *[static_cast<std::size_t>(n)]();
  if (slots == nullptr) {
    VELM_RECORD(context, result, 1);
    VELM_TRACE_ERROR(context, "ERROR: cannot malloc");
    return -1;
  }
  CacheLock lock(ci->mutex);
  ci->cacheFiles = slots;
  ci->cacheFilesSize = n;
  VELM_FLOW(context, "FLOW: cacheFilesSize = %d", n);
  for (int s = 0; s < n; ++s) {
    VELM_result local{0, 0, nullptr};
    createCacheFile(context, lock, s, 0, &local);  // an empty slot is filled by its first writer
    VELM_Result_Clean(&local);
  }
  return 0;
}

int freeCacheInfo(VELM_AuditClientContext *context, VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  cacheInfo *ci = context->cacheInfo;
  if (ci == nullptr) {
    VELM_TRACE_EXIT_VALUE(context, "EXIT - optional disk cache is not enabled");
    return 0;
  }
  {
    std::scoped_lock lock(ci->mutex);
    storeFlag(ci->shutDown, 1);
    broadcastCache(ci);
    if (ci->numCMThreads > 0) {
      // A manager thread outlived the client's deletion (a send that hangs):
      // it still reaches the block, so the block stays allocated.
      VELM_TRACE_ERROR(context, "ERROR: %d disk cache manager threads still running; cache state kept",
                       ci->numCMThreads);
      context->cacheInfo = nullptr;
      return 0;
    }
  }
  if (ci->fileQ != nullptr) {
    // Records that left the queue but sat in a slot are freed with the slots.
    for (int s = 0; s < ci->cacheFilesSize; ++s) {
      cacheFileInfo *f = ci->cacheFiles[s];
      if (f != nullptr && !fqLinked(f)) freeCacheFileInfo(context, f, result);
    }
    while (cacheFileInfo *f = fqPop(ci->fileQ)) freeCacheFileInfo(context, f, result);
    delete ci->fileQ;
  }
  while (cacheFileInfo *f = ci->retired) {
    ci->retired = f->next;
    freeCacheFileInfo(context, f, result);
  }
  delete[] ci->cacheFiles;
  std::free(ci->cacheDir);
  delete ci;
  context->cacheInfo = nullptr;
  return 0;
}

}  // namespace velm
