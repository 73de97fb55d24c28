// The cache writer where it blocks: a full disk without a time limit, the
// file limit waiting for a drainer, shut-down ending a wait, and a drainer
// renaming a file that a writer holds.
#include <atomic>
#include <future>

#include "capis/cache_support.h"

namespace {

using namespace velm_test;

class CacheWriterThreadsTest : public CacheTest {
 protected:
  void make(int timeout, int maxFiles = 10) {
    Props p = props();
    p.num("tempStorageFullTimeout", timeout).num("maxCacheFileSize", 10240).num("maxCacheFiles", maxFiles);
    ASSERT_NE(create(p), nullptr) << firstCode();
    ASSERT_EQ(velm::setupCacheFiles(ctx, &result), 0);
  }
  std::future<int> cacheAsync(std::string batch, int numEvents) {
    return std::async(std::launch::async, [this, batch, numEvents] {
      VELM_result r{};
      const int rc = velm::cacheMsg(ctx, static_cast<int>(batch.size()), batch.data(), numEvents, &r);
      VELM_Result_Clean(&r);
      return rc;
    });
  }
  // Declared after a future: on a failed assertion it ends the writer's
  // wait before the future's destructor waits for the writer.
  struct Stopper {
    VELM_AuditClientContext *ctx;
    ~Stopper() { velm::shutDownCache(ctx); }
  };
  static bool ready(std::future<int> &f) { return f.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }
  std::string slotFile() const { return path(ci()->cacheFiles[0]->fileName); }
};

std::string incompressible(std::size_t n, unsigned seed) {
  std::string s(n, '\0');
  for (char &c : s) c = static_cast<char>((seed = seed * 1103515245 + 12345) >> 16);
  return s;
}

TEST_F(CacheWriterThreadsTest, FullDiskWithoutTimeLimitWaitsAndFinishesOnceSpaceIsBack) {
  make(-1);
  velm::fs::setFaultPlan({{velm::fs::Op::Write, 1, -1, ENOSPC, true}});
  const auto before = std::filesystem::file_size(slotFile());
  std::future<int> writer = cacheAsync(eventText(1), 1);
  Stopper stopper{ctx};
  ASSERT_TRUE(eventually([&] { return velm::fs::callCount(velm::fs::Op::Write) >= 2; }));  // it tried again
  EXPECT_FALSE(ready(writer));
  EXPECT_EQ(ci()->noDiskSpace.load(), 1);
  EXPECT_EQ(std::filesystem::file_size(slotFile()), before);
  velm::fs::clearFaultPlan();
  ASSERT_TRUE(eventually([&] { return ready(writer); }));
  EXPECT_EQ(writer.get(), 0);
  EXPECT_GT(std::filesystem::file_size(slotFile()), before);
  EXPECT_EQ(ci()->noDiskSpace.load(), 0);
  EXPECT_EQ(ci()->numDiscardedEvents, 0);
  EXPECT_EQ(countOf(errorText(), "DXACC0059E"), 1);
}

TEST_F(CacheWriterThreadsTest, ShutDownEndsAWaitWithFailure) {
  make(-1);
  velm::fs::setFaultPlan({{velm::fs::Op::Write, 1, -1, ENOSPC}});
  std::future<int> writer = cacheAsync(eventText(1), 1);
  ASSERT_TRUE(eventually([&] { return ci()->noDiskSpace.load() == 1; }));
  velm::shutDownCache(ctx);
  ASSERT_TRUE(eventually([&] { return ready(writer); }));
  EXPECT_EQ(writer.get(), -1);
}

TEST_F(CacheWriterThreadsTest, FileLimitMakesTheWriterWaitForADrainer) {
  make(-1, 1);
  ASSERT_EQ(velm::cacheMsg(ctx, 10, "<a>1</a>xx", 1, &result), 0);
  velm::cacheFileInfo *old = ci()->cacheFiles[0];
  // This record does not fit the file, and a second file is not allowed yet.
  std::future<int> writer = cacheAsync(incompressible(11000, 3), 1);
  Stopper stopper{ctx};
  ASSERT_TRUE(eventually([&] {
    std::scoped_lock lock(ci()->mutex);
    return ci()->maxFiles == 1 && ci()->cacheFiles[0] == nullptr;
  }));
  EXPECT_FALSE(ready(writer));
  // A drainer finishes the rolled-over file and takes it off the queue.
  ASSERT_EQ(velm::dequeueFileInfo(ctx, ci()->fileQ, old, &result), 0);
  {
    std::scoped_lock lock(ci()->mutex);
    velm::broadcastCache(ci());
  }
  ASSERT_TRUE(eventually([&] { return ready(writer); }));
  EXPECT_EQ(writer.get(), 0);
  EXPECT_NE(ci()->cacheFiles[0], old);
  EXPECT_GT(ci()->cacheFiles[0]->currSize, 10240);
  EXPECT_EQ(countOf(errorText(), "DXACC0058E"), 1);
  velm::freeCacheFileInfo(ctx, old, &result);
}

TEST_F(CacheWriterThreadsTest, CorruptFileIsNotClosedUnderAWriterAndTheNextRecordGoesElsewhere) {
  make(0);
  velm::cacheFileInfo *f = nullptr;
  {
    velm::CacheLock lock(ci()->mutex);
    f = velm::acquireCacheFile(ctx, lock, 0, &result);  // a writer inside a write
  }
  ASSERT_NE(f, nullptr);
  const std::string name = f->fileName;
  std::future<int> drainer = std::async(std::launch::async, [&] {
    VELM_result r{};
    const int rc = velm::handleCorruptedCacheFile(ctx, f, &r);
    VELM_Result_Clean(&r);
    return rc;
  });
  struct Releaser {
    VELM_AuditClientContext *ctx;
    velm::cacheFileInfo *f;
    ~Releaser() { velm::releaseCacheFile(ctx, f, nullptr); }
  } releaser{ctx, f};
  ASSERT_TRUE(eventually([&] { return velm::loadFlag(f->corrupt) == 1; }));
  {
    std::scoped_lock lock(f->mutex);
    EXPECT_NE(f->fp, nullptr);  // still the writer's
  }
  EXPECT_FALSE(ready(drainer));
  velm::releaseCacheFile(ctx, f, &result);
  ASSERT_TRUE(eventually([&] { return ready(drainer); }));
  EXPECT_EQ(drainer.get(), 0);
  EXPECT_EQ(f->fp, nullptr);
  EXPECT_TRUE(std::filesystem::exists(path(name + ".corrupt1")));
  // The next writer gives the corrupt file up and starts a fresh one.
  ASSERT_EQ(velm::cacheMsg(ctx, 10, "<a>1</a>xx", 1, &result), 0);
  ASSERT_NE(ci()->cacheFiles[0], nullptr);
  EXPECT_NE(ci()->cacheFiles[0], f);  // its name may be the old one, which is free again
  EXPECT_GT(ci()->cacheFiles[0]->currSize, 10);
}

}  // namespace
