#include "platform/uuid.h"

#include <uuid/uuid.h>

#include <atomic>

namespace velm::platform {

namespace {
std::atomic<int> failure{0};
}

int uuidCreate(uint8_t out[16]) {
  if (const int status = failure.load(); status != 0) return status;
  uuid_t id;
  uuid_generate_time(id);
  for (int i = 0; i < 16; ++i) out[i] = id[i];
  return 0;
}

void setUuidFailure(int status) { failure.store(status); }

}  // namespace velm::platform
