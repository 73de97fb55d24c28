// A property list given to VELM_AuditClientContext_Create. The input is one
// property a line:
//   name=text      a string value
//   name#number    an integer value (decimal, cut to 32 bits)
//   name           a string property whose value pointer is NULL
//   name?T         value type T (a decimal number) with a NULL value
// A context that is created is deleted again at once.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "tests/fuzz/fuzz_support.h"

namespace {

bool isPathProperty(std::string_view name) {
  return name == "traceFilePath" || name == "errorFilePath" || name == "diskCachePath" ||
         name == "keyFilePath" || name == "stashFilePath";
}

// Path values are placed under the scratch directory, with ".." defused:
// the run is root on a shared machine, and the library creates, rolls over
// and removes files where these point. Their shape (slashes, missing
// directories, odd names) is kept.
std::string contained(std::string_view value) {
  std::string out = velm_fuzz::scratchDir() + "/";
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '.' && i + 1 < value.size() && value[i + 1] == '.') {
      out += "_.";
      ++i;
      continue;
    }
    out += value[i] == '\\' ? '_' : value[i];
  }
  return out;
}

int32_t number(std::string_view text) {
  return static_cast<int32_t>(std::strtoll(std::string(text).c_str(), nullptr, 10));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  if (chdir(velm_fuzz::scratchDir().c_str()) != 0) return 1;
  // The environment can override the response time-out; keep runs alike.
  unsetenv("VELM_SERVER_RESPONSE_TIMEOUT");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::string_view text(reinterpret_cast<const char *>(data), size);
  velm_fuzz::Props props;
  int count = 0;
  for (std::size_t start = 0; start < text.size() && count < 64; ++count) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(start, end - start);
    start = end + 1;
    const std::size_t sep = line.find_first_of("=#?");
    const std::string name(line.substr(0, sep));
    // Names hold no NUL: the list is C text.
    if (name.find('\0') != std::string::npos) return -1;
    if (sep == std::string_view::npos) {
      props.raw(name.c_str(), VELM_VT_STRING, nullptr);
      continue;
    }
    std::string_view value = line.substr(sep + 1);
    switch (line[sep]) {
      case '=': {
        std::string v(value.substr(0, value.find('\0')));
        props.str(name.c_str(), isPathProperty(name) ? contained(v) : v);
        break;
      }
      case '#':
        props.num(name.c_str(), number(value));
        break;
      default:
        props.raw(name.c_str(), number(value), nullptr);
        break;
    }
  }
  VELM_result result{0, 0, nullptr};
  VELM_AuditClientContext *context = VELM_AuditClientContext_Create(props.list(), &result);
  VELM_Result_Clean(&result);
  if (context != nullptr) {
    VELM_AuditClientContext_Delete(context, &result);
    VELM_Result_Clean(&result);
  }
  velm_fuzz::clearScratch();
  return 0;
}
