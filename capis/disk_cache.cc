// Counting and reporting the events the disk cache (or, without one, the
// event queue) had to throw away. The cache itself is in cache_*.cc.
#include "capis/disk_cache.h"

#include <utility>

#include "capis/context.h"
#include "capis/errors.h"
#include "capis/event_queue.h"
#include "capis/trace.h"

namespace velm {

VELM_TRACE_UNIT("disk_cache");

int discardEvents(VELM_AuditClientContext *context, int numEvents, VELM_result *) {
  VELM_TRACE_EXIT_VALUE(context, "ENTRY: numEvents = %d", numEvents);
  if (context->cacheInfo != nullptr) {
    std::scoped_lock lock(context->cacheInfo->mutex);
    context->cacheInfo->numDiscardedEvents += numEvents;
  } else if (context->eventQueue != nullptr) {
    std::scoped_lock lock(context->eventQueue->lock);
    VELM_FLOW(context, "FLOW: eventQueue->lock LOCKED");
    context->eventQueue->numDiscardedEvents += numEvents;
  } else {
    VELM_TRACE_ERROR(context, "cacheInfo & eventQueue in context are both NULL");
    return -1;
  }
  if (context->stats != nullptr && numEvents > 0)
    context->stats->eventsDiscarded.fetch_add(static_cast<uint64_t>(numEvents), std::memory_order_relaxed);
  VELM_TRACE_EXIT(context);
  return 0;
}

int reportDiscardedEvents(VELM_AuditClientContext *context, int shuttingDown, VELM_result *result) {
  VELM_TRACE_ENTRY(context);
  int32_t count = 0;
  if (context->cacheInfo != nullptr) {
    std::scoped_lock lock(context->cacheInfo->mutex);
    count = std::exchange(context->cacheInfo->numDiscardedEvents, 0);
  } else if (context->eventQueue != nullptr) {
    std::scoped_lock lock(context->eventQueue->lock);
    count = std::exchange(context->eventQueue->numDiscardedEvents, 0);
  } else {
    VELM_TRACE_ERROR(context, "cacheInfo & eventQueue in context are both NULL");
    return -1;
  }
  if (count == 0) {
    VELM_TRACE_EXIT_VALUE(context, "EXIT: no events were discarded");
    return 0;
  }
  const int n = shuttingDown == 1 ? 67 : 66;
  void *text = errorHandler(context, n, result, 0, 1, static_cast<int>(count));
  if (text == nullptr) return -1;
  logLastError(context, result, kVelmTraceUnit, __func__, __LINE__);
  VELM_TRACE_ERROR(context, "ERROR: %s", static_cast<const char *>(text));
  VELM_TRACE_EXIT(context);
  return 0;
}

}  // namespace velm
