// Cache files: the record layout, the reader that validates records, and the
// renaming of files found corrupt.
//
// A file is "0000000010" (the checkpoint: offset of the first record not yet
// delivered) followed by records: a 32-byte text header
// "Xrec" dataSize(10) ":" compSize(10) ":" numEvents(5) NUL, then compSize
// bytes of compressed batch text.
#include <cerrno>
#include <chrono>
#include <cstring>
#include <new>

#include "capis/cache_internal.h"
#include "capis/context.h"
#include "capis/errors.h"
#include "capis/trace.h"
#include "platform/compress.h"
#include "platform/fs.h"

namespace velm {

VELM_TRACE_UNIT("cache_file");

namespace {

constexpr int kPayloadAttempts = 10;

const char *diskCachePath(VELM_AuditClientContext *context) {
  return context->diskCachePath != nullptr ? context->diskCachePath : "";
}

}  // namespace

std::string cachePath(const cacheInfo *ci, const char *name) {
  char buf[kPathBufferSize];
  std::snprintf(buf, sizeof buf, "%s%s%s", ci->cacheDir, "/", name);
  return buf;
}

int syncCacheData(VELM_AuditClientContext *context, FILE *fp) {
  if (!context->cacheSync) return 0;
  return fs::syncData(fp);
}

void syncCacheDir(VELM_AuditClientContext *context) {
  if (!context->cacheSync || context->cacheInfo == nullptr) return;
  const char *dir = context->cacheInfo->cacheDir;
  // A path like "/batch" leaves an empty directory part: the root.
  if (fs::syncDir(dir != nullptr && dir[0] != '\0' ? dir : "/") != 0) {
    const int e = errno;
    VELM_TRACE_ERROR(context, "ERROR on sync of disk cache directory %s: %s, errno = %d", dir, std::strerror(e), e);
  }
}

void formatRecordHeader(char *header, long dataSize, long compSize, long numEvents) {
  // The format yields 33 characters with its final ":"; the bound of 32 cuts
  // it, so byte 31 is the terminating NUL. Readers rely on nothing past 30.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-truncation"
  std::snprintf(header, kRecordHeaderSize, "%c%c%c%c%0*ld:%0*ld:%0*ld:", 'X', 'r', 'e', 'c', 10, dataSize, 10,
                compSize, 5, numEvents);
#pragma GCC diagnostic pop
}

long parseDecimal(const char *text, int width) {
  long v = 0;
  for (int i = 0; i < width && text[i] >= '0' && text[i] <= '9'; ++i) v = v * 10 + (text[i] - '0');
  return v;
}

const char *checkRecordHeader(const char *hdr, long room, long &dataSize, long &compSize, int32_t &numEvents) {
  dataSize = parseDecimal(hdr + 4, 10);
  compSize = parseDecimal(hdr + 15, 10);
  numEvents = static_cast<int32_t>(parseDecimal(hdr + 26, 5));
  if (std::memcmp(hdr, "Xrec", 4) != 0) return "bad signature";
  // Damaged sizes must not turn into huge allocations: the compressor never
  // expands more than kMaxInflateRatio times.
  if (dataSize > (compSize + 1) * kMaxInflateRatio || dataSize >= INT32_MAX) return "impossible sizes";
  if (compSize > room) return "payload cut short";
  return nullptr;
}

int uncompressRecord(cacheRecord &rec, long dataSize) {
  unsigned long len = static_cast<unsigned long>(dataSize);
  rec.dataBuf.assign(static_cast<std::size_t>(dataSize) + 1, '\0');
  const int rc = zvelm_uncompress(reinterpret_cast<unsigned char *>(rec.dataBuf.data()), &len,
                                  reinterpret_cast<const unsigned char *>(rec.compBuf.data()),
                                  static_cast<unsigned long>(rec.compSize));
  if (rc != 0) return rc;
  rec.dataBuf.resize(len);
  rec.dataSize = static_cast<uint32_t>(len);
  return 0;
}

int seekToNextEvent(VELM_AuditClientContext *context, FILE *file, VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  auto seekFailed = [&](int e) {
    VELM_RECORD(context, result, 45, diskCachePath(context), std::strerror(e));
    VELM_TRACE_ERROR(context, "ERROR on fseek of disk cache file %s: %s, errno = %d", diskCachePath(context),
                     std::strerror(e), e);
  };
  if (fs::seek(file, 0, SEEK_SET) != 0) {
    seekFailed(errno);
    return -3;
  }
  char ckpt[kCheckpointWidth];
  const std::size_t n = fs::read(file, ckpt, sizeof ckpt);
  if (n < sizeof ckpt) {
    if (fs::readFailed(file)) {
      const int e = errno;
      VELM_RECORD(context, result, 43, diskCachePath(context), std::strerror(e));
      VELM_TRACE_ERROR(context, "ERROR on read of disk cache file %s: %s, errno = %d", diskCachePath(context),
                       std::strerror(e), e);
      return -3;
    }
    return -1;  // empty or cut inside the checkpoint: nothing to drain
  }
  const long offset = parseDecimal(ckpt, kCheckpointWidth);
  // A checkpoint outside the file would read as "end of data" and get the
  // file deleted with its records; the caller renames it as corrupt instead.
  long length = -1;
  if (fs::seek(file, 0, SEEK_END) == 0) length = fs::tell(file);
  if (length >= 0 && (offset < kFirstRecordOffset || offset > length)) {
    VELM_FLOW(context, "FLOW: checkpoint %d lies outside the file of %d bytes", offset, length);
    return -2;
  }
  if (fs::seek(file, offset, SEEK_SET) != 0) {
    seekFailed(errno);
    fs::seek(file, 0, SEEK_END);
    return -3;
  }
  VELM_FLOW(context, "FLOW: have successfully seeked to offset %d", offset);
  return 0;
}

int updateReadPos(VELM_AuditClientContext *context, FILE *file, cacheFileInfo *f, VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  const long pos = fs::tell(file);
  VELM_FLOW(context, "FLOW: readCheckPoint for file %s = %d, currPos = %d", f->fileName, f->readCheckPoint, pos);
  if (fs::seek(file, 0, SEEK_SET) != 0) {
    fs::seek(file, pos, SEEK_SET);
    return -1;
  }
  char ckpt[32];
  std::snprintf(ckpt, sizeof ckpt, "%0*ld", kCheckpointWidth, static_cast<long>(f->readCheckPoint));
  if (fs::write(file, ckpt, kCheckpointWidth) != static_cast<std::size_t>(kCheckpointWidth)) {
    std::clearerr(file);
    fs::seek(file, pos, SEEK_SET);
    return -1;
  }
  if (fs::flush(file) != 0 || fs::flush(file) != 0 || syncCacheData(context, file) != 0) {
    const int e = errno;
    const std::string path = cachePath(context->cacheInfo, f->fileName);
    VELM_RECORD(context, result, 41, path.c_str(), std::strerror(e));
    VELM_TRACE_ERROR(context, "ERROR on fflush on disk cache file %s: %s, errno = %d", path.c_str(),
                     std::strerror(e), e);
    std::clearerr(file);
  }
  fs::seek(file, pos, SEEK_SET);
  return 0;
}

int handleCorruptedCacheFile(VELM_AuditClientContext *context, cacheFileInfo *f, VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  cacheInfo *ci = context->cacheInfo;
  {
    std::scoped_lock lock(f->mutex);
    storeFlag(f->corrupt, 1);  // writers give the file up at their next attempt
  }
  const std::string path = cachePath(ci, f->fileName);
  VELM_RECORD(context, result, 51, path.c_str());
  VELM_TRACE_ERROR(context, "ERROR: disk cache file %s is corrupt", path.c_str());
  char newName[kPathBufferSize];
  for (int n = 1; n <= 10001; ++n) {
    std::snprintf(newName, sizeof newName, "%s%s%s.corrupt%d", ci->cacheDir, "/", f->fileName, n);
    if (fs::exists(newName)) continue;
    {
      // The writer's handle is closed only once no writer is inside a write:
      // a holder of inUse sees corrupt before its next attempt and lets go.
      std::unique_lock lock(f->mutex);
      while (!f->cond.wait_for(lock, std::chrono::seconds(2), [&] { return f->inUse == 0; })) {
      }
      if (f->fp != nullptr) {
        fs::close(f->fp);
        f->fp = nullptr;
      }
    }
    VELM_FLOW(context, "renaming corrupt disk cache file %s to %s", path.c_str(), newName);
    if (fs::rename(path.c_str(), newName) != 0) {
      VELM_TRACE_ERROR(context, "ERROR: cannot rename %s to %s: %s\n", path.c_str(), newName, std::strerror(errno));
    } else {
      syncCacheDir(context);
    }
    return 0;
  }
  VELM_TRACE_ERROR(context, "ERROR: could not rename the corrupted disk cache file to %s", newName);
  return -1;
}

int getEventRec(VELM_AuditClientContext *context, cacheFileInfo *f, FILE *&file, cacheRecord &rec, int block,
                VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  cacheInfo *ci = context->cacheInfo;
  const std::string path = cachePath(ci, f->fileName);
  auto corrupt = [&](int status) {
    fs::close(file);
    file = nullptr;
    handleCorruptedCacheFile(context, f, result);
    rec.status = status;
    return -1;
  };
  const long o = fs::tell(file);
  VELM_FLOW(context, "FLOW: about to read header record in file %s at position %d", f->fileName, o);
  char hdr[kRecordHeaderSize];
  for (;;) {
    bool cutHeader = false;
    if (o < loadFlag(f->currSize)) {
      const std::size_t n = fs::read(file, hdr, sizeof hdr);
      if (n == sizeof hdr) break;
      if (fs::readFailed(file)) {
        const int e = errno;
        VELM_RECORD(context, result, 43, path.c_str(), std::strerror(e));
        return corrupt(kRecReadError);
      }
      VELM_FLOW(context, "FLOW: have reached end of file on %s", f->fileName);
      std::clearerr(file);
      if (n > 0) fs::seek(file, o, SEEK_SET);
      cutHeader = true;
    }
    if (block == 0) {
      rec.status = kRecEndOfData;
      VELM_FLOW(context, "FLOW: EOF reached on %s; block = 0, returning", f->fileName);
      return -1;
    }
    if (loadFlag(f->beingWritten)) {
      if (loadFlag(ci->shutDown)) {
        rec.status = kRecShutDown;
        return -1;
      }
      updateReadPos(context, file, f, result);
      VELM_FLOW(context, "FLOW: waiting for data to be written to cache file %s", f->fileName);
      {
        std::unique_lock lock(f->mutex);
        f->cond.wait_for(lock, std::chrono::seconds(5), [&] {
          return loadFlag(ci->shutDown) || loadFlag(f->currSize) > o || !loadFlag(f->beingWritten);
        });
      }
      if (loadFlag(ci->shutDown)) {
        VELM_FLOW(context, "FLOW: cacheInfo->shutDown has been set");
        rec.status = kRecShutDown;
        return -1;
      }
      continue;
    }
    // No longer written: fewer than 32 bytes below its size can never become
    // a record (a file cut by a crash), so it ends here instead of looping.
    if (cutHeader) {
      VELM_FLOW(context, "FLOW: fewer than %d bytes left for a record header in %s", kRecordHeaderSize,
                f->fileName);
      return corrupt(kRecCorrupt);
    }
    if (o < loadFlag(f->currSize)) continue;
    rec.status = kRecEndOfData;
    VELM_FLOW(context, "FLOW: EOF reached on %s; not being written, returning", f->fileName);
    return -1;
  }

  // A record lies wholly below currSize: the writer counts a record only
  // once it is on disk.
  const long room = static_cast<long>(loadFlag(f->currSize)) - o - kRecordHeaderSize;
  long dataSize = 0;
  long compSize = 0;
  if (const char *wrong = checkRecordHeader(hdr, room, dataSize, compSize, rec.numEvents)) {
    VELM_FLOW(context, "FLOW: header record at %d: %s (dataSize = %d, compSize = %d, room = %d)", o, wrong,
              dataSize, compSize, room);
    return corrupt(kRecCorrupt);
  }
  VELM_FLOW(context, "FLOW: hdr rec signature is correct, compSize = %d, #events = %d", compSize, rec.numEvents);
  rec.compSize = static_cast<int32_t>(compSize);
  try {
    rec.compBuf.resize(static_cast<std::size_t>(compSize) + 1);
  } catch (const std::bad_alloc &) {
    VELM_RECORD(context, result, 1);
    VELM_TRACE_ERROR(context, "ERROR: cannot malloc");
    rec.status = kRecNoMemory;
    return -1;
  }
  long got = 0;
  for (int attempt = 0;; ++attempt) {
    if (loadFlag(ci->shutDown)) {
      fs::seek(file, o, SEEK_SET);
      VELM_FLOW(context, "FLOW: cacheInfo->shutDown has been set");
      rec.status = kRecShutDown;
      return -1;
    }
    if (attempt == kPayloadAttempts) {
      VELM_FLOW(context, "FLOW: could not read data record after several attempts");
      return corrupt(kRecCorrupt);
    }
    got += static_cast<long>(fs::read(file, rec.compBuf.data() + got, static_cast<std::size_t>(compSize - got)));
    if (got == compSize) break;
    if (fs::readFailed(file)) {
      const int e = errno;
      VELM_RECORD(context, result, 43, diskCachePath(context), std::strerror(e));
      return corrupt(kRecReadError);
    }
    std::clearerr(file);
    VELM_FLOW(context, "FLOW: read header rec, then end of file reached");
  }
  int rc = 0;
  try {
    rc = uncompressRecord(rec, dataSize);
  } catch (const std::bad_alloc &) {
    VELM_RECORD(context, result, 1);
    VELM_TRACE_ERROR(context, "ERROR: cannot malloc");
    rec.status = kRecNoMemory;
    return -1;
  }
  if (rc != 0) {
    VELM_RECORD(context, result, 46, rc);
    VELM_TRACE_ERROR(context, "ERROR on uncompress call: %d", rc);
    return corrupt(kRecUncompressFailed);
  }
  VELM_FLOW(context, "FLOW: uncompressed data record from %s w %d events, size = %d", f->fileName, rec.numEvents,
            static_cast<long>(rec.dataSize));
  rec.status = kRecOk;
  return 0;
}

}  // namespace velm
