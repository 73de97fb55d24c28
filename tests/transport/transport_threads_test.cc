// Several threads sending through one context at once share its pool of
// connections; every batch arrives once.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "cbe/transport.h"
#include "support/sink.h"
#include "transport/transport_support.h"

namespace {

using namespace transport_test;

TEST(TransportThreads, ConcurrentSendersShareTheContextsConnections) {
  for (bool reuse : {true, false}) {
    SCOPED_TRACE(reuse ? "reuse" : "no reuse");
    velm::setConnectionReuse(reuse);
    velm::test::Sink sink;
    Context c(sink.url());
    ASSERT_NE(c.get(), nullptr) << c.created.all();
    constexpr int kThreads = 4, kBatches = 15, kEvents = 5;
    std::vector<std::string> expected;
    std::vector<std::thread> threads;
    std::vector<int> failures(kThreads, 0);
    for (int t = 0; t < kThreads; ++t) {
      for (int i = 0; i < kBatches; ++i) {
        const auto list = ids("t" + std::to_string(t) + "b" + std::to_string(i), kEvents);
        expected.insert(expected.end(), list.begin(), list.end());
      }
      threads.emplace_back([&, t] {
        for (int i = 0; i < kBatches; ++i) {
          Batch b = batchOfIds(ids("t" + std::to_string(t) + "b" + std::to_string(i), kEvents));
          Result r;
          if (velm::sendEvent(c.get(), b.get(), 0, &r) != 0) ++failures[t];
        }
      });
    }
    for (std::thread &th : threads) th.join();
    EXPECT_EQ(failures, std::vector<int>(kThreads, 0));
    std::vector<std::string> got = sink.eventIds();
    std::sort(got.begin(), got.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(got, expected);
    EXPECT_EQ(c.get()->stats->batchesSent.load(), static_cast<uint64_t>(kThreads * kBatches));
  }
  velm::setConnectionReuse(true);
}

}  // namespace
