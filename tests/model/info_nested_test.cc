// The info-record families with string arrays, attribute arrays and the
// nested target info; the record arrays; copying and releasing record values
// by type.
#include "capis/info_nested.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "../capis/context_support.h"
#include "capis/info.h"
#include "velm.h"

namespace {

using velm_test::Props;
using velm_test::TempDir;

// Latin-1 "café" and the same text in UTF-8.
constexpr const char *kLatin = "caf\xE9";
constexpr const char *kUtf8 = "caf\xC3\xA9";

std::string msg9(const std::string &name) {
  return "DXACC0009E The required parameter '" + name + "' passed to the function was null.";
}
std::string msg8(const std::string &name, const std::string &value) {
  return "DXACC0008E The parameter, " + name +
         " , passed to the function has a value that is not valid: " + value + " .";
}
const std::string kMsg1 = "DXACC0001E The malloc routine cannot allocate memory.";

// A result record that cleans itself.
struct Result {
  VELM_result r{0, 0, nullptr};
  ~Result() { VELM_Result_Clean(&r); }
  VELM_result *operator&() { return &r; }
  int count() const { return r.numErrors; }
  std::vector<std::string> texts() const {
    std::vector<std::string> out;
    for (int i = 0; i < r.numErrors; ++i) out.emplace_back(r.errors[i].message);
    return out;
  }
  std::vector<int> codes() const {
    std::vector<int> out;
    for (int i = 0; i < r.numErrors; ++i) out.push_back(r.errors[i].code);
    return out;
  }
};

// A borrowed, null-terminated string array over texts that outlive it.
class StrArray {
 public:
  StrArray(std::initializer_list<const char *> texts) : texts_(texts.begin(), texts.end()) {
    for (auto &t : texts_) ptrs_.push_back(t.data());
    ptrs_.push_back(nullptr);
  }
  char *const *get() { return ptrs_.data(); }

 private:
  std::vector<std::string> texts_;
  std::vector<char *> ptrs_;
};

// Takes a getter's new string (freed here) as a std::string; "<null>" for null.
std::string take(char *s) {
  if (s == nullptr) return "<null>";
  std::string out(s);
  VELM_Free(s);
  return out;
}

// Takes a getter's new string array (strings and array freed here).
std::vector<std::string> takeArray(char **a) {
  std::vector<std::string> out;
  if (a == nullptr) return out;
  for (char **p = a; *p != nullptr; ++p) {
    out.emplace_back(*p);
    VELM_Free(*p);
  }
  VELM_Free(a);
  return out;
}

std::vector<std::string> view(char *const *a) {
  std::vector<std::string> out;
  for (; a != nullptr && *a != nullptr; ++a) out.emplace_back(*a);
  return out;
}

class NestedInfoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ctx_ = makeContext("ISO-8859-1");
    ASSERT_NE(ctx_, nullptr);
  }
  void TearDown() override {
    for (auto *c : contexts_) {
      Result r;
      VELM_AuditClientContext_Delete(c, &r);
    }
  }

  VELM_AuditClientContext *makeContext(const char *codeSet) {
    Props p;
    p.str("serverURL", "http://localhost:9/audit").str("useDiskCache", "never")
        .str("errorFilePath", dir_.file("error" + std::to_string(contexts_.size()) + ".log").c_str())
        .str("elementCodeSet", codeSet);
    Result r;
    VELM_AuditClientContext *c = VELM_AuditClientContext_Create(p.list(), &r);
    EXPECT_EQ(r.count(), 0) << (r.count() ? r.texts()[0] : "");
    if (c != nullptr) contexts_.push_back(c);
    return c;
  }

  // A heap attribute array (VELM_Malloc) of public attributes, as an
  // application builds one to hand over.
  VELM_Attribute **attributes(std::initializer_list<std::pair<const char *, const char *>> pairs) {
    auto **a = static_cast<VELM_Attribute **>(VELM_Malloc((pairs.size() + 1) * sizeof(VELM_Attribute *)));
    size_t i = 0;
    for (auto &[n, v] : pairs) {
      Result r;
      a[i++] = VELM_Attribute_Create(ctx_, n, v, nullptr, &r);
      EXPECT_NE(a[i - 1], nullptr);
    }
    a[i] = nullptr;
    return a;
  }
  void freeAttributes(VELM_Attribute **a) {
    Result r;
    EXPECT_EQ(velm::freeAttributeArray(ctx_, a, &r), 0);
  }
  // name=value of every attribute, as stored.
  static std::vector<std::string> pairsOf(VELM_Attribute *const *a) {
    std::vector<std::string> out;
    for (; a != nullptr && *a != nullptr; ++a) out.push_back(std::string((*a)->name) + "=" + (*a)->value);
    return out;
  }

  TempDir dir_;
  std::vector<VELM_AuditClientContext *> contexts_;
  VELM_AuditClientContext *ctx_ = nullptr;
};

// ---- Required parameters and value checks --------------------------------

TEST_F(NestedInfoTest, CreateReportsFirstProblemInCheckOrder) {
  StrArray names{"a"}, bad{"x"};
  struct Case {
    const char *label;
    std::function<void *(VELM_result *)> create;
    std::string message;
  };
  auto *c = ctx_;
  std::vector<Case> cases = {
      {"attrPerm: nothing",
       [&](VELM_result *r) {
         return VELM_AttributePermissionInfo_Create(c, nullptr, nullptr, nullptr, nullptr, r);
       },
       msg9("attributeNames")},
      {"attrPerm: no checked",
       [&](VELM_result *r) {
         return VELM_AttributePermissionInfo_Create(c, names.get(), nullptr, names.get(), names.get(), r);
       },
       msg9("checked")},
      {"permission: no checked",
       [&](VELM_result *r) {
         return VELM_PermissionInfo_Create(c, nullptr, names.get(), names.get(), names.get(), names.get(), r);
       },
       msg9("checked")},
      {"target: no names", [&](VELM_result *r) { return VELM_TargetInfo_Create(c, nullptr, nullptr, 1, r); },
       msg9("targetNames")},
      {"policy: nothing",
       [&](VELM_result *r) { return VELM_PolicyInfo_Create(c, nullptr, "b", nullptr, "d", nullptr, 1, r); },
       msg9("name")},
      {"policy: no type",
       [&](VELM_result *r) { return VELM_PolicyInfo_Create(c, "n", "b", nullptr, "d", nullptr, 1, r); },
       msg9("type")},
      {"registryObject: nothing",
       [&](VELM_result *r) {
         return VELM_RegistryObjectInfo_Create(c, nullptr, "reg", nullptr, "d", nullptr, 1, r);
       },
       msg9("name")},
      {"registryObject: no type",
       [&](VELM_result *r) {
         return VELM_RegistryObjectInfo_Create(c, "n", "reg", nullptr, "d", nullptr, 1, r);
       },
       msg9("type")},
      {"resource: nothing",
       [&](VELM_result *r) { return VELM_ResourceInfo_Create(c, nullptr, nullptr, nullptr, nullptr, 1, r); },
       msg9("nameInApp")},
      {"resource: no nameInPolicy",
       [&](VELM_result *r) { return VELM_ResourceInfo_Create(c, "app", nullptr, nullptr, nullptr, 1, r); },
       msg9("nameInPolicy")},
      {"resource: no type",
       [&](VELM_result *r) { return VELM_ResourceInfo_Create(c, "app", "pol", nullptr, nullptr, 1, r); },
       msg9("type")},
      {"user: nothing, bad location type",
       [&](VELM_result *r) {
         return VELM_UserInfo_Create(c, nullptr, nullptr, 0, nullptr, nullptr, nullptr, nullptr, "hostname",
                                     nullptr, nullptr, 1, r);
       },
       msg9("registryUserName")},
      {"user: no appUserName, bad location type",
       [&](VELM_result *r) {
         return VELM_UserInfo_Create(c, "reg", nullptr, 0, nullptr, nullptr, nullptr, nullptr, "hostname",
                                     nullptr, nullptr, 1, r);
       },
       msg9("appUserName")},
      {"user: location type differs in case",
       [&](VELM_result *r) {
         return VELM_UserInfo_Create(c, "reg", "app", 0, nullptr, nullptr, nullptr, nullptr, "hostname",
                                     nullptr, nullptr, 1, r);
       },
       msg8("locationType", "hostname")},
      {"user: location type not known",
       [&](VELM_result *r) {
         return VELM_UserInfo_Create(c, "reg", "app", 0, nullptr, nullptr, nullptr, nullptr, "IPV5", nullptr,
                                     nullptr, 1, r);
       },
       msg8("locationType", "IPV5")},
  };
  for (auto &tc : cases) {
    SCOPED_TRACE(tc.label);
    Result r;
    EXPECT_EQ(tc.create(&r), nullptr);
    ASSERT_EQ(r.count(), 1);
    EXPECT_EQ(r.texts()[0], tc.message);
  }
}

TEST_F(NestedInfoTest, OptionalFieldsMayAllBeMissing) {
  StrArray names{"t"};
  Result r;
  VELM_MgmtInfo *m = VELM_MgmtInfo_Create(ctx_, nullptr, nullptr, 1, &r);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(VELM_MgmtInfo_GetTargetInfo(ctx_, m, &r), nullptr);
  EXPECT_EQ(take(VELM_MgmtInfo_GetCommand(ctx_, m, &r)), "<null>");
  EXPECT_EQ(VELM_MgmtInfo_Delete(ctx_, m, &r), 0);

  VELM_MsgDataElement *d =
      VELM_MsgDataElement_Create(ctx_, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &r);
  ASSERT_NE(d, nullptr);
  EXPECT_TRUE(takeArray(VELM_MsgDataElement_GetMsgCatalogTokens(ctx_, d, &r)).empty());
  EXPECT_EQ(VELM_MsgDataElement_Delete(ctx_, d, &r), 0);

  for (const char *type : {static_cast<const char *>(nullptr), "Hostname", "FQHostname", "E.164"}) {
    SCOPED_TRACE(type ? type : "<null>");
    VELM_UserInfo *u = VELM_UserInfo_Create(ctx_, "reg", "app", 7, nullptr, nullptr, nullptr, nullptr, type,
                                            nullptr, nullptr, 1, &r);
    ASSERT_NE(u, nullptr);
    EXPECT_EQ(VELM_UserInfo_GetCallerList(ctx_, u, &r), nullptr);
    EXPECT_EQ(VELM_UserInfo_GetAttributes(ctx_, u, &r), nullptr);
    EXPECT_EQ(VELM_UserInfo_Delete(ctx_, u, &r), 0);
  }
  VELM_TargetInfo *t = VELM_TargetInfo_Create(ctx_, names.get(), nullptr, 0, &r);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(VELM_TargetInfo_Delete(ctx_, t, &r), 0);
  EXPECT_EQ(r.count(), 0);
}

// ---- Null handles and null contexts ---------------------------------------

TEST_F(NestedInfoTest, NullHandleNamesTheHandle) {
  auto *c = ctx_;
  struct Case {
    const char *label;
    std::function<bool(VELM_result *)> call;  // true when the failure value came back
    const char *handle;
  };
  std::vector<Case> cases = {
      {"AttributePermissionInfo_Delete",
       [&](VELM_result *r) { return VELM_AttributePermissionInfo_Delete(c, nullptr, r) == -1; },
       "attributePermissionInfo_Handle"},
      {"AttributePermissionInfo_GetDenied",
       [&](VELM_result *r) { return VELM_AttributePermissionInfo_GetDenied(c, nullptr, r) == nullptr; },
       "attributePermissionInfo_Handle"},
      {"MsgDataElement_Delete",
       [&](VELM_result *r) { return VELM_MsgDataElement_Delete(c, nullptr, r) == -1; },
       "msgDataElement_Handle"},
      {"MsgDataElement_GetMsgLocale",
       [&](VELM_result *r) { return VELM_MsgDataElement_GetMsgLocale(c, nullptr, r) == nullptr; },
       "msgDataElement_Handle"},
      {"PermissionInfo_Delete",
       [&](VELM_result *r) { return VELM_PermissionInfo_Delete(c, nullptr, r) == -1; },
       "permissionInfo_Handle"},
      {"PermissionInfo_GetChecked",
       [&](VELM_result *r) { return VELM_PermissionInfo_GetChecked(c, nullptr, r) == nullptr; },
       "permInfo_Handle"},
      {"PermissionInfo_GetJ2EERolesGranted",
       [&](VELM_result *r) { return VELM_PermissionInfo_GetJ2EERolesGranted(c, nullptr, r) == nullptr; },
       "permInfo_Handle"},
      {"TargetInfo_Delete", [&](VELM_result *r) { return VELM_TargetInfo_Delete(c, nullptr, r) == -1; },
       "targetInfo_Handle"},
      {"TargetInfo_GetAttributes",
       [&](VELM_result *r) { return VELM_TargetInfo_GetAttributes(c, nullptr, r) == nullptr; },
       "targetInfo_Handle"},
      {"MgmtInfo_Delete", [&](VELM_result *r) { return VELM_MgmtInfo_Delete(c, nullptr, r) == -1; },
       "mgmtInfo_Handle"},
      {"MgmtInfo_GetTargetInfo",
       [&](VELM_result *r) { return VELM_MgmtInfo_GetTargetInfo(c, nullptr, r) == nullptr; },
       "mgmtInfo_Handle"},
      {"PolicyInfo_Delete", [&](VELM_result *r) { return VELM_PolicyInfo_Delete(c, nullptr, r) == -1; },
       "policyInfo_Handle"},
      {"PolicyInfo_GetBranch",
       [&](VELM_result *r) { return VELM_PolicyInfo_GetBranch(c, nullptr, r) == nullptr; },
       "policyInfo_Handle"},
      {"RegistryObjectInfo_Delete",
       [&](VELM_result *r) { return VELM_RegistryObjectInfo_Delete(c, nullptr, r) == -1; },
       "registryObjectInfo_Handle"},
      {"RegistryObjectInfo_GetRegistryName",
       [&](VELM_result *r) { return VELM_RegistryObjectInfo_GetRegistryName(c, nullptr, r) == nullptr; },
       "registryObjectInfo_Handle"},
      {"ResourceInfo_Delete", [&](VELM_result *r) { return VELM_ResourceInfo_Delete(c, nullptr, r) == -1; },
       "resourceInfo_Handle"},
      {"ResourceInfo_GetNameInPolicy",
       [&](VELM_result *r) { return VELM_ResourceInfo_GetNameInPolicy(c, nullptr, r) == nullptr; },
       "resourceInfo_Handle"},
      {"UserInfo_Delete", [&](VELM_result *r) { return VELM_UserInfo_Delete(c, nullptr, r) == -1; },
       "userInfo_Handle"},
      {"UserInfo_GetUniqueId", [&](VELM_result *r) { return VELM_UserInfo_GetUniqueId(c, nullptr, r) == -1; },
       "userInfo_Handle"},
      {"UserInfo_GetCallerList",
       [&](VELM_result *r) { return VELM_UserInfo_GetCallerList(c, nullptr, r) == nullptr; },
       "userInfo_Handle"},
  };
  for (auto &tc : cases) {
    SCOPED_TRACE(tc.label);
    Result r;
    EXPECT_TRUE(tc.call(&r));
    ASSERT_EQ(r.count(), 1);
    EXPECT_EQ(r.texts()[0], msg9(tc.handle));
  }
}

TEST_F(NestedInfoTest, NullContextIsReportedAndNothingIsCreated) {
  StrArray names{"t"};
  Result r;
  EXPECT_EQ(VELM_TargetInfo_Create(nullptr, names.get(), nullptr, 1, &r), nullptr);
  ASSERT_EQ(r.count(), 1);
  EXPECT_EQ(r.codes()[0], 10);
  Result r2;
  EXPECT_EQ(VELM_UserInfo_GetUniqueId(nullptr, nullptr, &r2), -1);
  EXPECT_EQ(r2.codes(), std::vector<int>{10});
  // A null result record: failure, nothing recorded anywhere.
  EXPECT_EQ(VELM_PolicyInfo_Create(ctx_, "n", nullptr, "t", nullptr, nullptr, 1, nullptr), nullptr);
}

// ---- Text conversion -------------------------------------------------------

TEST_F(NestedInfoTest, UserInfoRoundTripsThroughElementCodeSet) {
  StrArray callers{kLatin, "bob"};
  Result r;
  VELM_UserInfo *u = VELM_UserInfo_Create(ctx_, kLatin, "app\xE9", -42, callers.get(), "dom\xE9", "realm\xE9",
                                          "loc\xE9", "IPV4", "sess\xE9", nullptr, 1, &r);
  ASSERT_NE(u, nullptr) << r.texts()[0];
  // Held in UTF-8 ...
  EXPECT_STREQ(u->registryUserName, kUtf8);
  EXPECT_EQ(view(u->callerList), (std::vector<std::string>{kUtf8, "bob"}));
  // ... and handed back in the element code set.
  EXPECT_EQ(take(VELM_UserInfo_GetRegistryUserName(ctx_, u, &r)), kLatin);
  EXPECT_EQ(take(VELM_UserInfo_GetAppUserName(ctx_, u, &r)), "app\xE9");
  EXPECT_EQ(VELM_UserInfo_GetUniqueId(ctx_, u, &r), -42);
  EXPECT_EQ(takeArray(VELM_UserInfo_GetCallerList(ctx_, u, &r)), (std::vector<std::string>{kLatin, "bob"}));
  EXPECT_EQ(take(VELM_UserInfo_GetDomain(ctx_, u, &r)), "dom\xE9");
  EXPECT_EQ(take(VELM_UserInfo_GetRealm(ctx_, u, &r)), "realm\xE9");
  EXPECT_EQ(take(VELM_UserInfo_GetLocation(ctx_, u, &r)), "loc\xE9");
  EXPECT_EQ(take(VELM_UserInfo_GetLocationType(ctx_, u, &r)), "IPV4");
  EXPECT_EQ(take(VELM_UserInfo_GetSessionId(ctx_, u, &r)), "sess\xE9");
  // Each call makes a new caller list.
  char **a = VELM_UserInfo_GetCallerList(ctx_, u, &r);
  char **b = VELM_UserInfo_GetCallerList(ctx_, u, &r);
  EXPECT_NE(a, b);
  EXPECT_NE(a, u->callerList);
  EXPECT_EQ(takeArray(a), takeArray(b));
  EXPECT_EQ(r.count(), 0);
  EXPECT_EQ(VELM_UserInfo_Delete(ctx_, u, &r), 0);
}

TEST_F(NestedInfoTest, StringArrayFamiliesRoundTrip) {
  StrArray a{kLatin}, b{"b1", "b\xE9"}, c{"c"}, d{"d\xE9"}, e{"e"};
  const std::vector<std::string> A{kLatin}, B{"b1", "b\xE9"}, C{"c"}, D{"d\xE9"}, E{"e"};
  Result r;

  VELM_AttributePermissionInfo *ap =
      VELM_AttributePermissionInfo_Create(ctx_, a.get(), b.get(), c.get(), d.get(), &r);
  ASSERT_NE(ap, nullptr);
  EXPECT_EQ(view(ap->attributeNames), std::vector<std::string>{kUtf8});
  EXPECT_EQ(takeArray(VELM_AttributePermissionInfo_GetAttributeNames(ctx_, ap, &r)), A);
  EXPECT_EQ(takeArray(VELM_AttributePermissionInfo_GetChecked(ctx_, ap, &r)), B);
  EXPECT_EQ(takeArray(VELM_AttributePermissionInfo_GetGranted(ctx_, ap, &r)), C);
  EXPECT_EQ(takeArray(VELM_AttributePermissionInfo_GetDenied(ctx_, ap, &r)), D);
  EXPECT_EQ(VELM_AttributePermissionInfo_Delete(ctx_, ap, &r), 0);

  VELM_PermissionInfo *p = VELM_PermissionInfo_Create(ctx_, a.get(), b.get(), c.get(), d.get(), e.get(), &r);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(takeArray(VELM_PermissionInfo_GetChecked(ctx_, p, &r)), A);
  EXPECT_EQ(takeArray(VELM_PermissionInfo_GetGranted(ctx_, p, &r)), B);
  EXPECT_EQ(takeArray(VELM_PermissionInfo_GetDenied(ctx_, p, &r)), C);
  EXPECT_EQ(takeArray(VELM_PermissionInfo_GetJ2EERolesChecked(ctx_, p, &r)), D);
  EXPECT_EQ(takeArray(VELM_PermissionInfo_GetJ2EERolesGranted(ctx_, p, &r)), E);
  EXPECT_EQ(VELM_PermissionInfo_Delete(ctx_, p, &r), 0);

  VELM_MsgDataElement *m =
      VELM_MsgDataElement_Create(ctx_, "id\xE9", "type", "cat\xE9", b.get(), "catalog", "ctype", "fr_FR", &r);
  ASSERT_NE(m, nullptr);
  EXPECT_STREQ(m->msgId, "id\xC3\xA9");
  EXPECT_EQ(take(VELM_MsgDataElement_GetMsgId(ctx_, m, &r)), "id\xE9");
  EXPECT_EQ(take(VELM_MsgDataElement_GetMsgIdType(ctx_, m, &r)), "type");
  EXPECT_EQ(take(VELM_MsgDataElement_GetMsgCatalogId(ctx_, m, &r)), "cat\xE9");
  EXPECT_EQ(takeArray(VELM_MsgDataElement_GetMsgCatalogTokens(ctx_, m, &r)), B);
  EXPECT_EQ(take(VELM_MsgDataElement_GetMsgCatalog(ctx_, m, &r)), "catalog");
  EXPECT_EQ(take(VELM_MsgDataElement_GetMsgCatalogType(ctx_, m, &r)), "ctype");
  EXPECT_EQ(take(VELM_MsgDataElement_GetMsgLocale(ctx_, m, &r)), "fr_FR");
  EXPECT_EQ(VELM_MsgDataElement_Delete(ctx_, m, &r), 0);

  VELM_TargetInfo *t = VELM_TargetInfo_Create(ctx_, b.get(), nullptr, 1, &r);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(takeArray(VELM_TargetInfo_GetTargetNames(ctx_, t, &r)), B);
  EXPECT_EQ(VELM_TargetInfo_Delete(ctx_, t, &r), 0);
  EXPECT_EQ(r.count(), 0);
}

TEST_F(NestedInfoTest, StringFamiliesRoundTrip) {
  Result r;
  VELM_PolicyInfo *p = VELM_PolicyInfo_Create(ctx_, "n\xE9", "br\xE9", "ty\xE9", "de\xE9", nullptr, 1, &r);
  ASSERT_NE(p, nullptr);
  EXPECT_STREQ(p->name, "n\xC3\xA9");
  EXPECT_EQ(take(VELM_PolicyInfo_GetName(ctx_, p, &r)), "n\xE9");
  EXPECT_EQ(take(VELM_PolicyInfo_GetBranch(ctx_, p, &r)), "br\xE9");
  EXPECT_EQ(take(VELM_PolicyInfo_GetType(ctx_, p, &r)), "ty\xE9");
  EXPECT_EQ(take(VELM_PolicyInfo_GetDescription(ctx_, p, &r)), "de\xE9");
  EXPECT_EQ(VELM_PolicyInfo_Delete(ctx_, p, &r), 0);

  VELM_RegistryObjectInfo *o =
      VELM_RegistryObjectInfo_Create(ctx_, "n\xE9", "reg\xE9", "ty", nullptr, nullptr, 1, &r);
  ASSERT_NE(o, nullptr);
  EXPECT_EQ(take(VELM_RegistryObjectInfo_GetName(ctx_, o, &r)), "n\xE9");
  EXPECT_EQ(take(VELM_RegistryObjectInfo_GetRegistryName(ctx_, o, &r)), "reg\xE9");
  EXPECT_EQ(take(VELM_RegistryObjectInfo_GetType(ctx_, o, &r)), "ty");
  EXPECT_EQ(take(VELM_RegistryObjectInfo_GetDescription(ctx_, o, &r)), "<null>");
  EXPECT_EQ(VELM_RegistryObjectInfo_Delete(ctx_, o, &r), 0);

  VELM_ResourceInfo *s = VELM_ResourceInfo_Create(ctx_, "app\xE9", "pol\xE9", "file", nullptr, 1, &r);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(take(VELM_ResourceInfo_GetNameInApp(ctx_, s, &r)), "app\xE9");
  EXPECT_EQ(take(VELM_ResourceInfo_GetNameInPolicy(ctx_, s, &r)), "pol\xE9");
  EXPECT_EQ(take(VELM_ResourceInfo_GetType(ctx_, s, &r)), "file");
  EXPECT_EQ(VELM_ResourceInfo_Delete(ctx_, s, &r), 0);

  VELM_MgmtInfo *m = VELM_MgmtInfo_Create(ctx_, nullptr, "stop\xE9", 1, &r);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(take(VELM_MgmtInfo_GetCommand(ctx_, m, &r)), "stop\xE9");
  EXPECT_EQ(VELM_MgmtInfo_Delete(ctx_, m, &r), 0);
  EXPECT_EQ(r.count(), 0);
}

TEST_F(NestedInfoTest, UTF8CodeSetCopiesUTF8UnchangedAndRefusesOtherBytes) {
  VELM_AuditClientContext *u8 = makeContext("UTF8");
  ASSERT_NE(u8, nullptr);
  const char *utf8 = "caf\xC3\xA9";
  StrArray callers{utf8};
  Result r;
  VELM_UserInfo *u = VELM_UserInfo_Create(u8, utf8, "app", 1, callers.get(), nullptr, nullptr, nullptr,
                                          nullptr, nullptr, nullptr, 1, &r);
  ASSERT_NE(u, nullptr);
  EXPECT_STREQ(u->registryUserName, utf8);
  EXPECT_EQ(take(VELM_UserInfo_GetRegistryUserName(u8, u, &r)), utf8);
  EXPECT_EQ(takeArray(VELM_UserInfo_GetCallerList(u8, u, &r)), std::vector<std::string>{utf8});
  EXPECT_EQ(VELM_UserInfo_Delete(u8, u, &r), 0);

  // Latin-1 bytes are not UTF-8: no event could carry them, so the record is refused.
  StrArray latin{"bob", kLatin};
  Result bad;
  EXPECT_EQ(VELM_UserInfo_Create(u8, "bob", "app", 1, latin.get(), nullptr, nullptr, nullptr, nullptr,
                                 nullptr, nullptr, 1, &bad),
            nullptr);
  EXPECT_EQ(bad.texts(),
            std::vector<std::string>{msg8("callerList[1]", "the text is not valid UTF-8 at byte 3")});
}

// A field that cannot be converted into UTF-8, or that XML cannot carry,
// fails the create with message 8 naming the field (an array entry by its
// index): a record is immutable, so this is the one place to learn it.
TEST_F(NestedInfoTest, HostileFieldIsRefusedNamingTheField) {
  VELM_AuditClientContext *u8 = makeContext("UTF8");
  VELM_AuditClientContext *ascii = makeContext("ANSI_X3.4-1968");
  ASSERT_NE(u8, nullptr);
  ASSERT_NE(ascii, nullptr);
  struct Case {
    const char *what;
    std::function<void *(VELM_result *)> create;
    const char *field;
    const char *why;
  };
  static StrArray okList{"ok"};
  static StrArray badList{"ok", "\xED\xB0\x80"};
  const Case cases[] = {
      {"user name overlong",
       [&](VELM_result *r) {
         return VELM_UserInfo_Create(u8, "\xC0\xAF", "app", 1, nullptr, nullptr, nullptr, nullptr, nullptr,
                                     nullptr, nullptr, 1, r);
       },
       "registryUserName", "the text is not valid UTF-8 at byte 0"},
      {"user name not ASCII",
       [&](VELM_result *r) {
         return VELM_UserInfo_Create(ascii, "bob", "caf\xE9", 1, nullptr, nullptr, nullptr, nullptr, nullptr,
                                     nullptr, nullptr, 1, r);
       },
       "appUserName", "the text cannot be converted from the element code set ANSI_X3.4-1968"},
      {"attribute value with a control character",
       [&](VELM_result *r) { return VELM_Attribute_Create(u8, "n", "a\x02", nullptr, r); }, "value",
       "the text holds U+0002, which XML cannot carry, at byte 1"},
      {"component id thread U+FFFE",
       [&](VELM_result *r) {
         return VELM_ComponentId_Create(u8, "loc", "IPV4", "app", nullptr, "comp", "ct", "cit", "sub",
                                        nullptr, nullptr, "\xEF\xBF\xBE", r);
       },
       "threadId", "the text holds U+FFFE, which XML cannot carry, at byte 0"},
      {"surrogate in a permission list",
       [&](VELM_result *r) {
         return VELM_PermissionInfo_Create(u8, okList.get(), badList.get(), nullptr, nullptr, nullptr, r);
       },
       "granted[1]", "the text is not valid UTF-8 at byte 0"},
      {"message token not ASCII",
       [&](VELM_result *r) {
         return VELM_MsgDataElement_Create(ascii, "id", nullptr, nullptr, StrArray{"\xE9"}.get(), nullptr,
                                           nullptr, nullptr, r);
       },
       "msgCatalogTokens[0]", "the text cannot be converted from the element code set ANSI_X3.4-1968"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    Result r;
    EXPECT_EQ(c.create(&r), nullptr);
    EXPECT_EQ(r.texts(), std::vector<std::string>{msg8(c.field, c.why)});
  }
}

// ---- Attribute arrays: copy and adopt ---------------------------------------

// The five families that hold an attribute array, behind one face.
struct AttrFamily {
  const char *name;
  std::function<void *(VELM_AuditClientContext *, VELM_Attribute **, int, VELM_result *)> create;
  std::function<VELM_Attribute **(VELM_AuditClientContext *, void *, VELM_result *)> get;
  std::function<int(VELM_AuditClientContext *, void *, VELM_result *)> del;
  // Creates with the same attributes but failing its own checks.
  std::function<void *(VELM_AuditClientContext *, VELM_Attribute **, int, VELM_result *)> createInvalid;
};

std::vector<AttrFamily> attrFamilies() {
  static StrArray targets{"t1", "t2"};
  return {
      {"TargetInfo",
       [](auto c, auto a, int f, auto r) {
         return (void *)VELM_TargetInfo_Create(c, targets.get(), a, f, r);
       },
       [](auto c, void *h, auto r) { return VELM_TargetInfo_GetAttributes(c, (VELM_TargetInfo *)h, r); },
       [](auto c, void *h, auto r) { return VELM_TargetInfo_Delete(c, (VELM_TargetInfo *)h, r); },
       [](auto c, auto a, int f, auto r) { return (void *)VELM_TargetInfo_Create(c, nullptr, a, f, r); }},
      {"PolicyInfo",
       [](auto c, auto a, int f, auto r) {
         return (void *)VELM_PolicyInfo_Create(c, "p", nullptr, "t", nullptr, a, f, r);
       },
       [](auto c, void *h, auto r) { return VELM_PolicyInfo_GetAttributes(c, (VELM_PolicyInfo *)h, r); },
       [](auto c, void *h, auto r) { return VELM_PolicyInfo_Delete(c, (VELM_PolicyInfo *)h, r); },
       [](auto c, auto a, int f, auto r) {
         return (void *)VELM_PolicyInfo_Create(c, "p", nullptr, nullptr, nullptr, a, f, r);
       }},
      {"RegistryObjectInfo",
       [](auto c, auto a, int f, auto r) {
         return (void *)VELM_RegistryObjectInfo_Create(c, "o", "reg", "t", nullptr, a, f, r);
       },
       [](auto c, void *h, auto r) {
         return VELM_RegistryObjectInfo_GetAttributes(c, (VELM_RegistryObjectInfo *)h, r);
       },
       [](auto c, void *h, auto r) {
         return VELM_RegistryObjectInfo_Delete(c, (VELM_RegistryObjectInfo *)h, r);
       },
       [](auto c, auto a, int f, auto r) {
         return (void *)VELM_RegistryObjectInfo_Create(c, nullptr, "reg", "t", nullptr, a, f, r);
       }},
      {"ResourceInfo",
       [](auto c, auto a, int f, auto r) {
         return (void *)VELM_ResourceInfo_Create(c, "a", "p", "t", a, f, r);
       },
       [](auto c, void *h, auto r) { return VELM_ResourceInfo_GetAttributes(c, (VELM_ResourceInfo *)h, r); },
       [](auto c, void *h, auto r) { return VELM_ResourceInfo_Delete(c, (VELM_ResourceInfo *)h, r); },
       [](auto c, auto a, int f, auto r) {
         return (void *)VELM_ResourceInfo_Create(c, "a", "p", nullptr, a, f, r);
       }},
      {"UserInfo",
       [](auto c, auto a, int f, auto r) {
         return (void *)VELM_UserInfo_Create(c, "reg", "app", 1, nullptr, nullptr, nullptr, nullptr,
                                             "Hostname", nullptr, a, f, r);
       },
       [](auto c, void *h, auto r) { return VELM_UserInfo_GetAttributes(c, (VELM_UserInfo *)h, r); },
       [](auto c, void *h, auto r) { return VELM_UserInfo_Delete(c, (VELM_UserInfo *)h, r); },
       [](auto c, auto a, int f, auto r) {
         return (void *)VELM_UserInfo_Create(c, "reg", "app", 1, nullptr, nullptr, nullptr, nullptr,
                                             "hostname", nullptr, a, f, r);
       }},
  };
}

TEST_F(NestedInfoTest, AdoptedAttributeArrayIsTheRecordsAndGoesWithIt) {
  for (auto &fam : attrFamilies()) {
    SCOPED_TRACE(fam.name);
    VELM_Attribute **attrs = attributes({{"k1", "v\xE9"}, {"k2", "v2"}});
    Result r;
    void *rec = fam.create(ctx_, attrs, 0, &r);
    ASSERT_NE(rec, nullptr);
    EXPECT_EQ(fam.get(ctx_, rec, &r), attrs);
    // The record releases the array and its attributes (LeakSanitizer sees
    // any that stay; a second release would be a double free).
    EXPECT_EQ(fam.del(ctx_, rec, &r), 0);
    EXPECT_EQ(r.count(), 0);
  }
}

TEST_F(NestedInfoTest, CopiedAttributeArrayStaysTheCallers) {
  for (auto &fam : attrFamilies()) {
    SCOPED_TRACE(fam.name);
    VELM_Attribute **attrs = attributes({{"k1", "v\xE9"}, {"k2", "v2"}});
    Result r;
    void *rec = fam.create(ctx_, attrs, 5, &r);  // any non-zero copyFlag copies
    ASSERT_NE(rec, nullptr);
    VELM_Attribute **held = fam.get(ctx_, rec, &r);
    ASSERT_NE(held, nullptr);
    EXPECT_NE(held, attrs);
    EXPECT_NE(held[0], attrs[0]);
    EXPECT_EQ(pairsOf(held), pairsOf(attrs));
    EXPECT_EQ(pairsOf(held), (std::vector<std::string>{"k1=v\xC3\xA9", "k2=v2"}));
    EXPECT_EQ(fam.del(ctx_, rec, &r), 0);
    // Untouched by the record's delete.
    EXPECT_EQ(pairsOf(attrs), (std::vector<std::string>{"k1=v\xC3\xA9", "k2=v2"}));
    freeAttributes(attrs);
  }
}

TEST_F(NestedInfoTest, FailingCreateLeavesAttributeArrayWithCaller) {
  for (auto &fam : attrFamilies()) {
    for (int copyFlag : {0, 1}) {
      SCOPED_TRACE(std::string(fam.name) + " copyFlag " + std::to_string(copyFlag));
      VELM_Attribute **attrs = attributes({{"k", "v"}});
      Result r;
      EXPECT_EQ(fam.createInvalid(ctx_, attrs, copyFlag, &r), nullptr);
      EXPECT_EQ(r.count(), 1);
      EXPECT_EQ(pairsOf(attrs), std::vector<std::string>{"k=v"});
      freeAttributes(attrs);  // still ours: released exactly once
    }
  }
}

TEST_F(NestedInfoTest, AttributeThatFailsItsChecksWhenCopiedFailsTheCreate) {
  // An attribute without a value cannot be made through the interface, but a
  // hand-built one must not slip through a copy.
  auto *bad = static_cast<VELM_Attribute *>(std::calloc(1, sizeof(VELM_Attribute)));
  bad->name = strdup("k");
  VELM_Attribute **attrs = attributes({{"good", "v"}});
  VELM_Attribute *arr[] = {attrs[0], bad, nullptr};
  Result r;
  EXPECT_EQ(VELM_ResourceInfo_Create(ctx_, "a", "p", "t", arr, 1, &r), nullptr);
  EXPECT_EQ(r.texts(), (std::vector<std::string>{msg9("value"), kMsg1}));
  EXPECT_EQ(pairsOf(attrs), std::vector<std::string>{"good=v"});
  freeAttributes(attrs);
  std::free(bad->name);
  std::free(bad);
}

// ---- The nested target info ---------------------------------------------------

TEST_F(NestedInfoTest, MgmtInfoCopiesOrAdoptsTargetInfo) {
  StrArray names{"srv\xE9"};
  Result r;
  // Adopted: the very record, released with the management info.
  VELM_TargetInfo *t = VELM_TargetInfo_Create(ctx_, names.get(), attributes({{"k", "v"}}), 0, &r);
  ASSERT_NE(t, nullptr);
  VELM_MgmtInfo *m = VELM_MgmtInfo_Create(ctx_, t, "restart", 0, &r);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(VELM_MgmtInfo_GetTargetInfo(ctx_, m, &r), t);
  EXPECT_EQ(VELM_MgmtInfo_Delete(ctx_, m, &r), 0);

  // Copied: a deep copy, the caller's record untouched.
  t = VELM_TargetInfo_Create(ctx_, names.get(), attributes({{"k", "v"}}), 0, &r);
  ASSERT_NE(t, nullptr);
  m = VELM_MgmtInfo_Create(ctx_, t, "restart", 1, &r);
  ASSERT_NE(m, nullptr);
  VELM_TargetInfo *held = VELM_MgmtInfo_GetTargetInfo(ctx_, m, &r);
  ASSERT_NE(held, nullptr);
  EXPECT_NE(held, t);
  EXPECT_NE(held->attributes, t->attributes);
  EXPECT_EQ(view(held->targetNames), view(t->targetNames));
  EXPECT_EQ(pairsOf(held->attributes), pairsOf(t->attributes));
  EXPECT_EQ(takeArray(VELM_TargetInfo_GetTargetNames(ctx_, held, &r)), std::vector<std::string>{"srv\xE9"});
  EXPECT_EQ(VELM_MgmtInfo_Delete(ctx_, m, &r), 0);
  EXPECT_EQ(view(t->targetNames), std::vector<std::string>{"srv\xC3\xA9"});
  EXPECT_EQ(VELM_TargetInfo_Delete(ctx_, t, &r), 0);
  EXPECT_EQ(r.count(), 0);
}

TEST_F(NestedInfoTest, CopiedTargetInfoIsCheckedAgain) {
  // A hand-built target info without names: adopting takes it as it is,
  // copying re-runs the target info's checks and fails.
  VELM_TargetInfo hollow{0, nullptr, nullptr};
  Result r;
  EXPECT_EQ(VELM_MgmtInfo_Create(ctx_, &hollow, "cmd", 1, &r), nullptr);
  EXPECT_EQ(r.texts(), std::vector<std::string>{msg9("targetNames")});
}

// ---- Record arrays --------------------------------------------------------------

TEST_F(NestedInfoTest, EmptyRecordArraysCopyAndFree) {
  struct Case {
    const char *label;
    std::function<void **(VELM_result *)> copy;
    std::function<int(void **, VELM_result *)> release;
  };
  auto *c = ctx_;
  VELM_Attribute *a[] = {nullptr};
  VELM_AttributePermissionInfo *ap[] = {nullptr};
  VELM_MembershipInfo *m[] = {nullptr};
  VELM_PolicyInfo *p[] = {nullptr};
  std::vector<Case> cases = {
      {"attributes", [&](auto r) { return (void **)velm::copyAttributeArray(c, a, r); },
       [&](void **v, auto r) { return velm::freeAttributeArray(c, (VELM_Attribute **)v, r); }},
      {"attrPerm", [&](auto r) { return (void **)velm::copyAttrPermInfoArray(c, ap, r); },
       [&](void **v, auto r) {
         return velm::freeAttrPermInfoArray(c, (VELM_AttributePermissionInfo **)v, r);
       }},
      {"membership", [&](auto r) { return (void **)velm::copyMembershipInfoArray(c, m, r); },
       [&](void **v, auto r) { return velm::freeMembershipInfoArray(c, (VELM_MembershipInfo **)v, r); }},
      {"policy", [&](auto r) { return (void **)velm::copyPolicyInfoArray(c, p, r); },
       [&](void **v, auto r) { return velm::freePolicyInfoArray(c, (VELM_PolicyInfo **)v, r); }},
  };
  for (auto &tc : cases) {
    SCOPED_TRACE(tc.label);
    Result r;
    void **copy = tc.copy(&r);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy[0], nullptr);
    EXPECT_EQ(tc.release(copy, &r), 0);
    EXPECT_EQ(tc.release(nullptr, &r), 0);
    EXPECT_EQ(r.count(), 0);
  }
}

TEST_F(NestedInfoTest, PolicyArrayCopyIsDeep) {
  Result r;
  VELM_PolicyInfo *p1 =
      VELM_PolicyInfo_Create(ctx_, "p1", nullptr, "t", nullptr, attributes({{"k", "v"}}), 0, &r);
  VELM_PolicyInfo *p2 = VELM_PolicyInfo_Create(ctx_, "p2", "b", "t", "d", nullptr, 0, &r);
  ASSERT_TRUE(p1 && p2);
  VELM_PolicyInfo *arr[] = {p1, p2, nullptr};
  VELM_PolicyInfo **copy = velm::copyPolicyInfoArray(ctx_, arr, &r);
  ASSERT_NE(copy, nullptr);
  EXPECT_NE(copy[0], p1);
  EXPECT_NE(copy[0]->attributes, p1->attributes);
  EXPECT_EQ(pairsOf(copy[0]->attributes), std::vector<std::string>{"k=v"});
  EXPECT_STREQ(copy[1]->description, "d");
  EXPECT_EQ(copy[2], nullptr);
  EXPECT_EQ(velm::freePolicyInfoArray(ctx_, copy, &r), 0);
  EXPECT_EQ(VELM_PolicyInfo_Delete(ctx_, p1, &r), 0);
  EXPECT_EQ(VELM_PolicyInfo_Delete(ctx_, p2, &r), 0);
  EXPECT_EQ(r.count(), 0);
}

TEST_F(NestedInfoTest, RecordArrayCopyFailingMidwayReleasesWhatItCopied) {
  Result r;
  VELM_MembershipInfo *good = VELM_MembershipInfo_Create(ctx_, "group", "1", "admins", &r);
  ASSERT_NE(good, nullptr);
  VELM_MembershipInfo bad{0, nullptr, nullptr, nullptr};  // no type
  VELM_MembershipInfo *arr[] = {good, good, &bad, nullptr};
  EXPECT_EQ(velm::copyMembershipInfoArray(ctx_, arr, &r), nullptr);
  EXPECT_EQ(r.texts(), (std::vector<std::string>{msg9("type"), kMsg1}));

  Result r2;
  VELM_AttributePermissionInfo hollow{0, nullptr, nullptr, nullptr, nullptr};
  VELM_AttributePermissionInfo *arr2[] = {&hollow, nullptr};
  EXPECT_EQ(velm::copyAttrPermInfoArray(ctx_, arr2, &r2), nullptr);
  EXPECT_EQ(r2.texts(), (std::vector<std::string>{msg9("attributeNames"), kMsg1}));
  Result r3;  // a public call resets its record without freeing it
  EXPECT_EQ(VELM_MembershipInfo_Delete(ctx_, good, &r3), 0);
}

// ---- Copy and release by value type ------------------------------------------

// One sample value of each record and array type, built with the internal
// creates (UTF-8 already), plus one field that identifies it.
struct Sample {
  int type;
  void *value;
  std::function<std::string(const void *)> key;
};

TEST_F(NestedInfoTest, InfoRecordCopyAndDeleteEveryType) {
  using namespace velm;
  auto *c = ctx_;
  StrArray names{"n1", "n2"};
  Result r;
  auto attrArray = [&] { return attributes({{"k", "v"}}); };
  auto attrPerm = [&] {
    return attributePermissionInfo_Create(c, names.get(), names.get(), nullptr, nullptr, 0, &r);
  };
  auto membership = [&] { return membershipInfo_Create(c, "group", "7", "admins", 0, &r); };
  auto policy = [&] { return policyInfo_Create(c, "pol", nullptr, "t", nullptr, attrArray(), 0, 0, &r); };

  auto arrOf = [](auto *first) {
    using P = decltype(first);
    auto **a = static_cast<P *>(VELM_Malloc(2 * sizeof(P)));
    a[0] = first;
    a[1] = nullptr;
    return a;
  };

  std::vector<Sample> samples = {
      {VELM_VT_ATTRIBUTE, attribute_Create(c, "an", "av", "as", 0, &r),
       [](const void *v) { return std::string(((const VELM_Attribute *)v)->source); }},
      {VELM_VT_ATTRIBUTE_PERMISSION_INFO, attrPerm(),
       [](const void *v) { return std::string(((const VELM_AttributePermissionInfo *)v)->checked[1]); }},
      {VELM_VT_COMPONENT_ID,
       componentId_Create(c, "loc", "IPV6", "app", nullptr, "comp", "ct", "cit", "sub", nullptr, nullptr,
                          "tid", 0, &r),
       [](const void *v) { return std::string(((const VELM_ComponentId *)v)->threadId); }},
      {VELM_VT_HTTPURL_INFO, HTTPURLInfo_Create(c, "http://x", "GET", 404, nullptr, "rh", 0, &r),
       [](const void *v) { return std::to_string(((const VELM_HTTPURLInfo *)v)->responseCode); }},
      {VELM_VT_MEMBERSHIP_INFO, membership(),
       [](const void *v) { return std::string(((const VELM_MembershipInfo *)v)->name); }},
      {VELM_VT_MGMT_INFO,
       mgmtInfo_Create(c, targetInfo_Create(c, names.get(), attrArray(), 0, 0, &r), "cmd", 0, 0, &r),
       [](const void *v) {
         auto *m = (const VELM_MgmtInfo *)v;
         return std::string(m->command) + "/" + m->targetInfo->targetNames[0] + "/" +
                m->targetInfo->attributes[0]->name;
       }},
      {VELM_VT_MSG_DATA_ELEMENT,
       msgDataElement_Create(c, "id", nullptr, nullptr, names.get(), nullptr, nullptr, "en", 0, &r),
       [](const void *v) { return std::string(((const VELM_MsgDataElement *)v)->msgCatalogTokens[1]); }},
      {VELM_VT_OUTCOME, outcome_Create(c, "UNSUCCESSFUL", 3, 4, "denied", 0, &r),
       [](const void *v) { return std::string(((const VELM_Outcome *)v)->failureReason); }},
      {VELM_VT_PERF_INFO, perfInfo_Create(c, "n", "d", 2, "ms", INT64_C(1) << 40, 1, 5, "avg", 0, &r),
       [](const void *v) { return std::to_string(((const VELM_PerfInfo *)v)->maxValue); }},
      {VELM_VT_POLICY_INFO, policy(),
       [](const void *v) { return std::string(((const VELM_PolicyInfo *)v)->attributes[0]->value); }},
      {VELM_VT_PERMISSION_INFO,
       permissionInfo_Create(c, names.get(), nullptr, nullptr, nullptr, names.get(), 0, &r),
       [](const void *v) { return std::string(((const VELM_PermissionInfo *)v)->J2EERolesGranted[0]); }},
      {VELM_VT_PROVISIONING_INFO, provisioningInfo_Create(c, "acct", "res", nullptr, 0, &r),
       [](const void *v) { return std::string(((const VELM_ProvisioningInfo *)v)->accountId); }},
      {VELM_VT_REGISTRY_INFO, registryInfo_Create(c, "ldap", "host", "Hostname", "389", 0, &r),
       [](const void *v) { return std::string(((const VELM_RegistryInfo *)v)->serverPort); }},
      {VELM_VT_REGISTRY_OBJECT_INFO,
       registryObjectInfo_Create(c, "o", "reg", "t", "d", attrArray(), 0, 0, &r),
       [](const void *v) { return std::string(((const VELM_RegistryObjectInfo *)v)->registryName); }},
      {VELM_VT_RESOURCE_INFO, resourceInfo_Create(c, "a", "p", "t", attrArray(), 0, 0, &r),
       [](const void *v) { return std::string(((const VELM_ResourceInfo *)v)->nameInPolicy); }},
      {VELM_VT_TARGET_INFO, targetInfo_Create(c, names.get(), attrArray(), 0, 0, &r),
       [](const void *v) { return std::string(((const VELM_TargetInfo *)v)->targetNames[1]); }},
      {VELM_VT_USER_INFO,
       userInfo_Create(c, "reg", "app", 99, names.get(), nullptr, nullptr, nullptr, "SNA", "s", attrArray(),
                       0, 0, &r),
       [](const void *v) {
         auto *u = (const VELM_UserInfo *)v;
         return std::to_string(u->uniqueId) + u->callerList[0] + u->attributes[0]->name;
       }},
      {VELM_VT_WORK_ITEM_INFO, workItemInfo_Create(c, "wi", "type", 0, &r),
       [](const void *v) { return std::string(((const VELM_WorkItemInfo *)v)->id); }},
      {VELM_VT_ATTRIBUTE_ARRAY, attrArray(),
       [](const void *v) { return std::string(((VELM_Attribute *const *)v)[0]->value); }},
      {VELM_VT_ATTRIBUTE_PERMISSION_INFO_ARRAY, arrOf(attrPerm()),
       [](const void *v) {
         return std::string(((VELM_AttributePermissionInfo *const *)v)[0]->attributeNames[0]);
       }},
      {VELM_VT_MEMBERSHIP_INFO_ARRAY, arrOf(membership()),
       [](const void *v) { return std::string(((VELM_MembershipInfo *const *)v)[0]->type); }},
      {VELM_VT_POLICY_INFO_ARRAY, arrOf(policy()),
       [](const void *v) { return std::string(((VELM_PolicyInfo *const *)v)[0]->attributes[0]->name); }},
  };
  ASSERT_EQ(samples.size(), 22u);
  ASSERT_EQ(r.count(), 0) << r.texts()[0];
  for (auto &s : samples) {
    SCOPED_TRACE(s.type);
    ASSERT_NE(s.value, nullptr);
    Result rc;
    void *copy = infoRecord_Copy(ctx_, s.type, s.value, &rc);
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, s.value);
    EXPECT_EQ(s.key(copy), s.key(s.value));
    EXPECT_EQ(infoRecord_Release(ctx_, s.type, copy, &rc), 0);
    // The original is intact after its copy went, and is released by type.
    EXPECT_FALSE(s.key(s.value).empty());
    infoRecord_Delete(ctx_, s.type, s.value);
    EXPECT_EQ(rc.count(), 0);
  }
}

TEST_F(NestedInfoTest, InfoRecordCopyRefusesWhatItCannotCopy) {
  VELM_UserInfo bad{};
  bad.registryUserName = const_cast<char *>("reg");
  bad.appUserName = const_cast<char *>("app");
  bad.locationType = const_cast<char *>("ipv4");
  struct Case {
    int type;
    const void *value;
    std::vector<std::string> texts;
  };
  int dummy = 0;
  std::vector<Case> cases = {
      {VELM_VT_USER_INFO, &bad, {msg8("locationType", "ipv4")}},
      {VELM_VT_USER_INFO, nullptr, {msg9("value")}},
      {VELM_VT_DATETIME, &dummy, {msg8("valueType", "4")}},
      {27, &dummy, {msg8("valueType", "27")}},
  };
  for (auto &tc : cases) {
    SCOPED_TRACE(tc.type);
    Result r;
    EXPECT_EQ(velm::infoRecord_Copy(ctx_, tc.type, tc.value, &r), nullptr);
    EXPECT_EQ(r.texts(), tc.texts);
  }
  Result r;
  EXPECT_EQ(velm::infoRecord_Release(ctx_, 27, &dummy, &r), -1);
  EXPECT_EQ(velm::infoRecord_Release(ctx_, VELM_VT_USER_INFO, nullptr, &r), 0);
}

}  // namespace
