// A batch string, as the disk cache stores it, split back into events.
#include <cstdint>
#include <string>

#include "cbe/sendEvent.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  velm_fuzz::sharedContext(false);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  VELM_AuditClientContext *context = velm_fuzz::sharedContext(false);
  // The batch string is C text.
  const std::string text(reinterpret_cast<const char *>(data), size);
  VELM_result result{0, 0, nullptr};
  if (velm::CommonBaseEventType_ArrayTag *batch =
          velm::velmStringToCommonBaseEvents(context, text.c_str(), &result)) {
    // Joined again, as the transport joins a batch it hands to the cache.
    if (char *joined = velm::velmCommonBaseEventsToString(context, batch, &result)) {
      velm::freeCommonBaseEvents(velm::velmStringToCommonBaseEvents(context, joined, &result));
      VELM_Free(joined);
    }
    velm::freeCommonBaseEvents(batch);
  }
  VELM_Result_Clean(&result);
  return 0;
}
