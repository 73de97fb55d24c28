// The HTTP adapter on libcurl.
#include "platform/http.h"

#include <curl/curl.h>
#include <openssl/ssl.h>

#include <cstring>

#include "platform/tls.h"

namespace velm {

namespace {

struct EasyDeleter {
  void operator()(CURL *h) const { curl_easy_cleanup(h); }
};
using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;

struct SlistDeleter {
  void operator()(curl_slist *l) const { curl_slist_free_all(l); }
};
using Slist = std::unique_ptr<curl_slist, SlistDeleter>;

struct ReplySink {
  std::string *body;
  bool tooLarge = false;
};

size_t collectReply(char *data, size_t size, size_t count, void *userData) {
  auto *sink = static_cast<ReplySink *>(userData);
  const size_t n = size * count;
  if (sink->body->size() + n > kMaxReplyBytes) {
    sink->tooLarge = true;
    return 0;  // curl ends the transfer with a write error
  }
  sink->body->append(data, n);
  return n;
}

CURLcode setUpTls(CURL *, void *sslCtx, void *userData) {
  const auto *env = static_cast<const SecureEnv *>(userData);
  return configureSslCtx(*env, static_cast<SSL_CTX *>(sslCtx)) ? CURLE_OK : CURLE_SSL_CERTPROBLEM;
}

// A handle checked out of a pool, returned on every path.
class Checkout {
 public:
  Checkout(CurlHttp &owner, CURL *h, void (CurlHttp::*give)(void *)) : owner_(owner), h_(h), give_(give) {}
  ~Checkout() {
    if (h_ != nullptr) (owner_.*give_)(h_);
  }
  Checkout(const Checkout &) = delete;
  Checkout &operator=(const Checkout &) = delete;
  CURL *get() const { return h_; }

 private:
  CurlHttp &owner_;
  CURL *h_;
  void (CurlHttp::*give_)(void *);
};

}  // namespace

int httpGlobalInit(std::string &error) {
  const CURLcode rc = curl_global_init(CURL_GLOBAL_DEFAULT);
  if (rc != CURLE_OK) {
    error = curl_easy_strerror(rc);
    return -1;
  }
  return 0;
}

void httpGlobalCleanup() { curl_global_cleanup(); }

CurlHttp::~CurlHttp() {
  std::scoped_lock lock(mutex_);
  for (void *h : idle_) curl_easy_cleanup(static_cast<CURL *>(h));
  idle_.clear();
}

std::size_t CurlHttp::idleHandles() {
  std::scoped_lock lock(mutex_);
  return idle_.size();
}

void *CurlHttp::take() {
  if (reuse_) {
    std::scoped_lock lock(mutex_);
    if (!idle_.empty()) {
      void *h = idle_.back();
      idle_.pop_back();
      return h;
    }
  }
  return curl_easy_init();
}

void CurlHttp::give(void *handle) {
  if (reuse_) {
    std::scoped_lock lock(mutex_);
    try {
      idle_.push_back(handle);
      return;
    } catch (...) {
      // No room to keep it: close it below.
    }
  }
  curl_easy_cleanup(static_cast<CURL *>(handle));
}

HttpResponse CurlHttp::post(const HttpRequest &request) {
  HttpResponse response;
  Checkout handle(*this, static_cast<CURL *>(take()), &CurlHttp::give);
  CURL *h = handle.get();
  if (h == nullptr) {
    response.error = "cannot create an HTTP handle";
    return response;
  }
  // Reset drops the options of the last request but keeps the handle's
  // open connection and TLS session for the next one.
  curl_easy_reset(h);

  Slist headers;
  for (const std::string &line : request.headers) {
    curl_slist *next = curl_slist_append(headers.get(), line.c_str());
    if (next == nullptr) {
      response.error = "out of memory";
      return response;
    }
    headers.release();
    headers.reset(next);
  }
  std::string url(request.url);
  char errorText[CURL_ERROR_SIZE] = {};
  ReplySink sink{&response.body};

  curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errorText);
  curl_easy_setopt(h, CURLOPT_URL, url.c_str());
  curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h, CURLOPT_POST, 1L);
  curl_easy_setopt(h, CURLOPT_POSTFIELDS, request.body.data());
  curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body.size()));
  curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, collectReply);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, &sink);
  curl_easy_setopt(h, CURLOPT_TIMEOUT, request.timeoutSeconds);
  if (!reuse_) curl_easy_setopt(h, CURLOPT_FORBID_REUSE, 1L);
  if (request.userName != nullptr) {
    curl_easy_setopt(h, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC));
    curl_easy_setopt(h, CURLOPT_USERNAME, request.userName);
    curl_easy_setopt(h, CURLOPT_PASSWORD, request.password != nullptr ? request.password : "");
  }
  if (request.tls != nullptr) {
    // Trust only the context's store: no CA file or directory of the system.
    curl_easy_setopt(h, CURLOPT_CAINFO, nullptr);
    curl_easy_setopt(h, CURLOPT_CAPATH, nullptr);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(h, CURLOPT_SSLVERSION, static_cast<long>(CURL_SSLVERSION_TLSv1_2));
    curl_easy_setopt(h, CURLOPT_SSL_CTX_FUNCTION, setUpTls);
    curl_easy_setopt(h, CURLOPT_SSL_CTX_DATA, const_cast<SecureEnv *>(request.tls));
  }

  const CURLcode rc = curl_easy_perform(h);
  long status = 0;
  curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
  // The handle must not keep pointers into this call's buffers.
  curl_easy_setopt(h, CURLOPT_ERRORBUFFER, nullptr);
  curl_easy_setopt(h, CURLOPT_HTTPHEADER, nullptr);
  if (rc == CURLE_OK) {
    response.answered = true;
    response.status = status;
    return response;
  }
  response.body.clear();
  if (sink.tooLarge) {
    response.error = "the reply is larger than " + std::to_string(kMaxReplyBytes) + " bytes";
  } else {
    response.error = errorText[0] != '\0' ? errorText : curl_easy_strerror(rc);
  }
  return response;
}

}  // namespace velm
