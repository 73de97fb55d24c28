// Conservation: every event that a send accepted reaches the service, by
// its globalInstanceId, while the service fails now and then. An id may
// arrive twice only when a request was dropped after the service had
// taken it, so that the retry resent what had already arrived.
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "client/client_support.h"

namespace {

using client_test::Context;
using client_test::num;
using client_test::Result;
using client_test::str;
using velm::test::Sink;

#if defined(__SANITIZE_THREAD__)
constexpr int kEventsPerThread = 500;  // ThreadSanitizer runs many times slower
#else
constexpr int kEventsPerThread = 5000;
#endif
constexpr int kSenders = 4;
constexpr int kQueueThreads = 3;
constexpr int kTransferSize = 50;

TEST(Conservation, EveryAcceptedEventArrivesWhileTheServiceFailsNowAndThen) {
  Sink sink;
  Context ctx(sink.url(), {str("useDiskCache", "never"), num("numberEQThreads", kQueueThreads),
                           num("transferSize", kTransferSize),
                           num("hiWater", 100), num("queueSize", 1000), num("flushInterval", 1),
                           num("numberRetries", 1), num("retryInterval", 1), num("shutDownTimeout", -1)});
  Result r;
  VELM_AuditClient *client = VELM_AuditClient_Create(ctx.get(), &r);
  ASSERT_NE(client, nullptr) << r.all();

  // Senders 0 and 1 let the library stamp the ids; 2 and 3 bring their own.
  std::atomic<int> accepted{0};
  std::atomic<int> refused{0};
  std::vector<std::thread> senders;
  for (int t = 0; t < kSenders; ++t) {
    senders.emplace_back([&, t] {
      for (int i = 0; i < kEventsPerThread; ++i) {
        const std::string id = t >= 2 ? "app-" + std::to_string(t) + "-" + std::to_string(i) : std::string();
        if (client_test::send(client, ctx.get(), id) == 0) {
          accepted.fetch_add(1);
        } else {
          refused.fetch_add(1);
        }
      }
    });
  }

  // Faults while the senders run: each lasts a little and ends in "ok".
  // Switching to "stopped" or "drop" cuts the open connections, which can
  // lose the reply to a request the sink has just recorded: at most one
  // batch per queue thread per such switch.
  std::atomic<bool> sending{true};
  int lossySwitches = 0;
  std::thread faults([&] {
    const char *modes[] = {"http500", "failfirst:3", "drop", "slow:200", "stopped"};
    for (int k = 0; sending.load(); ++k) {
      const std::string mode = modes[k % 5];
      if (mode == "drop" || mode == "stopped") ++lossySwitches;
      sink.setMode(mode);
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      sink.setMode("ok");
      std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    }
  });
  for (std::thread &s : senders) s.join();
  sending.store(false);
  faults.join();
  sink.setMode("ok");

  const int total = kSenders * kEventsPerThread;
  EXPECT_EQ(refused.load(), 0);
  EXPECT_EQ(accepted.load(), total);

  // shutDownTimeout -1: the deletion returns once everything went out.
  Result del;
  ASSERT_EQ(VELM_AuditClient_Delete(client, &del), 0);
  EXPECT_FALSE(del.has(18)) << del.all();
  EXPECT_FALSE(del.has(67)) << del.all();

  std::map<std::string, int> seen;
  for (const std::string &id : sink.eventIds()) ++seen[id];
  EXPECT_EQ(seen.size(), static_cast<std::size_t>(total));
  for (int t = 2; t < kSenders; ++t)
    for (int i = 0; i < kEventsPerThread; ++i) {
      const std::string id = "app-" + std::to_string(t) + "-" + std::to_string(i);
      ASSERT_EQ(seen.count(id), 1u) << id << " never arrived";
    }
  int stamped = 0;
  int duplicates = 0;
  for (const auto &[id, n] : seen) {
    if (id.rfind("DXA60", 0) == 0 && id.size() == 53) ++stamped;
    duplicates += n - 1;
  }
  EXPECT_EQ(stamped, 2 * kEventsPerThread);
  // Duplicates only from lost replies.
  EXPECT_LE(duplicates, lossySwitches * kQueueThreads * kTransferSize) << "lossy switches: " << lossySwitches;
}

}  // namespace
