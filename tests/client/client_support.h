// Shared by the client tests: a context pointed at a local sink, small
// valid events, result records that clean themselves, and waiting on
// predicates.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "support/sink.h"
#include "support/result.h"
#include "velm.h"

namespace client_test {

using Result = velm::test::Result;

// Waits until pred holds; false after the timeout. The deadlines are
// generous: the machine is shared.
inline bool waitFor(const std::function<bool()> &pred,
                    std::chrono::milliseconds timeout = std::chrono::seconds(60)) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (pred()) return true;
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

// Properties given as (name, text) or (name, int).
struct Prop {
  std::string name;
  bool isInt;
  std::string text;
  int32_t value;
};
inline Prop str(std::string name, std::string text) { return {std::move(name), false, std::move(text), 0}; }
inline Prop num(std::string name, int32_t value) { return {std::move(name), true, {}, value}; }

// A context with its logs in a scratch directory, sending to url.
class Context {
 public:
  // traceLevel > 0 also writes dir()/trace.log.
  Context(const std::string &url, const std::vector<Prop> &extra = {}, int traceLevel = 0) {
    std::string tmpl = (std::filesystem::temp_directory_path() / "velmclient.XXXXXX").string();
    if (mkdtemp(tmpl.data()) != nullptr) dir_ = tmpl;
    errorFile_ = dir_ + "/error.log";
    std::vector<Prop> props;
    for (Prop p : {str("serverURL", url), str("elementCodeSet", "UTF8"), str("errorFilePath", errorFile_),
                   num("responseTimeout", 30)}) {
      // A property given in extra replaces the default here.
      bool given = false;
      for (const Prop &e : extra) given = given || e.name == p.name;
      if (!given) props.push_back(p);
    }
    props.insert(props.end(), extra.begin(), extra.end());
    if (traceLevel > 0) {
      props.push_back(str("traceFilePath", dir_ + "/trace.log"));
      props.push_back(num("traceLevel", traceLevel));
    }
    std::vector<VELM_Property> list;
    for (const Prop &p : props) {
      ints_.push_back(p.value);
      list.push_back({p.name.c_str(), p.isInt ? VELM_VT_INTEGER : VELM_VT_STRING,
                      p.isInt ? static_cast<const void *>(&ints_.back()) : p.text.c_str()});
    }
    list.push_back({nullptr, 0, nullptr});
    Result r;
    ctx_ = VELM_AuditClientContext_Create(list.data(), &r);
    if (ctx_ == nullptr) ADD_FAILURE() << "context: " << r.all();
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
  const std::string &dir() const { return dir_; }
  std::string traceLog() const { return read(dir_ + "/trace.log"); }
  std::string errorLog() const { return read(errorFile_); }

 private:
  static std::string read(const std::string &path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  std::string dir_;
  std::string errorFile_;
  std::deque<int32_t> ints_;
  VELM_AuditClientContext *ctx_ = nullptr;
};

// A small valid "AUDIT_COMPLIANCE" event; with id, it carries its own
// "globalInstanceId". Null on failure.
inline VELM_AuditEvent *makeEvent(VELM_AuditClientContext *ctx, const std::string &id = {}) {
  Result r;
  VELM_AuditEvent *event = VELM_AuditEvent_Create(ctx, "AUDIT_COMPLIANCE", &r);
  if (event == nullptr) return nullptr;
  bool ok = true;
  // A record handed over with copyFlag 0 belongs to the event; one that was
  // refused is still ours.
  if (VELM_ComponentId *source = VELM_ComponentId_Create(ctx, "app01.example.com", "FQHostname", "tests", "linux",
                                                         "client", "Server", "ProductName", "queue", "inst-1",
                                                         "4711", "12", &r)) {
    if (VELM_AuditEvent_AddComponentIdElement(event, "sourceComponentId", source, 0, &r) == nullptr) {
      VELM_ComponentId_Delete(ctx, source, &r);
      ok = false;
    }
  } else {
    ok = false;
  }
  if (VELM_Outcome *outcome = VELM_Outcome_Create(ctx, "UNSUCCESSFUL", 1, 2, "policy violated", &r)) {
    if (VELM_AuditEvent_AddOutcomeElement(event, "outcome", outcome, 0, &r) == nullptr) {
      VELM_Outcome_Delete(ctx, outcome, &r);
      ok = false;
    }
  } else {
    ok = false;
  }
  ok = ok && VELM_AuditEvent_AddStringElement(event, "complianceStatus", "compliant", 1, &r) != nullptr;
  if (ok && !id.empty()) ok = VELM_AuditEvent_AddStringElement(event, "globalInstanceId", id.c_str(), 1, &r) != nullptr;
  if (!ok) {
    VELM_AuditEvent_Delete(event, &r);
    return nullptr;
  }
  return event;
}

// Sends one new event; the return of the send (the event is deleted by the
// test when the send fails).
inline int send(VELM_AuditClient *client, VELM_AuditClientContext *ctx, const std::string &id = {}) {
  VELM_AuditEvent *event = makeEvent(ctx, id);
  if (event == nullptr) return -2;
  Result r;
  const int rc = VELM_AuditClient_SendEvent(client, event, &r);
  if (rc != 0) {
    Result d;
    VELM_AuditEvent_Delete(event, &d);
  }
  return rc;
}

inline VELM_DeliveryStats stats(VELM_AuditClient *client) {
  VELM_DeliveryStats s{};
  Result r;
  EXPECT_EQ(VELM_AuditClient_GetStats(client, &s, &r), 0) << r.all();
  return s;
}

}  // namespace client_test
