// Shared by the event-model tests: a context in a fresh temporary directory,
// and small readers of result records.
#pragma once

#include <stdlib.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "velm.h"

namespace velm_test {

// A context with the given element code set; traceLevel > 0 also writes a
// trace file.
class TestContext {
 public:
  explicit TestContext(const char *elementCodeSet = "UTF8", int32_t traceLevel = 0) {
    char tmpl[] = "/tmp/velm-model-XXXXXX";
    dir_ = mkdtemp(tmpl);
    errorFile_ = dir_ + "/error.log";
    traceFile_ = dir_ + "/trace.log";
    std::vector<VELM_Property> props = {{"serverURL", VELM_VT_STRING, "http://127.0.0.1:9/audit"},
      {"useDiskCache", VELM_VT_STRING, "never"},
                                        {"errorFilePath", VELM_VT_STRING, errorFile_.c_str()},
                                        {"elementCodeSet", VELM_VT_STRING, elementCodeSet}};
    traceLevel_ = traceLevel;
    if (traceLevel > 0) {
      props.push_back({"traceFilePath", VELM_VT_STRING, traceFile_.c_str()});
      props.push_back({"traceLevel", VELM_VT_INTEGER, &traceLevel_});
    }
    props.push_back({nullptr, 0, nullptr});
    VELM_result result{};
    ctx_ = VELM_AuditClientContext_Create(props.data(), &result);
    VELM_Result_Clean(&result);
  }
  ~TestContext() {
    close();
    std::filesystem::remove_all(dir_);
  }
  TestContext(const TestContext &) = delete;
  TestContext &operator=(const TestContext &) = delete;

  // Deletes the context early, so its log files are complete.
  void close() {
    VELM_result result{};
    if (ctx_ != nullptr) VELM_AuditClientContext_Delete(ctx_, &result);
    VELM_Result_Clean(&result);
    ctx_ = nullptr;
  }
  VELM_AuditClientContext *get() const { return ctx_; }
  std::string errorLog() const { return read(errorFile_); }
  std::string traceLog() const { return read(traceFile_); }

 private:
  static std::string read(const std::string &path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  std::string dir_, errorFile_, traceFile_;
  int32_t traceLevel_ = 0;
  VELM_AuditClientContext *ctx_ = nullptr;
};

inline std::vector<int> codes(const VELM_result &r) {
  std::vector<int> out;
  for (int i = 0; i < r.numErrors; ++i) out.push_back(r.errors[i].code);
  return out;
}

inline std::string lastText(const VELM_result &r) {
  return r.numErrors > 0 && r.errors[r.numErrors - 1].message ? r.errors[r.numErrors - 1].message : "";
}

// A heap copy the library may adopt.
inline char *heapText(const char *text) {
  char *p = static_cast<char *>(VELM_Malloc(std::strlen(text) + 1));
  std::strcpy(p, text);
  return p;
}

}  // namespace velm_test
