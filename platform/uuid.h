// Time-based UUIDs from the system's UUID library, behind one call so that
// tests can make it fail.
#pragma once

#include <cstdint>

namespace velm::platform {

// Fills out with a new time-based UUID in network byte order (16 bytes).
// Returns 0, or the failure status set by setUuidFailure.
int uuidCreate(uint8_t out[16]);

// Test hook: a non-zero status makes every following uuidCreate fail with it.
void setUuidFailure(int status);

}  // namespace velm::platform
