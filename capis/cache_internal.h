// Internals of the disk cache shared by its units: the file and record
// layout, the reader, the writer's steps, the file queue and the manager
// threads. Callers outside the cache use disk_cache.h.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <string>

#include "capis/disk_cache.h"

namespace velm {

// ---- Layout --------------------------------------------------------------

// The 10-digit checkpoint at the head of every file; a fresh file is only this.
inline constexpr int kCheckpointWidth = 10;
inline constexpr int kFirstRecordOffset = 10;
inline constexpr int kRecordHeaderSize = 32;
inline constexpr int kPathBufferSize = 512;
// zlib never expands data by more than this factor, so a header claiming a
// larger ratio cannot come from the writer.
inline constexpr long kMaxInflateRatio = 1032;

// Fields shared by several threads, read without the lock that guards their
// writes (flags the writer tests between attempts, sizes a tailing reader
// polls). Every access goes through these so the accesses are atomic.
inline int32_t loadFlag(int32_t &field) {
  return std::atomic_ref<int32_t>(field).load(std::memory_order_acquire);
}
inline void storeFlag(int32_t &field, int32_t value) {
  std::atomic_ref<int32_t>(field).store(value, std::memory_order_release);
}

// Waits up to d on cacheInfo.cond for a broadcast of broadcastCache or for
// shutDown. False when shutDown is set. Caller holds lock on cacheInfo.mutex.
inline bool waitCache(cacheInfo *ci, std::unique_lock<std::mutex> &lock, std::chrono::seconds d) {
  const uint32_t seen = ci->broadcasts;
  ci->cond.wait_for(lock, d, [&] { return loadFlag(ci->shutDown) != 0 || ci->broadcasts != seen; });
  return loadFlag(ci->shutDown) == 0;
}
// Wakes every waiter of cacheInfo.cond. Caller holds cacheInfo.mutex.
inline void broadcastCache(cacheInfo *ci) {
  ci->broadcasts += 1;
  ci->cond.notify_all();
}

// cacheDir "/" name, cut at 511 characters.
std::string cachePath(const cacheInfo *ci, const char *name);
// "%c%c%c%c%0*ld:%0*ld:%0*ld:" cut to 32 bytes, so byte 31 is the NUL.
void formatRecordHeader(char *header, long dataSize, long compSize, long numEvents);
// Decimal digits from text, stopping at the first non-digit (at most width).
long parseDecimal(const char *text, int width);

// With cacheSync "yes": makes what was flushed to fp durable (fdatasync).
// 0, or -1 with errno set. A no-op returning 0 otherwise.
int syncCacheData(VELM_AuditClientContext *context, FILE *fp);
// With cacheSync "yes": makes a create, rename or remove in the cache
// directory durable. Failures are traced only: the file operation itself
// has already happened.
void syncCacheDir(VELM_AuditClientContext *context);

// ---- Reader (cache_file.cc) ---------------------------------------------

// One record read back, reused from record to record of a drain.
struct cacheRecord {
  int32_t numEvents = 0;
  int32_t compSize = 0;
  std::string compBuf;   // payload as read
  uint32_t dataSize = 0; // from the header, then the length produced
  std::string dataBuf;   // uncompressed batch text
  int32_t status = 0;    // kRec* below
};
inline constexpr int kRecOk = 0;
inline constexpr int kRecShutDown = 1;
inline constexpr int kRecReadError = 2;
inline constexpr int kRecEndOfData = 3;
inline constexpr int kRecCorrupt = 4;
inline constexpr int kRecNoMemory = 5;
inline constexpr int kRecUncompressFailed = 6;

// The checks every reader makes of a record header, apart from I/O: the
// signature, and sizes a writer could have produced with the payload lying
// wholly within room bytes after the header. Null with the sizes filled in,
// or what is wrong ("bad signature", "impossible sizes", "payload cut short").
const char *checkRecordHeader(const char *hdr, long room, long &dataSize, long &compSize, int32_t &numEvents);
// Uncompresses rec.compBuf (rec.compSize bytes) into rec.dataBuf, which ends
// up dataSize bytes at most; sets rec.dataSize. The compressor's code: 0 on
// success. Throws std::bad_alloc.
int uncompressRecord(cacheRecord &rec, long dataSize);

// 0 positioned at the checkpoint; -1 nothing to drain (a file cut inside its
// checkpoint); -2 the checkpoint lies outside the file (before the first
// record or past its end), which makes the file corrupt rather than drained;
// -3 an I/O error, after which the file is kept for a later run.
int seekToNextEvent(VELM_AuditClientContext *context, FILE *file, VELM_result *result);
int updateReadPos(VELM_AuditClientContext *context, FILE *file, cacheFileInfo *f, VELM_result *result);
int handleCorruptedCacheFile(VELM_AuditClientContext *context, cacheFileInfo *f, VELM_result *result);
// Reads the record at the current position. On a corrupt file the reader
// closes file (and nulls it) before renaming the file.
int getEventRec(VELM_AuditClientContext *context, cacheFileInfo *f, FILE *&file, cacheRecord &rec, int block,
                VELM_result *result);

// ---- Writer (cache_writer.cc) -------------------------------------------

using CacheLock = std::unique_lock<std::mutex>;

int selectCacheFile(VELM_AuditClientContext *context, int needed, cacheFileInfo **f, VELM_result *result);
int getNextSlot(VELM_AuditClientContext *context, VELM_result *result);
// The caller holds cacheInfo.mutex through lock; released while waiting for
// another writer so that the holder can always reach cacheInfo.
cacheFileInfo *acquireCacheFile(VELM_AuditClientContext *context, CacheLock &lock, int slot,
                                VELM_result *result);
int releaseCacheFile(VELM_AuditClientContext *context, cacheFileInfo *f, VELM_result *result);
int acquireCreationFlag(VELM_AuditClientContext *context, CacheLock &lock, VELM_result *result);
// The new (or already present) file of the slot, or null. Caller holds lock.
cacheFileInfo *createCacheFile(VELM_AuditClientContext *context, CacheLock &lock, int slot, int block,
                               VELM_result *result);
// When it waits (block 1) the caller holds cacheInfo.mutex through lock.
FILE *openCacheFile(VELM_AuditClientContext *context, CacheLock *lock, const char *path, int block,
                    const char *mode, VELM_result *result);
int writeCacheRecord(VELM_AuditClientContext *context, cacheFileInfo *f, char *buffer, int dataSize,
                     int compSize, int numEvents, VELM_result *result);
int reportMaxCacheFiles(VELM_AuditClientContext *context, VELM_result *result);
int reportNoDiskSpace(VELM_AuditClientContext *context, VELM_result *result);
int reportNoFileHandles(VELM_AuditClientContext *context, int errorNumber, VELM_result *result);
// Sets shutDown and wakes every waiter of the cache (cacheInfo.cond and the
// cond of every file in a writer slot).
void shutDownCache(VELM_AuditClientContext *context);

// ---- File queue and start-up (cache_setup.cc) ---------------------------

int createCacheFileQ(VELM_AuditClientContext *context, VELM_result *result);
int buildCacheFileQ(VELM_AuditClientContext *context, const char *cacheDir, const char *filePrefix,
                    VELM_result *result);
cacheFileInfo *buildCfInfo(VELM_AuditClientContext *context, fileQ *q, const char *fileName,
                           const char *cacheDir, VELM_result *result);
int getCreationTime(VELM_AuditClientContext *context, const char *fileName, time_t *creationTime,
                    VELM_result *result);
cacheFileInfo *createCacheFileInfo(VELM_AuditClientContext *context, VELM_result *result);
int freeCacheFileInfo(VELM_AuditClientContext *context, cacheFileInfo *f, VELM_result *result);
// Appends without touching size (the creator counted it already).
void fqPush(fileQ *q, cacheFileInfo *f);
// Unlinks the first record and subtracts 1 from size; null when size <= 0.
cacheFileInfo *fqPop(fileQ *q);
bool fqLinked(const cacheFileInfo *f);
// Keeps a record that left fileQ but that a waiting writer may still reach
// until freeCacheInfo. Caller holds cacheInfo.mutex.
void retireCacheFileInfo(cacheInfo *ci, cacheFileInfo *f);

// ---- Manager threads (cache_manager.cc) ---------------------------------

void cacheManager(VELM_AuditClientContext *context);
cacheFileInfo *getNextCacheFile(VELM_AuditClientContext *context, VELM_result *result);
int drainCacheFile(VELM_AuditClientContext *context, cacheFileInfo *f, VELM_result *result);
int waitForServerAvail(VELM_AuditClientContext *context, VELM_result *result);
int bindToServer(VELM_AuditClientContext *context, VELM_result *result);
int dequeueFileInfo(VELM_AuditClientContext *context, fileQ *q, cacheFileInfo *f, VELM_result *result);
int deleteCacheFile(VELM_AuditClientContext *context, const char *fileName, VELM_result *result);

// The two transport calls the manager threads make, through this table so
// tests and benchmarks can stand in for the server; a null entry puts the
// real transport call back.
struct CacheTransport {
  int (*checkService)(VELM_AuditClientContext *context, VELM_result *result) = nullptr;
  int (*sendMsg)(VELM_AuditClientContext *context, int dataSize, const char *data, VELM_result *result) = nullptr;
};
void setCacheTransport(const CacheTransport &transport);
CacheTransport cacheTransport();

}  // namespace velm
