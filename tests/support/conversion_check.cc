// Linked into every test program: each event a test converts is also
// converted through both outputs (the DOM and the direct writer), and any
// difference in bytes or messages aborts the program.
#include "cbe/sendEvent.h"

namespace {
const bool kChecked = [] {
  velm::setConversionCheck(true);
  return true;
}();
}  // namespace
