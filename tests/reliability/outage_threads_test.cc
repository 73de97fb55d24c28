// Outages under load: four threads keep sending with useDiskCache "auto"
// while the service stops, slows beyond responseTimeout or answers HTTP 500
// for a while. Once it is back everything accepted arrives, the cache ends
// empty, nothing is discarded and message 66 is never written.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "reliability/reliability_support.h"

namespace {

using client_test::Context;
using client_test::Result;
using reliability_test::CacheDir;
using reliability_test::Senders;
using velm::test::Sink;

constexpr int kThreads = 4;
#if defined(__SANITIZE_THREAD__)
constexpr auto kPause = std::chrono::milliseconds(40);  // ThreadSanitizer runs many times slower
#else
constexpr auto kPause = std::chrono::milliseconds(5);
#endif

struct Outage {
  const char *name;
  const char *mode;
  std::chrono::seconds length;
  int responseTimeout;
};

void survive(const Outage &o) {
  SCOPED_TRACE(o.name);
  Sink sink;
  CacheDir cache;
  Context ctx(sink.url(), reliability_test::autoProps(cache.prefix(), {client_test::num("responseTimeout",
                                                                                          o.responseTimeout)}));
  ASSERT_NE(ctx.get(), nullptr);
  Result r;
  VELM_AuditClient *client = VELM_AuditClient_Create(ctx.get(), &r);
  ASSERT_NE(client, nullptr) << r.all();
  {
    Senders senders(client, ctx.get(), kThreads, kPause);
    ASSERT_TRUE(sink.waitForEvents(20));
    sink.setMode(o.mode);
    const std::size_t before = senders.count();
    // The outage lasts its length of time: the scenario, not a synchronisation.
    std::this_thread::sleep_for(o.length);
    EXPECT_GT(senders.count(), before) << "sends must not stall during the outage";
    sink.setMode("ok");
    const long atRecovery = sink.stats().events;
    ASSERT_TRUE(sink.waitForEvents(static_cast<std::size_t>(atRecovery) + 20, std::chrono::seconds(120)));
    senders.stop();
    EXPECT_EQ(senders.refused(), 0);
    const std::set<std::string> accepted = senders.accepted();
    ASSERT_TRUE(client_test::waitFor(
        [&] { return reliability_test::missing(accepted, reliability_test::arrived(sink)) == 0; },
        std::chrono::seconds(180)))
        << reliability_test::missing(accepted, reliability_test::arrived(sink)) << " of " << accepted.size()
        << " events missing";
  }
  EXPECT_EQ(client_test::stats(client).eventsDiscarded, 0u);
  Result del;
  EXPECT_EQ(VELM_AuditClient_Delete(client, &del), 0) << del.all();
  EXPECT_FALSE(del.has(67)) << del.all();
  EXPECT_EQ(ctx.errorLog().find("DXACC0066E"), std::string::npos) << ctx.errorLog();
  ctx.close();
  EXPECT_TRUE(cache.undelivered().empty());
}

TEST(OutageUnderLoad, ShortOutagesLoseNothing) {
  const Outage cases[] = {
      {"stopped 1 s", "stopped", std::chrono::seconds(1), 30},
      {"stopped 5 s", "stopped", std::chrono::seconds(5), 30},
      {"slower than responseTimeout", "slow:2500", std::chrono::seconds(5), 1},
      {"HTTP 500", "http500", std::chrono::seconds(4), 30},
      {"dropped connections", "drop", std::chrono::seconds(3), 30},
  };
  for (const Outage &o : cases) survive(o);
}

TEST(OutageUnderLoad, ThirtySecondOutageLosesNothing) {
  survive({"stopped 30 s", "stopped", std::chrono::seconds(30), 30});
}

}  // namespace
