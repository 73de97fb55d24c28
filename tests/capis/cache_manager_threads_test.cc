// Cache manager threads against a stand-in transport: draining oldest first,
// joining one-event records, one poller while the server is down, tailing a
// file that is written, shut-down and the next process, damaged checkpoints,
// and writers and drainers at once.
#include <atomic>
#include <map>
#include <mutex>
#include <set>

#include "capis/cache_support.h"

namespace {

using namespace velm_test;

// The server as the manager threads see it.
struct FakeServer {
  std::mutex mutex;
  std::vector<std::string> batches;  // guarded by mutex
  std::atomic<bool> up{true};
  std::atomic<int> checks{0};
  std::atomic<int> checking{0};
  std::atomic<int> maxChecking{0};
};
FakeServer *server = nullptr;

int fakeCheck(VELM_AuditClientContext *, VELM_result *) {
  const int now = ++server->checking;
  int seen = server->maxChecking.load();
  while (now > seen && !server->maxChecking.compare_exchange_weak(seen, now)) {
  }
  ++server->checks;
  std::this_thread::sleep_for(std::chrono::milliseconds(5));  // a probe takes a moment
  --server->checking;
  return server->up ? 0 : -1;
}

int fakeSend(VELM_AuditClientContext *, int, const char *text, VELM_result *) {
  if (!server->up) return -1;
  std::scoped_lock lock(server->mutex);
  server->batches.emplace_back(text);
  return 0;
}

// Event ids in a batch, in order.
std::vector<int> idsIn(const std::string &batch) {
  std::vector<int> ids;
  const std::string key = "globalInstanceId=\"ID";
  for (std::size_t at = batch.find(key); at != std::string::npos; at = batch.find(key, at + 1))
    ids.push_back(std::stoi(batch.substr(at + key.size())));
  return ids;
}

class CacheManagerTest : public CacheTest {
 protected:
  void SetUp() override {
    server = &fake;
    velm::setCacheTransport({fakeCheck, fakeSend});
  }
  void TearDown() override {
    stop();
    CacheTest::TearDown();
    velm::setCacheTransport({});
    server = nullptr;
  }
  void start(Props p, int threads = 1) {
    p.num("numberCMThreads", threads).num("rebindInterval", 1);
    ASSERT_NE(create(p), nullptr) << firstCode();
    ASSERT_EQ(velm::setupCacheFiles(ctx, &result), 0);
    for (int i = 0; i < threads; ++i) ASSERT_EQ(velm::startCMThread(ctx, &result), 0);
  }
  // What the client deletion does: shutDown, wake everyone, wait for the threads.
  void stop() {
    if (ctx == nullptr || ci() == nullptr) return;
    velm::shutDownCache(ctx);
    EXPECT_TRUE(eventually([&] {
      std::scoped_lock lock(ci()->mutex);
      return ci()->numCMThreads == 0;
    }));
  }
  std::vector<int> received() {
    std::scoped_lock lock(fake.mutex);
    std::vector<int> all;
    for (const std::string &b : fake.batches)
      for (int id : idsIn(b)) all.push_back(id);
    return all;
  }
  std::vector<int> batchSizes() {
    std::scoped_lock lock(fake.mutex);
    std::vector<int> out;
    for (const std::string &b : fake.batches) out.push_back(static_cast<int>(idsIn(b).size()));
    return out;
  }
  bool receivedAll(int n) {
    std::set<int> s;
    for (int id : received()) s.insert(id);
    return static_cast<int>(s.size()) >= n;
  }
  // A leftover file of single-event records for ids [from, to).
  void leftover(const std::string &name, int from, int to, int perRecord = 1) {
    std::string bytes = "0000000010";
    for (int id = from; id < to;) {
      std::string batch;
      int n = 0;
      for (; n < perRecord && id < to; ++n) batch += eventText(id++);
      bytes += makeRecord(batch, n);
    }
    writeBytes(path(name), bytes);
  }

  FakeServer fake;
};

TEST_F(CacheManagerTest, LeftoverFilesAreDrainedOldestFirstAndDeleted) {
  leftover("batch.2026-03-01-00-00-00.1", 20, 30);
  leftover("batch.2026-01-01-00-00-00.2", 10, 20);
  leftover("batch.2026-01-01-00-00-00.1", 0, 10);
  start(props());
  ASSERT_TRUE(eventually([&] { return receivedAll(30); }));
  std::vector<int> expected;
  for (int i = 0; i < 30; ++i) expected.push_back(i);
  EXPECT_EQ(received(), expected);
  // Only the new file of the writer slot remains.
  ASSERT_TRUE(eventually([&] { return cacheFiles(dir.path()).size() == 1; }));
  EXPECT_EQ(cacheFiles(dir.path())[0], ci()->cacheFiles[0]->fileName);
}

TEST_F(CacheManagerTest, OneEventRecordsAreJoinedUpToTransferSize) {
  struct Case {
    int transferSize;
    std::vector<int> sizes;
  };
  for (const Case &c : std::vector<Case>{{10, {10, 27, 3}}, {1, std::vector<int>(12, 1)}}) {
    SCOPED_TRACE(c.transferSize);
    // 12 single-event records, one of 25 events, then 3 singles.
    std::string bytes = "0000000010";
    int id = 0;
    for (int i = 0; i < 12; ++i, ++id) bytes += makeRecord(eventText(id), 1);
    std::string many;
    for (int i = 0; i < 25; ++i) many += eventText(id++);
    bytes += makeRecord(many, 25);
    for (int i = 0; i < 3; ++i, ++id) bytes += makeRecord(eventText(id), 1);
    writeBytes(path("batch.2026-01-01-00-00-00.1"), bytes);
    Props p = props();
    p.num("transferSize", c.transferSize).num("hiWater", 100).num("queueSize", 100);
    start(p);
    ASSERT_TRUE(eventually([&] { return receivedAll(40); }));
    std::vector<int> sizes = c.sizes;
    if (c.transferSize == 1) {
      sizes.push_back(25);
      sizes.insert(sizes.end(), 3, 1);
    }
    EXPECT_EQ(batchSizes(), sizes);
    stop();
    destroy();
    std::scoped_lock lock(fake.mutex);
    fake.batches.clear();
  }
}

TEST_F(CacheManagerTest, OnePollerWhileTheServerIsDownThenAllResume) {
  leftover("batch.2026-01-01-00-00-00.1", 0, 10);
  leftover("batch.2026-01-01-00-00-01.1", 10, 20);
  leftover("batch.2026-01-01-00-00-02.1", 20, 30);
  fake.up = false;
  Props p = props();
  start(p, 3);
  {
    std::scoped_lock lock(ci()->mutex);
    ci()->numDiscardedEvents = 5;
  }
  ci()->serverDown = 1;
  ASSERT_TRUE(eventually([&] { return fake.checks >= 3; }));
  fake.up = true;
  ASSERT_TRUE(eventually([&] { return receivedAll(30); }));
  EXPECT_EQ(fake.maxChecking.load(), 1);
  EXPECT_EQ(ci()->serverDown.load(), 0);
  EXPECT_TRUE(eventually([&] { return countOf(errorText(), "DXACC0066E") == 1; }));
}

TEST_F(CacheManagerTest, FileWrittenWhileTailedIsDeliveredAndDeletedAfterRollOver) {
  Props p = props();
  p.num("maxCacheFileSize", 10240).num("tempStorageFullTimeout", 0);
  start(p);
  const std::string first = ci()->cacheFiles[0]->fileName;
  for (int id = 0; id < 20; ++id) {
    const std::string b = eventText(id);
    ASSERT_EQ(velm::cacheMsg(ctx, static_cast<int>(b.size()), b.data(), 1, &result), 0);
  }
  ASSERT_TRUE(eventually([&] { return receivedAll(20); }));
  // Enough text to roll the first file over; the drainer then finishes it.
  std::string big;
  int id = 20;
  unsigned seed = 1;
  while (big.size() < 40000) {
    big += eventText(id++);
    for (int i = 0; i < 200; ++i) big += static_cast<char>('a' + ((seed = seed * 1103515245 + 12345) >> 16) % 26);
  }
  ASSERT_EQ(velm::cacheMsg(ctx, static_cast<int>(big.size()), big.data(), id - 20, &result), 0);
  ASSERT_TRUE(eventually([&] { return receivedAll(id); }));
  EXPECT_TRUE(eventually([&] { return !std::filesystem::exists(path(first)); }));
}

TEST_F(CacheManagerTest, ShutDownWhileSendsFailLeavesTheRestForTheNextProcess) {
  leftover("batch.2026-01-01-00-00-00.1", 0, 30, 3);
  fake.up = false;
  start(props());
  ci()->serverDown = 1;
  ASSERT_TRUE(eventually([&] { return fake.checks >= 1; }));
  stop();
  destroy();
  EXPECT_EQ(readFile(path("batch.2026-01-01-00-00-00.1")).substr(0, 10), "0000000010");
  // The next process on the same directory delivers all of it.
  fake.up = true;
  start(props());
  ASSERT_TRUE(eventually([&] { return receivedAll(30); }));
  EXPECT_TRUE(eventually([&] { return !std::filesystem::exists(path("batch.2026-01-01-00-00-00.1")); }));
}

TEST_F(CacheManagerTest, CheckpointOutsideTheFileIsRenamedNotDeleted) {
  leftover("batch.2026-01-01-00-00-00.1", 0, 5);
  std::string bytes = readFile(path("batch.2026-01-01-00-00-00.1"));
  bytes.replace(0, 10, "0000999999");
  writeBytes(path("batch.2026-01-01-00-00-00.1"), bytes);
  leftover("batch.2026-01-01-00-00-01.1", 5, 10);
  start(props());
  ASSERT_TRUE(eventually([&] { return receivedAll(5); }));
  EXPECT_TRUE(eventually([&] { return std::filesystem::exists(path("batch.2026-01-01-00-00-00.1.corrupt1")); }));
  EXPECT_EQ(readFile(path("batch.2026-01-01-00-00-00.1.corrupt1")), bytes);
  std::vector<int> expected = {5, 6, 7, 8, 9};
  EXPECT_EQ(received(), expected);
}

TEST_F(CacheManagerTest, WritersAndDrainersAtOnceDeliverEveryEvent) {
  Props p = props();
  p.num("maxCacheFileSize", 10240).num("numberEQThreads", 2).num("tempStorageFullTimeout", -1);
  start(p, 2);
  constexpr int kThreads = 4;
  constexpr int kPerThread = 150;
  std::vector<std::thread> writers;
  std::atomic<int> failures{0};
  for (int t = 0; t < kThreads; ++t) {
    writers.emplace_back([&, t] {
      VELM_result r{};
      for (int i = 0; i < kPerThread; ++i) {
        const int id = t * kPerThread + i;
        const std::string b = eventText(id) + std::string(100, static_cast<char>('a' + id % 26));
        if (velm::cacheMsg(ctx, static_cast<int>(b.size()), b.data(), 1, &r) != 0) ++failures;
      }
      VELM_Result_Clean(&r);
    });
  }
  for (std::thread &w : writers) w.join();
  EXPECT_EQ(failures.load(), 0);
  ASSERT_TRUE(eventually([&] { return receivedAll(kThreads * kPerThread); }));
  EXPECT_EQ(static_cast<int>(received().size()), kThreads * kPerThread);  // nothing twice without a crash
}

}  // namespace
