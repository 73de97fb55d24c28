// The HTTP adapter: one POST in, the status and body (or a readable error
// text) out. The transport talks only to HttpAdapter, so tests can put a
// fake in its place; CurlHttp is the real one, on libcurl.
#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace velm {

struct SecureEnv;  // platform/tls.h

struct HttpRequest {
  std::string_view url;
  std::string_view body;
  std::vector<std::string> headers;  // "Name: value", sent as given
  const char *userName = nullptr;    // basic authentication when not null
  const char *password = nullptr;    // with userName; never logged
  long timeoutSeconds = 0;           // whole exchange; 0 = no limit
  const SecureEnv *tls = nullptr;    // trust and identity for https; null: http only
};

struct HttpResponse {
  bool answered = false;  // an HTTP status line arrived
  long status = 0;        // when answered
  std::string body;       // when answered
  std::string error;      // when not answered: what went wrong, readable
};

class HttpAdapter {
 public:
  virtual ~HttpAdapter() = default;
  // Safe to call from several threads at once.
  virtual HttpResponse post(const HttpRequest &request) = 0;
};

// Process-wide start and stop of libcurl; the caller serialises them (the
// first and last context, under VELMCommon's mutex). 0, or -1 with the
// reason in error.
int httpGlobalInit(std::string &error);
void httpGlobalCleanup();

// Replies larger than this are refused rather than held in memory.
inline constexpr std::size_t kMaxReplyBytes = 16u << 20;

// The libcurl adapter. Each request checks an easy handle out of a small
// pool and puts it back afterwards, so a thread that sends batch after batch
// keeps its connection (and TLS session) open across them. With reuse off,
// every request gets a new handle and connection that are closed after it.
class CurlHttp final : public HttpAdapter {
 public:
  explicit CurlHttp(bool reuse) : reuse_(reuse) {}
  ~CurlHttp() override;
  CurlHttp(const CurlHttp &) = delete;
  CurlHttp &operator=(const CurlHttp &) = delete;

  HttpResponse post(const HttpRequest &request) override;
  // Handles waiting in the pool (for tests).
  std::size_t idleHandles();

 private:
  void *take();            // a handle from the pool, or a new one (null: out of memory)
  void give(void *handle);  // back into the pool, or closed with reuse off

  const bool reuse_;
  std::mutex mutex_;
  std::vector<void *> idle_;  // Guarded by mutex_: CURL handles not in use
};

}  // namespace velm
