// The realistic "AUDIT_AUTHZ" event that the benchmarks measure, and the one
// context they share, so figures of different benchmarks describe the same
// event.
#pragma once

#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "velm.h"

namespace velm_bench {

// One context for the whole run; its error log goes to a scratch directory.
class BenchContext {
 public:
  BenchContext() {
    char tmpl[] = "/tmp/velm-bench-XXXXXXXX";
    if (mkdtemp(tmpl) == nullptr) return;
    dir_ = tmpl;
    const std::string errorFile = dir_ + "/error.log";
    const VELM_Property props[] = {{"serverURL", VELM_VT_STRING, "http://127.0.0.1:1/audit"},
                                   {"useDiskCache", VELM_VT_STRING, "never"},
                                   {"elementCodeSet", VELM_VT_STRING, "UTF8"},
                                   {"errorFilePath", VELM_VT_STRING, errorFile.c_str()},
                                   {nullptr, 0, nullptr}};
    VELM_result r{};
    ctx_ = VELM_AuditClientContext_Create(props, &r);
    if (ctx_ == nullptr && r.numErrors > 0) std::fprintf(stderr, "context: %s\n", r.errors[0].message);
    VELM_Result_Clean(&r);
  }
  ~BenchContext() {
    VELM_result r{};
    if (ctx_ != nullptr) VELM_AuditClientContext_Delete(ctx_, &r);
    VELM_Result_Clean(&r);
    std::error_code ec;
    if (!dir_.empty()) std::filesystem::remove_all(dir_, ec);
  }
  VELM_AuditClientContext *get() const { return ctx_; }

 private:
  std::string dir_;
  VELM_AuditClientContext *ctx_ = nullptr;
};

inline VELM_AuditClientContext *context() {
  static BenchContext ctx;
  return ctx.get();
}

inline char *S(const char *text) { return const_cast<char *>(text); }

// A list of two attributes (the second may be null), from the library's heap
// because the record adopts it.
inline VELM_Attribute **attributePair(VELM_Attribute *a, VELM_Attribute *b) {
  auto **list = static_cast<VELM_Attribute **>(VELM_Malloc(3 * sizeof(VELM_Attribute *)));
  list[0] = a;
  list[1] = b;
  list[2] = nullptr;
  return list;
}

// An "AUDIT_AUTHZ" event as an application builds it: records created and
// handed to the event (adopted), strings copied, plus the global instance id
// the client adds. Not yet validated. About 3.8 KB of XML. Null on failure.
inline VELM_AuditEvent *buildAuthzEvent(VELM_AuditClientContext *ctx, VELM_result *r) {
  static char *const checked[] = {S("read"), S("write"), S("delete"), nullptr};
  static char *const granted[] = {S("read"), nullptr};
  static char *const callers[] = {S("uid=batch,ou=services,dc=example,dc=com"), nullptr};
  VELM_AuditEvent *event = VELM_AuditEvent_Create(ctx, "AUDIT_AUTHZ", r);
  if (event == nullptr) return nullptr;
  bool ok = true;
  // A record handed over with copyFlag 0 belongs to the event; one that
  // could not be handed over is still ours.
  auto handOver = [&](auto *record, auto add, auto del) {
    if (record == nullptr) {
      ok = false;
    } else if (add(record) == nullptr) {
      del(ctx, record, r);
      ok = false;
    }
  };
  handOver(VELM_ComponentId_Create(ctx, "app01.example.com", "FQHostname", "payroll", "linux", "web", "Server",
                                   "ProductName", "authz", "inst-1", "4711", "12", r),
           [&](VELM_ComponentId *v) { return VELM_AuditEvent_AddComponentIdElement(event, "sourceComponentId", v, 0, r); },
           VELM_ComponentId_Delete);
  handOver(VELM_Outcome_Create(ctx, "SUCCESSFUL", 0, 0, nullptr, r),
           [&](VELM_Outcome *v) { return VELM_AuditEvent_AddOutcomeElement(event, "outcome", v, 0, r); },
           VELM_Outcome_Delete);
  handOver(VELM_UserInfo_Create(ctx, "uid=alice,ou=people,dc=example,dc=com", "alice", 1001, callers, "example.com",
                                "corp", "10.1.2.3", "IPV4", "session-8f3a9c2e",
                                attributePair(VELM_Attribute_Create(ctx, "department", "finance", "ldap", r),
                                              VELM_Attribute_Create(ctx, "employeeType", "permanent", "ldap", r)),
                                0, r),
           [&](VELM_UserInfo *v) { return VELM_AuditEvent_AddUserInfoElement(event, "userInfo", v, 0, r); },
           VELM_UserInfo_Delete);
  handOver(VELM_ResourceInfo_Create(
               ctx, "/payroll/reports/2026/q1/summary.pdf", "payroll-reports", "url",
               attributePair(VELM_Attribute_Create(ctx, "classification", "confidential", "policy", r), nullptr), 0, r),
           [&](VELM_ResourceInfo *v) { return VELM_AuditEvent_AddResourceInfoElement(event, "resourceInfo", v, 0, r); },
           VELM_ResourceInfo_Delete);
  handOver(VELM_PermissionInfo_Create(ctx, checked, granted, nullptr, nullptr, nullptr, r),
           [&](VELM_PermissionInfo *v) {
             return VELM_AuditEvent_AddPermissionInfoElement(event, "permissionInfo", v, 0, r);
           },
           VELM_PermissionInfo_Delete);
  auto text = [&](const char *name, const char *value) {
    ok = ok && VELM_AuditEvent_AddStringElement(event, name, value, 1, r) != nullptr;
  };
  text("accessDecision", "permitted");
  text("action", "read");
  text("appName", "payroll");
  text("auditMsg", "Quarterly payroll report opened for review");
  text("globalInstanceId", "0000A1B2C3D4E5F600000001");
  ok = ok && VELM_AuditEvent_AddLongElement(event, "sequenceNumber", 123456789, r) != nullptr;
  if (!ok) {
    VELM_AuditEvent_Delete(event, r);
    return nullptr;
  }
  return event;
}

// Marks the benchmark failed with the first recorded message.
inline void fail(benchmark::State &state, VELM_result *r, const char *what) {
  std::string text = what;
  if (r->numErrors > 0 && r->errors[0].message != nullptr) text += std::string(": ") + r->errors[0].message;
  state.SkipWithError(text.c_str());
}

}  // namespace velm_bench
