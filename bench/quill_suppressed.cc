// Cost of a trace call that the logger's level suppresses, and proof that
// it allocates nothing.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "qlg.h"

namespace {
std::atomic<long> gAllocations{0};
}

// Every allocation of the process goes through here; the pairing with
// free() is ours on both sides.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void *operator new(std::size_t size) {
  gAllocations.fetch_add(1, std::memory_order_relaxed);
  if (void *p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void *p) noexcept { std::free(p); }
void operator delete(void *p, std::size_t) noexcept { std::free(p); }

static void BM_SuppressedDebugMin(benchmark::State &state) {
  QlgOpenToolkit(nullptr);
  QlgObject *logger = QlgGetObject("bench.suppressed", "qlg_basiclogger");
  QlgSetObjPropInt(logger, "level", QLG_LEVEL_WARN);
  long before = gAllocations.load();
  for (auto _ : state) {
    int rc = QlgLogDebugMin(logger, "bench", "[loop]", __LINE__, "value %s = %d", QLG_STRING, "x", QLG_INT, 42,
                            QLG_END);
    benchmark::DoNotOptimize(rc);
  }
  state.counters["allocs_per_call"] =
      static_cast<double>(gAllocations.load() - before) / static_cast<double>(state.iterations());
  QlgReleaseObject(logger);
  QlgCloseToolkit();
}
BENCHMARK(BM_SuppressedDebugMin);

static void BM_IsLoggable(benchmark::State &state) {
  QlgOpenToolkit(nullptr);
  QlgObject *logger = QlgGetObject("bench.loggable", "qlg_basiclogger");
  QlgSetObjPropInt(logger, "level", QLG_LEVEL_WARN);
  for (auto _ : state) benchmark::DoNotOptimize(QlgIsLoggable(logger, QLG_LEVEL_DEBUG_MIN));
  QlgReleaseObject(logger);
  QlgCloseToolkit();
}
BENCHMARK(BM_IsLoggable);

BENCHMARK_MAIN();
