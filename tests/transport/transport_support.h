// Shared by the transport tests: a context with its logs in a scratch
// directory, batches of event texts, a scripted HTTP adapter, and reading
// the logs back.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "capis/context.h"
#include "cbe/cbe_types.h"
#include "cbe/transport.h"
#include "platform/http.h"
#include "support/result.h"
#include "velm.h"

namespace transport_test {

using Result = velm::test::Result;

inline std::string readFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

inline int occurrences(const std::string &text, const std::string &what) {
  int n = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++n;
  return n;
}

struct Prop {
  std::string name;
  bool isInt;
  std::string text;
  int32_t value;
};
inline Prop str(std::string name, std::string text) { return {std::move(name), false, std::move(text), 0}; }
inline Prop num(std::string name, int32_t value) { return {std::move(name), true, {}, value}; }

// A context sending to url, tracing everything into trace.log; its creation
// result stays readable in created.
class Context {
 public:
  explicit Context(const std::string &url, const std::vector<Prop> &extra = {}) {
    std::string tmpl = (std::filesystem::temp_directory_path() / "velmtransport.XXXXXX").string();
    if (mkdtemp(tmpl.data()) != nullptr) dir_ = tmpl;
    std::vector<Prop> props = {str("serverURL", url),
                               str("elementCodeSet", "UTF8"),
                               str("errorFilePath", errorFile()),
                               str("traceFilePath", traceFile()),
                               num("traceLevel", 3),
                               num("responseTimeout", 30),
                               num("retryInterval", 1),
                               // The disk cache is on by default and needs a path; tests
                               // that want it say useDiskCache and get one here.
                               str("useDiskCache", "never"),
                               str("diskCachePath", dir_ + "/batch")};
    // A property given in extra replaces the default here.
    std::erase_if(props, [&](const Prop &p) {
      for (const Prop &e : extra)
        if (e.name == p.name) return true;
      return false;
    });
    props.insert(props.end(), extra.begin(), extra.end());
    std::vector<VELM_Property> list;
    for (const Prop &p : props) {
      ints_.push_back(p.value);
      list.push_back({p.name.c_str(), p.isInt ? VELM_VT_INTEGER : VELM_VT_STRING,
                      p.isInt ? static_cast<const void *>(&ints_.back()) : p.text.c_str()});
    }
    list.push_back({nullptr, 0, nullptr});
    ctx_ = VELM_AuditClientContext_Create(list.data(), &created);
  }
  ~Context() {
    close();
    std::error_code ec;
    if (!dir_.empty()) std::filesystem::remove_all(dir_, ec);
  }
  Context(const Context &) = delete;
  Context &operator=(const Context &) = delete;

  void close() {
    Result r;
    if (ctx_ != nullptr) VELM_AuditClientContext_Delete(ctx_, &r);
    ctx_ = nullptr;
  }
  VELM_AuditClientContext *get() const { return ctx_; }
  std::string errorFile() const { return dir_ + "/error.log"; }
  std::string traceFile() const { return dir_ + "/trace.log"; }
  std::string errorLog() const { return readFile(errorFile()); }
  std::string traceLog() const { return readFile(traceFile()); }

  Result created;

 private:
  std::string dir_;
  std::deque<int32_t> ints_;
  VELM_AuditClientContext *ctx_ = nullptr;
};

// The text of a small event the sink accepts and records under id.
inline std::string eventText(const std::string &id) {
  return "<CommonBaseEvent globalInstanceId=\"" + id +
         "\" version=\"1.0.1\"><situation categoryName=\"ReportSituation\"/></CommonBaseEvent>";
}

struct BatchDeleter {
  void operator()(velm::CommonBaseEventType_ArrayTag *b) const { velm::freeCommonBaseEvents(b); }
};
using Batch = std::unique_ptr<velm::CommonBaseEventType_ArrayTag, BatchDeleter>;

inline Batch batchOf(const std::vector<std::string> &texts) {
  Batch b(velm::newCommonBaseEvents(static_cast<int32_t>(texts.size())));
  for (const std::string &t : texts) b->entries[b->count++] = velm::newCommonBaseEvent(strdup(t.c_str()));
  return b;
}

// ids "<prefix>-1" .. "<prefix>-n" and their batch.
inline std::vector<std::string> ids(const std::string &prefix, int n) {
  std::vector<std::string> out;
  for (int i = 1; i <= n; ++i) out.push_back(prefix + "-" + std::to_string(i));
  return out;
}
inline Batch batchOfIds(const std::vector<std::string> &list) {
  std::vector<std::string> texts;
  for (const std::string &id : list) texts.push_back(eventText(id));
  return batchOf(texts);
}

// An adapter that answers from a script (the last reply repeats) and keeps
// every request. Installed for the lifetime of the object.
class ScriptedHttp : public velm::HttpAdapter {
 public:
  explicit ScriptedHttp(std::vector<velm::HttpResponse> script) : script_(std::move(script)) {
    velm::setHttpAdapterForTesting(this);
  }
  ~ScriptedHttp() override { velm::setHttpAdapterForTesting(nullptr); }
  velm::HttpResponse post(const velm::HttpRequest &request) override {
    std::scoped_lock lock(mutex_);
    bodies_.emplace_back(request.body);
    const size_t i = bodies_.size() - 1;
    return script_[i < script_.size() ? i : script_.size() - 1];
  }
  std::vector<std::string> bodies() {
    std::scoped_lock lock(mutex_);
    return bodies_;
  }

 private:
  std::mutex mutex_;
  std::vector<velm::HttpResponse> script_;
  std::vector<std::string> bodies_;
};

inline velm::HttpResponse reply(long status, std::string body) {
  velm::HttpResponse r;
  r.answered = true;
  r.status = status;
  r.body = std::move(body);
  return r;
}
inline velm::HttpResponse noAnswer(std::string error) {
  velm::HttpResponse r;
  r.error = std::move(error);
  return r;
}

inline std::string envelope(const std::string &payload) {
  return "<soapenv:Envelope xmlns:soapenv=\"http://schemas.xmlsoap.org/soap/envelope/\"><soapenv:Body>" + payload +
         "</soapenv:Body></soapenv:Envelope>";
}
inline std::string fault(const std::string &code, const std::string &text, const std::string &detail) {
  return envelope("<soapenv:Fault><faultcode>" + code + "</faultcode><faultstring>" + text + "</faultstring>" +
                  (detail.empty() ? "" : "<detail>" + detail + "</detail>") + "</soapenv:Fault>");
}
inline std::string success() { return envelope("<sendEventResponse xmlns=\"urn:kto:velm:10\"/>"); }

}  // namespace transport_test
