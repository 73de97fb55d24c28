// The cache writer on one thread: the record it appends, roll-over, the file
// limit, and full or failing disks through the file-system seam.
#include <cstring>

#include "capis/cache_support.h"

namespace {

using namespace velm_test;

class CacheWriterTest : public CacheTest {
 protected:
  void make(int timeout, int maxFileSize = 1000000, int maxFiles = 10, int slots = 1, const char *sync = "no") {
    Props p = props();
    p.str("cacheSync", sync)
        .num("tempStorageFullTimeout", timeout)
        .num("maxCacheFileSize", maxFileSize)
        .num("maxCacheFiles", maxFiles)
        .num("numberEQThreads", slots);
    ASSERT_NE(create(p), nullptr) << firstCode();
    ASSERT_EQ(velm::setupCacheFiles(ctx, &result), 0);
  }
  int cache(const std::string &batch, int numEvents) {
    return velm::cacheMsg(ctx, static_cast<int>(batch.size()), batch.data(), numEvents, &result);
  }
  std::string slotFile(int s = 0) const { return path(ci()->cacheFiles[s]->fileName); }
};

// Random bytes do not compress: a record of this batch exceeds the smallest
// maxCacheFileSize (10240 bytes) by itself.
std::string bulky(unsigned seed) {
  std::string s(11000, '\0');
  for (char &c : s) c = static_cast<char>((seed = seed * 1103515245 + 12345) >> 16);
  return s;
}

TEST_F(CacheWriterTest, RecordIsHeaderThenPayloadThatUncompressesToTheBatch) {
  make(0);
  const std::string batch = eventText(1) + eventText(2) + eventText(3);
  ASSERT_EQ(cache(batch, 3), 0);
  const std::string bytes = readFile(slotFile());
  ASSERT_GT(bytes.size(), 42u);
  EXPECT_EQ(bytes.substr(0, 10), "0000000010");
  const std::string header = bytes.substr(10, 32);
  const std::size_t compSize = bytes.size() - 42;
  char expected[64];
  std::snprintf(expected, sizeof expected, "Xrec%010zu:%010zu:%05d", batch.size(), compSize, 3);
  EXPECT_EQ(header.substr(0, 31), expected);
  EXPECT_EQ(header[31], '\0');
  std::string out(batch.size(), '\0');
  uLongf len = out.size();
  ASSERT_EQ(uncompress(reinterpret_cast<Bytef *>(out.data()), &len,
                       reinterpret_cast<const Bytef *>(bytes.data() + 42), compSize),
            Z_OK);
  EXPECT_EQ(out, batch);
  EXPECT_EQ(ci()->cacheFiles[0]->currSize, static_cast<int32_t>(bytes.size()));
  EXPECT_EQ(ctx->stats->eventsCached.load(), 3u);
}

TEST_F(CacheWriterTest, OversizedRecordRollsOverAndLandsWholeInAFreshFile) {
  make(0, 10240);
  ASSERT_EQ(cache(eventText(1), 1), 0);
  velm::cacheFileInfo *first = ci()->cacheFiles[0];
  // Random text does not compress: this record alone exceeds maxCacheFileSize.
  const std::string big = bulky(7);
  ASSERT_EQ(cache(big, 1), 0);
  velm::cacheFileInfo *second = ci()->cacheFiles[0];
  ASSERT_NE(second, first);
  EXPECT_EQ(first->beingWritten, 0);
  EXPECT_EQ(first->fp, nullptr);
  EXPECT_EQ(queueNames(), (std::vector<std::string>{first->fileName, second->fileName}));
  EXPECT_EQ(ci()->fileQ->size, 2);
  EXPECT_GT(second->currSize, 10240);
  EXPECT_EQ(std::filesystem::file_size(path(second->fileName)), static_cast<std::uintmax_t>(second->currSize));
  // The next small record no longer fits either: a third file.
  ASSERT_EQ(cache(eventText(2), 1), 0);
  EXPECT_EQ(ci()->fileQ->size, 3);
}

TEST_F(CacheWriterTest, FileLimitWithNoWaitDiscardsAndWarnsOnce) {
  make(0, 10240, 1);  // the slot's file is the one file allowed
  ASSERT_EQ(cache(eventText(1), 1), 0);
  for (unsigned i = 0; i < 3; ++i) ASSERT_EQ(cache(bulky(i), 2), 0);  // each needs a new file
  EXPECT_EQ(ci()->numDiscardedEvents, 6);
  EXPECT_EQ(ci()->fileQ->size, 1);
  EXPECT_EQ(countOf(errorText(), "DXACC0058E"), 1);
  EXPECT_EQ(result.numErrors, 0);  // warnings stay out of the caller's result
  ASSERT_EQ(velm::reportDiscardedEvents(ctx, 0, &result), 0);
  ASSERT_EQ(result.numErrors, 1);
  EXPECT_EQ(firstCode(), 66);
  EXPECT_NE(std::string(result.errors[0].message).find(" 6 "), std::string::npos);
}

// A full disk at each step of a write leaves the file as long as before; with
// no time to wait the batch is discarded and counted, and message 59 is
// logged once for the episode.
TEST_F(CacheWriterTest, FullDiskLeavesTheFileAtItsOldLength) {
  struct Case {
    const char *name;
    velm::fs::Fault fault;
  };
  const std::vector<Case> cases = {
      {"record write", {velm::fs::Op::Write, 1, -1, ENOSPC, false}},
      {"record write, half on disk", {velm::fs::Op::Write, 1, -1, ENOSPC, true}},
      {"first flush", {velm::fs::Op::Flush, 1, -1, ENOSPC}},
      {"second flush", {velm::fs::Op::Flush, 2, -1, ENOSPC}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    make(0);
    ASSERT_EQ(cache(eventText(1), 1), 0);
    const auto before = std::filesystem::file_size(slotFile());
    velm::fs::setFaultPlan({c.fault});
    EXPECT_EQ(cache(eventText(2) + eventText(3), 2), 0);
    EXPECT_EQ(cache(eventText(4), 1), 0);
    velm::fs::clearFaultPlan();
    EXPECT_EQ(std::filesystem::file_size(slotFile()), before);
    EXPECT_EQ(ci()->cacheFiles[0]->currSize, static_cast<int32_t>(before));
    EXPECT_EQ(ci()->numDiscardedEvents, 3);
    EXPECT_EQ(countOf(errorText(), "DXACC0059E"), 1);
    // Space is back: the next record goes in and ends the episode.
    ASSERT_EQ(cache(eventText(5), 1), 0);
    EXPECT_GT(std::filesystem::file_size(slotFile()), before);
    EXPECT_EQ(ci()->noDiskSpace.load(), 0);
    destroy();
    std::filesystem::remove(errorLog);
  }
}

TEST_F(CacheWriterTest, FullDiskOnTheHeaderOfANewFileLeavesNoFileBehind) {
  make(0, 10240);
  ASSERT_EQ(cache(eventText(1), 1), 0);
  const auto before = cacheFiles(dir.path());
  // The next record needs a new file, whose header write fails.
  velm::fs::setFaultPlan({{velm::fs::Op::Write, 1, -1, ENOSPC, true}});
  EXPECT_EQ(cache(bulky(1), 2), 0);
  velm::fs::clearFaultPlan();
  EXPECT_EQ(cacheFiles(dir.path()), before);
  EXPECT_EQ(ci()->numDiscardedEvents, 2);
  EXPECT_EQ(ci()->fileQ->size, 1);
  EXPECT_EQ(countOf(errorText(), "DXACC0059E"), 1);
}

TEST_F(CacheWriterTest, HardErrorsFailTheBatchAndKeepTheFileIntact) {
  struct Case {
    const char *name;
    velm::fs::Fault fault;
    int code;
  };
  for (const Case &c : std::vector<Case>{{"write", {velm::fs::Op::Write, 1, 1, EIO, true}, 42},
                                         {"flush", {velm::fs::Op::Flush, 1, 1, EIO}, 41}}) {
    SCOPED_TRACE(c.name);
    make(0);
    ASSERT_EQ(cache(eventText(1), 1), 0);
    const auto before = std::filesystem::file_size(slotFile());
    velm::fs::setFaultPlan({c.fault});
    EXPECT_EQ(cache(eventText(2), 1), -1);
    velm::fs::clearFaultPlan();
    ASSERT_GE(result.numErrors, 1);
    EXPECT_EQ(firstCode(), c.code);
    EXPECT_EQ(std::filesystem::file_size(slotFile()), before);
    EXPECT_EQ(ci()->numDiscardedEvents, 0);
    destroy();
  }
}

TEST_F(CacheWriterTest, NoFileHandlesWarnsOnceAndDiscardsWithoutWaiting) {
  make(0, 10240);
  ASSERT_EQ(cache(eventText(1), 1), 0);
  velm::fs::setFaultPlan({{velm::fs::Op::Open, 1, -1, EMFILE}});
  EXPECT_EQ(cache(bulky(1), 2), 0);
  EXPECT_EQ(cache(bulky(2), 2), 0);
  velm::fs::clearFaultPlan();
  EXPECT_EQ(ci()->numDiscardedEvents, 4);
  EXPECT_EQ(countOf(errorText(), "DXACC0060E"), 1);
}

// A power cut must not take a record the writer has counted: with cacheSync
// "yes" every record and checkpoint is synced before it counts, and every
// file created, renamed or removed syncs the directory. "no" syncs nothing.
TEST_F(CacheWriterTest, CacheSyncSyncsRecordsCheckpointsAndTheDirectory) {
  struct Case {
    const char *sync;
    int dataSyncs;  // header of the new file, two records, one checkpoint
    int dirSyncs;   // creation of the file, its removal
  };
  for (const Case &c : {Case{"no", 0, 0}, Case{"yes", 4, 2}}) {
    SCOPED_TRACE(c.sync);
    // A fault that never fires switches the call counting on.
    velm::fs::setFaultPlan({{velm::fs::Op::Stat, 1000000, 1, EIO}});
    make(0, 1000000, 10, 1, c.sync);
    ASSERT_EQ(cache(eventText(1), 1), 0);
    ASSERT_EQ(cache(eventText(2), 1), 0);
    velm::cacheFileInfo *f = ci()->cacheFiles[0];
    FILE *reader = velm::fs::open(slotFile().c_str(), "rb+");
    ASSERT_NE(reader, nullptr);
    f->readCheckPoint = 10;
    EXPECT_EQ(velm::updateReadPos(ctx, reader, f, &result), 0);
    velm::fs::close(reader);
    const std::string name = f->fileName;
    EXPECT_EQ(velm::deleteCacheFile(ctx, name.c_str(), &result), 0);
    EXPECT_EQ(velm::fs::callCount(velm::fs::Op::SyncData), c.dataSyncs);
    EXPECT_EQ(velm::fs::callCount(velm::fs::Op::SyncDir), c.dirSyncs);
    velm::fs::clearFaultPlan();
    destroy();
  }
}

// A record whose sync fails is not on disk for sure: it fails or waits like
// a failed flush, and the file keeps its old length.
TEST_F(CacheWriterTest, FailedSyncIsAFailedWrite) {
  struct Case {
    const char *name;
    int error;
    int rc;       // of cacheMsg
    int message;  // first message, 0 none
    int discarded;
  };
  for (const Case &c : std::vector<Case>{{"EIO", EIO, -1, 41, 0}, {"ENOSPC", ENOSPC, 0, 0, 1}}) {
    SCOPED_TRACE(c.name);
    make(0, 1000000, 10, 1, "yes");
    ASSERT_EQ(cache(eventText(1), 1), 0);
    const auto before = std::filesystem::file_size(slotFile());
    velm::fs::setFaultPlan({{velm::fs::Op::SyncData, 1, -1, c.error}});
    EXPECT_EQ(cache(eventText(2), 1), c.rc);
    velm::fs::clearFaultPlan();
    EXPECT_EQ(firstCode(), c.message);
    EXPECT_EQ(std::filesystem::file_size(slotFile()), before);
    EXPECT_EQ(ci()->numDiscardedEvents, c.discarded);
    EXPECT_EQ(ctx->stats->eventsCached.load(), 1u);
    destroy();
    std::filesystem::remove(errorLog);
  }
}

}  // namespace
