// Cost of the CBE encoding, which bounds the library's throughput: one
// realistic authorisation event to its event string, and the drain path,
// a batch string of 10 such events back to a batch ready to send. Reports
// events per second on one thread and bytes per event.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "cbe/sendEvent.h"
#include "velm.h"

namespace {

class BenchContext {
 public:
  BenchContext() {
    char tmpl[] = "/tmp/velm-bench-cbe-XXXXXXXX";
    if (mkdtemp(tmpl) == nullptr) return;
    dir_ = tmpl;
    const std::string errorFile = dir_ + "/error.log";
    const VELM_Property props[] = {{"serverURL", VELM_VT_STRING, "http://127.0.0.1:1/audit"},
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

VELM_AuditClientContext *context() {
  static BenchContext ctx;
  return ctx.get();
}

char *S(const char *text) { return const_cast<char *>(text); }

// An "AUDIT_AUTHZ" event as an application sends it, validated and with the
// global instance id the client adds: about 3.5 KB of XML.
VELM_AuditEvent *buildAuthzEvent(VELM_AuditClientContext *ctx, VELM_result *r) {
  static char *const checked[] = {S("read"), S("write"), S("delete"), nullptr};
  static char *const granted[] = {S("read"), nullptr};
  static char *const callers[] = {S("uid=batch,ou=services,dc=example,dc=com"), nullptr};
  VELM_AuditEvent *event = VELM_AuditEvent_Create(ctx, "AUDIT_AUTHZ", r);
  if (event == nullptr) return nullptr;
  bool ok = true;
  auto adopted = [&](VELM_AuditElement *e) { ok = ok && e != nullptr; };

  VELM_ComponentId *source = VELM_ComponentId_Create(ctx, "app01.example.com", "FQHostname", "payroll", "linux",
                                                     "web", "Server", "ProductName", "authz", "inst-1", "4711", "12", r);
  if (source != nullptr) adopted(VELM_AuditEvent_AddComponentIdElement(event, "sourceComponentId", source, 0, r));
  VELM_Outcome *outcome = VELM_Outcome_Create(ctx, "SUCCESSFUL", 0, 0, nullptr, r);
  if (outcome != nullptr) adopted(VELM_AuditEvent_AddOutcomeElement(event, "outcome", outcome, 0, r));

  // Adopted by the records (copyFlag 0), so from the library's heap.
  auto pair = [&](VELM_Attribute *a, VELM_Attribute *b) {
    auto **list = static_cast<VELM_Attribute **>(VELM_Malloc(3 * sizeof(VELM_Attribute *)));
    list[0] = a;
    list[1] = b;
    list[2] = nullptr;
    return list;
  };
  VELM_Attribute **userAttrs = pair(VELM_Attribute_Create(ctx, "department", "finance", "ldap", r),
                                    VELM_Attribute_Create(ctx, "employeeType", "permanent", "ldap", r));
  VELM_UserInfo *user = VELM_UserInfo_Create(ctx, "uid=alice,ou=people,dc=example,dc=com", "alice", 1001, callers,
                                             "example.com", "corp", "10.1.2.3", "IPV4", "session-8f3a9c2e",
                                             userAttrs, 0, r);
  if (user != nullptr) adopted(VELM_AuditEvent_AddUserInfoElement(event, "userInfo", user, 0, r));

  VELM_Attribute **resAttrs = pair(VELM_Attribute_Create(ctx, "classification", "confidential", "policy", r),
                                   nullptr);
  VELM_ResourceInfo *res = VELM_ResourceInfo_Create(ctx, "/payroll/reports/2026/q1/summary.pdf",
                                                    "payroll-reports", "url", resAttrs, 0, r);
  if (res != nullptr) adopted(VELM_AuditEvent_AddResourceInfoElement(event, "resourceInfo", res, 0, r));

  VELM_PermissionInfo *perm = VELM_PermissionInfo_Create(ctx, checked, granted, nullptr, nullptr, nullptr, r);
  if (perm != nullptr) adopted(VELM_AuditEvent_AddPermissionInfoElement(event, "permissionInfo", perm, 0, r));

  adopted(VELM_AuditEvent_AddStringElement(event, "accessDecision", "permitted", 1, r));
  adopted(VELM_AuditEvent_AddStringElement(event, "action", "read", 1, r));
  adopted(VELM_AuditEvent_AddStringElement(event, "appName", "payroll", 1, r));
  adopted(VELM_AuditEvent_AddStringElement(event, "auditMsg", "Quarterly payroll report opened for review", 1, r));
  adopted(VELM_AuditEvent_AddStringElement(event, "globalInstanceId", "0000A1B2C3D4E5F600000001", 1, r));
  adopted(VELM_AuditEvent_AddLongElement(event, "sequenceNumber", 123456789, r));
  ok = ok && VELM_AuditEvent_Validate(event, r) == 0;
  if (!ok) {
    VELM_AuditEvent_Delete(event, r);
    return nullptr;
  }
  return event;
}

void fail(benchmark::State &state, VELM_result *r, const char *what) {
  std::string text = what;
  if (r->numErrors > 0 && r->errors[0].message != nullptr) text += std::string(": ") + r->errors[0].message;
  state.SkipWithError(text.c_str());
}

void BM_EventToXMLString(benchmark::State &state) {
  VELM_AuditClientContext *ctx = context();
  VELM_result r{};
  VELM_AuditEvent *event = ctx != nullptr ? buildAuthzEvent(ctx, &r) : nullptr;
  if (event == nullptr) {
    fail(state, &r, "set-up");
    VELM_Result_Clean(&r);
    return;
  }
  std::size_t bytes = 0;
  for (auto _ : state) {
    char *text = velm::velmAuditEventToXMLString(ctx, event, &r);
    if (text == nullptr) {
      fail(state, &r, "convert");
      break;
    }
    bytes = std::strlen(text);
    std::free(text);
  }
  VELM_AuditEvent_Delete(event, &r);
  VELM_Result_Clean(&r);
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
  state.counters["bytes_per_event"] = static_cast<double>(bytes);
}
BENCHMARK(BM_EventToXMLString);

// The drain path: a cached batch string of 10 events parsed and every event
// serialised again.
void BM_BatchStringToBatch(benchmark::State &state) {
  constexpr int kEvents = 10;
  VELM_AuditClientContext *ctx = context();
  VELM_result r{};
  VELM_AuditEvent *event = ctx != nullptr ? buildAuthzEvent(ctx, &r) : nullptr;
  char *one = event != nullptr ? velm::velmAuditEventToXMLString(ctx, event, &r) : nullptr;
  if (one == nullptr) {
    fail(state, &r, "set-up");
    if (event != nullptr) VELM_AuditEvent_Delete(event, &r);
    VELM_Result_Clean(&r);
    return;
  }
  std::string batchString;
  for (int i = 0; i < kEvents; ++i) batchString += one;
  std::free(one);
  VELM_AuditEvent_Delete(event, &r);

  for (auto _ : state) {
    velm::CommonBaseEventType_ArrayTag *batch = velm::velmStringToCommonBaseEvents(ctx, batchString.c_str(), &r);
    if (batch == nullptr || batch->count != kEvents) {
      fail(state, &r, "parse");
      velm::freeCommonBaseEvents(batch);
      break;
    }
    velm::freeCommonBaseEvents(batch);
  }
  VELM_Result_Clean(&r);
  state.SetItemsProcessed(state.iterations() * kEvents);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * batchString.size()));
  state.counters["bytes_per_event"] = static_cast<double>(batchString.size()) / kEvents;
}
BENCHMARK(BM_BatchStringToBatch);

}  // namespace

BENCHMARK_MAIN();
