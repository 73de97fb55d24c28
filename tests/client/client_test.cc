// The audit client and its event queue against a local sink: creation,
// global instance ids, batching, a full queue, thread start-up, deletion.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "capis/event_queue.h"
#include "client/client_support.h"

namespace {

using client_test::Context;
using client_test::num;
using client_test::Result;
using client_test::send;
using client_test::stats;
using client_test::str;
using client_test::waitFor;
using velm::test::Sink;

// Deletes the client at the end of the test unless the test did.
struct ClientGuard {
  VELM_AuditClient *client = nullptr;
  ~ClientGuard() { reset(); }
  void reset() {
    Result r;
    if (client != nullptr) VELM_AuditClient_Delete(client, &r);
    client = nullptr;
  }
};

velm::test::SinkOptions modeOptions(const char *mode) {
  velm::test::SinkOptions o;
  o.mode = mode;
  return o;
}

long requestsSoFar(const Sink &sink) { return sink.stats().requests; }

std::vector<std::string> traceLines(const std::string &text) {
  std::vector<std::string> out;
  std::size_t start = 0;
  for (std::size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1)
    out.push_back(text.substr(start, nl - start));
  return out;
}

TEST(ClientCreate, SecondClientIsRefusedAndFirstKeepsWorking) {
  Sink sink;
  Context ctx(sink.url(), {str("useDiskCache", "never"), num("flushInterval", 1)});
  Result r1;
  ClientGuard first{VELM_AuditClient_Create(ctx.get(), &r1)};
  ASSERT_NE(first.client, nullptr) << r1.all();

  Result r2;
  EXPECT_EQ(VELM_AuditClient_Create(ctx.get(), &r2), nullptr);
  EXPECT_TRUE(r2.has(61)) << r2.all();
  EXPECT_NE(ctx.errorLog().find("DXACC0061E"), std::string::npos);

  EXPECT_EQ(send(first.client, ctx.get()), 0);
  EXPECT_TRUE(sink.waitForEvents(1));
}

TEST(ClientCreate, ServerCheckFailures) {
  struct Case {
    const char *name;
    const char *mode;
    int message;  // expected in the record, 0: none required
  };
  const Case cases[] = {
      {"unreachable without disk cache", "stopped", 20},
      {"security role refused", "secj", 0},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    Sink sink(modeOptions(c.mode));
    Context ctx(sink.url(), {str("useDiskCache", "never")});
    Result r;
    ClientGuard client{VELM_AuditClient_Create(ctx.get(), &r)};
    EXPECT_EQ(client.client, nullptr);
    if (c.message != 0) {
      EXPECT_TRUE(r.has(c.message)) << r.all();
    }
  }
}

TEST(ClientCreate, FewerQueueThreadsThanRequested) {
  struct Case {
    const char *name;
    int requested;
    int startsBeforeFailure;
    bool created;
    int message;
    const char *text;
  };
  const Case cases[] = {
      {"two of three start", 3, 2, true, 54, "Only 2 of the 3 specified event queue threads"},
      {"none starts", 2, 0, false, 52, "No event queue threads could be spawned"},
  };
  Sink sink;
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    Context ctx(sink.url(), {str("useDiskCache", "never"), num("numberEQThreads", c.requested),
                             num("flushInterval", 1)});
    velm::failEQThreadStartsAfter(c.startsBeforeFailure);
    Result r;
    ClientGuard client{VELM_AuditClient_Create(ctx.get(), &r)};
    velm::failEQThreadStartsAfter(-1);
    EXPECT_EQ(client.client != nullptr, c.created) << r.all();
    EXPECT_TRUE(r.has(c.message)) << r.all();
    EXPECT_NE(r.text(c.message).find(c.text), std::string::npos) << r.text(c.message);
    EXPECT_TRUE(r.has(11)) << r.all();  // each failed start is recorded
    if (client.client != nullptr) {
      // The client works with the threads it has.
      const auto before = sink.events().size();
      EXPECT_EQ(send(client.client, ctx.get()), 0);
      EXPECT_TRUE(sink.waitForEvents(before + 1));
    }
  }
}

TEST(ClientSend, GlobalInstanceIds) {
  Sink sink;
  Context ctx(sink.url(), {str("useDiskCache", "never"), num("flushInterval", 1)});
  Result r;
  ClientGuard client{VELM_AuditClient_Create(ctx.get(), &r)};
  ASSERT_NE(client.client, nullptr) << r.all();

  ASSERT_EQ(send(client.client, ctx.get(), "application-own-id-1"), 0);
  ASSERT_EQ(send(client.client, ctx.get()), 0);
  ASSERT_EQ(send(client.client, ctx.get()), 0);
  ASSERT_TRUE(sink.waitForEvents(3));

  std::vector<std::string> made;
  bool ownKept = false;
  for (const std::string &id : sink.eventIds()) {
    if (id == "application-own-id-1") {
      ownKept = true;
    } else {
      made.push_back(id);
    }
  }
  EXPECT_TRUE(ownKept);
  ASSERT_EQ(made.size(), 2u);
  char pid[16];
  std::snprintf(pid, sizeof pid, "%08X", static_cast<unsigned>(getpid()));
  for (const std::string &id : made) {
    SCOPED_TRACE(id);
    EXPECT_EQ(id.size(), 53u);
    EXPECT_EQ(id.rfind("DXA60", 0), 0u);
    EXPECT_EQ(id.find_first_not_of("0123456789ABCDEF", 5), std::string::npos);
    EXPECT_EQ(id.substr(37, 8), pid);
  }
  const unsigned long a = std::stoul(made[0].substr(45), nullptr, 16);
  const unsigned long b = std::stoul(made[1].substr(45), nullptr, 16);
  EXPECT_EQ(std::max(a, b) - std::min(a, b), 1u);
}

TEST(ClientSend, RefusedSendsLeaveTheEventWithTheCaller) {
  Sink sink;
  Context ctx(sink.url(), {str("useDiskCache", "never")});
  Result r;
  ClientGuard client{VELM_AuditClient_Create(ctx.get(), &r)};
  ASSERT_NE(client.client, nullptr) << r.all();

  VELM_AuditEvent *event = client_test::makeEvent(ctx.get());
  ASSERT_NE(event, nullptr);
  Result nullClient;
  EXPECT_EQ(VELM_AuditClient_SendEvent(nullptr, event, &nullClient), -1);
  EXPECT_TRUE(nullClient.has(13)) << nullClient.all();

  // Invalid: "AUDIT_COMPLIANCE" needs its outcome and source.
  VELM_AuditEvent *invalid = VELM_AuditEvent_Create(ctx.get(), "AUDIT_COMPLIANCE", &r);
  ASSERT_NE(invalid, nullptr);
  Result bad;
  EXPECT_EQ(VELM_AuditClient_SendEvent(client.client, invalid, &bad), -1);
  EXPECT_GT(bad.r.numErrors, 0);

  // Both are still the caller's to delete (a double delete would crash here).
  Result d;
  EXPECT_EQ(VELM_AuditEvent_Delete(event, &d), 0);
  EXPECT_EQ(VELM_AuditEvent_Delete(invalid, &d), 0);
  EXPECT_EQ(stats(client.client).eventsAccepted, 0u);
}

TEST(ClientQueue, Batching) {
  struct Case {
    const char *name;
    int events;
    int flushInterval;
    bool heldUntilFlush;
  };
  // transferSize 10, hiWater 20.
  const Case cases[] = {
      {"fifteen wait for the flush interval, then go as 10 and 5", 15, 3, true},
      {"the twentieth wakes the threads: two batches of 10", 20, 3600, false},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    Sink sink;
    Context ctx(sink.url(), {str("useDiskCache", "never"), num("transferSize", 10), num("hiWater", 20),
                             num("queueSize", 50), num("flushInterval", c.flushInterval)});
    Result r;
    ClientGuard client{VELM_AuditClient_Create(ctx.get(), &r)};
    ASSERT_NE(client.client, nullptr) << r.all();
    const long base = requestsSoFar(sink);
    for (int i = 0; i < c.events; ++i) ASSERT_EQ(send(client.client, ctx.get()), 0);
    if (c.heldUntilFlush) {
      EXPECT_EQ(sink.events().size(), 0u);
      EXPECT_EQ(stats(client.client).queueDepth, static_cast<uint64_t>(c.events));
    }
    ASSERT_TRUE(sink.waitForEvents(static_cast<std::size_t>(c.events)));
    EXPECT_EQ(requestsSoFar(sink) - base, 2);
    const VELM_DeliveryStats s = stats(client.client);
    EXPECT_EQ(s.eventsAccepted, static_cast<uint64_t>(c.events));
    EXPECT_TRUE(waitFor([&] { return stats(client.client).eventsDelivered == static_cast<uint64_t>(c.events); }));
    EXPECT_EQ(stats(client.client).batchesSent, 2u);
    EXPECT_EQ(stats(client.client).queueDepth, 0u);
  }
}

// One queue thread stuck on a failing server holds one event; the queue
// behind it holds queueSize more; the next send finds it full.
TEST(ClientQueue, FullQueueDropsAndCounts) {
  struct Case {
    const char *name;
    int tempStorageFullTimeout;
    bool recoverBeforeDelete;
  };
  const Case cases[] = {
      {"no wait; reported when the queue drains (66)", 0, true},
      {"waits, then drops; reported at deletion (67)", 1, false},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    Sink sink;
    Context ctx(sink.url(), {str("useDiskCache", "never"), num("transferSize", 1), num("hiWater", 1),
                             num("queueSize", 3), num("lowWater", 1), num("numberRetries", 1),
                             num("retryInterval", 1), num("tempStorageFullTimeout", c.tempStorageFullTimeout),
                             num("shutDownTimeout", 0)});
    Result r;
    ClientGuard client{VELM_AuditClient_Create(ctx.get(), &r)};
    ASSERT_NE(client.client, nullptr) << r.all();
    sink.setMode("http500");
    ASSERT_EQ(send(client.client, ctx.get()), 0);
    ASSERT_TRUE(waitFor([&] { return sink.stats().errors >= 1 && stats(client.client).queueDepth == 0; }));
    for (int i = 0; i < 3; ++i) ASSERT_EQ(send(client.client, ctx.get()), 0);
    EXPECT_EQ(stats(client.client).queueDepth, 3u);

    EXPECT_EQ(send(client.client, ctx.get()), 0);  // dropped, yet the send succeeds
    EXPECT_EQ(stats(client.client).eventsDiscarded, 1u);
    EXPECT_EQ(stats(client.client).eventsAccepted, 5u);

    Result del;
    if (c.recoverBeforeDelete) {
      sink.start();
      ASSERT_TRUE(sink.waitForEvents(4));
      EXPECT_TRUE(waitFor([&] { return ctx.errorLog().find("DXACC0066E") != std::string::npos; }));
      EXPECT_NE(ctx.errorLog().find(", 1 audit events could not"), std::string::npos);
      ASSERT_EQ(VELM_AuditClient_Delete(client.client, &del), 0);
      client.client = nullptr;
      EXPECT_FALSE(del.has(67)) << del.all();
    } else {
      ASSERT_EQ(VELM_AuditClient_Delete(client.client, &del), 0);
      client.client = nullptr;
      EXPECT_TRUE(del.has(67)) << del.all();
      EXPECT_NE(del.text(67).find(" 1 audit events"), std::string::npos) << del.text(67);
      EXPECT_TRUE(del.has(18)) << del.all();
    }
  }
}

TEST(ClientDelete, ShutDownTimeout) {
  // -1: the deletion returns once the queue is empty and the threads ended.
  {
    SCOPED_TRACE("no limit");
    Sink sink(modeOptions("slow:300"));
    Context ctx(sink.url(), {str("useDiskCache", "never"), num("transferSize", 1), num("hiWater", 1),
                             num("shutDownTimeout", -1)});
    Result r;
    VELM_AuditClient *client = VELM_AuditClient_Create(ctx.get(), &r);
    ASSERT_NE(client, nullptr) << r.all();
    for (int i = 0; i < 5; ++i) ASSERT_EQ(send(client, ctx.get()), 0);
    Result del;
    ASSERT_EQ(VELM_AuditClient_Delete(client, &del), 0);
    EXPECT_FALSE(del.has(18)) << del.all();
    EXPECT_EQ(sink.stats().events, 5);
  }
  // 0: no wait for the queue; what is left is reported with message 18.
  {
    SCOPED_TRACE("zero");
    Sink sink;
    Context ctx(sink.url(), {str("useDiskCache", "never"), num("transferSize", 1), num("hiWater", 1),
                             num("queueSize", 10), num("retryInterval", 1), num("shutDownTimeout", 0)});
    Result r;
    VELM_AuditClient *client = VELM_AuditClient_Create(ctx.get(), &r);
    ASSERT_NE(client, nullptr) << r.all();
    sink.setMode("http500");
    ASSERT_EQ(send(client, ctx.get()), 0);
    ASSERT_TRUE(waitFor([&] { return sink.stats().errors >= 1 && stats(client).queueDepth == 0; }));
    for (int i = 0; i < 5; ++i) ASSERT_EQ(send(client, ctx.get()), 0);
    Result del;
    ASSERT_EQ(VELM_AuditClient_Delete(client, &del), 0);
    EXPECT_TRUE(del.has(18)) << del.all();
    EXPECT_NE(del.text(18).find(" 5 audit events"), std::string::npos) << del.text(18);
    EXPECT_EQ(sink.stats().events, 0);
  }
}

TEST(ClientQueue, WithoutDiskCacheABatchIsResentUntilItGoesThrough) {
  Sink sink;
  Context ctx(sink.url(), {str("useDiskCache", "never"), num("transferSize", 1), num("hiWater", 1),
                           num("numberRetries", 1), num("retryInterval", 1)});
  Result r;
  ClientGuard client{VELM_AuditClient_Create(ctx.get(), &r)};
  ASSERT_NE(client.client, nullptr) << r.all();
  sink.setMode("http500");
  ASSERT_EQ(send(client.client, ctx.get()), 0);
  // Well past numberRetries + 1 attempts.
  ASSERT_TRUE(waitFor([&] { return sink.stats().errors >= 4; }));
  EXPECT_EQ(sink.stats().events, 0);
  sink.start();
  ASSERT_TRUE(sink.waitForEvents(1));
  EXPECT_TRUE(waitFor([&] { return stats(client.client).eventsDelivered == 1; }));
  // Every failed attempt was followed by a retry.
  EXPECT_EQ(stats(client.client).retries, static_cast<uint64_t>(sink.stats().errors));
  EXPECT_EQ(sink.events().size(), 1u);
}

TEST(ClientStats, ArgumentChecks) {
  Sink sink;
  Context ctx(sink.url(), {str("useDiskCache", "never")});
  Result r;
  ClientGuard client{VELM_AuditClient_Create(ctx.get(), &r)};
  ASSERT_NE(client.client, nullptr) << r.all();

  VELM_DeliveryStats s{};
  Result noClient;
  EXPECT_EQ(VELM_AuditClient_GetStats(nullptr, &s, &noClient), -1);
  EXPECT_TRUE(noClient.has(13));
  Result noStats;
  EXPECT_EQ(VELM_AuditClient_GetStats(client.client, nullptr, &noStats), -1);
  EXPECT_TRUE(noStats.has(9));
  EXPECT_EQ(VELM_AuditClient_GetStats(client.client, &s, nullptr), -1);
  Result noDelete;
  EXPECT_EQ(VELM_AuditClient_Delete(nullptr, &noDelete), -1);
  EXPECT_TRUE(noDelete.has(13));
}

}  // namespace

namespace {

// A queue thread stuck in a request past the deletion's grace outlives the
// deletion. Its queue must stay valid until it has left; a build with
// AddressSanitizer or ThreadSanitizer reports any use of freed memory here.
TEST(ClientDelete, AThreadThatOutlivesTheDeletionKeepsItsQueue) {
  Sink sink;
  // The deletion gives the threads 20 seconds twice (queue threads, then all
  // threads); the reply comes later than that.
  Context ctx(sink.url(), {str("useDiskCache", "never"), num("transferSize", 1), num("hiWater", 1),
                           num("responseTimeout", 120), num("shutDownTimeout", 0)},
              2);
  Result r;
  VELM_AuditClient *client = VELM_AuditClient_Create(ctx.get(), &r);
  ASSERT_NE(client, nullptr) << r.all();
  const long base = requestsSoFar(sink);
  sink.setMode("slow:45000");
  ASSERT_EQ(send(client, ctx.get()), 0);
  ASSERT_TRUE(waitFor([&] { return requestsSoFar(sink) > base; }));

  Result del;
  ASSERT_EQ(VELM_AuditClient_Delete(client, &del), 0);
  EXPECT_NE(ctx.errorLog().find("1 event queue threads and 0 disk cache manager threads are still running"),
            std::string::npos);

  // The context is deleted at once, as an application may: the deletion
  // waits for the thread, which gets its reply, finishes the batch and
  // leaves before the context goes.
  ctx.close();
  bool exited = false;
  for (const std::string &line : traceLines(ctx.traceLog()))
    exited = exited || (line.find("[eventQueueHandler]") != std::string::npos && line.find("EXIT") != std::string::npos);
  EXPECT_TRUE(exited) << "the context was deleted while its queue thread still ran";
  EXPECT_TRUE(sink.waitForEvents(1, std::chrono::seconds(120)));
}

}  // namespace
