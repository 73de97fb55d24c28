// The disk cache: its shared control block, the queue of cache files, and the
// operations the event queue and the transport call into.
//
// Lock order when more than one is held: the event queue's lock, then
// cacheInfo::mutex, then a cacheFileInfo::mutex.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <mutex>

#include "velm.h"

namespace velm {

// One cache file this process knows of.
struct cacheFileInfo {
  cacheFileInfo *next = nullptr;
  cacheFileInfo *prev = nullptr;
  std::mutex mutex;             // guards inUse, beingDrained, the roll-over of fp, waits on cond
  std::condition_variable cond; // broadcast when a writer releases the file, and at shut-down
  char *fileName = nullptr;     // name within cacheDir
  int32_t currSize = 0;         // bytes written and flushed, header included
  int32_t beingWritten = 0;     // sits in a writer slot
  int32_t beingDrained = 0;     // a manager thread owns it
  int32_t drainDone = 0;        // the owner has finished with it
  int32_t deleteFile = 0;       // remove from disk when it leaves the queue
  int32_t inUse = 0;            // a writer holds it for one record
  int32_t corrupt = 0;          // found corrupt and renamed
  time_t creationTime = 0;      // from the file name, or the file's status-change time
  int32_t readCheckPoint = 0;   // offset of the first record not yet delivered
  FILE *fp = nullptr;           // the writer's handle; null when not in a slot
  int32_t waiters = 0;          // writers waiting on cond for inUse; guarded by mutex
};

// The files to drain: a circular doubly-linked list around a sentinel.
struct fileQ {
  cacheFileInfo head;   // sentinel: null fileName, links to itself when empty
  int32_t size = 0;     // linked records plus places reserved by a creation in progress
};

// The cache control block of one context; null when the cache is not enabled.
// Waits on cond are timed, with steady_clock deadlines.
struct cacheInfo {
  std::mutex mutex;              // guards every field below and the links of fileQ
  std::condition_variable cond;  // broadcast whenever waiting threads may go on
  int32_t shutDown = 0;          // set once by client deletion
  // The transport caches every batch while serverDown or serverSlow is set.
  // They are read without the mutex on the send path, hence atomic.
  std::atomic<int32_t> serverDown{0};  // server unreachable
  std::atomic<int32_t> serverSlow{0};  // event queue backed up ("auto")
  int32_t noFileHandles = 0;
  int32_t maxFiles = 0;
  std::atomic<int32_t> noDiskSpace{0};
  int32_t serverBeingChecked = 0;  // one thread is polling the server
  int32_t creationFlag = 0;        // one thread is creating a cache file
  velm::fileQ *fileQ = nullptr;
  int32_t nextSlot = 0;
  cacheFileInfo **cacheFiles = nullptr;  // writer slots (records belong to fileQ)
  int32_t cacheFilesSize = 0;            // == numberEQThreads
  char *cacheDir = nullptr;              // diskCachePath up to its last "/"
  char *filePrefix = nullptr;            // the rest, in the same buffer as cacheDir
  int32_t numDiscardedEvents = 0;        // discarded since the last report
  int32_t numCMThreads = 0;              // manager threads running
  // Records off fileQ that a waiting writer may still reach; freed with the block.
  cacheFileInfo *retired = nullptr;
  uint32_t broadcasts = 0;  // counts broadcasts of cond, so a waiter can tell one from a time-out
};

// Context creation: checks diskCachePath and queues the files earlier
// processes left behind. Sets context->cacheInfo (null for "never"). 0 or -1.
int initDiskCache(VELM_AuditClientContext *context, VELM_result *result);
// Context deletion, after the client has stopped every thread. 0.
int freeCacheInfo(VELM_AuditClientContext *context, VELM_result *result);
// Client creation: one new cache file per writer slot. 0 or -1.
int setupCacheFiles(VELM_AuditClientContext *context, VELM_result *result);
// Starts one cache manager thread if fewer than numberCMThreads were started. 0 or -1.
int startCMThread(VELM_AuditClientContext *context, VELM_result *result);

// Appends one batch string (dataSize bytes, numEvents events) as one record.
// 0 written (or discarded and counted within a finite tempStorageFullTimeout), -1 neither.
int cacheMsg(VELM_AuditClientContext *context, int dataSize, const char *data, int numEvents,
             VELM_result *result);

// Counts events thrown away: on the cache's counter, or on the event queue's
// when there is no cache. 0 or -1.
int discardEvents(VELM_AuditClientContext *context, int numEvents, VELM_result *result);
// Takes and resets that counter; a non-zero count records message 66
// (shuttingDown 0) or 67 (shuttingDown 1). 0 or -1.
int reportDiscardedEvents(VELM_AuditClientContext *context, int shuttingDown, VELM_result *result);

}  // namespace velm
