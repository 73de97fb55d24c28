// Element trees: names and paths, static elements, value ownership, getters
// and the failure messages of the element calls.
#include "capis/element.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "capis/context.h"
#include "capis/event.h"
#include "capis/utils.h"
#include "model/model_support.h"
#include "velm.h"

namespace {

using velm_test::codes;
using velm_test::heapText;
using velm_test::lastText;
using velm_test::TestContext;

// An event holding one element "root" under which the tests build.
class ElementTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(ctx(), nullptr) << "context creation failed";
    event_ = VELM_AuditEvent_Create(ctx(), "AUDIT_AUTHZ", &r_);
    ASSERT_NE(event_, nullptr);
    root_ = VELM_AuditEvent_AddStringElement(event_, "root", "r", 1, &r_);
    ASSERT_NE(root_, nullptr);
  }
  void TearDown() override {
    VELM_Result_Clean(&r_);  // a call resets the counts without freeing
    if (event_ != nullptr) {
      EXPECT_EQ(VELM_AuditEvent_Delete(event_, &r_), 0);
    }
    VELM_Result_Clean(&r_);
  }
  VELM_AuditClientContext *ctx() const { return tc_.get(); }

  // Adds an integer element under root (dotted names relative to root).
  VELM_AuditElement *add(const char *name, int32_t value = 1) {
    VELM_Result_Clean(&r_);
    return VELM_AuditElement_AddIntegerElement(ctx(), root_, name, value, &r_);
  }

  TestContext tc_;
  VELM_result r_{};
  VELM_AuditEvent *event_ = nullptr;
  VELM_AuditElement *root_ = nullptr;
};

TEST_F(ElementTest, NamesAndPathsUnderOneParent) {
  struct Step {
    const char *name;
    int code;            // 0: added
    const char *inText;  // expected in the message text
  };
  const Step steps[] = {
      {"a", 0, nullptr},      {"b", 0, nullptr}, {"a", 2, "'a'"},  // duplicate under the same parent
      {"a.x", 0, nullptr},                                         // x under a
      {"b.x", 0, nullptr},                                         // the same name under another parent
      {"a.x", 2, "'x'"},                                           // duplicate under a
      {"q.b", 17, "'q'"},                                          // missing prefix
      {"a.x.y", 0, nullptr},                                       // two levels down
      {"a.q.y", 17, "'a.q'"},                                      // missing middle component
      {"a..y", 17, nullptr},                                       // empty component
      {".y", 17, nullptr},                                         // empty prefix
  };
  for (const Step &s : steps) {
    SCOPED_TRACE(s.name);
    VELM_AuditElement *e = add(s.name);
    if (s.code == 0) {
      ASSERT_NE(e, nullptr) << lastText(r_);
      EXPECT_EQ(r_.numErrors, 0);
      EXPECT_EQ(e->flags & velm::kEltAdded, velm::kEltAdded);
      EXPECT_EQ(std::strchr(e->name, '.'), nullptr);
    } else {
      EXPECT_EQ(e, nullptr);
      EXPECT_EQ(codes(r_), std::vector<int>{s.code});
      if (s.inText != nullptr) {
        EXPECT_NE(lastText(r_).find(s.inText), std::string::npos) << lastText(r_);
      }
      VELM_Result_Clean(&r_);
    }
  }
  // The tree is exactly what the successful steps built.
  ASSERT_EQ(root_->count, 2);
  VELM_AuditElement *a = root_->children[0];
  EXPECT_STREQ(a->name, "a");
  ASSERT_EQ(a->count, 1);
  EXPECT_STREQ(a->children[0]->name, "x");
  ASSERT_EQ(a->children[0]->count, 1);
  EXPECT_STREQ(a->children[0]->children[0]->name, "y");
  EXPECT_EQ(root_->children[1]->count, 1);
}

TEST_F(ElementTest, LookUpByNameAndPath) {
  ASSERT_NE(add("a"), nullptr);
  ASSERT_NE(add("a.x"), nullptr);
  ASSERT_NE(add("a.x.y", 7), nullptr);
  ASSERT_NE(add("b"), nullptr);
  struct Case {
    const char *path;
    const char *found;  // name of the element found, or null
  };
  const Case cases[] = {
      {"a", "a"},           {"a.x", "x"},     {"a.x.y", "y"},
      {"b", "b"},           {"b.c", nullptr},  // b has no children
      {"a.b.c", nullptr},                      // no b under a
      {"a.x.y.z", nullptr},                    // y has no children
      {"zz", nullptr},      {"", nullptr},    {"a.", nullptr},
      {".a", nullptr},      {"x", nullptr},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.path);
    VELM_Result_Clean(&r_);
    VELM_AuditElement *e = VELM_AuditElement_GetElement(ctx(), root_, c.path, &r_);
    EXPECT_EQ(r_.numErrors, 0) << "not finding is no error";
    if (c.found == nullptr) {
      EXPECT_EQ(e, nullptr);
    } else {
      ASSERT_NE(e, nullptr);
      EXPECT_STREQ(e->name, c.found);
    }
  }
  VELM_AuditElement *y = VELM_AuditElement_GetElement(ctx(), root_, "a.x.y", &r_);
  ASSERT_NE(y, nullptr);
  EXPECT_EQ(*static_cast<int32_t *>(y->value), 7);
  // The same paths from the event's top level.
  EXPECT_EQ(VELM_AuditEvent_GetElement(event_, "root.a.x.y", &r_), y);
}

// Names whose hashes collide must still be told apart by their bytes.
TEST_F(ElementTest, EqualHashesAreComparedByBytes) {
  ASSERT_EQ(velm::hashFunc("A!"), velm::hashFunc("BA"));
  VELM_AuditElement *first = add("A!", 1);
  VELM_AuditElement *second = add("BA", 2);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr) << lastText(r_);
  EXPECT_EQ(VELM_AuditElement_GetElement(ctx(), root_, "A!", &r_), first);
  EXPECT_EQ(VELM_AuditElement_GetElement(ctx(), root_, "BA", &r_), second);
  EXPECT_EQ(add("BA"), nullptr);
  EXPECT_EQ(codes(r_), std::vector<int>{2});
  VELM_Result_Clean(&r_);
}

TEST_F(ElementTest, ChildrenArrayGrowsBeforeTheLastSlot) {
  for (int i = 1; i <= 21; ++i) {
    const std::string name = "c" + std::to_string(i);
    ASSERT_NE(add(name.c_str()), nullptr) << name;
    const int expected = i <= 9 ? 10 : i <= 19 ? 20 : 40;
    EXPECT_EQ(root_->capacity, expected) << "after child " << i;
    EXPECT_EQ(root_->count, i);
    EXPECT_EQ(root_->children[root_->count], nullptr) << "a null slot follows the last child";
  }
  // Order of attachment is kept.
  for (int i = 0; i < root_->count; ++i) EXPECT_EQ(root_->children[i]->name, "c" + std::to_string(i + 1));
}

TEST_F(ElementTest, StaticParentTakesNoSubElements) {
  VELM_AuditElement *s = add("s");
  ASSERT_NE(add("s.child"), nullptr);
  ASSERT_EQ(VELM_AuditElement_SetStatic(ctx(), s, &r_), 0);
  VELM_AuditElement *child = VELM_AuditElement_GetElement(ctx(), root_, "s.child", &r_);
  ASSERT_NE(child, nullptr);
  EXPECT_EQ(VELM_AuditElement_IsStatic(ctx(), child, &r_), 1) << "the whole subtree becomes static";

  VELM_Result_Clean(&r_);
  EXPECT_EQ(VELM_AuditElement_AddIntegerElement(ctx(), s, "w", 1, &r_), nullptr);
  EXPECT_EQ(codes(r_), std::vector<int>{30});
  EXPECT_NE(lastText(r_).find("'s'"), std::string::npos);
  VELM_Result_Clean(&r_);
  EXPECT_EQ(add("s.w"), nullptr);
  EXPECT_EQ(codes(r_), std::vector<int>{30});
  VELM_Result_Clean(&r_);
  EXPECT_EQ(add("s.child.w"), nullptr);
  EXPECT_EQ(codes(r_), std::vector<int>{30});
  VELM_Result_Clean(&r_);
  EXPECT_EQ(s->count, 1);

  VELM_Result_Clean(&r_);
  VELM_AuditEvent_Delete(event_, &r_);
  event_ = nullptr;
  // Both survived the event; releasing the parent leaves the static child.
  EXPECT_EQ(VELM_AuditElement_DeleteStatic(ctx(), s, &r_), 0);
  EXPECT_EQ(VELM_AuditElement_IsStatic(ctx(), child, &r_), 1);
  EXPECT_EQ(VELM_AuditElement_DeleteStatic(ctx(), child, &r_), 0);
}

TEST_F(ElementTest, AddStaticElementUnderElements) {
  VELM_AuditElement *plain = add("plain");
  VELM_AuditElement *other = add("other");
  ASSERT_NE(other, nullptr);
  VELM_Result_Clean(&r_);
  EXPECT_EQ(VELM_AuditElement_AddStaticElement(ctx(), other, plain, &r_), nullptr);
  EXPECT_EQ(codes(r_), std::vector<int>{29});
  EXPECT_NE(lastText(r_).find("'plain'"), std::string::npos);
  VELM_Result_Clean(&r_);

  ASSERT_EQ(VELM_AuditElement_SetStatic(ctx(), plain, &r_), 0);
  EXPECT_EQ(VELM_AuditElement_AddStaticElement(ctx(), other, plain, &r_), plain) << lastText(r_);
  EXPECT_EQ(VELM_AuditElement_GetElement(ctx(), root_, "other.plain", &r_), plain);
  VELM_Result_Clean(&r_);
  EXPECT_EQ(VELM_AuditElement_AddStaticElement(ctx(), other, plain, &r_), nullptr);
  EXPECT_EQ(codes(r_), std::vector<int>{2}) << "already under this parent";
  VELM_Result_Clean(&r_);

  VELM_Result_Clean(&r_);
  VELM_AuditEvent_Delete(event_, &r_);
  event_ = nullptr;
  EXPECT_EQ(VELM_AuditElement_DeleteStatic(ctx(), plain, &r_), 0);
}

// Releasing an attached, non-static element here would leave its parent
// pointing at freed memory; it is refused and the tree stays intact.
TEST_F(ElementTest, DeleteStaticRefusesNonStaticElement) {
  VELM_AuditElement *e = add("e");
  ASSERT_NE(e, nullptr);
  VELM_Result_Clean(&r_);
  EXPECT_EQ(VELM_AuditElement_DeleteStatic(ctx(), e, &r_), -1);
  EXPECT_EQ(codes(r_), std::vector<int>{8});
  VELM_Result_Clean(&r_);
  EXPECT_EQ(VELM_AuditElement_GetElement(ctx(), root_, "e", &r_), e);
}

struct ScalarCase {
  const char *label;
  int valueType;
  std::function<void *()> make;            // heap value as a caller would pass it
  std::function<bool(const void *)> same;  // the stored value equals the original
};

std::vector<ScalarCase> scalarCases() {
  static const struct timeval kTime = {5000000000L, 999999};  // past 2038: needs the full time value
  return {
      {"integer", VELM_VT_INTEGER,
       [] {
         auto *p = static_cast<int32_t *>(VELM_Malloc(sizeof(int32_t)));
         *p = -42;
         return static_cast<void *>(p);
       },
       [](const void *v) { return *static_cast<const int32_t *>(v) == -42; }},
      {"long", VELM_VT_LONG,
       [] {
         auto *p = static_cast<int64_t *>(VELM_Malloc(sizeof(int64_t)));
         *p = INT64_C(1) << 40;
         return static_cast<void *>(p);
       },
       [](const void *v) { return *static_cast<const int64_t *>(v) == (INT64_C(1) << 40); }},
      {"datetime", VELM_VT_DATETIME,
       [] {
         auto *p = static_cast<struct timeval *>(VELM_Malloc(sizeof(struct timeval)));
         *p = kTime;
         return static_cast<void *>(p);
       },
       [](const void *v) {
         const auto *t = static_cast<const struct timeval *>(v);
         return t->tv_sec == kTime.tv_sec && t->tv_usec == kTime.tv_usec;
       }},
      {"string", VELM_VT_STRING, [] { return static_cast<void *>(heapText("caf\xc3\xa9")); },
       [](const void *v) { return std::strcmp(static_cast<const char *>(v), "caf\xc3\xa9") == 0; }},
  };
}

// copyFlag 1 leaves the caller's value alone (still readable after the
// event is gone, freed by the test); copyFlag 0 hands it to the element,
// which releases it with the event (the sanitizer sees a leak or a double
// free otherwise).
TEST_F(ElementTest, CopyVersusAdopt) {
  const std::vector<ScalarCase> cases = scalarCases();
  std::vector<std::pair<const ScalarCase *, void *>> kept;  // copied: still the caller's
  for (const ScalarCase &c : cases) {
    for (int copyFlag : {1, 0, 7}) {
      SCOPED_TRACE(std::string(c.label) + " copyFlag " + std::to_string(copyFlag));
      void *mine = c.make();
      const std::string name = std::string(c.label) + std::to_string(copyFlag);
      VELM_Result_Clean(&r_);
      VELM_AuditElement *e =
          VELM_AuditElement_AddElement(ctx(), root_, name.c_str(), c.valueType, mine, copyFlag, &r_);
      ASSERT_NE(e, nullptr) << lastText(r_);
      EXPECT_EQ(e->valueType, c.valueType);
      EXPECT_TRUE(c.same(e->value));
      if (copyFlag == 0) {
        EXPECT_EQ(e->value, mine) << "adopted unchanged";
      } else {
        EXPECT_NE(e->value, mine);
        kept.emplace_back(&c, mine);
      }
    }
  }
  EXPECT_EQ(VELM_AuditEvent_Delete(event_, &r_), 0);
  event_ = nullptr;
  for (auto [c, mine] : kept) {
    SCOPED_TRACE(c->label);
    EXPECT_TRUE(c->same(mine));
    VELM_Free(mine);
  }
}

// Every failed add leaves an adopted value with the caller, who frees it.
TEST_F(ElementTest, FailedAdoptLeavesValueWithCaller) {
  ASSERT_NE(add("taken"), nullptr);
  struct Case {
    const char *name;
    int valueType;
    int code;
  };
  const Case cases[] = {
      {"taken", VELM_VT_STRING, 2},    // duplicate: fails after the element was made
      {"nope.x", VELM_VT_STRING, 17},  // missing prefix
      {"bad", 0, 8},                   // invalid type
      {"bad", 27, 8},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    char *mine = heapText("still mine");
    VELM_Result_Clean(&r_);
    EXPECT_EQ(VELM_AuditElement_AddElement(ctx(), root_, c.name, c.valueType, mine, 0, &r_), nullptr);
    EXPECT_EQ(codes(r_), std::vector<int>{c.code});
    VELM_Result_Clean(&r_);
    EXPECT_STREQ(mine, "still mine");
    VELM_Free(mine);
  }
}

TEST_F(ElementTest, InvalidValueTypes) {
  int32_t v = 3;
  for (int type : {0, 27, -1}) {
    for (int copyFlag : {1, 0}) {
      SCOPED_TRACE("type " + std::to_string(type) + " copyFlag " + std::to_string(copyFlag));
      VELM_Result_Clean(&r_);
      EXPECT_EQ(VELM_AuditElement_AddElement(ctx(), root_, "t", type, &v, copyFlag, &r_), nullptr);
      ASSERT_EQ(codes(r_), std::vector<int>{8});
      const std::string text = lastText(r_);
      VELM_Result_Clean(&r_);
      EXPECT_NE(text.find("valueType"), std::string::npos) << text;
      EXPECT_NE(text.find(std::to_string(type)), std::string::npos) << text;
      EXPECT_EQ(root_->count, 0);
    }
  }
}

TEST_F(ElementTest, GetValuePerType) {
  const struct timeval when = {1700000000, 123456};
  VELM_AuditElement *i = VELM_AuditElement_AddIntegerElement(ctx(), root_, "i", 42, &r_);
  VELM_AuditElement *l = VELM_AuditElement_AddLongElement(ctx(), root_, "l", INT64_MIN, &r_);
  VELM_AuditElement *t = VELM_AuditElement_AddDateTimeElement(ctx(), root_, "t", &when, 1, &r_);
  VELM_AuditElement *s = VELM_AuditElement_AddStringElement(ctx(), root_, "s", "text", 1, &r_);
  ASSERT_TRUE(i && l && t && s);

  struct Case {
    VELM_AuditElement *element;
    int valueType;
    bool borrowed;  // the element's own pointer, not a copy
  };
  const Case cases[] = {{i, VELM_VT_INTEGER, true},
                        {l, VELM_VT_LONG, true},
                        {t, VELM_VT_DATETIME, true},
                        {s, VELM_VT_STRING, false}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.element->name);
    EXPECT_EQ(VELM_AuditElement_GetValueType(ctx(), c.element, &r_), c.valueType);
    void *v1 = VELM_AuditElement_GetValue(ctx(), c.element, &r_);
    void *v2 = VELM_AuditElement_GetValue(ctx(), c.element, &r_);
    ASSERT_NE(v1, nullptr);
    if (c.borrowed) {
      EXPECT_EQ(v1, c.element->value);
      EXPECT_EQ(v2, v1);
    } else {
      EXPECT_NE(v1, c.element->value);
      EXPECT_NE(v1, v2) << "a fresh copy each call";
      EXPECT_STREQ(static_cast<char *>(v1), "text");
      VELM_Free(v1);
      VELM_Free(v2);
    }
    char *name = VELM_AuditElement_GetName(ctx(), c.element, &r_);
    EXPECT_STREQ(name, c.element->name);
    EXPECT_NE(name, c.element->name);
    VELM_Free(name);
    EXPECT_EQ(VELM_AuditElement_IsStatic(ctx(), c.element, &r_), 0);
  }
  EXPECT_EQ(*static_cast<int32_t *>(i->value), 42);
  EXPECT_EQ(*static_cast<int64_t *>(l->value), INT64_MIN);
  const auto *tv = static_cast<const struct timeval *>(t->value);
  EXPECT_EQ(tv->tv_sec, when.tv_sec);
  EXPECT_EQ(tv->tv_usec, when.tv_usec);
}

TEST_F(ElementTest, RecordValuesCopiedAndAdopted) {
  VELM_Attribute *attr = VELM_Attribute_Create(ctx(), "n", "v", nullptr, &r_);
  ASSERT_NE(attr, nullptr) << lastText(r_);
  VELM_AuditElement *copied = VELM_AuditElement_AddAttributeElement(ctx(), root_, "copied", attr, 1, &r_);
  ASSERT_NE(copied, nullptr) << lastText(r_);
  EXPECT_NE(copied->value, attr);
  VELM_AuditElement *adopted = VELM_AuditElement_AddAttributeElement(ctx(), root_, "adopted", attr, 0, &r_);
  ASSERT_NE(adopted, nullptr);
  EXPECT_EQ(VELM_AuditElement_GetValue(ctx(), adopted, &r_), attr);
  char *value = VELM_Attribute_GetValue(ctx(), static_cast<VELM_Attribute *>(copied->value), &r_);
  EXPECT_STREQ(value, "v");
  VELM_Free(value);
  // Both records are released with the event.
}

// Text crosses the interface in ISO-8859-1 and is held as UTF-8.
TEST(ElementCodeSet, StringsRoundTripThroughLatin1) {
  TestContext tc("ISO-8859-1");
  ASSERT_NE(tc.get(), nullptr);
  VELM_result r{};
  VELM_AuditEvent *event = VELM_AuditEvent_Create(tc.get(), "AUDIT_AUTHZ", &r);
  ASSERT_NE(event, nullptr);
  VELM_AuditElement *parent = VELM_AuditEvent_AddStringElement(event, "p\xe4re", "x", 1, &r);
  ASSERT_NE(parent, nullptr) << lastText(r);
  EXPECT_STREQ(parent->name, "p\xc3\xa4re");
  VELM_AuditElement *e = VELM_AuditElement_AddStringElement(tc.get(), parent, "n\xe4me", "caf\xe9", 1, &r);
  ASSERT_NE(e, nullptr) << lastText(r);
  EXPECT_STREQ(e->name, "n\xc3\xa4me");
  EXPECT_STREQ(static_cast<char *>(e->value), "caf\xc3\xa9");
  EXPECT_EQ(e->hash, velm::hashFunc("n\xc3\xa4me")) << "hash of the stored UTF-8 name";

  char *value = static_cast<char *>(VELM_AuditElement_GetValue(tc.get(), e, &r));
  char *name = VELM_AuditElement_GetName(tc.get(), e, &r);
  EXPECT_STREQ(value, "caf\xe9");
  EXPECT_STREQ(name, "n\xe4me");
  VELM_Free(value);
  VELM_Free(name);
  EXPECT_EQ(VELM_AuditElement_GetElement(tc.get(), parent, "n\xe4me", &r), e);
  EXPECT_EQ(VELM_AuditEvent_GetElement(event, "p\xe4re.n\xe4me", &r), e);
  VELM_AuditElement *deeper = VELM_AuditEvent_AddIntegerElement(event, "p\xe4re.n\xe4me.\xfc", 1, &r);
  ASSERT_NE(deeper, nullptr) << lastText(r);
  EXPECT_STREQ(deeper->name, "\xc3\xbc");

  // Adopted strings are taken as UTF-8 already.
  VELM_AuditElement *adopted =
      VELM_AuditElement_AddStringElement(tc.get(), parent, "raw", heapText("\xc3\xa9"), 0, &r);
  ASSERT_NE(adopted, nullptr);
  EXPECT_STREQ(static_cast<char *>(adopted->value), "\xc3\xa9");
  // An internal caller that holds UTF-8 asks for no conversion.
  VELM_AuditElement *internal =
      velm::auditElement_Create(tc.get(), "\xc3\xa9t\xc3\xa9", VELM_VT_STRING, "\xc3\xa9", 1, 0, &r);
  ASSERT_NE(internal, nullptr);
  EXPECT_STREQ(internal->name, "\xc3\xa9t\xc3\xa9");
  EXPECT_STREQ(static_cast<char *>(internal->value), "\xc3\xa9");
  EXPECT_EQ(velm::auditElement_Delete(tc.get(), internal, &r), 0);

  EXPECT_EQ(VELM_AuditEvent_Delete(event, &r), 0);
  VELM_Result_Clean(&r);
}

// Missing handles and parameters: the message and the parameter it names.
TEST_F(ElementTest, NullParameters) {
  int32_t v = 1;
  VELM_AuditClientContext *c = ctx();
  VELM_AuditElement *p = root_;
  struct Case {
    const char *label;
    std::function<bool(VELM_result *)> call;  // true when the call returned its failure value
    int code;
    const char *parm;  // named in the message text
  };
  const std::vector<Case> cases = {
      {"AddElement parent",
       [&](VELM_result *r) { return !VELM_AuditElement_AddElement(c, nullptr, "n", 1, &v, 1, r); }, 9,
       "parentElement"},
      {"AddElement name",
       [&](VELM_result *r) { return !VELM_AuditElement_AddElement(c, p, nullptr, 1, &v, 1, r); }, 9, "name"},
      {"AddElement value",
       [&](VELM_result *r) { return !VELM_AuditElement_AddElement(c, p, "n", 1, nullptr, 1, r); }, 9,
       "value"},
      {"AddStringElement value",
       [&](VELM_result *r) { return !VELM_AuditElement_AddStringElement(c, p, "n", nullptr, 1, r); }, 9,
       "value"},
      {"AddIntegerElement parent",
       [&](VELM_result *r) { return !VELM_AuditElement_AddIntegerElement(c, nullptr, "n", 1, r); }, 9,
       "parentElement"},
      {"AddStatic parent",
       [&](VELM_result *r) { return !VELM_AuditElement_AddStaticElement(c, nullptr, p, r); }, 9,
       "parentElement"},
      {"AddStatic element",
       [&](VELM_result *r) { return !VELM_AuditElement_AddStaticElement(c, p, nullptr, r); }, 9,
       "staticElement"},
      {"DeleteStatic", [&](VELM_result *r) { return VELM_AuditElement_DeleteStatic(c, nullptr, r) == -1; }, 9,
       "elementHandle"},
      {"GetElement parent", [&](VELM_result *r) { return !VELM_AuditElement_GetElement(c, nullptr, "a", r); },
       9, "parentElementHandle"},
      {"GetElement name", [&](VELM_result *r) { return !VELM_AuditElement_GetElement(c, p, nullptr, r); }, 9,
       "subElementName"},
      {"GetName", [&](VELM_result *r) { return !VELM_AuditElement_GetName(c, nullptr, r); }, 9,
       "element_Handle"},
      {"GetValue", [&](VELM_result *r) { return !VELM_AuditElement_GetValue(c, nullptr, r); }, 9,
       "element_Handle"},
      {"IsStatic", [&](VELM_result *r) { return VELM_AuditElement_IsStatic(c, nullptr, r) == -1; }, 9,
       "element_Handle"},
      {"SetStatic", [&](VELM_result *r) { return VELM_AuditElement_SetStatic(c, nullptr, r) == -1; }, 9,
       "element_Handle"},
      {"GetValueType", [&](VELM_result *r) { return VELM_AuditElement_GetValueType(c, nullptr, r) == -1; }, 9,
       "element_Handle"},
      {"AddElement context",
       [&](VELM_result *r) { return !VELM_AuditElement_AddElement(nullptr, p, "n", 1, &v, 1, r); }, 10,
       nullptr},
      {"GetValue context", [&](VELM_result *r) { return !VELM_AuditElement_GetValue(nullptr, p, r); }, 10,
       nullptr},
      {"IsStatic context", [&](VELM_result *r) { return VELM_AuditElement_IsStatic(nullptr, p, r) == -1; },
       10, nullptr},
      {"DeleteStatic context",
       [&](VELM_result *r) { return VELM_AuditElement_DeleteStatic(nullptr, p, r) == -1; }, 10, nullptr},
  };
  for (const Case &k : cases) {
    SCOPED_TRACE(k.label);
    VELM_result r{};
    r.numErrors = 3;  // stale counts are reset on entry
    r.maxErrors = 3;
    EXPECT_TRUE(k.call(&r));
    EXPECT_EQ(codes(r), std::vector<int>{k.code});
    if (k.parm != nullptr) {
      EXPECT_NE(lastText(r).find("'" + std::string(k.parm) + "'"), std::string::npos) << lastText(r);
    }
    VELM_Result_Clean(&r);
    EXPECT_TRUE(k.call(nullptr)) << "a null result record is survived";
  }
  EXPECT_EQ(root_->count, 0);
}

// With every trace kind on, the success and failure paths write their lines
// (and their typed arguments reach the toolkit intact).
TEST(ElementTrace, FullTraceLevel) {
  TestContext tc("UTF8", 3);
  ASSERT_NE(tc.get(), nullptr);
  VELM_result r{};
  VELM_AuditEvent *event = VELM_AuditEvent_Create(tc.get(), "AUDIT_AUTHZ", &r);
  ASSERT_NE(event, nullptr);
  VELM_AuditElement *a = VELM_AuditEvent_AddIntegerElement(event, "a", 1, &r);
  ASSERT_NE(VELM_AuditElement_AddIntegerElement(tc.get(), a, "b", 2, &r), nullptr);
  EXPECT_NE(VELM_AuditEvent_GetElement(event, "a.b", &r), nullptr);
  EXPECT_EQ(VELM_AuditElement_AddIntegerElement(tc.get(), a, "q.b", 2, &r), nullptr);
  VELM_Result_Clean(&r);
  int32_t v = 0;
  EXPECT_EQ(VELM_AuditElement_AddElement(tc.get(), a, "t", 27, &v, 1, &r), nullptr);
  VELM_Result_Clean(&r);
  EXPECT_EQ(VELM_AuditElement_SetStatic(tc.get(), a, &r), 0);
  EXPECT_EQ(VELM_AuditEvent_Delete(event, &r), 0);
  // Parent first: it still points at its static child.
  VELM_AuditElement *b = VELM_AuditElement_GetElement(tc.get(), a, "b", &r);
  EXPECT_EQ(VELM_AuditElement_DeleteStatic(tc.get(), a, &r), 0);
  EXPECT_EQ(VELM_AuditElement_DeleteStatic(tc.get(), b, &r), 0);
  VELM_Result_Clean(&r);

  const std::string trace = tc.traceLog();
  for (const char *line :
       {"ENTRY", "EXIT", "FLOW: creating element with name = b, valueType = 1", "EXIT: element a.b, found",
        "ERROR: parent element q, does not exist", "ERROR: valueType parameter has an invalid value: 27",
        "ENTRY - making element a static", "EXIT, rc = 0"}) {
    EXPECT_NE(trace.find(line), std::string::npos) << line;
  }
}

// A value that cannot be converted into UTF-8, or that XML cannot carry,
// fails its add with message 8 naming the element (or "name" for the name
// itself) and leaves the event as it was: it is neither stored as "" nor
// accepted only to fail the event's conversion later.
TEST(HostileValues, RefusedWhenAddedNamingTheElement) {
  TestContext ascii("ANSI_X3.4-1968");
  TestContext utf8("UTF8");
  ASSERT_NE(ascii.get(), nullptr);
  ASSERT_NE(utf8.get(), nullptr);
  const std::string notAscii = "the text cannot be converted from the element code set ANSI_X3.4-1968";
  struct Case {
    const char *what;
    VELM_AuditClientContext *ctx;
    const char *name;
    const char *value;
    const char *named;
    std::string why;
  };
  const Case cases[] = {
      {"non-ASCII value under ASCII", ascii.get(), "user", "caf\xE9", "user", notAscii},
      {"non-ASCII name under ASCII", ascii.get(), "us\xE9r", "v", "name", notAscii},
      {"control character under ASCII", ascii.get(), "user",
       "a\x01"
       "b",
       "user", "the text holds U+0001, which XML cannot carry, at byte 1"},
      {"overlong form", utf8.get(), "user", "\xC0\xAF", "user", "the text is not valid UTF-8 at byte 0"},
      {"surrogate", utf8.get(), "user", "ok\xED\xA0\x80", "user", "the text is not valid UTF-8 at byte 2"},
      {"sequence cut short", utf8.get(), "user", "ab\xE2\x82", "user",
       "the text is not valid UTF-8 at byte 2"},
      {"U+FFFF", utf8.get(), "user", "\xEF\xBF\xBF", "user",
       "the text holds U+FFFF, which XML cannot carry, at byte 0"},
      {"escape in the name", utf8.get(), "n\x1B", "v", "name",
       "the text holds U+001B, which XML cannot carry, at byte 1"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    const std::string expected = "DXACC0008E The parameter, " + std::string(c.named) +
                                 " , passed to the function has a value that is not valid: " + c.why + " .";
    VELM_result r{};
    VELM_AuditEvent *event = VELM_AuditEvent_Create(c.ctx, "AUDIT_AUTHZ", &r);
    ASSERT_NE(event, nullptr);
    VELM_AuditElement *root = VELM_AuditEvent_AddStringElement(event, "root", "r", 1, &r);
    ASSERT_NE(root, nullptr);

    EXPECT_EQ(VELM_AuditEvent_AddStringElement(event, c.name, c.value, 1, &r), nullptr);
    EXPECT_EQ(codes(r), std::vector<int>{8});
    EXPECT_EQ(lastText(r), expected);
    VELM_Result_Clean(&r);
    EXPECT_EQ(VELM_AuditElement_AddStringElement(c.ctx, root, c.name, c.value, 1, &r), nullptr);
    EXPECT_EQ(codes(r), std::vector<int>{8});
    EXPECT_EQ(lastText(r), expected);
    EXPECT_EQ(event->count, 1) << "the event is unchanged";
    EXPECT_EQ(root->count, 0);
    VELM_Result_Clean(&r);
    VELM_AuditEvent_Delete(event, &r);
    VELM_Result_Clean(&r);
  }

  // What XML can carry still goes in.
  VELM_result r{};
  VELM_AuditEvent *event = VELM_AuditEvent_Create(utf8.get(), "AUDIT_AUTHZ", &r);
  EXPECT_NE(VELM_AuditEvent_AddStringElement(event, "text", "a\tb\nc\r \xE2\x82\xAC \xF4\x8F\xBF\xBF", 1, &r),
            nullptr)
      << lastText(r);
  EXPECT_EQ(VELM_AuditEvent_Create(utf8.get(), "AUDIT\x01", &r), nullptr);
  EXPECT_EQ(
      lastText(r),
      "DXACC0008E The parameter, eventType , passed to the function has a value that is not valid: the text "
      "holds U+0001, which XML cannot carry, at byte 5 .");
  VELM_Result_Clean(&r);
  VELM_AuditEvent_Delete(event, &r);
  VELM_Result_Clean(&r);
}

// A stored value that the element code set cannot show is an error on the
// way out too, not an empty text.
TEST(HostileValues, GetterThatCannotConvertFailsInsteadOfGivingEmptyText) {
  TestContext ascii("ANSI_X3.4-1968");
  ASSERT_NE(ascii.get(), nullptr);
  VELM_result r{};
  VELM_AuditEvent *event = VELM_AuditEvent_Create(ascii.get(), "AUDIT_AUTHZ", &r);
  ASSERT_NE(event, nullptr);
  // Adopted values are taken as UTF-8 already.
  VELM_AuditElement *e = VELM_AuditEvent_AddStringElement(event, "user", heapText("caf\xC3\xA9"), 0, &r);
  ASSERT_NE(e, nullptr) << lastText(r);
  EXPECT_EQ(VELM_AuditElement_GetValue(ascii.get(), e, &r), nullptr);
  EXPECT_EQ(codes(r), std::vector<int>{8});
  EXPECT_EQ(lastText(r),
            "DXACC0008E The parameter, value , passed to the function has a value that is not valid: the "
            "text cannot "
            "be converted into the element code set ANSI_X3.4-1968 .");
  VELM_Result_Clean(&r);
  VELM_AuditEvent_Delete(event, &r);
  VELM_Result_Clean(&r);
}

}  // namespace
