// Shared by the fuzz harnesses: a scratch directory for everything a harness
// writes, removed at exit, and a context that lives for the whole run (the
// process-wide set-up is too costly to repeat for every input).
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <deque>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "velm.h"

namespace velm_fuzz {

inline const std::string &scratchDir() {
  // Never destroyed: the exit handler that removes it runs after static
  // destructors.
  static const std::string &dir = *[] {
    auto *path = new std::string((std::filesystem::temp_directory_path() / "velmfuzz.XXXXXX").string());
    if (mkdtemp(path->data()) == nullptr) abort();
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(scratchDir(), ec);
    });
    return path;
  }();
  return dir;
}

inline std::string scratchFile(const std::string &name) { return scratchDir() + "/" + name; }

// Removes what an input left in the scratch directory, except the names kept.
inline void clearScratch(const std::vector<std::string> &keep = {}) {
  std::error_code ec;
  for (const auto &e : std::filesystem::directory_iterator(scratchDir(), ec)) {
    const std::string name = e.path().filename().string();
    bool kept = false;
    for (const std::string &k : keep) kept = kept || k == name;
    if (!kept) std::filesystem::remove_all(e.path(), ec);
  }
}

// A property list whose values live as long as the list.
class Props {
 public:
  Props &str(const char *name, std::string value) {
    names_.emplace_back(name);
    texts_.push_back(std::move(value));
    entries_.push_back({names_.back().c_str(), VELM_VT_STRING, texts_.back().c_str()});
    return *this;
  }
  Props &num(const char *name, int32_t value) {
    names_.emplace_back(name);
    ints_.push_back(value);
    entries_.push_back({names_.back().c_str(), VELM_VT_INTEGER, &ints_.back()});
    return *this;
  }
  Props &raw(const char *name, int32_t type, const void *value) {
    names_.emplace_back(name);
    entries_.push_back({names_.back().c_str(), type, value});
    return *this;
  }
  const VELM_Property *list() {
    list_ = entries_;
    list_.push_back({nullptr, 0, nullptr});
    return list_.data();
  }

 private:
  std::deque<std::string> names_;
  std::deque<std::string> texts_;
  std::deque<int32_t> ints_;
  std::vector<VELM_Property> entries_;
  std::vector<VELM_Property> list_;
};

// The context of a harness, created once. Traces at the flow level, so that
// the lines that quote input are formatted too.
inline VELM_AuditClientContext *sharedContext(bool diskCache) {
  static VELM_AuditClientContext *context = [&] {
    Props p;
    p.str("serverURL", "http://127.0.0.1:9/audit")
        .str("errorFilePath", scratchFile("error.log"))
        .str("traceFilePath", scratchFile("trace.log"))
        .num("traceLevel", 3)
        .str("elementCodeSet", "UTF8")
        .num("transferSize", 4)
        .num("numberRetries", 0)
        .num("retryInterval", 1);
    if (diskCache) p.str("diskCachePath", scratchFile("batch"));
    else p.str("useDiskCache", "never");
    VELM_result result{0, 0, nullptr};
    VELM_AuditClientContext *c = VELM_AuditClientContext_Create(p.list(), &result);
    VELM_Result_Clean(&result);
    if (c == nullptr) abort();
    return c;
  }();
  return context;
}

// The names the shared context keeps in the scratch directory.
inline const std::vector<std::string> kContextFiles = {"error.log", "error1.log", "trace.log", "trace1.log"};

}  // namespace velm_fuzz
