// Helpers of the disk cache tests: a context whose cache lives in a
// temporary directory, record and file builders, directory listings.
#pragma once

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "capis/cache_internal.h"
#include "capis/context.h"
#include "capis/context_support.h"
#include "platform/compress.h"
#include "platform/fs.h"
#include "velm.h"

namespace velm_test {

// A compressed record exactly as the writer lays it out.
inline std::string makeRecord(const std::string &batch, int numEvents) {
  std::string comp(batch.size() + batch.size() / 1000 + 12, '\0');
  unsigned long len = comp.size();
  velm::zvelm_compress(reinterpret_cast<unsigned char *>(comp.data()), &len,
                       reinterpret_cast<const unsigned char *>(batch.data()), batch.size());
  comp.resize(len);
  char header[32];
  velm::formatRecordHeader(header, static_cast<long>(batch.size()), static_cast<long>(len), numEvents);
  return std::string(header, 32) + comp;
}

inline std::string eventText(int id) {
  return "<CommonBaseEvent globalInstanceId=\"ID" + std::to_string(id) + "\"><x>payload " + std::to_string(id) +
         "</x></CommonBaseEvent>";
}

inline void writeBytes(const std::string &path, const std::string &bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

inline std::vector<std::string> listNames(const std::string &dir) {
  std::vector<std::string> names;
  for (const auto &e : std::filesystem::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Names in dir that start with prefix and are not logs.
inline std::vector<std::string> cacheFiles(const std::string &dir, const std::string &prefix = "batch") {
  std::vector<std::string> out;
  for (const std::string &n : listNames(dir))
    if (n.rfind(prefix, 0) == 0) out.push_back(n);
  return out;
}

inline int countOf(const std::string &text, const std::string &what) {
  int n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// Waits up to a generous deadline for pred; the machine is shared and slow.
inline bool eventually(const std::function<bool()> &pred, std::chrono::seconds limit = std::chrono::seconds(60)) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!pred()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

class CacheTest : public ::testing::Test {
 protected:
  void TearDown() override {
    velm::fs::clearFaultPlan();
    destroy();
    VELM_Result_Clean(&result);
  }
  // The properties every cache test starts from; extra ones come after.
  Props props() {
    Props p;
    p.str("serverURL", "http://localhost:9/audit")
        .str("errorFilePath", errorLog.c_str())
        .str("traceFilePath", traceLog.c_str())
        .str("diskCachePath", cachePath.c_str());
    return p;
  }
  VELM_AuditClientContext *create(Props &p) {
    VELM_Result_Clean(&result);
    ctx = VELM_AuditClientContext_Create(p.list(), &result);
    return ctx;
  }
  VELM_AuditClientContext *create() {
    Props p = props();
    return create(p);
  }
  void destroy() {
    if (ctx == nullptr) return;
    VELM_result r{};
    VELM_AuditClientContext_Delete(ctx, &r);
    VELM_Result_Clean(&r);
    ctx = nullptr;
  }
  std::string path(const std::string &name) const { return dir.file(name); }
  std::string errorText() const { return readFile(errorLog); }
  int firstCode() const { return result.numErrors > 0 ? result.errors[0].code : 0; }
  velm::cacheInfo *ci() const { return ctx->cacheInfo; }
  std::vector<std::string> queueNames() const {
    std::vector<std::string> out;
    for (velm::cacheFileInfo *f = ci()->fileQ->head.next; f != &ci()->fileQ->head; f = f->next)
      out.push_back(f->fileName);
    return out;
  }

  TempDir dir;
  std::string cachePath = dir.file("batch");
  std::string traceLog = dir.file("trace.log");
  std::string errorLog = dir.file("error.log");
  VELM_AuditClientContext *ctx = nullptr;
  VELM_result result{};
};

}  // namespace velm_test
