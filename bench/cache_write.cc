// The disk cache's own costs on the realistic event: compressing a batch,
// writing it as a record (compress and append, one and two writer threads),
// and draining a file of such records through a transport that only counts.
// Reports MB/s of batch text, events/s and the compression ratio. The write
// runs with cacheSync "no" (the default) and "yes" (a disk sync per record).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "authz_event.h"
#include "capis/cache_internal.h"
#include "capis/context.h"
#include "cbe/sendEvent.h"
#include "platform/compress.h"
#include "velm.h"

namespace {

constexpr int kBatchEvents = 10;

// One batch string of kBatchEvents realistic events, as the transport hands it over.
const std::string &batchText() {
  static const std::string text = [] {
    VELM_result r{};
    std::string out;
    VELM_AuditEvent *event = velm_bench::buildAuthzEvent(velm_bench::context(), &r);
    if (event != nullptr && VELM_AuditEvent_Validate(event, &r) == 0) {
      char *one = velm::velmAuditEventToXMLString(velm_bench::context(), event, &r);
      if (one != nullptr) {
        for (int i = 0; i < kBatchEvents; ++i) out += one;
        std::free(one);
      }
    }
    if (event != nullptr) VELM_AuditEvent_Delete(event, &r);
    VELM_Result_Clean(&r);
    return out;
  }();
  return text;
}

// A context with a disk cache in a scratch directory.
class CacheContext {
 public:
  explicit CacheContext(bool sync = false) {
    char tmpl[] = "/tmp/velm-cache-bench-XXXXXXXX";
    if (mkdtemp(tmpl) == nullptr) return;
    dir_ = tmpl;
    const std::string errorFile = dir_ + "/error.log";
    const std::string cachePath = dir_ + "/batch";
    const VELM_Property props[] = {{"serverURL", VELM_VT_STRING, "http://127.0.0.1:1/audit"},
                                   {"elementCodeSet", VELM_VT_STRING, "UTF8"},
                                   {"errorFilePath", VELM_VT_STRING, errorFile.c_str()},
                                   {"diskCachePath", VELM_VT_STRING, cachePath.c_str()},
                                   {"numberEQThreads", VELM_VT_INTEGER, &two_},
                                   {"tempStorageFullTimeout", VELM_VT_INTEGER, &zero_},
                                   {"cacheSync", VELM_VT_STRING, sync ? "yes" : "no"},
                                   {nullptr, 0, nullptr}};
    VELM_result r{};
    ctx_ = VELM_AuditClientContext_Create(props, &r);
    if (ctx_ != nullptr && velm::setupCacheFiles(ctx_, &r) != 0) {
      VELM_AuditClientContext_Delete(ctx_, &r);
      ctx_ = nullptr;
    }
    if (ctx_ == nullptr && r.numErrors > 0) std::fprintf(stderr, "context: %s\n", r.errors[0].message);
    VELM_Result_Clean(&r);
  }
  ~CacheContext() {
    VELM_result r{};
    if (ctx_ != nullptr) VELM_AuditClientContext_Delete(ctx_, &r);
    VELM_Result_Clean(&r);
    std::error_code ec;
    if (!dir_.empty()) std::filesystem::remove_all(dir_, ec);
  }
  VELM_AuditClientContext *get() const { return ctx_; }
  const std::string &dir() const { return dir_; }

 private:
  int32_t two_ = 2;
  int32_t zero_ = 0;
  std::string dir_;
  VELM_AuditClientContext *ctx_ = nullptr;
};

void BM_Compress(benchmark::State &state) {
  const std::string &batch = batchText();
  if (batch.empty()) {
    state.SkipWithError("no batch");
    return;
  }
  std::string out(batch.size() + batch.size() / 1000 + 12, '\0');
  unsigned long len = 0;
  for (auto _ : state) {
    len = out.size();
    if (velm::zvelm_compress(reinterpret_cast<unsigned char *>(out.data()), &len,
                             reinterpret_cast<const unsigned char *>(batch.data()), batch.size()) != 0) {
      state.SkipWithError("compress");
      break;
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * batch.size()));
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kBatchEvents));
  state.counters["bytes_per_event"] = static_cast<double>(batch.size()) / kBatchEvents;
  state.counters["ratio"] = static_cast<double>(batch.size()) / static_cast<double>(len);
}
BENCHMARK(BM_Compress);

CacheContext *writeContext = nullptr;

void BM_CacheWrite(benchmark::State &state) {
  if (state.thread_index() == 0) writeContext = new CacheContext(state.range(0) != 0);
  const std::string &batch = batchText();
  VELM_result r{};
  for (auto _ : state) {
    VELM_AuditClientContext *ctx = writeContext->get();
    if (ctx == nullptr || velm::cacheMsg(ctx, static_cast<int>(batch.size()), batch.data(), kBatchEvents, &r) != 0) {
      state.SkipWithError("cacheMsg");
      break;
    }
  }
  VELM_Result_Clean(&r);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * batch.size()));
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kBatchEvents));
  if (state.thread_index() == 0) {
    VELM_AuditClientContext *ctx = writeContext->get();
    state.counters["discarded"] = ctx != nullptr ? ctx->cacheInfo->numDiscardedEvents : 0;
    delete writeContext;
    writeContext = nullptr;
  }
}
BENCHMARK(BM_CacheWrite)->ArgName("cacheSync")->Arg(0)->Arg(1)->Threads(1)->Threads(2)->UseRealTime();

// The drain side: records read back, uncompressed and handed to a transport
// that only counts them.
std::atomic<long> drainedEvents{0};
int countingSend(VELM_AuditClientContext *, int, const char *text, VELM_result *) {
  long n = 0;
  for (const char *p = std::strstr(text, "<CommonBaseEvent"); p != nullptr; p = std::strstr(p + 1, "<CommonBaseEvent"))
    ++n;
  drainedEvents += n;
  return 0;
}
int answering(VELM_AuditClientContext *, VELM_result *) { return 0; }

void BM_Drain(benchmark::State &state) {
  CacheContext cc;
  VELM_AuditClientContext *ctx = cc.get();
  const std::string &batch = batchText();
  if (ctx == nullptr || batch.empty()) {
    state.SkipWithError("set-up");
    return;
  }
  velm::setCacheTransport({answering, countingSend});
  // 200 records of kBatchEvents events each.
  std::string file = "0000000010";
  {
    std::string comp(batch.size() + batch.size() / 1000 + 12 + 32, '\0');
    unsigned long len = comp.size() - 32;
    velm::zvelm_compress(reinterpret_cast<unsigned char *>(comp.data()) + 32, &len,
                         reinterpret_cast<const unsigned char *>(batch.data()), batch.size());
    velm::formatRecordHeader(comp.data(), static_cast<long>(batch.size()), static_cast<long>(len), kBatchEvents);
    comp.resize(len + 32);
    for (int i = 0; i < 200; ++i) file += comp;
  }
  const std::string name = "batch.2026-01-01-00-00-00.1";
  VELM_result r{};
  drainedEvents = 0;
  for (auto _ : state) {
    state.PauseTiming();
    std::ofstream(cc.dir() + "/" + name, std::ios::binary | std::ios::trunc) << file;
    velm::cacheFileInfo *f = velm::createCacheFileInfo(ctx, &r);
    f->fileName = strdup(name.c_str());
    f->currSize = static_cast<int32_t>(file.size());
    state.ResumeTiming();
    velm::drainCacheFile(ctx, f, &r);
    state.PauseTiming();
    velm::freeCacheFileInfo(ctx, f, &r);
    state.ResumeTiming();
  }
  VELM_Result_Clean(&r);
  velm::setCacheTransport({});
  state.SetItemsProcessed(drainedEvents.load());
  state.SetBytesProcessed(static_cast<int64_t>(drainedEvents.load()) * static_cast<int64_t>(batch.size()) /
                          kBatchEvents);
}
BENCHMARK(BM_Drain);

}  // namespace

BENCHMARK_MAIN();
