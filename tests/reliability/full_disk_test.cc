// A real full disk under the cache: a 1 MiB tmpfs mounted over the cache
// directory, filled up while the service is stopped and events spill. With
// tempStorageFullTimeout -1 nothing is lost once space is freed; with a
// finite one, the discarded count is exactly what the service is missing.
//
// Needs root and a working mount; skipped otherwise, saying why.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "reliability/reliability_support.h"

namespace {

using client_test::Context;
using client_test::num;
using client_test::Result;
using reliability_test::CacheDir;
using reliability_test::Senders;
using velm::test::Sink;

// A tmpfs of 1 MiB over dir for the life of the object. The mount lives in a
// mount namespace of this process where one can be made, so it cannot
// outlast the test even if the test dies; it is unmounted in any case.
class SmallDisk {
 public:
  explicit SmallDisk(const std::string &dir) : dir_(dir) {
    if (geteuid() != 0) {
      why_ = "not running as root, so no file system can be mounted";
      return;
    }
    if (unshare(CLONE_NEWNS) == 0) mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr);
    if (mount("tmpfs", dir_.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=1m,mode=0700") != 0) {
      why_ = std::string("mounting a tmpfs failed: ") + std::strerror(errno);
      return;
    }
    mounted_ = true;
  }
  ~SmallDisk() {
    if (mounted_) umount2(dir_.c_str(), MNT_DETACH);
  }
  SmallDisk(const SmallDisk &) = delete;
  SmallDisk &operator=(const SmallDisk &) = delete;
  bool mounted() const { return mounted_; }
  const std::string &why() const { return why_; }

  // Fills the disk up with a ballast file, then gives room bytes back.
  void fillLeaving(std::size_t room) {
    const std::string path = dir_ + "/ballast";
    {
      std::ofstream out(path, std::ios::binary);
      const std::string block(4096, 'b');
      while (out.write(block.data(), static_cast<std::streamsize>(block.size())) && out.flush()) {
      }
    }
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (!ec && size > room) std::filesystem::resize_file(path, size - room, ec);
  }
  void freeSpace() {
    std::error_code ec;
    std::filesystem::remove(dir_ + "/ballast", ec);
  }

 private:
  std::string dir_;
  std::string why_;
  bool mounted_ = false;
};

#define NEED_SMALL_DISK(disk) \
  if (!(disk).mounted()) GTEST_SKIP() << "no small file system for the cache: " << (disk).why()

// Sends with the service stopped until the cache reports the full disk.
struct Spill {
  Spill(Sink &sink, CacheDir &cache, int timeout)
      : ctx(sink.url(), reliability_test::autoProps(cache.prefix(), {num("tempStorageFullTimeout", timeout),
                                                                     num("maxCacheFileSize", 10240)})) {}
  Context ctx;
};

// The sum of the counts that messages 66 and 67 reported in an error log.
uint64_t reportedDiscards(const std::string &log) {
  uint64_t total = 0;
  for (const char *id : {"DXACC0066E", "DXACC0067E"}) {
    for (std::size_t at = log.find(id); at != std::string::npos; at = log.find(id, at + 1)) {
      const std::size_t tail = log.find(" audit events could not", at);
      if (tail == std::string::npos) break;
      total += std::strtoull(log.c_str() + log.rfind(' ', tail - 1) + 1, nullptr, 10);
    }
  }
  return total;
}

constexpr int kThreads = 4;
constexpr long kPerThread = 400;

TEST(FullDisk, NoTimeoutLosesNothingOnceSpaceIsFreed) {
  Sink sink;
  CacheDir cache;
  SmallDisk disk(cache.dir());
  NEED_SMALL_DISK(disk);
  disk.fillLeaving(48 * 1024);
  sink.setMode("stopped");
  Spill s(sink, cache, -1);
  ASSERT_NE(s.ctx.get(), nullptr);
  Result r;
  VELM_AuditClient *client = VELM_AuditClient_Create(s.ctx.get(), &r);
  ASSERT_NE(client, nullptr) << r.all();
  {
    Senders senders(client, s.ctx.get(), kThreads, std::chrono::milliseconds(0), kPerThread);
    ASSERT_TRUE(client_test::waitFor([&] { return s.ctx.errorLog().find("DXACC0059E") != std::string::npos; }))
        << "the disk never filled";
    disk.freeSpace();
    sink.setMode("ok");
    senders.join();
    EXPECT_EQ(senders.refused(), 0);
    EXPECT_EQ(senders.count(), static_cast<std::size_t>(kThreads * kPerThread));
    const std::set<std::string> accepted = senders.accepted();
    ASSERT_TRUE(client_test::waitFor(
        [&] { return reliability_test::missing(accepted, reliability_test::arrived(sink)) == 0; },
        std::chrono::seconds(180)))
        << reliability_test::missing(accepted, reliability_test::arrived(sink)) << " events missing";
  }
  EXPECT_EQ(client_test::stats(client).eventsDiscarded, 0u);
  Result del;
  EXPECT_EQ(VELM_AuditClient_Delete(client, &del), 0) << del.all();
  EXPECT_FALSE(del.has(67)) << del.all();
  EXPECT_EQ(s.ctx.errorLog().find("DXACC0066E"), std::string::npos);
  s.ctx.close();
  EXPECT_TRUE(cache.undelivered().empty());
}

TEST(FullDisk, FiniteTimeoutDiscardsExactlyWhatTheServiceMisses) {
  Sink sink;
  CacheDir cache;
  SmallDisk disk(cache.dir());
  NEED_SMALL_DISK(disk);
  disk.fillLeaving(48 * 1024);
  sink.setMode("stopped");
  Spill s(sink, cache, 0);
  ASSERT_NE(s.ctx.get(), nullptr);
  Result r;
  VELM_AuditClient *client = VELM_AuditClient_Create(s.ctx.get(), &r);
  ASSERT_NE(client, nullptr) << r.all();
  std::set<std::string> accepted;
  {
    Senders senders(client, s.ctx.get(), kThreads, std::chrono::milliseconds(0), kPerThread);
    ASSERT_TRUE(client_test::waitFor([&] { return client_test::stats(client).eventsDiscarded > 0; }))
        << "nothing was discarded on the full disk";
    senders.stop();
    accepted = senders.accepted();
  }
  // Space back and the service up: what the queue and the cache hold goes out.
  disk.freeSpace();
  sink.setMode("ok");
  ASSERT_TRUE(client_test::waitFor([&] { return client_test::stats(client).queueDepth == 0; }));
  const uint64_t discarded = client_test::stats(client).eventsDiscarded;
  Result del;
  EXPECT_EQ(VELM_AuditClient_Delete(client, &del), 0) << del.all();
  // What was cached and not yet sent is left to the next process on the path.
  {
    Context drain(sink.url(), reliability_test::autoProps(cache.prefix()));
    ASSERT_NE(drain.get(), nullptr);
    Result dr;
    VELM_AuditClient *drainer = VELM_AuditClient_Create(drain.get(), &dr);
    ASSERT_NE(drainer, nullptr) << dr.all();
    ASSERT_TRUE(client_test::waitFor([&] { return cache.undelivered().empty(); }, std::chrono::seconds(180)));
    Result del2;
    EXPECT_EQ(VELM_AuditClient_Delete(drainer, &del2), 0) << del2.all();
  }
  s.ctx.close();
  // Everything that arrives has arrived once the cache is drained and both
  // clients are gone; the count reported in messages 66 and 67 and the
  // counter match what is missing, exactly.
  const std::size_t lost = reliability_test::missing(accepted, reliability_test::arrived(sink));
  EXPECT_GT(lost, 0u);
  EXPECT_EQ(lost, discarded);
  EXPECT_EQ(reportedDiscards(s.ctx.errorLog()), discarded) << s.ctx.errorLog();
}

}  // namespace
