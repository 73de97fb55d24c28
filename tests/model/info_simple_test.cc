// The simple info records: check orders and value checks of the creates,
// getters through UTF-8 and a single-byte element code set, handle names of
// null records, copies made by the internal creates, and trace lines.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "capis/context.h"
#include "capis/info_common.h"
#include "capis/info_simple.h"
#include "model/model_support.h"
#include "velm.h"

namespace {

using velm_test::TestContext;

// A result record cleaned on scope exit. A call resets the counts of the
// record it is given without freeing its entries, so every use (&r) cleans
// it first and the record may be passed to one call after another.
struct Result {
  VELM_result r{};
  ~Result() { VELM_Result_Clean(&r); }
  VELM_result *operator&() {
    VELM_Result_Clean(&r);
    return &r;
  }
  int count() const { return r.numErrors; }
  int code(int i = 0) const { return r.numErrors > i ? r.errors[i].code : 0; }
  std::string text(int i = 0) const {
    return r.numErrors > i && r.errors[i].message != nullptr ? r.errors[i].message : "";
  }
};

// A getter's string, freed on scope exit.
struct Text {
  char *p;
  ~Text() { VELM_Free(p); }
  bool null() const { return p == nullptr; }
  std::string str() const { return p ? p : "<null>"; }
};

using Args = std::vector<const char *>;
using Getter = std::function<char *(VELM_AuditClientContext *, const void *, VELM_result *)>;

// One family: its create's string parameters in order (integers fixed), the
// positions whose value is checked, one getter per string parameter, and
// the record's string fields in the same order.
struct Family {
  const char *name;
  Args valid;
  std::vector<size_t> checked;
  std::function<void *(VELM_AuditClientContext *, const Args &, VELM_result *)> create;
  std::function<int(VELM_AuditClientContext *, void *, VELM_result *)> del;
  std::vector<Getter> getters;
  std::function<Args(const void *)> stored;
  const char *handle;
  const char *deleteHandle;
};

#define GET(F, G) \
  [](VELM_AuditClientContext *c, const void *r, VELM_result *res) { \
    return VELM_##F##_##G(c, static_cast<const VELM_##F *>(r), res); \
  }
#define DEL(F) \
  [](VELM_AuditClientContext *c, void *r, VELM_result *res) { return VELM_##F##_Delete(c, static_cast<VELM_##F *>(r), res); }

constexpr int64_t kMax = INT64_C(0x7FFFFFFF12345678);
constexpr int64_t kMin = INT64_MIN;

const std::vector<Family> &families() {
  static const std::vector<Family> all = {
      {"Attribute",
       {"color", "blue", "ldap"},
       {},
       [](auto *c, const Args &a, auto *r) -> void * { return VELM_Attribute_Create(c, a[0], a[1], a[2], r); },
       DEL(Attribute),
       {GET(Attribute, GetName), GET(Attribute, GetValue), GET(Attribute, GetSource)},
       [](const void *p) {
         auto *r = static_cast<const VELM_Attribute *>(p);
         return Args{r->name, r->value, r->source};
       },
       "attribute_Handle", "attribute_Handle"},
      {"ComponentId",
       {"host1", "Hostname", "app", "env", "comp", "compType", "idType", "sub", "inst", "pid", "tid"},
       {1},
       [](auto *c, const Args &a, auto *r) -> void * {
         return VELM_ComponentId_Create(c, a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8], a[9], a[10], r);
       },
       DEL(ComponentId),
       {GET(ComponentId, GetLocation), GET(ComponentId, GetLocationType), GET(ComponentId, GetApplication),
        GET(ComponentId, GetExecuteEnv), GET(ComponentId, GetComponent), GET(ComponentId, GetComponentType),
        GET(ComponentId, GetComponentIdType), GET(ComponentId, GetSubcomponent), GET(ComponentId, GetInstanceId),
        GET(ComponentId, GetProcessId), GET(ComponentId, GetThreadId)},
       [](const void *p) {
         auto *r = static_cast<const VELM_ComponentId *>(p);
         return Args{r->location,      r->locationType,    r->application,  r->executionEnvironment,
                     r->component,     r->componentType,   r->componentIdType, r->subcomponent,
                     r->instanceId,    r->processId,       r->threadId};
       },
       "componentId_Handle", "componentId_Handle"},
      {"HTTPURLInfo",
       {"http://h/x", "GET", "Accept: */*", "Server: s"},
       {},
       [](auto *c, const Args &a, auto *r) -> void * {
         return VELM_HTTPURLInfo_Create(c, a[0], a[1], 404, a[2], a[3], r);
       },
       DEL(HTTPURLInfo),
       {GET(HTTPURLInfo, GetUrl), GET(HTTPURLInfo, GetMethod), GET(HTTPURLInfo, GetRequestHeaders),
        GET(HTTPURLInfo, GetResponseHeaders)},
       [](const void *p) {
         auto *r = static_cast<const VELM_HTTPURLInfo *>(p);
         return Args{r->url, r->method, r->requestHeaders, r->responseHeaders};
       },
       "HTTPURLInfo_Handle", "HTTPURLInfo_Handle"},
      {"MembershipInfo",
       {"group", "g1", "admins"},
       {},
       [](auto *c, const Args &a, auto *r) -> void * { return VELM_MembershipInfo_Create(c, a[0], a[1], a[2], r); },
       DEL(MembershipInfo),
       {GET(MembershipInfo, GetType), GET(MembershipInfo, GetId), GET(MembershipInfo, GetName)},
       [](const void *p) {
         auto *r = static_cast<const VELM_MembershipInfo *>(p);
         return Args{r->type, r->id, r->name};
       },
       "membershipInfo_Handle", "membershipInfo__Handle"},
      {"Outcome",
       {"UNSUCCESSFUL", "denied"},
       {0},
       [](auto *c, const Args &a, auto *r) -> void * { return VELM_Outcome_Create(c, a[0], 3, -7, a[1], r); },
       DEL(Outcome),
       {GET(Outcome, GetResult), GET(Outcome, GetFailureReason)},
       [](const void *p) {
         auto *r = static_cast<const VELM_Outcome *>(p);
         return Args{r->result, r->failureReason};
       },
       "outcome_Handle", "outcome_Handle"},
      {"PerfInfo",
       {"latency", "request latency", "ms", "avg"},
       {},
       [](auto *c, const Args &a, auto *r) -> void * {
         return VELM_PerfInfo_Create(c, a[0], a[1], 12, a[2], kMax, kMin, 42, a[3], r);
       },
       DEL(PerfInfo),
       {GET(PerfInfo, GetName), GET(PerfInfo, GetDescription), GET(PerfInfo, GetUnit), GET(PerfInfo, GetAggregate)},
       [](const void *p) {
         auto *r = static_cast<const VELM_PerfInfo *>(p);
         return Args{r->name, r->description, r->unit, r->aggregate};
       },
       "perfInfo_Handle", "perfInfo_Handle"},
      {"ProvisioningInfo",
       {"acct", "res", "db"},
       {},
       [](auto *c, const Args &a, auto *r) -> void * {
         return VELM_ProvisioningInfo_Create(c, a[0], a[1], a[2], r);
       },
       DEL(ProvisioningInfo),
       {GET(ProvisioningInfo, GetAccountId), GET(ProvisioningInfo, GetResourceId),
        GET(ProvisioningInfo, GetResourceType)},
       [](const void *p) {
         auto *r = static_cast<const VELM_ProvisioningInfo *>(p);
         return Args{r->accountId, r->resourceId, r->resourceType};
       },
       "provisioningInfo_Handle", "provsioningInfo_Handle"},
      {"RegistryInfo",
       {"LDAP", "ldap.example", "FQHostname", "389"},
       {2},
       [](auto *c, const Args &a, auto *r) -> void * {
         return VELM_RegistryInfo_Create(c, a[0], a[1], a[2], a[3], r);
       },
       DEL(RegistryInfo),
       {GET(RegistryInfo, GetType), GET(RegistryInfo, GetServerLocation), GET(RegistryInfo, GetServerLocationType),
        GET(RegistryInfo, GetServerPort)},
       [](const void *p) {
         auto *r = static_cast<const VELM_RegistryInfo *>(p);
         return Args{r->type, r->serverLocation, r->serverLocationType, r->serverPort};
       },
       "registryInfo_Handle", "registryInfo_Handle"},
      {"WorkItemInfo",
       {"w1", "ticket"},
       {},
       [](auto *c, const Args &a, auto *r) -> void * { return VELM_WorkItemInfo_Create(c, a[0], a[1], r); },
       DEL(WorkItemInfo),
       {GET(WorkItemInfo, GetId), GET(WorkItemInfo, GetType)},
       [](const void *p) {
         auto *r = static_cast<const VELM_WorkItemInfo *>(p);
         return Args{r->id, r->type};
       },
       "workItemInfo_Handle", "workItemInfo_Handle"},
  };
  return all;
}

const Family &family(const std::string &name) {
  for (const Family &f : families())
    if (name == f.name) return f;
  throw std::logic_error("no family " + name);
}

class InfoSimpleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(utf8_.get(), nullptr);
    ASSERT_NE(latin1_.get(), nullptr);
  }
  TestContext utf8_{"UTF8"};
  TestContext latin1_{"ISO-8859-1"};
};

// ---- Check orders and value checks -----------------------------------------

struct CheckCase {
  const char *family;
  std::vector<std::pair<size_t, const char *>> changes;  // parameter index, value (null: missing)
  int code;                                              // 0: the create succeeds
  std::vector<std::string> inText;                       // parts of the message text
};

TEST_F(InfoSimpleTest, CreateReportsFirstFailingCheckInOrder) {
  const std::vector<CheckCase> cases = {
      {"Attribute", {{0, nullptr}, {1, nullptr}}, 9, {"'name'"}},
      {"Attribute", {{1, nullptr}}, 9, {"'value'"}},
      {"Attribute", {{2, nullptr}}, 0, {}},
      {"ComponentId", {{0, nullptr}, {1, nullptr}}, 9, {"'location'"}},
      {"ComponentId", {{1, nullptr}, {2, nullptr}}, 9, {"'locationType'"}},
      // The type is checked before the parameters that follow it.
      {"ComponentId", {{1, "ipv4"}, {2, nullptr}}, 8, {"locationType , ", ": ipv4 ."}},
      {"ComponentId", {{1, "hostname"}}, 8, {"locationType", "hostname"}},
      {"ComponentId", {{1, "Hostname "}}, 8, {"locationType", "Hostname "}},
      {"ComponentId", {{2, nullptr}}, 9, {"'application'"}},
      {"ComponentId", {{4, nullptr}, {7, nullptr}}, 9, {"'component'"}},
      {"ComponentId", {{5, nullptr}, {6, nullptr}}, 9, {"'componentType'"}},
      {"ComponentId", {{6, nullptr}}, 9, {"'componentIdType'"}},
      {"ComponentId", {{7, nullptr}}, 9, {"'subcomponent'"}},
      {"ComponentId", {{1, "E.164"}, {3, nullptr}, {8, nullptr}, {9, nullptr}, {10, nullptr}}, 0, {}},
      {"HTTPURLInfo", {{0, nullptr}, {1, nullptr}}, 9, {"'url'"}},
      {"HTTPURLInfo", {{1, nullptr}}, 9, {"'method'"}},
      {"HTTPURLInfo", {{2, nullptr}, {3, nullptr}}, 0, {}},
      {"MembershipInfo", {{0, nullptr}}, 9, {"'type'"}},
      {"MembershipInfo", {{1, nullptr}, {2, nullptr}}, 0, {}},
      {"Outcome", {{0, nullptr}, {1, nullptr}}, 9, {"'result'"}},
      {"Outcome", {{0, "Successful"}}, 8, {"result , ", ": Successful ."}},
      // The result's value is checked before the failure reason it requires.
      {"Outcome", {{0, "FAILED"}, {1, nullptr}}, 8, {"result", "FAILED"}},
      {"Outcome", {{1, nullptr}}, 9, {"'failureReason'"}},
      {"Outcome", {{0, "SUCCESSFUL"}, {1, nullptr}}, 0, {}},
      {"Outcome", {{0, "SUCCESSFUL"}}, 0, {}},
      {"PerfInfo", {{0, nullptr}, {3, nullptr}}, 9, {"'name'"}},
      {"PerfInfo", {{1, nullptr}, {2, nullptr}}, 9, {"'description'"}},
      {"PerfInfo", {{2, nullptr}, {3, nullptr}}, 9, {"'unit'"}},
      {"PerfInfo", {{3, nullptr}}, 9, {"'aggregate'"}},
      {"ProvisioningInfo", {{1, nullptr}}, 9, {"'resourceId'"}},
      {"ProvisioningInfo", {{0, nullptr}, {2, nullptr}}, 0, {}},
      {"RegistryInfo", {{0, nullptr}, {1, nullptr}}, 9, {"'type'"}},
      {"RegistryInfo", {{1, nullptr}, {2, nullptr}}, 9, {"'serverLocation'"}},
      {"RegistryInfo", {{2, nullptr}, {3, nullptr}}, 9, {"'serverLocationType'"}},
      {"RegistryInfo", {{2, "fqhostname"}, {3, nullptr}}, 8, {"serverLocationType , ", "fqhostname"}},
      {"RegistryInfo", {{3, nullptr}}, 9, {"'serverPort'"}},
      {"WorkItemInfo", {{0, nullptr}, {1, nullptr}}, 9, {"'id'"}},
      {"WorkItemInfo", {{1, nullptr}}, 9, {"'type'"}},
  };
  for (const CheckCase &c : cases) {
    const Family &f = family(c.family);
    Args args = f.valid;
    std::string label = std::string(c.family);
    for (auto [i, v] : c.changes) {
      args[i] = v;
      label += " [" + std::to_string(i) + "]=" + (v ? v : "null");
    }
    SCOPED_TRACE(label);
    for (VELM_AuditClientContext *ctx : {utf8_.get(), latin1_.get()}) {
      Result r;
      void *rec = f.create(ctx, args, &r);
      if (c.code == 0) {
        EXPECT_NE(rec, nullptr);
        EXPECT_EQ(r.count(), 0) << r.text();
        Result d;
        EXPECT_EQ(f.del(ctx, rec, &d), 0);
        continue;
      }
      EXPECT_EQ(rec, nullptr);
      ASSERT_EQ(r.count(), 1) << r.text(1);
      EXPECT_EQ(r.code(), c.code);
      for (const std::string &part : c.inText) EXPECT_NE(r.text().find(part), std::string::npos) << r.text();
      if (rec != nullptr) f.del(ctx, rec, &r);
    }
  }
}

TEST_F(InfoSimpleTest, EveryLocationTypeIsAcceptedExactly) {
  const char *types[] = {"Unknown", "IPV4", "IPV6", "NWA",  "ISDN", "ICD", "OID-OSI",  "Dial",       "HWA",
                         "HID",     "X25",  "DCC",  "SNA",  "IPX",  "E.164", "Hostname", "FQHostname", "Devicename"};
  for (const char *type : types) {
    SCOPED_TRACE(type);
    Result r;
    VELM_RegistryInfo *reg = VELM_RegistryInfo_Create(utf8_.get(), "LDAP", "h", type, "389", &r);
    EXPECT_NE(reg, nullptr);
    EXPECT_EQ(VELM_RegistryInfo_Delete(utf8_.get(), reg, &r), 0);
  }
  Result r;
  EXPECT_EQ(VELM_RegistryInfo_Create(utf8_.get(), "LDAP", "h", "", "389", &r), nullptr);
  EXPECT_EQ(r.code(), 8);
}

// A failing create keeps nothing the caller passed: the caller's heap texts
// stay valid (and are the caller's to free) whichever check fails.
TEST_F(InfoSimpleTest, FailingCreateLeavesCallerTextsWithCaller) {
  auto heap = [](const char *t) {
    char *p = static_cast<char *>(VELM_Malloc(std::strlen(t) + 1));
    std::strcpy(p, t);
    return p;
  };
  for (const Family &f : families()) {
    SCOPED_TRACE(f.name);
    std::vector<char *> owned;
    Args args;
    for (const char *v : f.valid) args.push_back(owned.emplace_back(heap(v)));
    args[0] = nullptr;  // every family fails on its first parameter or on a later required one
    if (std::string(f.name) == "ProvisioningInfo") args[1] = nullptr;
    Result r;
    EXPECT_EQ(f.create(latin1_.get(), args, &r), nullptr);
    EXPECT_EQ(r.count(), 1);
    for (size_t i = 1; i < owned.size(); ++i) EXPECT_STREQ(owned[i], f.valid[i]);
    for (char *p : owned) EXPECT_EQ(VELM_Free(p), 0);
  }
}

// Allocation failures: the allocation that fails may be the record or any
// of its texts; each failing create reports message 1 last and releases
// what it had filled (the leak checker sees the rest).
int allocsLeft = -1;  // allocations to let through; -1: no limit
void *limitedAlloc(size_t size) {
  if (allocsLeft == 0) return nullptr;
  if (allocsLeft > 0) --allocsLeft;
  return std::malloc(size);
}

TEST_F(InfoSimpleTest, AllocationFailureAtEachStepReleasesPartialRecord) {
  for (const Family &f : families()) {
    SCOPED_TRACE(f.name);
    int failures = 0;
    for (int allowed = 0; allowed < 32; ++allowed) {
      allocsLeft = allowed;
      velm::setInfoAllocator(&limitedAlloc);
      Result r;
      void *rec = f.create(utf8_.get(), f.valid, &r);
      velm::setInfoAllocator(nullptr);
      if (rec != nullptr) {
        EXPECT_EQ(r.count(), 0);
        EXPECT_EQ(f.del(utf8_.get(), rec, &r), 0);
        break;
      }
      ++failures;
      ASSERT_GE(r.count(), 1);
      EXPECT_EQ(r.code(r.count() - 1), 1);
    }
    // One failure for the record and one for each text given.
    EXPECT_EQ(failures, static_cast<int>(f.valid.size()) + 1);
  }
}

// ---- Getters ------------------------------------------------------------------

// Texts given in the element code set are held as UTF-8 and handed back in
// the element code set, for a single-byte code set and for UTF-8 itself.
TEST_F(InfoSimpleTest, GettersRoundTripThroughElementCodeSet) {
  struct CodeSetCase {
    const char *name;
    VELM_AuditClientContext *ctx;
    std::string suffixIn;      // appended to free texts at creation
    std::string suffixStored;  // as the record holds it
  };
  const std::vector<CodeSetCase> codeSets = {
      {"ISO-8859-1", latin1_.get(), "-caf\xE9\xFF", "-caf\xC3\xA9\xC3\xBF"},
      {"UTF8", utf8_.get(), "-caf\xC3\xA9\xE2\x82\xAC", "-caf\xC3\xA9\xE2\x82\xAC"},
  };
  for (const CodeSetCase &cs : codeSets) {
    for (const Family &f : families()) {
      SCOPED_TRACE(std::string(cs.name) + " " + f.name);
      std::vector<std::string> given, stored;
      for (size_t i = 0; i < f.valid.size(); ++i) {
        const bool checked = std::find(f.checked.begin(), f.checked.end(), i) != f.checked.end();
        given.push_back(f.valid[i] + (checked ? "" : cs.suffixIn));
        stored.push_back(f.valid[i] + (checked ? "" : cs.suffixStored));
      }
      Args args;
      for (const std::string &s : given) args.push_back(s.c_str());
      Result r;
      void *rec = f.create(cs.ctx, args, &r);
      ASSERT_NE(rec, nullptr) << r.text();
      const Args held = f.stored(rec);
      ASSERT_EQ(held.size(), given.size());
      ASSERT_EQ(f.getters.size(), given.size());
      for (size_t i = 0; i < given.size(); ++i) {
        SCOPED_TRACE(i);
        ASSERT_NE(held[i], nullptr);
        EXPECT_EQ(std::string(held[i]), stored[i]);
        EXPECT_NE(held[i], args[i]);  // the record's own copy
        Result g;
        Text t{f.getters[i](cs.ctx, rec, &g)};
        EXPECT_EQ(t.str(), given[i]);
        EXPECT_EQ(g.count(), 0);
        Text again{f.getters[i](cs.ctx, rec, &g)};
        EXPECT_NE(again.p, t.p);  // a new text on every call
      }
      EXPECT_EQ(f.del(cs.ctx, rec, &r), 0);
    }
  }
}

TEST_F(InfoSimpleTest, OptionalFieldsNotGivenReadAsNullWithoutMessage) {
  struct OptionalCase {
    const char *family;
    std::vector<size_t> missing;
  };
  const std::vector<OptionalCase> cases = {
      {"Attribute", {2}},      {"ComponentId", {3, 8, 9, 10}}, {"HTTPURLInfo", {2, 3}},
      {"MembershipInfo", {1, 2}}, {"ProvisioningInfo", {0, 2}}, {"Outcome", {1}},
  };
  for (const OptionalCase &c : cases) {
    SCOPED_TRACE(c.family);
    const Family &f = family(c.family);
    Args args = f.valid;
    if (std::string(c.family) == "Outcome") args[0] = "SUCCESSFUL";
    for (size_t i : c.missing) args[i] = nullptr;
    Result r;
    void *rec = f.create(latin1_.get(), args, &r);
    ASSERT_NE(rec, nullptr) << r.text();
    for (size_t i : c.missing) {
      Result g;
      Text t{f.getters[i](latin1_.get(), rec, &g)};
      EXPECT_TRUE(t.null()) << i;
      EXPECT_EQ(g.count(), 0);
      EXPECT_EQ(f.stored(rec)[i], nullptr);
    }
    EXPECT_EQ(f.del(latin1_.get(), rec, &r), 0);
  }
}

TEST_F(InfoSimpleTest, IntegerGettersReturnFullValues) {
  VELM_AuditClientContext *ctx = latin1_.get();
  Result r;
  VELM_HTTPURLInfo *http = VELM_HTTPURLInfo_Create(ctx, "u", "POST", -500, nullptr, nullptr, &r);
  VELM_Outcome *out = VELM_Outcome_Create(ctx, "SUCCESSFUL", INT32_MAX, INT32_MIN, nullptr, &r);
  VELM_PerfInfo *perf = VELM_PerfInfo_Create(ctx, "n", "d", 7, "u", kMax, kMin, -2, "a", &r);
  ASSERT_TRUE(http && out && perf) << r.text();
  EXPECT_EQ(VELM_HTTPURLInfo_GetResponseCode(ctx, http, &r), -500);
  EXPECT_EQ(VELM_Outcome_GetMajorStatus(ctx, out, &r), INT32_MAX);
  EXPECT_EQ(VELM_Outcome_GetMinorStatus(ctx, out, &r), INT32_MIN);
  EXPECT_EQ(VELM_PerfInfo_GetNumDataPoints(ctx, perf, &r), 7);
  EXPECT_EQ(VELM_PerfInfo_GetMaxValue(ctx, perf, &r), kMax);
  EXPECT_EQ(VELM_PerfInfo_GetMinValue(ctx, perf, &r), kMin);
  EXPECT_EQ(VELM_PerfInfo_GetValue(ctx, perf, &r), -2);
  EXPECT_EQ(r.count(), 0);
  EXPECT_EQ(VELM_HTTPURLInfo_Delete(ctx, http, &r), 0);
  EXPECT_EQ(VELM_Outcome_Delete(ctx, out, &r), 0);
  EXPECT_EQ(VELM_PerfInfo_Delete(ctx, perf, &r), 0);
}

// ---- Null parameters ------------------------------------------------------------

TEST_F(InfoSimpleTest, NullRecordReportsFamilyHandleName) {
  VELM_AuditClientContext *ctx = utf8_.get();
  auto expectHandle = [](const Result &r, const std::string &handle) {
    ASSERT_EQ(r.count(), 1);
    EXPECT_EQ(r.code(), 9);
    EXPECT_NE(r.text().find("'" + handle + "'"), std::string::npos) << r.text();
  };
  for (const Family &f : families()) {
    SCOPED_TRACE(f.name);
    for (size_t i = 0; i < f.getters.size(); ++i) {
      SCOPED_TRACE(i);
      Result r;
      EXPECT_EQ(f.getters[i](ctx, nullptr, &r), nullptr);
      expectHandle(r, f.handle);
    }
    Result r;
    EXPECT_EQ(f.del(ctx, nullptr, &r), -1);
    expectHandle(r, f.deleteHandle);
  }
  struct IntCase {
    const char *name;
    std::function<int64_t(VELM_result *)> get;
    const char *handle;
  };
  const std::vector<IntCase> ints = {
      {"ResponseCode", [&](auto *r) { return VELM_HTTPURLInfo_GetResponseCode(ctx, nullptr, r); }, "HTTPURLInfo_Handle"},
      {"MajorStatus", [&](auto *r) { return VELM_Outcome_GetMajorStatus(ctx, nullptr, r); }, "outcome_Handle"},
      {"MinorStatus", [&](auto *r) { return VELM_Outcome_GetMinorStatus(ctx, nullptr, r); }, "outcome_Handle"},
      {"NumDataPoints", [&](auto *r) { return VELM_PerfInfo_GetNumDataPoints(ctx, nullptr, r); }, "perfInfo_Handle"},
      {"MaxValue", [&](auto *r) { return VELM_PerfInfo_GetMaxValue(ctx, nullptr, r); }, "perfInfo_Handle"},
      {"MinValue", [&](auto *r) { return VELM_PerfInfo_GetMinValue(ctx, nullptr, r); }, "perfInfo_Handle"},
      {"Value", [&](auto *r) { return VELM_PerfInfo_GetValue(ctx, nullptr, r); }, "perfInfo_Handle"},
  };
  for (const IntCase &c : ints) {
    SCOPED_TRACE(c.name);
    Result r;
    EXPECT_EQ(c.get(&r), -1);
    expectHandle(r, c.handle);
  }
}

TEST_F(InfoSimpleTest, NullContextOrResultFails) {
  for (const Family &f : families()) {
    SCOPED_TRACE(f.name);
    Result r;
    EXPECT_EQ(f.create(nullptr, f.valid, &r), nullptr);
    ASSERT_EQ(r.count(), 1);
    EXPECT_EQ(r.code(), 10);
    EXPECT_EQ(f.create(utf8_.get(), f.valid, nullptr), nullptr);

    Result ok;
    void *rec = f.create(utf8_.get(), f.valid, &ok);
    ASSERT_NE(rec, nullptr);
    Result g;
    EXPECT_EQ(f.getters[0](nullptr, rec, &g), nullptr);
    EXPECT_EQ(g.code(), 10);
    EXPECT_EQ(f.getters[0](utf8_.get(), rec, nullptr), nullptr);
    EXPECT_EQ(f.del(utf8_.get(), rec, nullptr), -1);
    Result d;
    EXPECT_EQ(f.del(nullptr, rec, &d), -1);
    EXPECT_EQ(d.code(), 10);
    EXPECT_EQ(f.del(utf8_.get(), rec, &d), 0);  // still the caller's after the refused deletes
  }
  Result r;
  VELM_PerfInfo *perf = VELM_PerfInfo_Create(utf8_.get(), "n", "d", 1, "u", 5, 5, 5, "a", &r);
  EXPECT_EQ(VELM_PerfInfo_GetMaxValue(nullptr, perf, &r), -1);
  EXPECT_EQ(VELM_PerfInfo_GetMaxValue(utf8_.get(), perf, nullptr), -1);
  EXPECT_EQ(VELM_PerfInfo_Delete(utf8_.get(), perf, &r), 0);
}

// A call resets the caller's record on entry, so only this call's problem is
// reported.
TEST_F(InfoSimpleTest, CallResetsResultOnEntry) {
  Result r;
  EXPECT_EQ(VELM_WorkItemInfo_Create(utf8_.get(), nullptr, "t", &r), nullptr);
  ASSERT_EQ(r.count(), 1);
  // The reset abandons the old entries without freeing them: keep them ours.
  VELM_error *first = r.r.errors;
  EXPECT_EQ(VELM_WorkItemInfo_Create(utf8_.get(), "i", nullptr, &r.r), nullptr);
  ASSERT_EQ(r.count(), 1);
  EXPECT_NE(r.r.errors, first);
  EXPECT_NE(r.text().find("'type'"), std::string::npos);
  VELM_Free(first[0].message);
  VELM_Free(first);
}

// ---- Internal creates -----------------------------------------------------------

// Copying a record that already holds UTF-8 (convertFlag 0) keeps its bytes
// even when the element code set is not UTF-8, and runs the checks again.
TEST_F(InfoSimpleTest, InternalCreateWithoutConversionCopiesBytes) {
  VELM_AuditClientContext *ctx = latin1_.get();
  Result r;
  VELM_ComponentId *id = VELM_ComponentId_Create(ctx, "h\xE9", "IPV6", "app", nullptr, "c", "ct", "cit", "s",
                                                 nullptr, nullptr, "t\xE9", &r);
  ASSERT_NE(id, nullptr) << r.text();
  VELM_ComponentId *copy = velm::componentId_Create(ctx, id->location, id->locationType, id->application,
                                                    id->executionEnvironment, id->component, id->componentType,
                                                    id->componentIdType, id->subcomponent, id->instanceId,
                                                    id->processId, id->threadId, 0, &r);
  ASSERT_NE(copy, nullptr) << r.text();
  EXPECT_STREQ(copy->location, "h\xC3\xA9");
  EXPECT_STREQ(copy->threadId, "t\xC3\xA9");
  EXPECT_NE(copy->location, id->location);
  EXPECT_EQ(copy->executionEnvironment, nullptr);
  EXPECT_EQ(velm::componentId_Delete(ctx, copy, &r), 0);

  EXPECT_EQ(velm::componentId_Create(ctx, id->location, "ipv6", id->application, nullptr, id->component,
                                     id->componentType, id->componentIdType, id->subcomponent, nullptr, nullptr,
                                     nullptr, 0, &r),
            nullptr);
  EXPECT_EQ(r.code(), 8);
  EXPECT_EQ(VELM_ComponentId_Delete(ctx, id, &r), 0);

  EXPECT_EQ(velm::outcome_Create(ctx, "UNSUCCESSFUL", 0, 0, nullptr, 0, &r), nullptr);
  EXPECT_NE(r.text(r.count() - 1).find("'failureReason'"), std::string::npos);
  EXPECT_EQ(velm::attribute_Delete(ctx, nullptr, &r), 0);
}

// An element given a record with copyFlag 1 holds its own copy, made from
// the record's UTF-8 text without a second conversion; with copyFlag 0 it
// holds the caller's record itself and releases it with the event.
TEST_F(InfoSimpleTest, ElementCopiesOrAdoptsRecord) {
  VELM_AuditClientContext *ctx = latin1_.get();
  Result r;
  VELM_AuditEvent *event = VELM_AuditEvent_Create(ctx, "AUDIT_AUTHZ", &r);
  ASSERT_NE(event, nullptr);
  VELM_Outcome *mine = VELM_Outcome_Create(ctx, "UNSUCCESSFUL", 1, 2, "no acc\xE8s", &r);
  VELM_Outcome *given = VELM_Outcome_Create(ctx, "SUCCESSFUL", 0, 0, nullptr, &r);
  ASSERT_TRUE(mine && given) << r.text();
  VELM_AuditElement *copied = VELM_AuditEvent_AddOutcomeElement(event, "outcome", mine, 1, &r);
  VELM_AuditElement *adopted = VELM_AuditEvent_AddOutcomeElement(event, "outcome2", given, 0, &r);
  ASSERT_TRUE(copied && adopted) << r.text();
  auto *held = static_cast<VELM_Outcome *>(VELM_AuditElement_GetValue(ctx, copied, &r));
  ASSERT_NE(held, nullptr);
  EXPECT_NE(held, mine);
  EXPECT_STREQ(held->failureReason, "no acc\xC3\xA8s");
  EXPECT_EQ(held->minorStatus, 2);
  EXPECT_EQ(VELM_AuditElement_GetValue(ctx, adopted, &r), given);
  EXPECT_EQ(VELM_AuditEvent_Delete(event, &r), 0);
  Text reason{VELM_Outcome_GetFailureReason(ctx, mine, &r)};
  EXPECT_EQ(reason.str(), "no acc\xE8s");
  EXPECT_EQ(VELM_Outcome_Delete(ctx, mine, &r), 0);
}

// ---- Logs -----------------------------------------------------------------------

TEST(InfoSimpleLogTest, FailedChecksAreTracedAndLogged) {
  TestContext ctx("UTF8", 9);
  ASSERT_NE(ctx.get(), nullptr);
  Result r;
  EXPECT_EQ(VELM_ComponentId_Create(ctx.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                    nullptr, nullptr, nullptr, nullptr, &r),
            nullptr);
  EXPECT_EQ(VELM_ComponentId_Create(ctx.get(), "l", "ipv4", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                    nullptr, nullptr, nullptr, &r),
            nullptr);
  EXPECT_EQ(VELM_RegistryInfo_Create(ctx.get(), "t", "l", "dns", "1", &r), nullptr);
  EXPECT_EQ(VELM_Outcome_Create(ctx.get(), "successful", 0, 0, nullptr, &r), nullptr);
  EXPECT_EQ(VELM_Attribute_GetName(ctx.get(), nullptr, &r), nullptr);
  ctx.close();  // flushes the logs
  const std::string trace = ctx.traceLog();
  for (const char *line : {"ERROR: The location parameter is missing",
                           "ERROR: value of locationType is not a valid value: ipv4",
                           "ERROR: value of serverLocationType is not a valid value: dns",
                           "ERROR: The value of the result parameter, successful, is invalid",
                           "ERROR: The attribute_Handle parameter is missing", "[componentId_Create]",
                           "[VELM_Attribute_GetName]", "ENTRY", "EXIT"})
    EXPECT_NE(trace.find(line), std::string::npos) << line << "\n" << trace;
  const std::string errors = ctx.errorLog();
  for (const char *text : {"DXACC0009E The required parameter 'location' passed to the function was null.",
                           "DXACC0008E The parameter, locationType , passed to the function has a value that is "
                           "not valid: ipv4 .",
                           "DXACC0008E The parameter, result , passed to the function has a value that is not "
                           "valid: successful ."})
    EXPECT_NE(errors.find(text), std::string::npos) << text << "\n" << errors;
}

}  // namespace
