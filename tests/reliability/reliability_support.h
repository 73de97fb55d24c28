// Shared by the outage and full-disk tests: a cache directory that can tell
// whether anything is left to deliver, sending threads that run until told
// to stop, and the properties of a client that caches on "auto".
#pragma once

#include <atomic>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "client/client_support.h"
#include "velm.h"

namespace reliability_test {

using client_test::num;
using client_test::Prop;
using client_test::str;

class CacheDir {
 public:
  CacheDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "velmrel.XXXXXX").string();
    if (mkdtemp(tmpl.data()) != nullptr) dir_ = tmpl;
  }
  ~CacheDir() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  CacheDir(const CacheDir &) = delete;
  CacheDir &operator=(const CacheDir &) = delete;
  const std::string &dir() const { return dir_; }
  std::string prefix() const { return dir_ + "/batch"; }
  // Cache files whose checkpoint lies below their length, and corrupt ones.
  std::vector<std::string> undelivered() const {
    std::vector<std::string> out;
    std::error_code ec;
    for (const auto &e : std::filesystem::directory_iterator(dir_, ec)) {
      const std::string name = e.path().filename().string();
      if (name.rfind("batch", 0) != 0) continue;
      std::ifstream in(e.path(), std::ios::binary);
      std::stringstream s;
      s << in.rdbuf();
      const std::string bytes = s.str();
      if (name.find("corrupt") != std::string::npos || bytes.size() < 10 ||
          std::stol(bytes.substr(0, 10)) < static_cast<long>(bytes.size()))
        out.push_back(name);
    }
    return out;
  }

 private:
  std::string dir_;
};

// The properties of a client that caches on "auto" and notices outages
// quickly; extra ones replace or add.
inline std::vector<Prop> autoProps(const std::string &cachePrefix, const std::vector<Prop> &extra = {}) {
  std::vector<Prop> props = {str("useDiskCache", "auto"),   str("diskCachePath", cachePrefix),
                             num("numberEQThreads", 2),     num("numberCMThreads", 2),
                             num("transferSize", 20),       num("hiWater", 100),
                             num("queueSize", 1000),        num("flushInterval", 1),
                             num("numberRetries", 1),       num("retryInterval", 1),
                             num("rebindInterval", 1),      num("shutDownTimeout", -1),
                             num("tempStorageFullTimeout", -1)};
  for (const Prop &e : extra) {
    bool replaced = false;
    for (Prop &p : props)
      if (p.name == e.name) p = e, replaced = true;
    if (!replaced) props.push_back(e);
  }
  return props;
}

// Threads sending events with their own ids until stop(); accepted() are the
// ids whose send returned 0.
class Senders {
 public:
  Senders(VELM_AuditClient *client, VELM_AuditClientContext *ctx, int threads, std::chrono::milliseconds pause,
          long limit = -1)
      : client_(client), ctx_(ctx) {
    for (int t = 0; t < threads; ++t)
      threads_.emplace_back([this, t, pause, limit] {
        for (long i = 0; !stop_.load() && (limit < 0 || i < limit); ++i) {
          const std::string id = "rel-" + std::to_string(t) + "-" + std::to_string(i);
          if (client_test::send(client_, ctx_, id) == 0) {
            std::scoped_lock lock(mutex_);
            accepted_.insert(id);
          } else {
            refused_ += 1;
          }
          if (pause.count() > 0) std::this_thread::sleep_for(pause);
        }
      });
  }
  ~Senders() { stop(); }
  Senders(const Senders &) = delete;
  Senders &operator=(const Senders &) = delete;
  void stop() {
    stop_ = true;
    join();
  }
  // Waits for threads with a limit to send all of it.
  void join() {
    for (std::thread &t : threads_)
      if (t.joinable()) t.join();
  }
  std::set<std::string> accepted() const {
    std::scoped_lock lock(mutex_);
    return accepted_;
  }
  std::size_t count() const {
    std::scoped_lock lock(mutex_);
    return accepted_.size();
  }
  int refused() const { return refused_.load(); }

 private:
  VELM_AuditClient *client_;
  VELM_AuditClientContext *ctx_;
  std::atomic<bool> stop_{false};
  std::atomic<int> refused_{0};
  mutable std::mutex mutex_;
  std::set<std::string> accepted_;  // guarded by mutex_
  std::vector<std::thread> threads_;
};

// The ids that reached the sink, each once.
inline std::set<std::string> arrived(const velm::test::Sink &sink) {
  std::set<std::string> seen;
  for (const std::string &id : sink.eventIds()) seen.insert(id);
  return seen;
}

inline std::size_t missing(const std::set<std::string> &expected, const std::set<std::string> &seen) {
  std::size_t n = 0;
  for (const std::string &id : expected) n += seen.count(id) == 0 ? 1 : 0;
  return n;
}

}  // namespace reliability_test
