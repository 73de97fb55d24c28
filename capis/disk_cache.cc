// The disk cache. Until the cache files are written, a context has no cache
// control block: every path that would cache sees "no disk cache".
#include "capis/disk_cache.h"

#include "capis/context.h"
#include "capis/errors.h"
#include "capis/trace.h"

namespace velm {

VELM_TRACE_UNIT("disk_cache");

int initDiskCache(VELM_AuditClientContext *context, VELM_result *) {
  context->cacheInfo = nullptr;
  return 0;
}

int freeCacheInfo(VELM_AuditClientContext *context, VELM_result *) {
  context->cacheInfo = nullptr;
  return 0;
}

int setupCacheFiles(VELM_AuditClientContext *, VELM_result *) { return 0; }

int startCMThread(VELM_AuditClientContext *, VELM_result *) { return 0; }

int cacheMsg(VELM_AuditClientContext *context, int, const char *, int, VELM_result *) {
  if (context->cacheInfo == nullptr) {
    VELM_TRACE_EXIT_VALUE(context, "EXIT - disk cache is not enabled");
    return 0;
  }
  return -1;
}

}  // namespace velm
