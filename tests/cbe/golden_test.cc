// The direct writer against the DOM and its serialiser: the same bytes, or
// the same failure with the same messages, for hand-picked events and for
// many random ones. The random events are seeded: the seed is printed, and
// VELM_GOLDEN_SEED (and VELM_GOLDEN_EVENTS for the count) replay a run.
#include <gtest/gtest.h>
#include <sys/time.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "capis/element.h"
#include "capis/event.h"
#include "capis/info_nested.h"
#include "capis/info_simple.h"
#include "cbe/cbe_test_util.h"
#include "cbe/sendEvent.h"
#include "velm.h"

namespace velm::test {
namespace {

::testing::Environment *const kXml = ::testing::AddGlobalTestEnvironment(new XmlEnvironment);

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr int kDefaultRandomEvents = 10000;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr int kDefaultRandomEvents = 10000;
#else
constexpr int kDefaultRandomEvents = 100000;
#endif
#else
constexpr int kDefaultRandomEvents = 100000;
#endif

// Everything one event points at, owned here: the conversion only reads
// the records, so they are built as plain structures, which lets them hold
// what the public functions would refuse (invalid bytes, unknown types).
class Arena {
 public:
  char *text(std::string s) {
    texts_.push_back(std::move(s));
    return texts_.back().data();
  }
  template <typename T>
  T *make() {
    auto p = std::make_shared<T>();
    blocks_.push_back(p);
    return p.get();
  }
  template <typename T>
  T **list(const std::vector<T *> &items) {
    auto v = std::make_shared<std::vector<T *>>(items);
    v->push_back(nullptr);
    blocks_.push_back(v);
    return v->data();
  }

 private:
  std::deque<std::string> texts_;
  std::vector<std::shared_ptr<void>> blocks_;
};

class RandomEvents {
 public:
  RandomEvents(uint64_t seed, Arena &arena) : rng_(seed), arena_(arena) {}

  VELM_AuditEvent *event() {
    auto *e = arena_.make<VELM_AuditEvent>();
    e->eventType = chance(2) ? nullptr : string();
    std::vector<VELM_AuditElement *> elements;
    const int n = static_cast<int>(pick(8));
    for (int i = 0; i < n; ++i) elements.push_back(chance(3) ? nullptr : element(0));
    e->count = n;
    e->elements = arena_.list(elements);
    e->capacity = n + 1;
    return e;
  }

 private:
  uint64_t pick(uint64_t n) { return n == 0 ? 0 : rng_() % n; }
  // True with a chance of percent in a hundred.
  bool chance(int percent) { return static_cast<int>(pick(100)) < percent; }

  // Random text: mostly plain, with the characters that need escaping,
  // non-ASCII, and now and then something XML or UTF-8 cannot carry.
  char *string() {
    if (chance(4)) return arena_.text("");
    static const char *const kPieces[] = {
        "a", "Z", "9", " ", "user", "&", "<", ">", "\"", "'", "\t", "\n", "\r", "\r\n", "]]>", "]]", "]", "&amp;",
        "\xc3\xa9", "\xe2\x82\xac", "\xf0\x9f\x98\x80", "\xe6\x97\xa5\xe6\x9c\xac", "\x7f", "\xc2\x85",
        "\xef\xbf\xbd", "\xf4\x8f\xbf\xbf", "\xed\x9f\xbf"};
    static const char *const kRare[] = {"\x01", "\x1f", "\x0b", "\xef\xbf\xbe", "\xef\xbf\xbf", "\x80", "\xc0\xaf",
                                        "\xed\xa0\x80", "\xf5\x80\x80\x80", "\xc3", "\xe2\x82", "\xc3(", "\xff",
                                        "\xf4\x90\x80\x80", "\xe0\x80\xaf"};
    std::string s;
    const int n = 1 + static_cast<int>(pick(12));
    // About one text in a thousand holds something that cannot be written.
    const int rareAt = pick(1000) == 0 ? static_cast<int>(pick(static_cast<uint64_t>(n))) : -1;
    for (int i = 0; i < n; ++i) s += i == rareAt ? kRare[pick(std::size(kRare))] : kPieces[pick(std::size(kPieces))];
    return arena_.text(std::move(s));
  }
  char *maybe() { return chance(25) ? nullptr : string(); }
  char **strings() {
    if (chance(30)) return nullptr;
    std::vector<char *> v;
    const int n = static_cast<int>(pick(4));
    for (int i = 0; i < n; ++i) v.push_back(string());
    return arena_.list(v);
  }
  VELM_Attribute *attribute() {
    auto *a = arena_.make<VELM_Attribute>();
    a->name = maybe();
    a->value = maybe();
    a->source = maybe();
    return a;
  }
  VELM_Attribute **attributes() {
    if (chance(30)) return nullptr;
    std::vector<VELM_Attribute *> v;
    const int n = static_cast<int>(pick(4));
    for (int i = 0; i < n; ++i) v.push_back(attribute());
    return arena_.list(v);
  }
  int32_t int32() {
    switch (pick(4)) {
      case 0: return 0;
      case 1: return INT32_MIN;
      case 2: return INT32_MAX;
      default: return static_cast<int32_t>(rng_());
    }
  }
  int64_t int64() {
    switch (pick(4)) {
      case 0: return -1;
      case 1: return INT64_MIN;
      case 2: return INT64_MAX;
      default: return static_cast<int64_t>(rng_());
    }
  }
  struct timeval *time() {
    auto *t = arena_.make<struct timeval>();
    switch (pick(6)) {
      case 0: t->tv_sec = 0; break;
      case 1: t->tv_sec = static_cast<time_t>(pick(4102444800ULL)); break;  // 1970 to 2100
      case 2: t->tv_sec = -static_cast<time_t>(pick(62135596800ULL)); break;  // back to year 1
      case 3: t->tv_sec = static_cast<time_t>(253402300799LL - static_cast<int64_t>(pick(100))); break;
      case 4: t->tv_sec = static_cast<time_t>(static_cast<int64_t>(rng_()) >> pick(40)); break;
      default: t->tv_sec = 1700000000 + static_cast<time_t>(pick(100000)); break;
    }
    switch (pick(5)) {
      case 0: t->tv_usec = 0; break;
      case 1: t->tv_usec = static_cast<suseconds_t>(pick(1000000)); break;
      case 2: t->tv_usec = static_cast<suseconds_t>(pick(10) * 100000); break;
      case 3: t->tv_usec = static_cast<suseconds_t>(static_cast<int64_t>(rng_()) >> pick(50)); break;
      default: t->tv_usec = 250000; break;
    }
    return t;
  }
  VELM_TargetInfo *target() {
    auto *r = arena_.make<VELM_TargetInfo>();
    r->targetNames = strings();
    r->attributes = attributes();
    return r;
  }
  VELM_AttributePermissionInfo *attributePermission() {
    auto *r = arena_.make<VELM_AttributePermissionInfo>();
    r->attributeNames = strings();
    r->checked = strings();
    r->granted = strings();
    r->denied = strings();
    return r;
  }
  VELM_MembershipInfo *membership() {
    auto *r = arena_.make<VELM_MembershipInfo>();
    r->type = maybe();
    r->id = maybe();
    r->name = maybe();
    return r;
  }
  VELM_PolicyInfo *policy() {
    auto *r = arena_.make<VELM_PolicyInfo>();
    r->name = maybe();
    r->branch = maybe();
    r->type = maybe();
    r->description = maybe();
    r->attributes = attributes();
    return r;
  }
  template <typename T, typename F>
  T **recordList(F make) {
    std::vector<T *> v;
    const int n = static_cast<int>(pick(4));
    for (int i = 0; i < n; ++i) v.push_back(make());
    return arena_.list(v);
  }

  void *value(int type) {
    switch (type) {
      case VELM_VT_INTEGER: {
        auto *v = arena_.make<int32_t>();
        *v = int32();
        return v;
      }
      case VELM_VT_LONG: {
        auto *v = arena_.make<int64_t>();
        *v = int64();
        return v;
      }
      case VELM_VT_STRING: return string();
      case VELM_VT_DATETIME: return time();
      case VELM_VT_ATTRIBUTE: return attribute();
      case VELM_VT_ATTRIBUTE_PERMISSION_INFO: return attributePermission();
      case VELM_VT_COMPONENT_ID: {
        auto *r = arena_.make<VELM_ComponentId>();
        for (char **f : {&r->location, &r->locationType, &r->application, &r->executionEnvironment, &r->component,
                         &r->componentType, &r->componentIdType, &r->subcomponent, &r->instanceId, &r->processId,
                         &r->threadId})
          *f = maybe();
        return r;
      }
      case VELM_VT_HTTPURL_INFO: {
        auto *r = arena_.make<VELM_HTTPURLInfo>();
        r->url = maybe();
        r->method = maybe();
        r->responseCode = int32();
        r->requestHeaders = maybe();
        r->responseHeaders = maybe();
        return r;
      }
      case VELM_VT_MEMBERSHIP_INFO: return membership();
      case VELM_VT_MGMT_INFO: {
        auto *r = arena_.make<VELM_MgmtInfo>();
        r->targetInfo = chance(50) ? target() : nullptr;
        r->command = maybe();
        return r;
      }
      case VELM_VT_MSG_DATA_ELEMENT: {
        auto *r = arena_.make<VELM_MsgDataElement>();
        r->msgId = maybe();
        r->msgIdType = maybe();
        r->msgCatalogId = maybe();
        r->msgCatalogTokens = strings();
        r->msgCatalog = maybe();
        r->msgCatalogType = maybe();
        r->msgLocale = maybe();
        return r;
      }
      case VELM_VT_OUTCOME: {
        auto *r = arena_.make<VELM_Outcome>();
        r->result = maybe();
        r->majorStatus = int32();
        r->minorStatus = int32();
        r->failureReason = maybe();
        return r;
      }
      case VELM_VT_PERF_INFO: {
        auto *r = arena_.make<VELM_PerfInfo>();
        r->name = maybe();
        r->description = maybe();
        r->numDataPoints = int32();
        r->unit = maybe();
        r->maxValue = int64();
        r->minValue = int64();
        r->value = int64();
        r->aggregate = maybe();
        return r;
      }
      case VELM_VT_POLICY_INFO: return policy();
      case VELM_VT_PERMISSION_INFO: {
        auto *r = arena_.make<VELM_PermissionInfo>();
        r->checked = strings();
        r->granted = strings();
        r->denied = strings();
        r->J2EERolesChecked = strings();
        r->J2EERolesGranted = strings();
        return r;
      }
      case VELM_VT_PROVISIONING_INFO: {
        auto *r = arena_.make<VELM_ProvisioningInfo>();
        r->accountId = maybe();
        r->resourceId = maybe();
        r->resourceType = maybe();
        return r;
      }
      case VELM_VT_REGISTRY_INFO: {
        auto *r = arena_.make<VELM_RegistryInfo>();
        r->type = maybe();
        r->serverLocation = maybe();
        r->serverLocationType = maybe();
        r->serverPort = maybe();
        return r;
      }
      case VELM_VT_REGISTRY_OBJECT_INFO: {
        auto *r = arena_.make<VELM_RegistryObjectInfo>();
        r->name = maybe();
        r->registryName = maybe();
        r->type = maybe();
        r->description = maybe();
        r->attributes = attributes();
        return r;
      }
      case VELM_VT_RESOURCE_INFO: {
        auto *r = arena_.make<VELM_ResourceInfo>();
        r->nameInApp = maybe();
        r->nameInPolicy = maybe();
        r->type = maybe();
        r->attributes = attributes();
        return r;
      }
      case VELM_VT_TARGET_INFO: return target();
      case VELM_VT_USER_INFO: {
        auto *r = arena_.make<VELM_UserInfo>();
        r->registryUserName = maybe();
        r->appUserName = maybe();
        r->uniqueId = int32();
        r->callerList = strings();
        r->domain = maybe();
        r->realm = maybe();
        r->location = maybe();
        r->locationType = maybe();
        r->sessionId = maybe();
        r->attributes = attributes();
        return r;
      }
      case VELM_VT_WORK_ITEM_INFO: {
        auto *r = arena_.make<VELM_WorkItemInfo>();
        r->id = maybe();
        r->type = maybe();
        return r;
      }
      case VELM_VT_ATTRIBUTE_ARRAY: return recordList<VELM_Attribute>([&] { return attribute(); });
      case VELM_VT_ATTRIBUTE_PERMISSION_INFO_ARRAY:
        return recordList<VELM_AttributePermissionInfo>([&] { return attributePermission(); });
      case VELM_VT_MEMBERSHIP_INFO_ARRAY: return recordList<VELM_MembershipInfo>([&] { return membership(); });
      case VELM_VT_POLICY_INFO_ARRAY: return recordList<VELM_PolicyInfo>([&] { return policy(); });
      default: return string();
    }
  }

  VELM_AuditElement *element(int depth) {
    // The base names with their own types and with others, and plain names.
    static const struct {
      const char *name;
      int type;
    } kBase[] = {{"timestamp", VELM_VT_DATETIME},        {"auditMsg", VELM_VT_STRING},
                 {"globalInstanceId", VELM_VT_STRING},   {"sequenceNumber", VELM_VT_LONG},
                 {"sourceComponentId", VELM_VT_COMPONENT_ID}, {"reporterComponentId", VELM_VT_COMPONENT_ID},
                 {"auditMsgElement", VELM_VT_MSG_DATA_ELEMENT}};
    auto *e = arena_.make<VELM_AuditElement>();
    if (chance(30)) {
      const auto &b = kBase[pick(std::size(kBase))];
      e->name = arena_.text(b.name);
      e->valueType = chance(85) ? b.type : static_cast<int>(1 + pick(26));
    } else {
      e->name = chance(1) ? nullptr : string();
      e->valueType = chance(1) ? static_cast<int>(pick(3) == 0 ? 0 : 27 + pick(80)) : static_cast<int>(1 + pick(26));
    }
    e->value = chance(1) ? nullptr : value(e->valueType);
    std::vector<VELM_AuditElement *> children;
    if (depth < 3 && chance(35)) {
      const int n = 1 + static_cast<int>(pick(3));
      for (int i = 0; i < n; ++i) children.push_back(chance(5) ? nullptr : element(depth + 1));
    }
    e->count = static_cast<int32_t>(children.size());
    e->capacity = e->count + 1;
    e->children = arena_.list(children);
    return e;
  }

  std::mt19937_64 rng_;
  Arena &arena_;
};

std::string describe(const ConversionOutcome &o) {
  std::string s = o.ok ? "ok: " + o.text : "failed";
  for (const auto &[code, text] : o.messages) s += "\n  " + std::to_string(code) + " " + text;
  return s;
}

uint64_t envNumber(const char *name, uint64_t fallback) {
  const char *v = std::getenv(name);
  return v != nullptr && *v != '\0' ? std::strtoull(v, nullptr, 0) : fallback;
}

TEST(Golden, RandomEventsGiveTheSameBytesOrTheSameFailureThroughBothOutputs) {
  const uint64_t seed = envNumber("VELM_GOLDEN_SEED", std::random_device{}());
  const int count = static_cast<int>(envNumber("VELM_GOLDEN_EVENTS", kDefaultRandomEvents));
  std::printf("golden: VELM_GOLDEN_SEED=%llu VELM_GOLDEN_EVENTS=%d\n", static_cast<unsigned long long>(seed), count);
  int mismatches = 0, failures = 0;
  for (int i = 0; i < count && mismatches < 3; ++i) {
    Arena arena;
    // One generator per event, so that one event is replayed alone.
    RandomEvents gen(seed * 0x9E3779B97F4A7C15ULL + static_cast<uint64_t>(i), arena);
    VELM_AuditEvent *event = gen.event();
    const ConversionOutcome dom = convertWithDom(event);
    const ConversionOutcome text = convertWithWriter(event);
    if (!dom.ok) ++failures;
    if (!(dom == text)) {
      ++mismatches;
      ADD_FAILURE() << "event " << i << " of seed " << seed << "\nDOM " << describe(dom) << "\nwriter "
                    << describe(text);
    }
  }
  std::printf("golden: %d events, %d failed alike in both outputs\n", count, failures);
  // The generator must reach the failure paths, and not only them.
  EXPECT_GT(failures, 0);
  EXPECT_LT(failures, count / 2);
}

// Events as the public functions build them, with the quirks the random
// ones reach only by chance spelled out.
TEST(Golden, EventsBuiltThroughTheInterface) {
  TestContext ctx;
  ASSERT_NE(ctx.get(), nullptr);
  Result r;
  struct Case {
    const char *what;
    void (*build)(VELM_AuditEvent *, VELM_result *);
  };
  const Case cases[] = {
      {"no elements", [](VELM_AuditEvent *, VELM_result *) {}},
      {"scalars and escapes",
       [](VELM_AuditEvent *e, VELM_result *r) {
         int32_t i = -5;
         int64_t l = INT64_MIN;
         VELM_AuditEvent_AddElement(e, "s", VELM_VT_STRING, "a&b<c>d\"e'f\tg\nh\ri]]>j", 1, r);
         VELM_AuditEvent_AddElement(e, "i", VELM_VT_INTEGER, &i, 1, r);
         VELM_AuditEvent_AddElement(e, "l", VELM_VT_LONG, &l, 1, r);
         VELM_AuditEvent_AddElement(e, "empty", VELM_VT_STRING, "", 1, r);
       }},
      {"base elements as root attributes",
       [](VELM_AuditEvent *e, VELM_result *r) {
         struct timeval t {1141208430, 250000};
         int64_t seq = 42;
         VELM_AuditEvent_AddElement(e, "timestamp", VELM_VT_DATETIME, &t, 1, r);
         VELM_AuditEvent_AddElement(e, "auditMsg", VELM_VT_STRING, "msg \"quoted\"\ttab\nline", 1, r);
         VELM_AuditEvent_AddElement(e, "sequenceNumber", VELM_VT_LONG, &seq, 1, r);
         VELM_AuditEvent_AddElement(e, "globalInstanceId", VELM_VT_STRING, "giid", 1, r);
       }},
      {"nested elements under a string",
       [](VELM_AuditEvent *e, VELM_result *r) {
         VELM_AuditEvent_AddElement(e, "outer", VELM_VT_STRING, "o", 1, r);
         VELM_AuditEvent_AddElement(e, "outer.inner", VELM_VT_STRING, "i", 1, r);
         VELM_AuditEvent_AddElement(e, "outer.inner.deeper", VELM_VT_STRING, "\xe6\x97\xa5", 1, r);
       }},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    VELM_AuditEvent *event = VELM_AuditEvent_Create(ctx.get(), "AUDIT_AUTHZ", &r);
    ASSERT_NE(event, nullptr);
    c.build(event, &r);
    EXPECT_EQ(r.count(), 0) << r.text();
    const ConversionOutcome dom = convertWithDom(event);
    const ConversionOutcome text = convertWithWriter(event);
    EXPECT_TRUE(dom.ok) << describe(dom);
    EXPECT_EQ(dom, text) << "DOM " << describe(dom) << "\nwriter " << describe(text);
    VELM_AuditEvent_Delete(event, &r);
    r.clean();
  }
}

}  // namespace
}  // namespace velm::test
