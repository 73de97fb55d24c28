// Cost of one authorisation audit event through the public interface:
// build it (user, resource and permission info, outcome, source component
// and a few strings), validate it, delete it. Reports events per second on
// one thread and heap allocations per event.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "authz_event.h"
#include "velm.h"

// Counts calls into the C heap. operator new goes through malloc, so this
// covers the C++ side too. Left out under sanitizers, which own malloc.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define VELM_BENCH_COUNT_ALLOCS 0
#else
#define VELM_BENCH_COUNT_ALLOCS 1
#endif

namespace {
std::atomic<long> heapAllocs{0};
}  // namespace

#if VELM_BENCH_COUNT_ALLOCS
extern "C" {
void *__libc_malloc(size_t);
void *__libc_calloc(size_t, size_t);
void *__libc_realloc(void *, size_t);
void __libc_free(void *);

void *malloc(size_t n) {
  heapAllocs.fetch_add(1, std::memory_order_relaxed);
  return __libc_malloc(n);
}
void *calloc(size_t count, size_t n) {
  heapAllocs.fetch_add(1, std::memory_order_relaxed);
  return __libc_calloc(count, n);
}
void *realloc(void *p, size_t n) {
  heapAllocs.fetch_add(1, std::memory_order_relaxed);
  return __libc_realloc(p, n);
}
void free(void *p) { __libc_free(p); }
}
#endif

namespace {

using velm_bench::buildAuthzEvent;
using velm_bench::context;

void reportFailure(benchmark::State &state, VELM_result *r, const char *what) { velm_bench::fail(state, r, what); }

// Build, validate, delete: the application's whole share of one event.
void BM_AuthzBuildValidateDelete(benchmark::State &state) {
  VELM_AuditClientContext *ctx = context();
  if (ctx == nullptr) {
    state.SkipWithError("no context");
    return;
  }
  VELM_result r{};
  const long before = heapAllocs.load(std::memory_order_relaxed);
  for (auto _ : state) {
    VELM_AuditEvent *event = buildAuthzEvent(ctx, &r);
    if (event == nullptr) {
      reportFailure(state, &r, "build");
      break;
    }
    if (VELM_AuditEvent_Validate(event, &r) != 0) {
      reportFailure(state, &r, "validate");
      VELM_AuditEvent_Delete(event, &r);
      break;
    }
    VELM_AuditEvent_Delete(event, &r);
  }
  const long allocs = heapAllocs.load(std::memory_order_relaxed) - before;
  VELM_Result_Clean(&r);
  state.SetItemsProcessed(state.iterations());
  if (VELM_BENCH_COUNT_ALLOCS)
    state.counters["allocs_per_event"] = benchmark::Counter(static_cast<double>(allocs),
                                                            benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_AuthzBuildValidateDelete);

// Validation alone, on an event that already carries its time stamp.
void BM_AuthzValidateOnly(benchmark::State &state) {
  VELM_AuditClientContext *ctx = context();
  if (ctx == nullptr) {
    state.SkipWithError("no context");
    return;
  }
  VELM_result r{};
  VELM_AuditEvent *event = buildAuthzEvent(ctx, &r);
  if (event == nullptr || VELM_AuditEvent_Validate(event, &r) != 0) {
    reportFailure(state, &r, "set-up");
    if (event != nullptr) VELM_AuditEvent_Delete(event, &r);
    VELM_Result_Clean(&r);
    return;
  }
  const long before = heapAllocs.load(std::memory_order_relaxed);
  for (auto _ : state) benchmark::DoNotOptimize(VELM_AuditEvent_Validate(event, &r));
  const long allocs = heapAllocs.load(std::memory_order_relaxed) - before;
  VELM_AuditEvent_Delete(event, &r);
  VELM_Result_Clean(&r);
  state.SetItemsProcessed(state.iterations());
  if (VELM_BENCH_COUNT_ALLOCS)
    state.counters["allocs_per_event"] = benchmark::Counter(static_cast<double>(allocs),
                                                            benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_AuthzValidateOnly);

}  // namespace

BENCHMARK_MAIN();
