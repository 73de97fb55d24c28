// The disk cache end to end against the local sink: events spill to cache
// files while the service is stopped and all arrive once it is back, with
// "auto" and with "always"; and a process started on the files a killed
// process left delivers everything that process had written.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <atomic>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "client/client_support.h"
#include "velm.h"

namespace {

using client_test::Context;
using client_test::num;
using client_test::Prop;
using client_test::Result;
using client_test::str;
using velm::test::Sink;

#if defined(__SANITIZE_THREAD__)
constexpr int kEventsPerThread = 250;  // ThreadSanitizer runs many times slower
#else
constexpr int kEventsPerThread = 5000;  // 20 000 events in all
#endif
constexpr int kSenders = 4;

class CacheDir {
 public:
  CacheDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "velmcache.XXXXXX").string();
    if (mkdtemp(tmpl.data()) != nullptr) dir_ = tmpl;
  }
  ~CacheDir() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  const std::string &dir() const { return dir_; }
  std::string prefix() const { return dir_ + "/batch"; }
  // Cache files that still hold something to deliver: checkpoint below the length.
  std::vector<std::string> undelivered() const {
    std::vector<std::string> out;
    for (const auto &e : std::filesystem::directory_iterator(dir_)) {
      const std::string name = e.path().filename().string();
      if (name.rfind("batch", 0) != 0) continue;
      const std::string bytes = read(e.path().string());
      if (bytes.size() < 10 || std::stol(bytes.substr(0, 10)) < static_cast<long>(bytes.size())) out.push_back(name);
    }
    return out;
  }
  // Event ids in the records of every cache file from its checkpoint on.
  std::set<std::string> cachedIds() const {
    std::set<std::string> ids;
    const std::regex id("globalInstanceId=\"([^\"]+)\"");
    for (const auto &e : std::filesystem::directory_iterator(dir_)) {
      const std::string name = e.path().filename().string();
      if (name.rfind("batch", 0) != 0 || name.find("corrupt") != std::string::npos) continue;
      const std::string bytes = read(e.path().string());
      if (bytes.size() < 10) continue;
      for (std::size_t at = std::stoul(bytes.substr(0, 10)); at + 32 <= bytes.size();) {
        const std::size_t dataSize = std::stoul(bytes.substr(at + 4, 10));
        const std::size_t compSize = std::stoul(bytes.substr(at + 15, 10));
        if (at + 32 + compSize > bytes.size()) break;  // cut by the kill
        std::string text(dataSize, '\0');
        uLongf len = dataSize;
        if (uncompress(reinterpret_cast<Bytef *>(text.data()), &len,
                       reinterpret_cast<const Bytef *>(bytes.data() + at + 32), compSize) != Z_OK)
          break;
        for (auto m = std::sregex_iterator(text.begin(), text.end(), id); m != std::sregex_iterator(); ++m)
          ids.insert((*m)[1]);
        at += 32 + compSize;
      }
    }
    return ids;
  }

 private:
  static std::string read(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  std::string dir_;
};

std::vector<Prop> cacheProps(const CacheDir &cache, const char *mode) {
  return {str("useDiskCache", mode),      str("diskCachePath", cache.prefix()), num("numberEQThreads", 2),
          num("numberCMThreads", 2),      num("transferSize", 20),              num("hiWater", 100),
          num("queueSize", 1000),         num("flushInterval", 1),              num("numberRetries", 1),
          num("retryInterval", 1),        num("rebindInterval", 1),             num("shutDownTimeout", -1),
          num("tempStorageFullTimeout", -1)};
}

std::string idOf(int t, int i) { return "cache-" + std::to_string(t) + "-" + std::to_string(i); }

void spillAndRecover(const char *mode) {
  Sink sink;
  CacheDir cache;
  Context ctx(sink.url(), cacheProps(cache, mode));
  ASSERT_NE(ctx.get(), nullptr);
  Result r;
  VELM_AuditClient *client = VELM_AuditClient_Create(ctx.get(), &r);
  ASSERT_NE(client, nullptr) << r.all();
  sink.setMode("stopped");
  std::atomic<int> refused{0};
  std::vector<std::thread> senders;
  for (int t = 0; t < kSenders; ++t)
    senders.emplace_back([&, t] {
      for (int i = 0; i < kEventsPerThread; ++i)
        if (client_test::send(client, ctx.get(), idOf(t, i)) != 0) ++refused;
    });
  for (std::thread &s : senders) s.join();
  EXPECT_EQ(refused.load(), 0);
  // The events went to cache files while the service was away.
  ASSERT_TRUE(client_test::waitFor([&] { return client_test::stats(client).eventsCached > 0; }));
  EXPECT_FALSE(cache.cachedIds().empty());
  sink.setMode("ok");
  const std::size_t total = kSenders * kEventsPerThread;
  ASSERT_TRUE(client_test::waitFor(
      [&] {
        std::set<std::string> seen;
        for (const std::string &id : sink.eventIds()) seen.insert(id);
        return seen.size() >= total;
      },
      std::chrono::seconds(180)));
  std::set<std::string> seen;
  for (const std::string &id : sink.eventIds()) seen.insert(id);
  for (int t = 0; t < kSenders; ++t)
    for (int i = 0; i < kEventsPerThread; ++i) ASSERT_EQ(seen.count(idOf(t, i)), 1u) << idOf(t, i);
  Result del;
  EXPECT_EQ(VELM_AuditClient_Delete(client, &del), 0) << del.all();
  EXPECT_FALSE(del.has(67)) << del.all();
  ctx.close();
  EXPECT_TRUE(cache.undelivered().empty());
}

TEST(CacheEndToEnd, AutoSpillsWhileTheServiceIsStoppedAndDeliversEverything) { spillAndRecover("auto"); }

TEST(CacheEndToEnd, AlwaysDeliversEverythingThroughTheCache) { spillAndRecover("always"); }

TEST(CacheEndToEnd, NextProcessDeliversWhatAKilledProcessCached) {
  Sink sink;
  CacheDir cache;
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  sink.setMode("stopped");
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The doomed process: sends with the service stopped until it has cached
    // a good part, tells the parent, and keeps sending until it is killed.
    close(ready[0]);
    std::vector<Prop> props = cacheProps(cache, "auto");
    Context ctx(sink.url(), props);
    Result r;
    VELM_AuditClient *client = ctx.get() != nullptr ? VELM_AuditClient_Create(ctx.get(), &r) : nullptr;
    if (client == nullptr) _exit(2);
    bool told = false;
    for (int i = 0;; ++i) {
      client_test::send(client, ctx.get(), idOf(9, i));
      if (!told && client_test::stats(client).eventsCached >= 200) {
        told = write(ready[1], "x", 1) == 1;
      }
    }
  }
  close(ready[1]);
  char c = 0;
  const bool signalled = read(ready[0], &c, 1) == 1;
  kill(child, SIGKILL);
  int status = 0;
  waitpid(child, &status, 0);
  close(ready[0]);
  ASSERT_TRUE(signalled) << "the child could not cache";
  const std::set<std::string> cached = cache.cachedIds();
  ASSERT_GE(cached.size(), 200u);

  sink.setMode("ok");
  Context ctx(sink.url(), cacheProps(cache, "auto"));
  ASSERT_NE(ctx.get(), nullptr);
  Result r;
  VELM_AuditClient *client = VELM_AuditClient_Create(ctx.get(), &r);
  ASSERT_NE(client, nullptr) << r.all();
  ASSERT_TRUE(client_test::waitFor(
      [&] {
        std::set<std::string> seen;
        for (const std::string &id : sink.eventIds()) seen.insert(id);
        for (const std::string &id : cached)
          if (seen.count(id) == 0) return false;
        return true;
      },
      std::chrono::seconds(180)));
  Result del;
  EXPECT_EQ(VELM_AuditClient_Delete(client, &del), 0) << del.all();
}

}  // namespace
