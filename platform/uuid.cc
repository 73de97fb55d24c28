#include "platform/uuid.h"

#include <uuid/uuid.h>

#include <atomic>
#include <cstring>
#include <ctime>
#include <mutex>

namespace velm::platform {

namespace {

std::atomic<int> failure{0};

// Time-based UUIDs made in the process. The system library serialises every
// time-based UUID through a locked state file when no daemon runs, which
// costs microseconds per event on the send path; it is asked once, for the
// node and clock sequence, and the timestamps are counted here.
struct Generator {
  std::mutex mutex;
  // Guarded by mutex:
  bool seeded = false;
  uint64_t last = 0;  // last timestamp handed out, 100 ns units since 1582-10-15
  uint16_t clockSeq = 0;
  uint8_t node[6] = {};
};

Generator &generator() {
  static Generator g;
  return g;
}

// Offset between the UUID epoch (1582-10-15) and the Unix epoch, in 100 ns.
constexpr uint64_t kUuidEpochOffset = 0x01B21DD213814000ULL;

}  // namespace

int uuidCreate(uint8_t out[16]) {
  if (const int status = failure.load(); status != 0) return status;
  Generator &g = generator();
  uint64_t t;
  uint16_t clockSeq;
  uint8_t node[6];
  {
    std::scoped_lock lock(g.mutex);
    if (!g.seeded) {
      uuid_t seed;
      uuid_generate_time(seed);
      g.clockSeq = static_cast<uint16_t>(((seed[8] & 0x3F) << 8) | seed[9]);
      std::memcpy(g.node, seed + 10, 6);
      g.seeded = true;
    }
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    t = static_cast<uint64_t>(now.tv_sec) * 10000000ULL + static_cast<uint64_t>(now.tv_nsec) / 100 +
        kUuidEpochOffset;
    // Never twice the same value, also when the wall clock steps back.
    if (t <= g.last) t = g.last + 1;
    g.last = t;
    clockSeq = g.clockSeq;
    std::memcpy(node, g.node, 6);
  }
  const uint32_t timeLow = static_cast<uint32_t>(t);
  const uint16_t timeMid = static_cast<uint16_t>(t >> 32);
  const uint16_t timeHiVersion = static_cast<uint16_t>(((t >> 48) & 0x0FFF) | 0x1000);
  out[0] = static_cast<uint8_t>(timeLow >> 24);
  out[1] = static_cast<uint8_t>(timeLow >> 16);
  out[2] = static_cast<uint8_t>(timeLow >> 8);
  out[3] = static_cast<uint8_t>(timeLow);
  out[4] = static_cast<uint8_t>(timeMid >> 8);
  out[5] = static_cast<uint8_t>(timeMid);
  out[6] = static_cast<uint8_t>(timeHiVersion >> 8);
  out[7] = static_cast<uint8_t>(timeHiVersion);
  out[8] = static_cast<uint8_t>(0x80 | ((clockSeq >> 8) & 0x3F));  // DCE variant
  out[9] = static_cast<uint8_t>(clockSeq);
  std::memcpy(out + 10, node, 6);
  return 0;
}

void setUuidFailure(int status) { failure.store(status); }

}  // namespace velm::platform
