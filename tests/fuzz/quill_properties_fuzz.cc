// The logging toolkit's properties-file reader, through QlgOpenToolkit: the
// input is the file, and what it configures is applied to the toolkit's own
// error logger, its console handler and formatter.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "qlg.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A configuration may name files, semaphores and shared memory. The run is
// root on a shared machine, so inputs that could reach past the scratch
// directory (a '/', a backslash, which file names read as '/', an ASCII
// \uXXXX that could spell either) or that name the handlers of other
// processes' resources are not tried. Non-ASCII \u escapes still are.
bool contained(std::string_view text) {
  if (text.find('/') != std::string_view::npos) return false;
  for (std::string_view word : {"\\\\", "hbl", "multiproc", "SemKey"})
    if (text.find(word) != std::string_view::npos) return false;
  for (std::size_t at = text.find('\\'); at != std::string_view::npos; at = text.find('\\', at + 1)) {
    if (at + 1 >= text.size() || (text[at + 1] != 'u' && text[at + 1] != 'U')) continue;
    if (at + 3 >= text.size()) continue;
    const int h0 = hexDigit(text[at + 2]), h1 = hexDigit(text[at + 3]);
    if (h0 == 0 && h1 >= 0 && h1 < 8) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  // Relative file names a configuration gives land in the scratch directory.
  if (chdir(velm_fuzz::scratchDir().c_str()) != 0) return 1;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::string_view text(reinterpret_cast<const char *>(data), size);
  if (!contained(text)) return -1;  // not added to the corpus
  const std::string path = velm_fuzz::scratchFile("input.properties");
  if (FILE *f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  if (QlgOpenToolkit(path.c_str())) {
    // Makes objects of the first configurations read (their class comes from
    // the configuration) and logs through them, so that what the file set is
    // applied and used, not only stored.
    std::vector<std::string> names;
    if (QlgIterator *it = QlgLogMgrConfigNames()) {
      while (names.size() < 8)
        if (const char *n = static_cast<const char *>(QlgIterNext(it))) names.emplace_back(n);
        else break;
      QlgIterFree(it);
    }
    for (const std::string &n : names) {
      QlgObject *object = QlgGetObject(n.c_str(), nullptr);
      if (object == nullptr) continue;
      QlgLogError(object, nullptr, 0, 0, "a record through %1", QLG_STRING, n.c_str(), QLG_END);
      QlgReleaseObject(object);
    }
  }
  QlgCloseToolkit();
  velm_fuzz::clearScratch();
  return 0;
}
