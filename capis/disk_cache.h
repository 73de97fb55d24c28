// The disk cache: its shared control block, the queue of cache files, and the
// operations the event queue and the transport call into.
//
// Lock order when more than one is held: the event queue's lock, then
// cacheInfo::mutex, then a cacheFileInfo::mutex.
#pragma once

#include <pthread.h>

#include <cstdint>
#include <cstdio>
#include <ctime>

#include "velm.h"

namespace velm {

// One cache file this process knows of.
struct cacheFileInfo {
  cacheFileInfo *next;
  cacheFileInfo *prev;
  pthread_mutex_t mutex;  // guards inUse, beingDrained, the roll-over of fp, waits on cond
  pthread_cond_t cond;    // broadcast when a writer releases the file, and at shut-down
  char *fileName;         // name within cacheDir
  int32_t currSize;       // bytes written and flushed, header included
  int32_t beingWritten;   // sits in a writer slot
  int32_t beingDrained;   // a manager thread owns it
  int32_t drainDone;      // the owner has finished with it
  int32_t deleteFile;     // remove from disk when it leaves the queue
  int32_t inUse;          // a writer holds it for one record
  int32_t corrupt;        // found corrupt and renamed
  time_t creationTime;    // from the file name, or the file's status-change time
  int32_t readCheckPoint; // offset of the first record not yet delivered
  FILE *fp;               // the writer's handle; null when not in a slot
};

// The files to drain: a circular doubly-linked list around a sentinel.
struct fileQ {
  cacheFileInfo head;  // sentinel: null fileName, links to itself when empty
  int32_t size;        // linked records plus places reserved by a creation in progress
};

// The cache control block of one context; null when the cache is not enabled.
struct cacheInfo {
  pthread_mutex_t mutex;  // guards every field below and the links of fileQ
  pthread_cond_t cond;    // broadcast whenever waiting threads may go on
  int32_t shutDown;       // set once by client deletion
  int32_t serverDown;     // server unreachable; the transport caches every batch
  int32_t serverSlow;     // event queue backed up ("auto"); the transport caches every batch
  int32_t noFileHandles;
  int32_t maxFiles;
  int32_t noDiskSpace;
  int32_t serverBeingChecked;  // one thread is polling the server
  int32_t creationFlag;        // one thread is creating a cache file
  velm::fileQ *fileQ;
  int32_t nextSlot;
  cacheFileInfo **cacheFiles;  // writer slots (records belong to fileQ)
  int32_t cacheFilesSize;      // == numberEQThreads
  char *cacheDir;              // diskCachePath up to its last "/"
  char *filePrefix;            // the rest, in the same buffer as cacheDir
  int32_t numDiscardedEvents;  // discarded since the last report
  int32_t numCMThreads;        // manager threads running
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
