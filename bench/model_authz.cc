// Cost of one authorisation audit event through the public interface:
// build it (user, resource and permission info, outcome, source component
// and a few strings), validate it, delete it. Reports events per second on
// one thread and heap allocations per event.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "velm.h"

// Counts calls into the C heap. operator new goes through malloc, so this
// covers the C++ side too. Left out under sanitizers, which own malloc.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define VELM_BENCH_COUNT_ALLOCS 0
#else
#define VELM_BENCH_COUNT_ALLOCS 1
#endif

namespace {
std::atomic<long> heapAllocs{0};
}  // namespace

#if VELM_BENCH_COUNT_ALLOCS
extern "C" {
void *__libc_malloc(size_t);
void *__libc_calloc(size_t, size_t);
void *__libc_realloc(void *, size_t);
void __libc_free(void *);

void *malloc(size_t n) {
  heapAllocs.fetch_add(1, std::memory_order_relaxed);
  return __libc_malloc(n);
}
void *calloc(size_t count, size_t n) {
  heapAllocs.fetch_add(1, std::memory_order_relaxed);
  return __libc_calloc(count, n);
}
void *realloc(void *p, size_t n) {
  heapAllocs.fetch_add(1, std::memory_order_relaxed);
  return __libc_realloc(p, n);
}
void free(void *p) { __libc_free(p); }
}
#endif

namespace {

// One context for the whole run; its error log goes to a scratch directory.
class BenchContext {
 public:
  BenchContext() {
    char tmpl[] = "/tmp/velm-bench-authz-XXXXXXXX";
    if (mkdtemp(tmpl) == nullptr) return;
    dir_ = tmpl;
    const std::string errorFile = dir_ + "/error.log";
    const VELM_Property props[] = {{"serverURL", VELM_VT_STRING, "http://127.0.0.1:1/audit"},
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

// Builds the event as an application would: records created and handed to
// the event (adopted), strings copied. Null on any failure.
VELM_AuditEvent *buildAuthzEvent(VELM_AuditClientContext *ctx, VELM_result *r) {
  static char *const checked[] = {const_cast<char *>("read"), const_cast<char *>("write"), nullptr};
  static char *const granted[] = {const_cast<char *>("read"), nullptr};

  VELM_AuditEvent *event = VELM_AuditEvent_Create(ctx, "AUDIT_AUTHZ", r);
  if (event == nullptr) return nullptr;
  // A record handed over with copyFlag 0 belongs to the event; one that
  // could not be handed over is still ours.
  auto handOver = [&](auto *record, auto add, auto del) {
    if (record == nullptr) return false;
    if (add(event, record) != nullptr) return true;
    del(ctx, record, r);
    return false;
  };
  bool ok = handOver(
      VELM_ComponentId_Create(ctx, "app01.example.com", "FQHostname", "payroll", "linux", "web", "Server",
                              "ProductName", "authz", nullptr, "4711", "12", r),
      [&](VELM_AuditEvent *e, VELM_ComponentId *v) {
        return VELM_AuditEvent_AddComponentIdElement(e, "sourceComponentId", v, 0, r);
      },
      VELM_ComponentId_Delete);
  ok = ok && handOver(
                 VELM_Outcome_Create(ctx, "SUCCESSFUL", 0, 0, nullptr, r),
                 [&](VELM_AuditEvent *e, VELM_Outcome *v) {
                   return VELM_AuditEvent_AddOutcomeElement(e, "outcome", v, 0, r);
                 },
                 VELM_Outcome_Delete);
  ok = ok && handOver(
                 VELM_UserInfo_Create(ctx, "uid=alice,ou=people,dc=example,dc=com", "alice", 1001, nullptr,
                                      "example.com", "corp", "10.1.2.3", "IPV4", "session-8f3a", nullptr, 1, r),
                 [&](VELM_AuditEvent *e, VELM_UserInfo *v) {
                   return VELM_AuditEvent_AddUserInfoElement(e, "userInfo", v, 0, r);
                 },
                 VELM_UserInfo_Delete);
  ok = ok && handOver(
                 VELM_ResourceInfo_Create(ctx, "/payroll/reports/2026", "payroll-reports", "url", nullptr, 1, r),
                 [&](VELM_AuditEvent *e, VELM_ResourceInfo *v) {
                   return VELM_AuditEvent_AddResourceInfoElement(e, "resourceInfo", v, 0, r);
                 },
                 VELM_ResourceInfo_Delete);
  ok = ok && handOver(
                 VELM_PermissionInfo_Create(ctx, checked, granted, nullptr, nullptr, nullptr, r),
                 [&](VELM_AuditEvent *e, VELM_PermissionInfo *v) {
                   return VELM_AuditEvent_AddPermissionInfoElement(e, "permissionInfo", v, 0, r);
                 },
                 VELM_PermissionInfo_Delete);
  ok = ok && VELM_AuditEvent_AddStringElement(event, "accessDecision", "permitted", 1, r) != nullptr;
  ok = ok && VELM_AuditEvent_AddStringElement(event, "action", "read", 1, r) != nullptr;
  ok = ok && VELM_AuditEvent_AddStringElement(event, "appName", "payroll", 1, r) != nullptr;
  ok = ok && VELM_AuditEvent_AddStringElement(event, "auditMsg", "report opened", 1, r) != nullptr;
  if (!ok) {
    VELM_AuditEvent_Delete(event, r);
    return nullptr;
  }
  return event;
}

void reportFailure(benchmark::State &state, VELM_result *r, const char *what) {
  std::string text = what;
  if (r->numErrors > 0 && r->errors[0].message != nullptr) text += std::string(": ") + r->errors[0].message;
  state.SkipWithError(text.c_str());
}

// Build, validate, delete: the application's whole share of one event.
void BM_AuthzBuildValidateDelete(benchmark::State &state) {
  VELM_AuditClientContext *ctx = context();
  if (ctx == nullptr) {
    state.SkipWithError("no context");
    return;
  }
  VELM_result r{};
  const long before = heapAllocs.load(std::memory_order_relaxed);
  for (auto _ : state) {
    VELM_AuditEvent *event = buildAuthzEvent(ctx, &r);
    if (event == nullptr) {
      reportFailure(state, &r, "build");
      break;
    }
    if (VELM_AuditEvent_Validate(event, &r) != 0) {
      reportFailure(state, &r, "validate");
      VELM_AuditEvent_Delete(event, &r);
      break;
    }
    VELM_AuditEvent_Delete(event, &r);
  }
  const long allocs = heapAllocs.load(std::memory_order_relaxed) - before;
  VELM_Result_Clean(&r);
  state.SetItemsProcessed(state.iterations());
  if (VELM_BENCH_COUNT_ALLOCS)
    state.counters["allocs_per_event"] = benchmark::Counter(static_cast<double>(allocs),
                                                            benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_AuthzBuildValidateDelete);

// Validation alone, on an event that already carries its time stamp.
void BM_AuthzValidateOnly(benchmark::State &state) {
  VELM_AuditClientContext *ctx = context();
  if (ctx == nullptr) {
    state.SkipWithError("no context");
    return;
  }
  VELM_result r{};
  VELM_AuditEvent *event = buildAuthzEvent(ctx, &r);
  if (event == nullptr || VELM_AuditEvent_Validate(event, &r) != 0) {
    reportFailure(state, &r, "set-up");
    if (event != nullptr) VELM_AuditEvent_Delete(event, &r);
    VELM_Result_Clean(&r);
    return;
  }
  const long before = heapAllocs.load(std::memory_order_relaxed);
  for (auto _ : state) benchmark::DoNotOptimize(VELM_AuditEvent_Validate(event, &r));
  const long allocs = heapAllocs.load(std::memory_order_relaxed) - before;
  VELM_AuditEvent_Delete(event, &r);
  VELM_Result_Clean(&r);
  state.SetItemsProcessed(state.iterations());
  if (VELM_BENCH_COUNT_ALLOCS)
    state.counters["allocs_per_event"] = benchmark::Counter(static_cast<double>(allocs),
                                                            benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_AuthzValidateOnly);

}  // namespace

BENCHMARK_MAIN();
