// The C boundary: nothing thrown crosses it, unusable handles are reported
// like null ones, and trace lines carry the public function's name.
#include "capis/api_guard.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <new>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "capis/info_common.h"
#include "model/model_support.h"
#include "qlg.h"
#include "velm.h"

// ---- A failing operator new for this test program ----------------------------
//
// Every plain form allocates with malloc and frees with free (replaced
// together, so no form pairs with the runtime's own); the
// compiler cannot see that pairing once the two are inlined.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
//
// Armed with n, the n-th allocation through operator new from then on throws
// std::bad_alloc; 0 means disarmed.
namespace {
std::atomic<long> allocCountdown{0};
std::atomic<bool> allocFailed{false};
}  // namespace

void *operator new(std::size_t size) {
  long left = allocCountdown.load(std::memory_order_relaxed);
  while (left > 0 && !allocCountdown.compare_exchange_weak(left, left - 1, std::memory_order_relaxed)) {
  }
  if (left == 1) {
    allocFailed = true;
    throw std::bad_alloc();
  }
  if (void *p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void *operator new[](std::size_t size) { return operator new(size); }
void *operator new(std::size_t size, const std::nothrow_t &) noexcept {
  try {
    return operator new(size);
  } catch (...) {
    return nullptr;
  }
}
void *operator new[](std::size_t size, const std::nothrow_t &tag) noexcept { return operator new(size, tag); }
void operator delete(void *p) noexcept { std::free(p); }
void operator delete(void *p, std::size_t) noexcept { std::free(p); }
void operator delete[](void *p) noexcept { std::free(p); }
void operator delete[](void *p, std::size_t) noexcept { std::free(p); }
void operator delete(void *p, const std::nothrow_t &) noexcept { std::free(p); }
void operator delete[](void *p, const std::nothrow_t &) noexcept { std::free(p); }

namespace {

using velm_test::codes;
using velm_test::lastText;
using velm_test::TestContext;

void armAllocFailure(long n) {
  allocFailed = false;
  allocCountdown = n;
}
// Disarms; true when the armed allocation was reached.
bool disarmAllocFailure() {
  allocCountdown = 0;
  return allocFailed.exchange(false);
}

bool hasCode(const VELM_result &r, int code) {
  for (int c : codes(r))
    if (c == code) return true;
  return false;
}

// Releases a result record at scope end.
struct Result : VELM_result {
  Result() : VELM_result{0, 0, nullptr} {}
  ~Result() { VELM_Result_Clean(this); }
  void clean() { VELM_Result_Clean(this); }
};

class BoundaryTest : public ::testing::Test {
 protected:
  void TearDown() override { velm::setInfoAllocator(nullptr); }
  // A new event of type "AUDIT_AUTHZ" holding one integer element "n".
  VELM_AuditElement *eventWithElement(VELM_AuditEvent *&event) {
    Result r;
    event = VELM_AuditEvent_Create(c(), "AUDIT_AUTHZ", &r);
    return event != nullptr ? VELM_AuditEvent_AddIntegerElement(event, "n", 1, &r) : nullptr;
  }
  TestContext ctx_;
  VELM_AuditClientContext *c() { return ctx_.get(); }
};

// ---- Out of memory: message 1 and the failure value, never a crash ------------

void *throwingAlloc(size_t) { throw std::bad_alloc(); }
void *throwingOther(size_t) { throw std::runtime_error("not memory"); }

TEST_F(BoundaryTest, ContextCreateUnderFailingAllocationsReportsMessage1) {
  TestContext probe;  // keeps the process-wide state alive between rounds
  const std::string dir = ::testing::TempDir();
  const std::string errorFile = dir + "/boundary-oom-error.log";
  const VELM_Property props[] = {{"serverURL", VELM_VT_STRING, "http://127.0.0.1:9/audit"},
                                 {"errorFilePath", VELM_VT_STRING, errorFile.c_str()},
                                 {"useDiskCache", VELM_VT_STRING, "never"},
                                 {nullptr, 0, nullptr}};
  bool reached = true;
  int refused = 0;
  for (long n = 1; reached && n < 2000; ++n) {
    SCOPED_TRACE("failing allocation " + std::to_string(n));
    Result r;
    armAllocFailure(n);
    VELM_AuditClientContext *made = VELM_AuditClientContext_Create(props, &r);
    reached = disarmAllocFailure();
    if (made == nullptr) {
      ++refused;
      EXPECT_TRUE(hasCode(r, 1)) << lastText(r);
    } else {
      Result d;
      EXPECT_EQ(VELM_AuditClientContext_Delete(made, &d), 0);
    }
  }
  EXPECT_FALSE(reached) << "creation never ran without a failing allocation";
  EXPECT_GT(refused, 0) << "no failing allocation reached the caller";
  std::remove(errorFile.c_str());
}

TEST_F(BoundaryTest, EventCallsTurnBadAllocIntoMessage1) {
  ASSERT_NE(c(), nullptr);
  Result r;
  VELM_AuditEvent *event = VELM_AuditEvent_Create(c(), "AUDIT_AUTHZ", &r);
  ASSERT_NE(event, nullptr);
  // A dotted name longer than a short string makes the look-up allocate.
  armAllocFailure(1);
  EXPECT_EQ(VELM_AuditEvent_AddStringElement(event, "aParentWithALongName.child", "v", 1, &r), nullptr);
  EXPECT_TRUE(disarmAllocFailure());
  EXPECT_EQ(codes(r), std::vector<int>{1});
  EXPECT_EQ(event->count, 0);
  r.clean();

  // A record value copied into the event, with the record allocator throwing.
  VELM_WorkItemInfo *work = VELM_WorkItemInfo_Create(c(), "w1", "t", &r);
  ASSERT_NE(work, nullptr);
  velm::setInfoAllocator(&throwingAlloc);
  EXPECT_EQ(VELM_AuditEvent_AddWorkItemInfoElement(event, "work", work, 1, &r), nullptr);
  velm::setInfoAllocator(nullptr);
  EXPECT_EQ(codes(r), std::vector<int>{1});
  r.clean();

  // Validation under every failing allocation it makes.
  bool reached = true;
  for (long n = 1; reached && n < 500; ++n) {
    armAllocFailure(n);
    const int rc = VELM_AuditEvent_Validate(event, &r);
    reached = disarmAllocFailure();
    EXPECT_EQ(rc, -1);  // the event lacks required elements either way
    r.clean();
  }
  EXPECT_EQ(VELM_WorkItemInfo_Delete(c(), work, &r), 0);
  EXPECT_EQ(VELM_AuditEvent_Delete(event, &r), 0);
}

TEST_F(BoundaryTest, ElementCallsTurnBadAllocIntoMessage1) {
  VELM_AuditEvent *event = nullptr;
  VELM_AuditElement *parent = c() != nullptr ? eventWithElement(event) : nullptr;
  ASSERT_NE(parent, nullptr);
  Result r;
  armAllocFailure(1);
  EXPECT_EQ(VELM_AuditElement_GetElement(c(), parent, "aChildWithAVeryLongName.leaf", &r), nullptr);
  EXPECT_TRUE(disarmAllocFailure());
  EXPECT_EQ(codes(r), std::vector<int>{1});
  r.clean();
  armAllocFailure(1);
  EXPECT_EQ(VELM_AuditElement_AddStringElement(c(), parent, "aChildWithAVeryLongName.leaf", "v", 1, &r),
            nullptr);
  EXPECT_TRUE(disarmAllocFailure());
  EXPECT_EQ(codes(r), std::vector<int>{1});
  EXPECT_EQ(parent->count, 0);
  r.clean();
  EXPECT_EQ(VELM_AuditEvent_Delete(event, &r), 0);
}

TEST_F(BoundaryTest, InfoRecordCallsTurnThrowsIntoFailures) {
  ASSERT_NE(c(), nullptr);
  Result r;
  velm::setInfoAllocator(&throwingAlloc);
  EXPECT_EQ(VELM_UserInfo_Create(c(), "ru", "au", 1, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                 nullptr, 1, &r),
            nullptr);
  EXPECT_EQ(codes(r), std::vector<int>{1});
  r.clean();
  EXPECT_EQ(VELM_Attribute_Create(c(), "n", "v", nullptr, &r), nullptr);
  EXPECT_EQ(codes(r), std::vector<int>{1});
  r.clean();

  // Anything else thrown: the failure value and message 64 naming the call.
  velm::setInfoAllocator(&throwingOther);
  EXPECT_EQ(VELM_WorkItemInfo_Create(c(), "w", "t", &r), nullptr);
  EXPECT_EQ(codes(r), std::vector<int>{64});
  EXPECT_NE(lastText(r).find("VELM_WorkItemInfo_Create"), std::string::npos) << lastText(r);
}

TEST_F(BoundaryTest, ToolkitCallsSurviveFailingAllocations) {
  ASSERT_EQ(QlgOpenToolkit(nullptr), 1);
  bool reached = true;
  for (long n = 1; reached && n < 500; ++n) {
    armAllocFailure(n);
    QlgObject *o = QlgGetObject("boundary.oom.logger", "qlg_basiclogger");
    const int set = o != nullptr ? QlgSetObjProp(o, "level", "INFO") : 0;
    reached = disarmAllocFailure();
    EXPECT_TRUE(set == 0 || set == 1);
    if (o != nullptr) QlgReleaseObject(o);
  }
  EXPECT_FALSE(reached);
}

// ---- Unusable handles: reported like null handles of their kind --------------

TEST_F(BoundaryTest, ContextEventAndElementHandlesOfAnotherKindOrPoisoned) {
  ASSERT_NE(c(), nullptr);
  VELM_AuditEvent *event = nullptr;
  VELM_AuditElement *element = eventWithElement(event);
  ASSERT_NE(element, nullptr);
  Result r;
  auto *eventAsContext = reinterpret_cast<VELM_AuditClientContext *>(event);
  auto *elementAsEvent = reinterpret_cast<VELM_AuditEvent *>(element);
  auto *eventAsElement = reinterpret_cast<VELM_AuditElement *>(event);

  struct Case {
    const char *what;
    std::function<long()> call;  // the failure value as a number
    long failure;
    int code;
    const char *named;  // message 9: the parameter named
  };
  const Case wrongKind[] = {
      {"event as context", [&] { return (long)VELM_AuditClientContext_GetTraceLevel(eventAsContext, &r); },
       -1, 10, nullptr},
      {"event as context, create",
       [&] { return (long)(VELM_AuditEvent_Create(eventAsContext, "T", &r) != nullptr); }, 0, 10, nullptr},
      {"element as event", [&] { return (long)(VELM_AuditEvent_GetType(elementAsEvent, &r) != nullptr); }, 0,
       12, nullptr},
      {"element as event, validate", [&] { return (long)VELM_AuditEvent_Validate(elementAsEvent, &r); }, -1,
       12, nullptr},
      {"event as element", [&] { return (long)VELM_AuditElement_IsStatic(c(), eventAsElement, &r); }, -1, 9,
       "element_Handle"},
      {"event as parent element",
       [&] {
         return (long)(VELM_AuditElement_AddIntegerElement(c(), eventAsElement, "x", 1, &r) != nullptr);
       },
       0, 9, "parentElement"},
  };
  for (const Case &k : wrongKind) {
    SCOPED_TRACE(k.what);
    r.clean();
    EXPECT_EQ(k.call(), k.failure);
    EXPECT_EQ(codes(r), std::vector<int>{k.code});
    if (k.named != nullptr) {
      EXPECT_NE(lastText(r).find(k.named), std::string::npos) << lastText(r);
    }
  }
  EXPECT_EQ(event->count, 1) << "the event was not touched";

  // Poisoned (as a deleted handle is): refused, then usable again once restored.
  r.clean();
  velm::poisonHandle(c());
  EXPECT_EQ(VELM_AuditClientContext_GetTraceLevel(c(), &r), -1);
  EXPECT_EQ(codes(r), std::vector<int>{10});
  velm::setHandleMagic(c(), velm::kContextMagic);
  r.clean();
  EXPECT_EQ(VELM_AuditClientContext_GetTraceLevel(c(), &r), 0);

  velm::poisonHandle(element);
  EXPECT_EQ(VELM_AuditElement_GetValueType(c(), element, &r), -1);
  EXPECT_EQ(codes(r), std::vector<int>{9});
  velm::setHandleMagic(element, velm::kElementMagic);
  r.clean();
  EXPECT_EQ(VELM_AuditElement_GetValueType(c(), element, &r), VELM_VT_INTEGER);

  velm::poisonHandle(event);
  EXPECT_EQ(VELM_AuditEvent_Delete(event, &r), -1);
  EXPECT_EQ(codes(r), std::vector<int>{12});
  velm::setHandleMagic(event, velm::kEventMagic);
  r.clean();
  EXPECT_EQ(VELM_AuditEvent_Delete(event, &r), 0);
  EXPECT_EQ(r.numErrors, 0);
}

// One row per info-record family: how to make one and how to delete one.
struct Family {
  const char *name;
  const char *handleName;
  std::function<void *(VELM_AuditClientContext *, VELM_result *)> make;
  std::function<int(VELM_AuditClientContext *, void *, VELM_result *)> remove;
};

char *kNames[] = {const_cast<char *>("n1"), nullptr};

template <typename R>
std::function<int(VELM_AuditClientContext *, void *, VELM_result *)> deleter(
    int (*fn)(VELM_AuditClientContext *, R *, VELM_result *)) {
  return [fn](VELM_AuditClientContext *c, void *h, VELM_result *r) { return fn(c, static_cast<R *>(h), r); };
}

const std::vector<Family> &families() {
  using C = VELM_AuditClientContext *;
  using Res = VELM_result *;
  static const std::vector<Family> all = {
      {"Attribute", "attribute_Handle",
       [](C c, Res r) -> void * { return VELM_Attribute_Create(c, "n", "v", nullptr, r); },
       deleter(&VELM_Attribute_Delete)},
      {"AttributePermissionInfo", "attributePermissionInfo_Handle",
       [](C c, Res r) -> void * {
         return VELM_AttributePermissionInfo_Create(c, kNames, kNames, kNames, kNames, r);
       },
       deleter(&VELM_AttributePermissionInfo_Delete)},
      {"ComponentId", "componentId_Handle",
       [](C c, Res r) -> void * {
         return VELM_ComponentId_Create(c, "h", "IPV4", "app", nullptr, "comp", "ct", "cit", "sub", nullptr,
                                        nullptr, nullptr, r);
       },
       deleter(&VELM_ComponentId_Delete)},
      {"HTTPURLInfo", "HTTPURLInfo_Handle",
       [](C c, Res r) -> void * {
         return VELM_HTTPURLInfo_Create(c, "http://x/", "GET", 200, nullptr, nullptr, r);
       },
       deleter(&VELM_HTTPURLInfo_Delete)},
      {"MembershipInfo", "membershipInfo__Handle",
       [](C c, Res r) -> void * { return VELM_MembershipInfo_Create(c, "group", nullptr, nullptr, r); },
       deleter(&VELM_MembershipInfo_Delete)},
      {"MgmtInfo", "mgmtInfo_Handle",
       [](C c, Res r) -> void * { return VELM_MgmtInfo_Create(c, nullptr, "cmd", 1, r); },
       deleter(&VELM_MgmtInfo_Delete)},
      {"MsgDataElement", "msgDataElement_Handle",
       [](C c, Res r) -> void * {
         return VELM_MsgDataElement_Create(c, "id", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, r);
       },
       deleter(&VELM_MsgDataElement_Delete)},
      {"Outcome", "outcome_Handle",
       [](C c, Res r) -> void * { return VELM_Outcome_Create(c, "SUCCESSFUL", 0, 0, nullptr, r); },
       deleter(&VELM_Outcome_Delete)},
      {"PerfInfo", "perfInfo_Handle",
       [](C c, Res r) -> void * { return VELM_PerfInfo_Create(c, "p", "d", 1, "ms", 2, 0, 1, "avg", r); },
       deleter(&VELM_PerfInfo_Delete)},
      {"PermissionInfo", "permissionInfo_Handle",
       [](C c, Res r) -> void * {
         return VELM_PermissionInfo_Create(c, kNames, kNames, kNames, kNames, kNames, r);
       },
       deleter(&VELM_PermissionInfo_Delete)},
      {"PolicyInfo", "policyInfo_Handle",
       [](C c, Res r) -> void * { return VELM_PolicyInfo_Create(c, "p", "b", "t", "d", nullptr, 1, r); },
       deleter(&VELM_PolicyInfo_Delete)},
      {"ProvisioningInfo", "provsioningInfo_Handle",
       [](C c, Res r) -> void * { return VELM_ProvisioningInfo_Create(c, nullptr, "res", nullptr, r); },
       deleter(&VELM_ProvisioningInfo_Delete)},
      {"RegistryInfo", "registryInfo_Handle",
       [](C c, Res r) -> void * { return VELM_RegistryInfo_Create(c, "LDAP", "h", "IPV4", "389", r); },
       deleter(&VELM_RegistryInfo_Delete)},
      {"RegistryObjectInfo", "registryObjectInfo_Handle",
       [](C c, Res r) -> void * {
         return VELM_RegistryObjectInfo_Create(c, "o", "rn", "t", "d", nullptr, 1, r);
       },
       deleter(&VELM_RegistryObjectInfo_Delete)},
      {"ResourceInfo", "resourceInfo_Handle",
       [](C c, Res r) -> void * { return VELM_ResourceInfo_Create(c, "app", "pol", "t", nullptr, 1, r); },
       deleter(&VELM_ResourceInfo_Delete)},
      {"TargetInfo", "targetInfo_Handle",
       [](C c, Res r) -> void * { return VELM_TargetInfo_Create(c, kNames, nullptr, 1, r); },
       deleter(&VELM_TargetInfo_Delete)},
      {"UserInfo", "userInfo_Handle",
       [](C c, Res r) -> void * {
         return VELM_UserInfo_Create(c, "ru", "au", 1, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                     nullptr, 1, r);
       },
       deleter(&VELM_UserInfo_Delete)},
      {"WorkItemInfo", "workItemInfo_Handle",
       [](C c, Res r) -> void * { return VELM_WorkItemInfo_Create(c, "w", "t", r); },
       deleter(&VELM_WorkItemInfo_Delete)},
  };
  return all;
}

TEST_F(BoundaryTest, InfoRecordHandlesOfAnotherFamilyOrPoisoned) {
  ASSERT_NE(c(), nullptr);
  const auto &all = families();
  ASSERT_EQ(all.size(), 18u);
  for (size_t i = 0; i < all.size(); ++i) {
    const Family &f = all[i];
    const Family &other = all[(i + 1) % all.size()];
    SCOPED_TRACE(f.name);
    Result r;
    void *mine = f.make(c(), &r);
    void *theirs = other.make(c(), &r);
    ASSERT_NE(mine, nullptr) << lastText(r);
    ASSERT_NE(theirs, nullptr) << lastText(r);

    EXPECT_EQ(f.remove(c(), theirs, &r), -1) << "a record of another family";
    EXPECT_EQ(codes(r), std::vector<int>{9});
    EXPECT_NE(lastText(r).find(f.handleName), std::string::npos) << lastText(r);
    r.clean();

    const uint32_t word = velm::handleMagic(mine);
    velm::poisonHandle(mine);
    EXPECT_EQ(f.remove(c(), mine, &r), -1) << "a poisoned record";
    EXPECT_EQ(codes(r), std::vector<int>{9});
    r.clean();
    velm::setHandleMagic(mine, word);
    EXPECT_EQ(f.remove(c(), mine, &r), 0);
    EXPECT_EQ(other.remove(c(), theirs, &r), 0);
    EXPECT_EQ(r.numErrors, 0) << lastText(r);
  }
}

TEST_F(BoundaryTest, RecordGettersRefuseAnotherFamily) {
  ASSERT_NE(c(), nullptr);
  Result r;
  VELM_Outcome *outcome = VELM_Outcome_Create(c(), "SUCCESSFUL", 0, 0, nullptr, &r);
  ASSERT_NE(outcome, nullptr);
  auto *asUser = reinterpret_cast<const VELM_UserInfo *>(outcome);
  EXPECT_EQ(VELM_UserInfo_GetDomain(c(), asUser, &r), nullptr);
  EXPECT_EQ(codes(r), std::vector<int>{9});
  r.clean();
  EXPECT_EQ(VELM_UserInfo_GetUniqueId(c(), asUser, &r), -1);
  EXPECT_EQ(codes(r), std::vector<int>{9});
  r.clean();
  EXPECT_EQ(VELM_UserInfo_GetCallerList(c(), asUser, &r), nullptr);
  EXPECT_EQ(codes(r), std::vector<int>{9});
  r.clean();
  EXPECT_EQ(VELM_UserInfo_GetAttributes(c(), asUser, &r), nullptr);
  EXPECT_EQ(codes(r), std::vector<int>{9});
  r.clean();
  EXPECT_EQ(VELM_Outcome_Delete(c(), outcome, &r), 0);
}

TEST(HandleMagic, KindsAreDistinctAndOnlyTheFirstWordCounts) {
  const uint32_t kinds[] = {velm::kContextMagic,
                            velm::kClientMagic,
                            velm::kEventMagic,
                            velm::kElementMagic,
                            velm::recordMagic<VELM_Attribute>(),
                            velm::recordMagic<VELM_UserInfo>(),
                            velm::kDeadMagic};
  for (size_t i = 0; i < std::size(kinds); ++i)
    for (size_t j = i + 1; j < std::size(kinds); ++j) EXPECT_NE(kinds[i], kinds[j]);
  // A handle that is just its word, as a client struct starting with it would be.
  struct Fake {
    uint32_t magic;
    char rest[3];
  } fake{velm::kClientMagic, {}};
  EXPECT_TRUE(velm::handleOk(&fake, velm::kClientMagic));
  EXPECT_FALSE(velm::handleOk(&fake, velm::kContextMagic));
  EXPECT_FALSE(velm::handleOk(nullptr, velm::kClientMagic));
  velm::poisonHandle(&fake);
  EXPECT_FALSE(velm::handleOk(&fake, velm::kClientMagic));
}

// ---- Trace lines name the public function -------------------------------------

TEST(BoundaryTrace, EntryAndExitLinesNameThePublicFunction) {
  TestContext ctx("UTF8", 2);  // entry tracing on
  ASSERT_NE(ctx.get(), nullptr);
  Result r;
  VELM_AuditEvent *event = VELM_AuditEvent_Create(ctx.get(), "AUDIT_AUTHZ", &r);
  ASSERT_NE(event, nullptr);
  EXPECT_NE(VELM_AuditEvent_AddStringElement(event, "action", "read", 1, &r), nullptr);
  VELM_UserInfo *user = VELM_UserInfo_Create(ctx.get(), "ru", "au", 1, nullptr, "dom", nullptr, nullptr,
                                             nullptr, nullptr, nullptr, 1, &r);
  ASSERT_NE(user, nullptr);
  char *domain = VELM_UserInfo_GetDomain(ctx.get(), user, &r);
  VELM_Free(domain);
  EXPECT_EQ(VELM_UserInfo_Delete(ctx.get(), user, &r), 0);
  EXPECT_EQ(VELM_AuditEvent_Delete(event, &r), 0);
  ctx.close();

  const std::string trace = ctx.traceLog();
  const auto hasLine = [&](const std::string &function, const std::string &text) {
    std::istringstream in(trace);
    for (std::string l; std::getline(in, l);)
      if (l.find("[" + function + "]") != std::string::npos && l.size() >= text.size() &&
          l.compare(l.size() - text.size(), text.size(), text) == 0)
        return true;
    return false;
  };
  for (const char *fn : {"VELM_AuditClientContext_Create", "VELM_AuditEvent_Create",
                         "VELM_AuditEvent_AddStringElement", "VELM_UserInfo_Create",
                         "VELM_UserInfo_GetDomain", "VELM_UserInfo_Delete", "VELM_AuditEvent_Delete"}) {
    SCOPED_TRACE(fn);
    EXPECT_TRUE(hasLine(fn, " ENTRY"));
    EXPECT_TRUE(hasLine(fn, " EXIT"));
  }
  EXPECT_TRUE(hasLine("VELM_AuditClientContext_Delete", " ENTRY"));
  // Internal twins keep their own names; helpers never show up.
  EXPECT_TRUE(hasLine("userInfo_Create", " ENTRY"));
  for (const char *helper :
       {"[createContext]", "[addTyped]", "[operator()]", "[infoStringGetter]", "[apiCall]"})
    EXPECT_EQ(trace.find(helper), std::string::npos) << helper;
}

}  // namespace
