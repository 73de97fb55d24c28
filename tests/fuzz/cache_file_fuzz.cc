// A cache file left behind by an earlier process, drained as a manager
// thread drains it: the input is the whole file (checkpoint and records),
// and the transport is a stand-in that takes every batch.
#include <cstdint>
#include <cstdio>
#include <string>

#include "capis/cache_internal.h"
#include "capis/context.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

constexpr const char *kFileName = "batch.2026-01-01-00-00-00.1";
uint64_t batchesTaken = 0;

int answers(VELM_AuditClientContext *, VELM_result *) { return 0; }

int takes(VELM_AuditClientContext *, int, const char *text, VELM_result *) {
  // Read the whole batch, as the real transport would.
  std::string copy(text);
  batchesTaken += copy.empty() ? 0 : 1;
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  velm::setCacheTransport({answers, takes});
  velm_fuzz::sharedContext(true);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  VELM_AuditClientContext *context = velm_fuzz::sharedContext(true);
  velm::cacheInfo *ci = context->cacheInfo;
  if (FILE *f = std::fopen(velm_fuzz::scratchFile(kFileName).c_str(), "wb")) {
    std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  VELM_result result{0, 0, nullptr};
  velm::cacheFileInfo *f = velm::buildCfInfo(context, ci->fileQ, kFileName, ci->cacheDir, &result);
  if (f != nullptr) {
    f->beingDrained = 1;
    velm::drainCacheFile(context, f, &result);
    velm::dequeueFileInfo(context, ci->fileQ, f, &result);
    velm::freeCacheFileInfo(context, f, &result);
  }
  VELM_Result_Clean(&result);
  velm_fuzz::clearScratch(velm_fuzz::kContextFiles);
  return 0;
}
