// Linked into every test program: the events a test converts are also
// converted through both outputs (the DOM and the direct writer), and any
// difference in bytes or messages aborts the program. Sanitizer builds,
// many times slower, check every eighth conversion of each thread.
#include "cbe/sendEvent.h"

namespace {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr int kEvery = 8;
#else
constexpr int kEvery = 1;
#endif
const bool kChecked = [] {
  velm::setConversionCheck(kEvery);
  return true;
}();
}  // namespace
