// Delivery figures of one build, in one run, against a local sink:
//  - VELM_AuditClient_SendEvent latency (p50, p99) on the non-blocking path,
//    with 1 and 4 application threads;
//  - delivered events/s over HTTP and HTTPS, with keep-alive and with a new
//    connection per batch, beside the conversion-only rate of the same event.
//  - against the sink in fast acceptance (--fast: it counts the events and
//    parses nothing), delivered events/s with the direct writer and with the
//    DOM conversion, beside each stage alone: the conversion, and the
//    transport posting the same batch bytes without converting anything.
// Prints the figures and the ratios against the goals. Not a test: the
// machine is shared, so read the figures, do not gate on them.
//
//   bench_delivery [events per run (5000)] [queue threads (2)] [fast]
// ("fast": only the figures against the sink in fast acceptance)
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "authz_event.h"
#include "capis/client.h"
#include "capis/element.h"
#include "capis/event.h"
#include "cbe/sendEvent.h"
#include "cbe/transport.h"
#include "support/sink.h"
#include "velm.h"

namespace {

using Clock = std::chrono::steady_clock;
using velm_bench::buildAuthzEvent;

struct Props {
  std::vector<std::string> keep;
  std::vector<int32_t> ints;
  std::vector<VELM_Property> list;
  Props() {
    keep.reserve(64);
    ints.reserve(64);
  }
  Props &s(const char *name, std::string value) {
    keep.push_back(std::move(value));
    list.push_back({name, VELM_VT_STRING, keep.back().c_str()});
    return *this;
  }
  Props &i(const char *name, int32_t value) {
    ints.push_back(value);
    list.push_back({name, VELM_VT_INTEGER, &ints.back()});
    return *this;
  }
  const VELM_Property *get() {
    list.push_back({nullptr, 0, nullptr});
    return list.data();
  }
};

struct Run {
  VELM_AuditClientContext *ctx = nullptr;
  VELM_AuditClient *client = nullptr;
  std::string dir;

  Run(const velm::test::Sink &sink, int queueSize, int queueThreads, int shutDownTimeout) {
    char tmpl[] = "/tmp/velm-bench-delivery-XXXXXX";
    if (mkdtemp(tmpl) != nullptr) dir = tmpl;
    Props p;
    p.s("serverURL", sink.url()).s("elementCodeSet", "UTF8").s("errorFilePath", dir + "/error.log");
    p.s("useDiskCache", "never").i("queueSize", queueSize).i("hiWater", 20).i("transferSize", 10);
    p.i("flushInterval", 1).i("numberEQThreads", queueThreads).i("shutDownTimeout", shutDownTimeout);
    if (sink.https()) {
      const auto &certs = velm::test::testCerts();
      p.s("keyFilePath", certs.store()).s("stashFilePath", certs.passwordFile());
    }
    VELM_result r{};
    ctx = VELM_AuditClientContext_Create(p.get(), &r);
    if (ctx == nullptr) {
      std::fprintf(stderr, "context: %s\n", r.numErrors > 0 ? r.errors[0].message : "?");
      std::exit(1);
    }
    VELM_Result_Clean(&r);
    client = VELM_AuditClient_Create(ctx, &r);
    if (client == nullptr) {
      std::fprintf(stderr, "client: %s\n", r.numErrors > 0 ? r.errors[0].message : "?");
      std::exit(1);
    }
    VELM_Result_Clean(&r);
  }
  ~Run() {
    VELM_result r{};
    VELM_AuditClient_Delete(client, &r);
    VELM_Result_Clean(&r);
    VELM_AuditClientContext_Delete(ctx, &r);
    VELM_Result_Clean(&r);
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
  uint64_t delivered() const {
    VELM_DeliveryStats s{};
    VELM_result r{};
    VELM_AuditClient_GetStats(client, &s, &r);
    VELM_Result_Clean(&r);
    return s.eventsDelivered;
  }
};

// The shared event carries a fixed "globalInstanceId", which a send would
// keep; take it out so that every send stamps its own, as for an
// application that leaves the id to the library.
void dropOwnId(VELM_AuditEvent *e, VELM_result *r) {
  for (int32_t i = 0; i < e->count; ++i) {
    if (std::strcmp(e->elements[i]->name, "globalInstanceId") != 0) continue;
    velm::auditElement_Delete(e->context, e->elements[i], r);
    std::memmove(e->elements + i, e->elements + i + 1, sizeof(VELM_AuditElement *) * (e->count - i));
    --e->count;
    return;
  }
}

std::vector<VELM_AuditEvent *> buildEvents(VELM_AuditClientContext *ctx, int n) {
  std::vector<VELM_AuditEvent *> events;
  events.reserve(static_cast<std::size_t>(n));
  VELM_result r{};
  for (int i = 0; i < n; ++i) {
    VELM_AuditEvent *e = buildAuthzEvent(ctx, &r);
    if (e == nullptr) {
      std::fprintf(stderr, "event: %s\n", r.numErrors > 0 ? r.errors[0].message : "?");
      std::exit(1);
    }
    dropOwnId(e, &r);
    events.push_back(e);
  }
  VELM_Result_Clean(&r);
  return events;
}

void waitDelivered(const Run &run, uint64_t n) {
  const auto deadline = Clock::now() + std::chrono::minutes(10);
  while (run.delivered() < n) {
    if (Clock::now() > deadline) {
      std::fprintf(stderr, "only %llu of %llu delivered\n", static_cast<unsigned long long>(run.delivered()),
                   static_cast<unsigned long long>(n));
      std::exit(1);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

// SendEvent latency with `threads` senders, each sending `perThread` events.
void latency(const velm::test::Sink &sink, int threads, int perThread) {
  // The queue never fills: the non-blocking path. What is still queued at the
  // end is dropped by the deletion (shutDownTimeout 0).
  Run run(sink, threads * perThread + 100, 1, 0);
  std::vector<std::vector<VELM_AuditEvent *>> events;
  for (int t = 0; t < threads; ++t) events.push_back(buildEvents(run.ctx, perThread));
  std::vector<std::vector<double>> micros(static_cast<std::size_t>(threads));
  std::atomic<int> ready{0};
  std::vector<std::thread> senders;
  for (int t = 0; t < threads; ++t) {
    senders.emplace_back([&, t] {
      auto &mine = micros[static_cast<std::size_t>(t)];
      mine.reserve(static_cast<std::size_t>(perThread));
      ready.fetch_add(1);
      while (ready.load() < threads) std::this_thread::yield();
      VELM_result r{};
      for (VELM_AuditEvent *e : events[static_cast<std::size_t>(t)]) {
        const auto a = Clock::now();
        const int rc = VELM_AuditClient_SendEvent(run.client, e, &r);
        const auto b = Clock::now();
        if (rc != 0) {
          std::fprintf(stderr, "send failed: %s\n", r.numErrors > 0 ? r.errors[0].message : "?");
          std::exit(1);
        }
        mine.push_back(std::chrono::duration<double, std::micro>(b - a).count());
      }
      VELM_Result_Clean(&r);
    });
  }
  for (auto &s : senders) s.join();
  std::vector<double> all;
  for (auto &m : micros) all.insert(all.end(), m.begin(), m.end());
  std::sort(all.begin(), all.end());
  const double p50 = all[all.size() / 2];
  const double p99 = all[all.size() * 99 / 100];
  std::printf("SendEvent latency, %d thread%s: p50 %.2f us, p99 %.2f us (goal p99 < 10 us: %s)\n", threads,
              threads == 1 ? "" : "s", p50, p99, p99 < 10.0 ? "met" : "NOT met");
}

// CPU seconds used so far by process pid (0: this process).
double cpuSeconds(pid_t pid) {
  if (pid == 0) {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
  }
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::istringstream rest(text.substr(text.rfind(')') + 2));
  std::string field;
  double ticks = 0;
  for (int i = 3; i <= 15 && rest >> field; ++i)
    if (i == 14 || i == 15) ticks += std::stod(field);  // utime, stime
  return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

struct CpuShare {
  double client = 0;  // CPU seconds of this process per delivered event
  double sink = 0;    // of the sink
};

// The parts of a send on their own: validation and the global instance id.
void sendParts(VELM_AuditClientContext *ctx) {
  constexpr int kRounds = 20000;
  std::vector<double> ids;
  std::vector<double> checks;
  ids.reserve(kRounds);
  checks.reserve(kRounds);
  VELM_result r{};
  VELM_AuditEvent *e = buildAuthzEvent(ctx, &r);
  char id[65];
  for (int i = 0; i < kRounds; ++i) {
    auto a = Clock::now();
    velm::createGIId(ctx, id, &r);
    auto b = Clock::now();
    VELM_AuditEvent_Validate(e, &r);
    auto c = Clock::now();
    ids.push_back(std::chrono::duration<double, std::micro>(b - a).count());
    checks.push_back(std::chrono::duration<double, std::micro>(c - b).count());
  }
  VELM_AuditEvent_Delete(e, &r);
  VELM_Result_Clean(&r);
  std::sort(ids.begin(), ids.end());
  std::sort(checks.begin(), checks.end());
  std::printf("  of which: global instance id p50 %.2f us, p99 %.2f us; validation p50 %.2f us, p99 %.2f us\n",
              ids[kRounds / 2], ids[kRounds * 99 / 100], checks[kRounds / 2], checks[kRounds * 99 / 100]);
}

// Delivered events per second, from the first send to the last delivery.
double throughput(const velm::test::Sink &sink, int n, int queueThreads, CpuShare *cpu) {
  Run run(sink, n + 100, queueThreads, -1);
  std::vector<VELM_AuditEvent *> events = buildEvents(run.ctx, n);
  VELM_result r{};
  const double client0 = cpuSeconds(0);
  const double sink0 = cpuSeconds(sink.pid());
  const auto a = Clock::now();
  for (VELM_AuditEvent *e : events) {
    if (VELM_AuditClient_SendEvent(run.client, e, &r) != 0) {
      std::fprintf(stderr, "send failed\n");
      std::exit(1);
    }
  }
  waitDelivered(run, static_cast<uint64_t>(n));
  const double secs = std::chrono::duration<double>(Clock::now() - a).count();
  cpu->client = (cpuSeconds(0) - client0) / n;
  cpu->sink = (cpuSeconds(sink.pid()) - sink0) / n;
  VELM_Result_Clean(&r);
  return n / secs;
}

// The same event converted to its XML text, nothing else.
double conversionOnly(int n) {
  VELM_AuditClientContext *ctx = velm_bench::context();
  VELM_result r{};
  VELM_AuditEvent *e = buildAuthzEvent(ctx, &r);
  VELM_AuditEvent_Validate(e, &r);
  const auto a = Clock::now();
  for (int i = 0; i < n; ++i) {
    char *xml = velm::velmAuditEventToText(ctx, e, &r);
    if (xml == nullptr) {
      std::fprintf(stderr, "conversion failed\n");
      std::exit(1);
    }
    VELM_Free(xml);
  }
  const double secs = std::chrono::duration<double>(Clock::now() - a).count();
  VELM_AuditEvent_Delete(e, &r);
  VELM_Result_Clean(&r);
  return n / secs;
}

// The transport alone: batches of 10 ready event texts posted by `threads`
// threads, nothing converted. Delivered events per second.
double transportOnly(const velm::test::Sink &sink, int n, int threads) {
  Run run(sink, 100, 1, 0);
  VELM_result r{};
  VELM_AuditEvent *e = buildAuthzEvent(run.ctx, &r);
  VELM_AuditEvent_Validate(e, &r);
  char *one = velm::velmAuditEventToText(run.ctx, e, &r);
  VELM_AuditEvent_Delete(e, &r);
  VELM_Result_Clean(&r);
  if (one == nullptr) {
    std::fprintf(stderr, "conversion failed\n");
    std::exit(1);
  }
  constexpr int kBatch = 10;
  const int batches = std::max(1, n / kBatch / threads);
  const auto a = Clock::now();
  std::vector<std::thread> senders;
  for (int t = 0; t < threads; ++t) {
    senders.emplace_back([&] {
      velm::CommonBaseEventType_ArrayTag *batch = velm::newCommonBaseEvents(kBatch);
      for (int i = 0; i < kBatch; ++i) batch->entries[batch->count++] = velm::newCommonBaseEvent(strdup(one));
      VELM_result rr{};
      for (int b = 0; b < batches; ++b) {
        if (velm::sendEvent(run.ctx, batch, 0, &rr) != 0) {
          std::fprintf(stderr, "transport failed\n");
          std::exit(1);
        }
      }
      VELM_Result_Clean(&rr);
      velm::freeCommonBaseEvents(batch);
    });
  }
  for (auto &t : senders) t.join();
  const double secs = std::chrono::duration<double>(Clock::now() - a).count();
  std::free(one);
  return static_cast<double>(batches) * kBatch * threads / secs;
}

// Fast acceptance: the library's own throughput, before (DOM) and after
// (direct writer), beside each stage alone.
void fastSinkFigures(int n, int queueThreads) {
  velm::test::Sink fast(velm::test::SinkOptions().withArgs({"--fast"}));
  struct Figure {
    const char *name;
    bool dom;
    double convert = 0, transport = 0, rate = 0;
    CpuShare cpu;
  };
  Figure figures[] = {{"before: DOM conversion", true, 0, 0, 0, {}}, {"after:  direct writer", false, 0, 0, 0, {}}};
  for (Figure &f : figures) {
    velm::setDomConversion(f.dom);
    f.convert = conversionOnly(n);
    f.transport = transportOnly(fast, n, queueThreads);
    f.rate = throughput(fast, n, queueThreads, &f.cpu);
  }
  velm::setDomConversion(false);
  std::printf("Sink in fast acceptance (--fast), HTTP keep-alive, %d events per run, %d queue thread%s, batches of 10\n",
              n, queueThreads, queueThreads == 1 ? "" : "s");
  for (const Figure &f : figures) {
    const double slowest = std::min(f.convert, f.transport);
    std::printf("%-24s end to end %8.0f events/s; alone: conversion (1 thread) %8.0f, transport (%d thread%s) "
                "%8.0f events/s; end to end / slowest stage %5.1f %% (goal >= 80 %%: %s)  (CPU per event: client "
                "%.0f us, sink %.0f us)\n",
                f.name, f.rate, f.convert, queueThreads, queueThreads == 1 ? "" : "s", f.transport,
                100 * f.rate / slowest, f.rate >= 0.8 * slowest ? "met" : "NOT met", 1e6 * f.cpu.client,
                1e6 * f.cpu.sink);
  }
  std::printf("end to end, writer vs DOM: %.1f times\n", figures[1].rate / figures[0].rate);
}

}  // namespace

int main(int argc, char **argv) {
  const int n = argc > 1 ? std::max(100, std::atoi(argv[1])) : 5000;
  const int queueThreads = argc > 2 ? std::max(1, std::atoi(argv[2])) : 2;
  velm_bench::context();  // keeps the process-wide runtimes up across runs
  if (argc > 3 && std::strcmp(argv[3], "fast") == 0) {
    fastSinkFigures(n, queueThreads);
    return 0;
  }

  velm::test::Sink http;
  latency(http, 1, 20000);
  latency(http, 4, 5000);
  sendParts(velm_bench::context());

  velm::test::SinkOptions tls;
  tls.https = true;
  velm::test::Sink https(tls);

  // Each delivery run beside a conversion-only run made just before it, so
  // that a busy machine weighs on both alike.
  struct Pair {
    const char *name;
    const velm::test::Sink *sink;
    bool reuse;
    double convert = 0;
    double rate = 0;
    CpuShare cpu;
  };
  Pair runs[] = {{"HTTP,  keep-alive", &http, true, 0, 0, {}},
                 {"HTTP,  new connection per batch", &http, false, 0, 0, {}},
                 {"HTTPS, keep-alive", &https, true, 0, 0, {}},
                 {"HTTPS, new connection per batch", &https, false, 0, 0, {}}};
  for (Pair &p : runs) {
    p.convert = conversionOnly(n);
    velm::setConnectionReuse(p.reuse);
    p.rate = throughput(*p.sink, n, queueThreads, &p.cpu);
  }
  velm::setConnectionReuse(true);

  std::printf("%d events per run, %d queue thread%s, batches of 10\n", n, queueThreads, queueThreads == 1 ? "" : "s");
  for (const Pair &p : runs)
    std::printf("%-32s %8.0f events/s, conversion only %8.0f events/s: %5.1f %%  (CPU per event: client %.0f us, "
                "sink %.0f us)\n",
                p.name, p.rate, p.convert, 100 * p.rate / p.convert, 1e6 * p.cpu.client, 1e6 * p.cpu.sink);
  const double httpShare = runs[0].rate / runs[0].convert;
  const double httpsShare = runs[2].rate / runs[2].convert;
  std::printf("HTTP keep-alive end to end vs conversion: %.0f %% (goal >= 80 %%: %s)\n", 100 * httpShare,
              httpShare >= 0.8 ? "met" : "NOT met");
  std::printf("HTTPS vs HTTP (keep-alive, each against its conversion run): %.0f %% (goal >= 90 %%: %s)\n",
              100 * httpsShare / httpShare, httpsShare >= 0.9 * httpShare ? "met" : "NOT met");
  std::printf("HTTPS keep-alive vs new connection per batch: %.1f times\n", runs[2].rate / runs[3].rate);
  fastSinkFigures(n, queueThreads);
  return 0;
}
