// Events: creation, the top-level element set, static elements shared
// between events, look-ups, release and the failure messages of the calls.
#include "capis/event.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/time.h>

#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "capis/context.h"
#include "capis/element.h"
#include "model/model_support.h"
#include "velm.h"

namespace {

using velm_test::codes;
using velm_test::lastText;
using velm_test::TestContext;

class EventTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(ctx(), nullptr) << "context creation failed"; }
  void TearDown() override {
    VELM_Result_Clean(&r_);  // a call resets the counts without freeing
    for (VELM_AuditEvent *e : events_) EXPECT_EQ(VELM_AuditEvent_Delete(e, &r_), 0);
    VELM_Result_Clean(&r_);
  }
  VELM_AuditClientContext *ctx() const { return tc_.get(); }
  VELM_AuditEvent *newEvent(const char *type = "AUDIT_AUTHZ") {
    VELM_AuditEvent *e = VELM_AuditEvent_Create(ctx(), type, &r_);
    if (e != nullptr) events_.push_back(e);
    return e;
  }
  void deleteEvent(VELM_AuditEvent *e) {
    std::erase(events_, e);
    EXPECT_EQ(VELM_AuditEvent_Delete(e, &r_), 0);
  }

  TestContext tc_;
  VELM_result r_{};
  std::vector<VELM_AuditEvent *> events_;
};

TEST_F(EventTest, CreateKeepsAnyTypeAndTheCreationTime) {
  // The event stamps itself with gettimeofday; time() may lag it by a second.
  struct timeval tv{};
  gettimeofday(&tv, nullptr);
  const time_t before = tv.tv_sec;
  VELM_AuditEvent *e = newEvent("NOT_A_PREDEFINED_TYPE");
  gettimeofday(&tv, nullptr);
  const time_t after = tv.tv_sec;
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(r_.numErrors, 0);
  EXPECT_EQ(e->context, ctx());
  EXPECT_EQ(e->count, 0);

  const struct timeval *t1 = VELM_AuditEvent_GetDefaultTimeStamp(e, &r_);
  const struct timeval *t2 = VELM_AuditEvent_GetDefaultTimeStamp(e, &r_);
  ASSERT_NE(t1, nullptr);
  EXPECT_EQ(t1, t2) << "the event's own value, every time";
  EXPECT_EQ(t1, e->defaultTimeStamp);
  EXPECT_GE(t1->tv_sec, before);
  EXPECT_LE(t1->tv_sec, after);

  char *type1 = VELM_AuditEvent_GetType(e, &r_);
  char *type2 = VELM_AuditEvent_GetType(e, &r_);
  EXPECT_STREQ(type1, "NOT_A_PREDEFINED_TYPE");
  EXPECT_STREQ(type2, "NOT_A_PREDEFINED_TYPE");
  EXPECT_NE(type1, type2) << "a new string each call";
  EXPECT_NE(type1, e->eventType);
  VELM_Free(type1);
  VELM_Free(type2);
}

TEST_F(EventTest, TopLevelArrayGrowsBeforeTheLastSlot) {
  VELM_AuditEvent *e = newEvent();
  for (int i = 1; i <= 41; ++i) {
    const std::string name = "e" + std::to_string(i);
    ASSERT_NE(VELM_AuditEvent_AddIntegerElement(e, name.c_str(), i, &r_), nullptr) << name;
    const int expected = i <= 19 ? 20 : i <= 39 ? 40 : 80;
    EXPECT_EQ(e->capacity, expected) << "after element " << i;
    EXPECT_EQ(e->elements[e->count], nullptr) << "a null slot follows the last element";
  }
  for (int i = 0; i < e->count; ++i) {
    EXPECT_EQ(e->elements[i]->name, "e" + std::to_string(i + 1));
    EXPECT_EQ(*static_cast<int32_t *>(e->elements[i]->value), i + 1);
  }
}

TEST_F(EventTest, AddingElements) {
  VELM_AuditEvent *e = newEvent();
  ASSERT_NE(VELM_AuditEvent_AddStringElement(e, "a", "x", 1, &r_), nullptr);
  VELM_AuditElement *fixed = VELM_AuditEvent_AddIntegerElement(e, "fixed", 1, &r_);
  ASSERT_EQ(VELM_AuditElement_SetStatic(ctx(), fixed, &r_), 0);
  struct Step {
    const char *name;
    int code;  // 0: added
    const char *inText;
  };
  const Step steps[] = {
      {"userInfo", 0, nullptr}, {"userInfo", 2, "'userInfo'"},  // duplicate top-level name
      {"a.b", 0, nullptr},                                      // under the top-level a
      {"a.b", 2, "'b'"},        {"a.b.c", 0, nullptr},         {"q.b", 17, "'q'"},  // missing prefix
      {"a.q.c", 17, "'a.q'"},   {"fixed.b", 30, "'fixed'"},                         // static parent
  };
  for (const Step &s : steps) {
    SCOPED_TRACE(s.name);
    VELM_Result_Clean(&r_);
    VELM_AuditElement *added = VELM_AuditEvent_AddLongElement(e, s.name, 5, &r_);
    if (s.code == 0) {
      ASSERT_NE(added, nullptr) << lastText(r_);
      EXPECT_EQ(VELM_AuditEvent_GetElement(e, s.name, &r_), added);
    } else {
      EXPECT_EQ(added, nullptr);
      EXPECT_EQ(codes(r_), std::vector<int>{s.code});
      EXPECT_NE(lastText(r_).find(s.inText), std::string::npos) << lastText(r_);
      VELM_Result_Clean(&r_);
    }
  }
  EXPECT_EQ(e->count, 3);
  VELM_Result_Clean(&r_);
  EXPECT_EQ(VELM_AuditEvent_GetElement(e, "nothere", &r_), nullptr);
  EXPECT_EQ(VELM_AuditEvent_GetElement(e, "a.b.c.d", &r_), nullptr);
  EXPECT_EQ(r_.numErrors, 0) << "not finding is no error";
  deleteEvent(e);
  VELM_AuditElement_DeleteStatic(ctx(), fixed, &r_);
}

// A static element belongs to no event: it survives both that hold it and
// stays usable afterwards.
TEST_F(EventTest, StaticElementSharedByTwoEvents) {
  VELM_AuditEvent *e1 = newEvent();
  VELM_AuditEvent *e2 = newEvent("AUDIT_AUTHN");
  VELM_AuditElement *shared = VELM_AuditEvent_AddStringElement(e1, "shared", "value", 1, &r_);
  ASSERT_NE(VELM_AuditEvent_AddIntegerElement(e1, "shared.sub", 3, &r_), nullptr);

  VELM_Result_Clean(&r_);
  EXPECT_EQ(VELM_AuditEvent_AddStaticElement(e2, shared, &r_), nullptr);
  EXPECT_EQ(codes(r_), std::vector<int>{29}) << "not static yet";
  EXPECT_NE(lastText(r_).find("'shared'"), std::string::npos);
  VELM_Result_Clean(&r_);
  VELM_Result_Clean(&r_);
  ASSERT_EQ(velm::auditEvent_AddElementByHand(e2, shared, &r_), -1);
  EXPECT_EQ(codes(r_), std::vector<int>{21}) << "a non-static element has one parent";
  VELM_Result_Clean(&r_);

  ASSERT_EQ(VELM_AuditElement_SetStatic(ctx(), shared, &r_), 0);
  EXPECT_EQ(VELM_AuditEvent_AddStaticElement(e2, shared, &r_), shared);
  VELM_Result_Clean(&r_);
  EXPECT_EQ(VELM_AuditEvent_AddStaticElement(e2, shared, &r_), nullptr);
  EXPECT_EQ(codes(r_), std::vector<int>{2}) << "already in this event";
  VELM_Result_Clean(&r_);
  EXPECT_EQ(VELM_AuditEvent_GetElement(e2, "shared.sub", &r_),
            VELM_AuditEvent_GetElement(e1, "shared.sub", &r_));

  deleteEvent(e1);
  deleteEvent(e2);
  EXPECT_EQ(VELM_AuditElement_IsStatic(ctx(), shared, &r_), 1);
  char *value = static_cast<char *>(VELM_AuditElement_GetValue(ctx(), shared, &r_));
  EXPECT_STREQ(value, "value");
  VELM_Free(value);
  VELM_AuditElement *sub = VELM_AuditElement_GetElement(ctx(), shared, "sub", &r_);
  ASSERT_NE(sub, nullptr);

  // Still attachable, still closed to sub-elements.
  VELM_AuditEvent *e3 = newEvent();
  EXPECT_EQ(VELM_AuditEvent_AddStaticElement(e3, shared, &r_), shared);
  VELM_Result_Clean(&r_);
  EXPECT_EQ(VELM_AuditEvent_AddIntegerElement(e3, "shared.more", 1, &r_), nullptr);
  EXPECT_EQ(codes(r_), std::vector<int>{30});
  VELM_Result_Clean(&r_);
  deleteEvent(e3);

  EXPECT_EQ(VELM_AuditElement_DeleteStatic(ctx(), shared, &r_), 0);
  EXPECT_EQ(VELM_AuditElement_DeleteStatic(ctx(), sub, &r_), 0);
}

// The client adds its id string adopted; the event releases it.
TEST_F(EventTest, AdoptedValuesAreReleasedWithTheEvent) {
  VELM_AuditEvent *e = newEvent();
  char *id = static_cast<char *>(VELM_Malloc(8));
  std::strcpy(id, "DXA60-1");
  VELM_AuditElement *added = velm::auditEvent_AddElement(e, "globalInstanceId", VELM_VT_STRING, id, 0, &r_);
  ASSERT_NE(added, nullptr);
  EXPECT_EQ(added->value, id);
  auto *when = static_cast<struct timeval *>(VELM_Malloc(sizeof(struct timeval)));
  *when = {1, 2};
  ASSERT_NE(VELM_AuditEvent_AddDateTimeElement(e, "globalInstanceId.t", when, 0, &r_), nullptr);
  // Failing adds leave the value with the caller.
  char *dup = static_cast<char *>(VELM_Malloc(4));
  std::strcpy(dup, "dup");
  EXPECT_EQ(VELM_AuditEvent_AddStringElement(e, "globalInstanceId", dup, 0, &r_), nullptr);
  EXPECT_STREQ(dup, "dup");
  VELM_Free(dup);
}

// The time stamp that validation copies in: a detached element made without
// conversion and attached at the top level.
TEST_F(EventTest, AttachingAnExistingElementAtTheTopLevel) {
  VELM_AuditEvent *e = newEvent();
  VELM_AuditElement *ts =
      velm::auditElement_Create(ctx(), "timestamp", VELM_VT_DATETIME, e->defaultTimeStamp, 1, 0, &r_);
  ASSERT_NE(ts, nullptr);
  EXPECT_EQ(ts->flags, 0u);
  EXPECT_NE(ts->value, e->defaultTimeStamp);
  ASSERT_EQ(velm::auditEvent_AddElementByHand(e, ts, &r_), 0);
  EXPECT_EQ(ts->flags, velm::kEltAdded);
  EXPECT_EQ(velm::findElement(ctx(), e->elements, e->count, "timestamp", &r_), ts);
  const auto *copy = static_cast<const struct timeval *>(ts->value);
  EXPECT_EQ(copy->tv_sec, e->defaultTimeStamp->tv_sec);
  EXPECT_EQ(copy->tv_usec, e->defaultTimeStamp->tv_usec);

  VELM_AuditElement *again =
      velm::auditElement_Create(ctx(), "timestamp", VELM_VT_DATETIME, e->defaultTimeStamp, 1, 0, &r_);
  VELM_Result_Clean(&r_);
  EXPECT_EQ(velm::auditEvent_AddElementByHand(e, again, &r_), -1);
  EXPECT_EQ(codes(r_), std::vector<int>{2});
  VELM_Result_Clean(&r_);
  EXPECT_EQ(again->flags, 0u) << "unchanged on failure";
  EXPECT_EQ(velm::auditElement_Delete(ctx(), again, &r_), 0);
}

TEST(EventCodeSet, TypeAndElementsRoundTripThroughLatin1) {
  TestContext tc("ISO-8859-1");
  ASSERT_NE(tc.get(), nullptr);
  VELM_result r{};
  VELM_AuditEvent *e = VELM_AuditEvent_Create(tc.get(), "\xc9V\xc9NEMENT", &r);
  ASSERT_NE(e, nullptr) << lastText(r);
  EXPECT_STREQ(e->eventType, "\xc3\x89V\xc3\x89NEMENT");
  char *type = VELM_AuditEvent_GetType(e, &r);
  EXPECT_STREQ(type, "\xc9V\xc9NEMENT");
  VELM_Free(type);
  VELM_AuditElement *s = VELM_AuditEvent_AddStringElement(e, "cl\xe9",
                                                          "val\xee"
                                                          "ur",
                                                          1, &r);
  ASSERT_NE(s, nullptr);
  EXPECT_STREQ(static_cast<char *>(s->value), "val\xc3\xaeur");
  EXPECT_EQ(VELM_AuditEvent_GetElement(e, "cl\xe9", &r), s);
  EXPECT_EQ(VELM_AuditEvent_Delete(e, &r), 0);
  VELM_Result_Clean(&r);
}

TEST_F(EventTest, NullParameters) {
  VELM_AuditEvent *e = newEvent();
  VELM_AuditClientContext *c = ctx();
  int32_t v = 1;
  struct Case {
    const char *label;
    std::function<bool(VELM_result *)> call;  // true when the call returned its failure value
    int code;
    const char *parm;
  };
  const std::vector<Case> cases = {
      {"Create context", [&](VELM_result *r) { return !VELM_AuditEvent_Create(nullptr, "T", r); }, 10,
       nullptr},
      {"Create type", [&](VELM_result *r) { return !VELM_AuditEvent_Create(c, nullptr, r); }, 9, "eventType"},
      {"AddElement event",
       [&](VELM_result *r) { return !VELM_AuditEvent_AddElement(nullptr, "n", 1, &v, 1, r); }, 12, nullptr},
      {"AddElement name",
       [&](VELM_result *r) { return !VELM_AuditEvent_AddElement(e, nullptr, 1, &v, 1, r); }, 9, "name"},
      {"AddElement value",
       [&](VELM_result *r) { return !VELM_AuditEvent_AddElement(e, "n", 1, nullptr, 1, r); }, 9, "value"},
      {"AddElement type", [&](VELM_result *r) { return !VELM_AuditEvent_AddElement(e, "n", 27, &v, 1, r); },
       8, "valueType"},
      {"AddIntegerElement event",
       [&](VELM_result *r) { return !VELM_AuditEvent_AddIntegerElement(nullptr, "n", 1, r); }, 12, nullptr},
      {"AddUserInfoElement value",
       [&](VELM_result *r) { return !VELM_AuditEvent_AddUserInfoElement(e, "u", nullptr, 1, r); }, 9,
       "value"},
      {"AddStatic event",
       [&](VELM_result *r) { return !VELM_AuditEvent_AddStaticElement(nullptr, nullptr, r); }, 12, nullptr},
      {"AddStatic element", [&](VELM_result *r) { return !VELM_AuditEvent_AddStaticElement(e, nullptr, r); },
       9, "staticElement"},
      {"GetElement event", [&](VELM_result *r) { return !VELM_AuditEvent_GetElement(nullptr, "a", r); }, 12,
       nullptr},
      {"GetElement name", [&](VELM_result *r) { return !VELM_AuditEvent_GetElement(e, nullptr, r); }, 9,
       "elementName"},
      {"GetType", [&](VELM_result *r) { return !VELM_AuditEvent_GetType(nullptr, r); }, 12, nullptr},
      {"GetDefaultTimeStamp",
       [&](VELM_result *r) { return !VELM_AuditEvent_GetDefaultTimeStamp(nullptr, r); }, 12, nullptr},
      {"Delete", [&](VELM_result *r) { return VELM_AuditEvent_Delete(nullptr, r) == -1; }, 12, nullptr},
  };
  for (const Case &k : cases) {
    SCOPED_TRACE(k.label);
    VELM_result r{};
    r.numErrors = 2;  // stale counts are reset on entry
    r.maxErrors = 2;
    EXPECT_TRUE(k.call(&r));
    EXPECT_EQ(codes(r), std::vector<int>{k.code});
    if (k.parm != nullptr) {
      EXPECT_NE(lastText(r).find(k.parm), std::string::npos) << lastText(r);
    }
    VELM_Result_Clean(&r);
    EXPECT_TRUE(k.call(nullptr)) << "a null result record is survived";
  }
  EXPECT_EQ(e->count, 0);
}

}  // namespace
