// Cache start-up: the checks of diskCachePath, the scan of files earlier
// processes left (oldest first, ties by sequence number), the writer slots
// and the tear-down, which leaves the files on disk.
#include <sys/stat.h>
#include <utime.h>

#include "capis/cache_support.h"

namespace {

using namespace velm_test;

class CacheSetupTest : public CacheTest {};

TEST_F(CacheSetupTest, ContextCreationChecksDiskCachePath) {
  struct Case {
    const char *name;
    std::function<void(Props &)> edit;
    int code;
    const char *text;
  };
  const std::vector<Case> cases = {
      {"auto without a path", [](Props &) {}, 6, "'diskCachePath'"},
      {"always without a path", [](Props &p) { p.str("useDiskCache", "always"); }, 6, "'diskCachePath'"},
      {"never without a path", [](Props &p) { p.str("useDiskCache", "never"); }, 0, nullptr},
      {"no slash", [](Props &p) { p.str("diskCachePath", "batchfile"); }, 7, "batchfile"},
      {"directory missing", [&](Props &p) { p.str("diskCachePath", path("none/batch").c_str()); }, 38, "none/batch"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    Props p;
    p.str("serverURL", "http://localhost:9/audit").str("errorFilePath", errorLog.c_str());
    c.edit(p);
    create(p);
    if (c.code == 0) {
      EXPECT_NE(ctx, nullptr);
      EXPECT_EQ(ctx->cacheInfo, nullptr);
    } else {
      EXPECT_EQ(ctx, nullptr);
      ASSERT_EQ(result.numErrors, 1);
      EXPECT_EQ(firstCode(), c.code);
      EXPECT_NE(std::string(result.errors[0].message).find(c.text), std::string::npos) << result.errors[0].message;
    }
    destroy();
  }
  EXPECT_FALSE(std::filesystem::exists(path("batchfile")));  // the probe leaves nothing behind
}

TEST_F(CacheSetupTest, ScanFailuresFailTheCreation) {
  velm::fs::setFaultPlan({{velm::fs::Op::ListDir, 1, 1, EACCES}});
  EXPECT_EQ(create(), nullptr);
  EXPECT_EQ(firstCode(), 56);
  writeBytes(path("batch.2026-01-02-03-04-05.1"), "0000000010");
  velm::fs::setFaultPlan({{velm::fs::Op::Stat, 1, 1, EIO}});
  EXPECT_EQ(create(), nullptr);
  EXPECT_EQ(firstCode(), 57);
}

TEST_F(CacheSetupTest, LeftoverFilesAreQueuedOldestFirstTiesBySequence) {
  for (const char *n : {"batch.2026-01-02-03-04-05.10", "batch.2026-01-02-03-04-05.2", "batch.2026-01-02-03-04-05.1",
                        "batch.2025-12-31-23-59-59.7", "batch.old", "batch.2026-01-02-03-04-05.1.corrupt1",
                        "other.2020-01-01-00-00-00.1"})
    writeBytes(path(n), "0000000010");
  // A name without a timestamp is ordered by its status-change time: now,
  // later than every name above.
  ASSERT_NE(create(), nullptr) << firstCode();
  EXPECT_EQ(queueNames(), (std::vector<std::string>{"batch.2025-12-31-23-59-59.7", "batch.2026-01-02-03-04-05.1",
                                                     "batch.2026-01-02-03-04-05.2", "batch.2026-01-02-03-04-05.10",
                                                     "batch.old"}));
  EXPECT_EQ(ci()->fileQ->size, 5);
  for (velm::cacheFileInfo *f = ci()->fileQ->head.next; f != &ci()->fileQ->head; f = f->next) {
    EXPECT_EQ(f->currSize, 10);
    EXPECT_EQ(f->beingWritten, 0);
  }
}

TEST_F(CacheSetupTest, CreationTimeComesFromTheName) {
  ASSERT_NE(create(), nullptr);
  struct Case {
    const char *name;
    int rc;
  };
  for (const Case &c : std::vector<Case>{{"batch.2026-01-02-03-04-05.1", 0},
                                         {"my.batch.2026-01-02-03-04-05.3", 0},
                                         {"batch.old", -1},
                                         {"batch", -1},
                                         {"batch.2026-13-45-03-04-05.1", -1}}) {
    SCOPED_TRACE(c.name);
    time_t t = 0;
    EXPECT_EQ(velm::getCreationTime(ctx, c.name, &t, &result), c.rc);
    if (c.rc == 0) {
      struct tm tm{};
      localtime_r(&t, &tm);
      EXPECT_EQ(tm.tm_year, 126);
      EXPECT_EQ(tm.tm_hour, 3);
      EXPECT_EQ(tm.tm_sec, 5);
    }
  }
}

TEST_F(CacheSetupTest, ClientSetupAddsOneFreshPrivateFilePerSlotAfterTheOldOnes) {
  for (int i = 1; i <= 5; ++i) writeBytes(path("batch.2025-01-01-00-00-0" + std::to_string(i) + ".1"), "0000000010");
  Props p = props();
  p.num("numberEQThreads", 3);
  ASSERT_NE(create(p), nullptr) << firstCode();
  ASSERT_EQ(velm::setupCacheFiles(ctx, &result), 0);
  const std::vector<std::string> q = queueNames();
  ASSERT_EQ(q.size(), 8u);
  EXPECT_EQ(ci()->fileQ->size, 8);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(q[i], "batch.2025-01-01-00-00-0" + std::to_string(i + 1) + ".1");
  for (int s = 0; s < 3; ++s) {
    velm::cacheFileInfo *f = ci()->cacheFiles[s];
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(q[5 + s], f->fileName);
    EXPECT_EQ(f->beingWritten, 1);
    EXPECT_EQ(readFile(path(f->fileName)), "0000000010");
    struct stat st{};
    ASSERT_EQ(::stat(path(f->fileName).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    time_t t = 0;
    EXPECT_EQ(velm::getCreationTime(ctx, f->fileName, &t, &result), 0);
  }
  // Files made within one second differ in their sequence number.
  EXPECT_NE(q[5], q[6]);
  EXPECT_NE(q[6], q[7]);
  destroy();
  EXPECT_EQ(cacheFiles(dir.path()).size(), 8u);  // everything stays for the next process
}

}  // namespace
