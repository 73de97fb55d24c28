// Many threads creating and deleting contexts at once: one process-wide
// set-up, one shared id table, runtimes up exactly while a context lives.
#include <gtest/gtest.h>

#include <atomic>
#include <barrier>
#include <thread>
#include <vector>

#include "capis/context.h"
#include "capis/context_support.h"
#include "capis/runtimes.h"

namespace {

using velm_test::Props;
using velm_test::TempDir;

constexpr int kThreads = 6;

TEST(ContextThreads, ConcurrentContextsShareOneSetUp) {
  TempDir dir;
  const velm::RuntimeCounters before = velm::runtimeCounters();
  std::barrier sync(kThreads);
  std::vector<velm::GIIdTable *> tables(kThreads);
  std::atomic<int> failures{0};

  auto body = [&](int id) {
    Props p;
    p.str("serverURL", "http://h/a").str("useDiskCache", "never").str("errorFilePath", dir.file("e.log").c_str())
        .str("traceFilePath", dir.file("t.log").c_str()).num("traceLevel", 3);
    // Phase 1: all contexts alive together.
    VELM_result r{};
    VELM_AuditClientContext *c = VELM_AuditClientContext_Create(p.list(), &r);
    if (c == nullptr) ++failures;
    tables[static_cast<size_t>(id)] = c != nullptr ? c->giidTable : nullptr;
    sync.arrive_and_wait();
    sync.arrive_and_wait();  // every thread has stored its table
    if (c != nullptr) VELM_AuditClientContext_Delete(c, &r);
    // Phase 2: churn. While this thread holds a context the runtimes are up.
    for (int i = 0; i < 15; ++i) {
      VELM_AuditClientContext *d = VELM_AuditClientContext_Create(p.list(), &r);
      if (d == nullptr) {
        ++failures;
        continue;
      }
      const velm::RuntimeCounters now = velm::runtimeCounters();
      if (now.xmlStarts - now.xmlStops != 1 || now.axisStarts - now.axisStops != 1) ++failures;
      if (d->giidTable == nullptr) ++failures;
      VELM_AuditClientContext_Delete(d, &r);
    }
    VELM_Result_Clean(&r);
  };
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) threads.emplace_back(body, i);
  for (auto &t : threads) t.join();

  EXPECT_EQ(failures.load(), 0);
  for (int i = 1; i < kThreads; ++i) EXPECT_EQ(tables[static_cast<size_t>(i)], tables[0]);
  ASSERT_NE(tables[0], nullptr);
  const velm::RuntimeCounters after = velm::runtimeCounters();
  EXPECT_GE(after.xmlStarts - before.xmlStarts, 1);
  EXPECT_EQ(after.xmlStarts - before.xmlStarts, after.xmlStops - before.xmlStops);
  EXPECT_EQ(after.axisStarts - before.axisStarts, after.axisStops - before.axisStops);
  EXPECT_EQ(velm::velmCommon()->refCount, 0);
  EXPECT_EQ(velm::velmCommon()->giidTable, nullptr);
}

}  // namespace
