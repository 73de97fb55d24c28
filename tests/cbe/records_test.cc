// The encoders of the info records and record arrays: field order, kinds
// and presence rules, typed and untyped forms, and the two CBE-native forms.
#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "cbe/cbe_test_util.h"
#include "cbe/velmToCBE.h"

namespace velm::test {
namespace {

const auto *const kEnv = ::testing::AddGlobalTestEnvironment(new XmlEnvironment);

char *S(const char *text) { return const_cast<char *>(text); }

// A document whose root is the record node handed to an encoder.
class Encoded {
 public:
  Encoded() {
    doc = createDocument(nullptr, "extendedDataElements", &r);
    node = getRootElement(nullptr, doc, &r);
  }
  ~Encoded() { deleteDocument(nullptr, doc, &r); }
  Node tree() {
    HeapText text(convertToString(nullptr, node, &r));
    return text ? parseTree(text.get()) : Node{};
  }
  Result r;
  XmlDocument *doc = nullptr;
  XmlElement *node = nullptr;
};

// "name:type" of every "children" child, in order.
std::vector<std::string> layout(const Node &n) {
  std::vector<std::string> out;
  for (const Node &c : n.children)
    if (c.name == "children") out.push_back(*c.attr("name") + ":" + *c.attr("type"));
  return out;
}

// Records with every field set. Hand-built records start with a zero magic
// word: the encoders read fields, never the handle check.
char *kList1[] = {S("a1"), S("a2"), nullptr};
char *kList2[] = {S("b1"), nullptr};
char *kEmpty[] = {nullptr};
VELM_Attribute kAttr1{0, S("an"), S("av"), S("as")};
VELM_Attribute kAttr2{0, S("bn"), S("bv"), nullptr};
VELM_Attribute *kAttrs[] = {&kAttr1, &kAttr2, nullptr};
VELM_AttributePermissionInfo kAttrPerm{0, kList1, kList2, kList1, kList2};
VELM_ComponentId kComponent{0, S("loc"), S("IPV4"), S("app"), S("env"),  S("comp"), S("ctype"),
                            S("idtype"), S("sub"), S("inst"), S("pid"), S("tid")};
VELM_HTTPURLInfo kHttp{0, S("http://x/"), S("GET"), 404, S("req"), S("resp")};
VELM_MembershipInfo kMember{0, S("group"), S("g1"), S("admins")};
VELM_TargetInfo kTarget{0, kList1, kAttrs};
VELM_MgmtInfo kMgmt{0, &kTarget, S("restart")};
VELM_MsgDataElement kMsg{0, S("id"), S("idtype"), S("catid"), kList1, S("cat"), S("cattype"), S("en_US")};
VELM_Outcome kOutcome{0, S("UNSUCCESSFUL"), 5, 7, S("denied")};
VELM_PerfInfo kPerf{0, S("p"), S("d"), 3, S("ms"), INT64_C(5000000000), -2, 7, S("avg")};
VELM_PolicyInfo kPolicy{0, S("pn"), S("pb"), S("pt"), S("pd"), kAttrs};
VELM_PermissionInfo kPerm{0, kList1, kList2, kList1, kList2, kList1};
VELM_ProvisioningInfo kProv{0, S("acct"), S("res"), S("rtype")};
VELM_RegistryInfo kRegistry{0, S("LDAP"), S("ldap.example"), S("Hostname"), S("389")};
VELM_RegistryObjectInfo kRegObj{0, S("on"), S("rn"), S("ot"), S("od"), kAttrs};
VELM_ResourceInfo kResource{0, S("app"), S("pol"), S("file"), kAttrs};
VELM_UserInfo kUser{0, S("ru"), S("au"), -4, kList1, S("dom"), S("realm"), S("loc"), S("IPV6"), S("sess"), kAttrs};
VELM_WorkItemInfo kWork{0, S("w1"), S("wt")};
VELM_Attribute *kAttrArray[] = {&kAttr1, &kAttr2, nullptr};
VELM_AttributePermissionInfo *kAttrPermArray[] = {&kAttrPerm, &kAttrPerm, nullptr};
VELM_MembershipInfo *kMemberArray[] = {&kMember, nullptr};
VELM_PolicyInfo *kPolicyArray[] = {&kPolicy, &kPolicy, nullptr};

using Encoder = std::function<int(XmlDocument *, XmlElement *, const char *, int, VELM_result *)>;

template <typename R, typename F>
Encoder record(F f, const R *rec) {
  return [f, rec](XmlDocument *d, XmlElement *n, const char *name, int typed, VELM_result *r) {
    return f(nullptr, d, n, name, typed, rec, r);
  };
}
Encoder array(int kind, const void *list) {
  return [kind, list](XmlDocument *d, XmlElement *n, const char *name, int typed, VELM_result *r) {
    return createElementArray(nullptr, d, n, kind, name, typed, list, r);
  };
}

struct Case {
  int type;
  const char *word;
  Encoder encode;
  std::vector<std::string> fields;
};

const std::vector<std::string> kAttributeList = {"attributes:noValue", "attributes:noValue"};

std::vector<std::string> plus(std::vector<std::string> a, const std::vector<std::string> &b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

std::vector<Case> allTypes() {
  return {
      {5, "VELMAuditAttribute", record(buildAttribute, &kAttr1), {"name:string", "value:string", "source:string"}},
      {6, "VELMAuditAttributePermissionInfo", record(buildAttributePermissionInfo, &kAttrPerm),
       {"attributeNames:stringArray", "checked:stringArray", "granted:stringArray", "denied:stringArray"}},
      {7, "VELMAuditComponentID",
       [](XmlDocument *d, XmlElement *n, const char *name, int typed, VELM_result *r) {
         return buildComponentId(nullptr, d, nullptr, n, name, typed, &kComponent, r);
       },
       {"location:string", "locationType:string", "application:string", "executionEnvironment:string",
        "component:string", "componentType:string", "componentIdType:string", "subComponent:string",
        "instanceId:string", "processId:string", "threadId:string"}},
      {8, "VELMAuditHTTPURLInfo", record(buildHTTPURLInfo, &kHttp),
       {"url:string", "method:string", "requestHeaders:string", "responseHeaders:string", "responseCode:int"}},
      {9, "VELMAuditMembershipInfo", record(buildMembershipInfo, &kMember), {"type:string", "id:string", "name:string"}},
      {10, "VELMAuditMgmtInfo", record(buildMgmtInfo, &kMgmt), {"targetInfo:noValue", "command:string"}},
      {11, "VELMAuditMgmtInfo",
       [](XmlDocument *d, XmlElement *n, const char *name, int typed, VELM_result *r) {
         return buildMsgDataElement(nullptr, d, nullptr, n, name, typed, &kMsg, r);
       },
       {"msgId:string", "msgIdType:string", "msgCatalogId:string", "msgCatalog:string", "msgCatalogType:string",
        "msgLocale:string", "msgCatalogTokens:stringArray"}},
      {12, "VELMAuditOutcome", record(buildOutcome, &kOutcome),
       {"result:string", "majorStatus:int", "minorStatus:int", "failureReason:string"}},
      {13, "VELMAuditPerfInfo", record(buildPerfInfo, &kPerf),
       {"name:string", "description:string", "numDataPoints:int", "unit:string", "maxValue:long", "minValue:long",
        "value:long", "aggregate:string"}},
      {14, "VELMAuditPolicyInfo", record(buildPolicyInfo, &kPolicy),
       plus({"name:string", "branch:string", "type:string", "description:string"}, kAttributeList)},
      {15, "VELMAuditPermissionInfo", record(buildPermissionInfo, &kPerm),
       {"checked:stringArray", "granted:stringArray", "denied:stringArray", "J2EERolesChecked:stringArray",
        "J2EERolesGranted:stringArray"}},
      {16, "VELMAuditProvisioningInfo", record(buildProvisioningInfo, &kProv),
       {"accountId:string", "resourceId:string", "resourceType:string"}},
      {17, "VELMAuditRegistryInfo", record(buildRegistryInfo, &kRegistry),
       {"type:string", "serverLocation:string", "serverLocationType:string", "serverPort:string"}},
      {18, "VELMAuditRegistryObjectInfo", record(buildRegistryObjectInfo, &kRegObj),
       plus({"name:string", "registryName:string", "type:string", "description:string"}, kAttributeList)},
      {19, "VELMAuditResourceInfo", record(buildResourceInfo, &kResource),
       plus({"nameInApp:string", "nameInPolicy:string", "type:string"}, kAttributeList)},
      {20, "VELMAuditTargetInfo", record(buildTargetInfo, &kTarget), plus({"targetNames:stringArray"}, kAttributeList)},
      {21, "VELMAuditUserInfo", record(buildUserInfo, &kUser),
       plus({"registryUserName:string", "appUserName:string", "domain:string", "realm:string", "location:string",
             "locationType:string", "sessionId:string", "uniqueId:int", "callerList:stringArray"},
            kAttributeList)},
      {22, "VELMAuditWorkItemInfo", record(buildWorkItemInfo, &kWork), {"id:string", "type:string"}},
      {23, "VELMAuditAttributeArray", array(23, kAttrArray), kAttributeList},
      {24, "VELMAuditAttributePermissionInfoArray", array(24, kAttrPermArray), {"value:noValue", "value:noValue"}},
      {25, "VELMAuditMembershipInfoArray", array(25, kMemberArray), {"value:noValue"}},
      {26, "VELMAuditPolicyInfoArray", array(26, kPolicyArray), {"value:noValue", "value:noValue"}},
  };
}

TEST(RecordEncoders, EveryTypeTypedAndUntyped) {
  for (const Case &c : allTypes()) {
    for (int typed : {1, 0}) {
      SCOPED_TRACE(std::to_string(c.type) + (typed ? " typed" : " untyped"));
      Encoded e;
      ASSERT_EQ(c.encode(e.doc, e.node, "rec", typed, &e.r), 0) << e.r.text();
      EXPECT_EQ(e.r.count(), 0);
      const Node n = e.tree();
      EXPECT_EQ(*n.attr("name"), "rec");
      EXPECT_EQ(*n.attr("type"), typed ? "string" : "noValue");
      if (typed) {
        ASSERT_FALSE(n.children.empty());
        EXPECT_EQ(n.children[0].name, "values");  // the type word comes first
        EXPECT_EQ(n.values(), std::vector<std::string>{std::string("VELMComplexType:") + c.word});
      } else {
        EXPECT_TRUE(n.values().empty());
      }
      EXPECT_EQ(layout(n), c.fields);
    }
  }
}

TEST(RecordEncoders, FieldValues) {
  Encoded e;
  ASSERT_EQ(buildUserInfo(nullptr, e.doc, e.node, "u", 1, &kUser, &e.r), 0);
  const Node n = e.tree();
  EXPECT_EQ(n.field("uniqueId")->values(), std::vector<std::string>{"-4"});
  EXPECT_EQ(n.field("callerList")->values(), (std::vector<std::string>{"a1", "a2"}));
  const auto attrs = n.all("children");
  const Node &second = *attrs[attrs.size() - 1];  // attribute lists come last, in list order
  EXPECT_EQ(layout(second), (std::vector<std::string>{"name:string", "value:string"}));
  EXPECT_EQ(second.field("name")->values(), std::vector<std::string>{"bn"});

  Encoded p;
  ASSERT_EQ(buildPerfInfo(nullptr, p.doc, p.node, "p", 1, &kPerf, &p.r), 0);
  EXPECT_EQ(p.tree().field("maxValue")->values(), std::vector<std::string>{"5000000000"});

  Encoded m;
  ASSERT_EQ(buildMgmtInfo(nullptr, m.doc, m.node, "m", 1, &kMgmt, &m.r), 0);
  const Node mt = m.tree();
  const Node *target = mt.field("targetInfo");
  EXPECT_TRUE(target->values().empty());
  EXPECT_EQ(layout(*target), plus({"targetNames:stringArray"}, kAttributeList));
  EXPECT_EQ(target->field("targetNames")->values(), (std::vector<std::string>{"a1", "a2"}));
}

TEST(RecordEncoders, PresenceRules) {
  struct Sparse {
    const char *what;
    Encoder encode;
    std::vector<std::string> fields;
  };
  static VELM_Outcome outcome{0, S("UNSUCCESSFUL"), 5, 7, nullptr};
  static VELM_PerfInfo perf{0, nullptr, nullptr, 0, nullptr, 0, 0, 0, nullptr};
  static VELM_Attribute *noAttrs[] = {nullptr};
  static VELM_UserInfo user{0, S("r"), S("a"), 0, kEmpty, nullptr, nullptr, nullptr, nullptr, nullptr, noAttrs};
  static VELM_PermissionInfo perm{0, kEmpty, kEmpty, kEmpty, kEmpty, kEmpty};
  static VELM_PermissionInfo permNull{};
  static VELM_ComponentId thread{};
  thread.threadId = S("t1");
  static VELM_MgmtInfo mgmt{};
  static VELM_MsgDataElement msg{};
  static VELM_PolicyInfo *noPolicies[] = {nullptr};
  const Sparse cases[] = {
      {"outcome without failure reason", record(buildOutcome, &outcome),
       {"result:string", "majorStatus:int", "minorStatus:int"}},
      {"perf info without strings", record(buildPerfInfo, &perf),
       {"numDataPoints:int", "maxValue:long", "minValue:long", "value:long"}},
      {"user info with empty lists", record(buildUserInfo, &user),
       {"registryUserName:string", "appUserName:string", "uniqueId:int"}},
      {"permission info with empty lists", record(buildPermissionInfo, &perm), {}},
      {"permission info with no lists", record(buildPermissionInfo, &permNull), {}},
      {"component id with a thread only",
       [](XmlDocument *d, XmlElement *n, const char *name, int typed, VELM_result *r) {
         return buildComponentId(nullptr, d, nullptr, n, name, typed, &thread, r);
       },
       {"threadId:string"}},
      {"empty management info", record(buildMgmtInfo, &mgmt), {}},
      {"empty message data element",
       [](XmlDocument *d, XmlElement *n, const char *name, int typed, VELM_result *r) {
         return buildMsgDataElement(nullptr, d, nullptr, n, name, typed, &msg, r);
       },
       {}},
      {"empty attribute array", array(23, noAttrs), {}},
      {"empty policy array", array(26, noPolicies), {}},
  };
  for (const Sparse &c : cases) {
    SCOPED_TRACE(c.what);
    Encoded e;
    ASSERT_EQ(c.encode(e.doc, e.node, "x", 1, &e.r), 0);
    const Node n = e.tree();
    EXPECT_EQ(layout(n), c.fields);
    EXPECT_EQ(n.values().size(), 1u);  // only the type word
  }
  // Nothing at all without a name or a list.
  Encoded e;
  EXPECT_EQ(createElementArray(nullptr, e.doc, e.node, 23, nullptr, 1, kAttrArray, &e.r), 0);
  EXPECT_EQ(createElementArray(nullptr, e.doc, e.node, 23, "x", 1, nullptr, &e.r), 0);
  EXPECT_EQ(e.tree().attrs.size(), 0u);
}

TEST(RecordEncoders, ArrayEntriesAreUntypedRecordsNamedValue) {
  Encoded e;
  ASSERT_EQ(createElementArray(nullptr, e.doc, e.node, 26, "policies", 1, kPolicyArray, &e.r), 0);
  const Node n = e.tree();
  for (const Node *entry : n.all("children")) {
    EXPECT_EQ(*entry->attr("name"), "value");
    EXPECT_EQ(*entry->attr("type"), "noValue");
    EXPECT_TRUE(entry->values().empty());
    EXPECT_EQ(layout(*entry),
              plus({"name:string", "branch:string", "type:string", "description:string"}, kAttributeList));
  }
  // An attribute array holds the attribute-list shape directly.
  Encoded a;
  ASSERT_EQ(createElementArray(nullptr, a.doc, a.node, 23, "attrs", 1, kAttrArray, &a.r), 0);
  const Node an = a.tree();
  EXPECT_EQ(layout(*an.all("children")[0]), (std::vector<std::string>{"name:string", "value:string", "source:string"}));
}

TEST(RecordEncoders, ArrayOfAnotherKindFailsWithMessage14) {
  for (int kind : {22, 27}) {
    SCOPED_TRACE(kind);
    Encoded e;
    EXPECT_EQ(createElementArray(nullptr, e.doc, e.node, kind, "arr", 1, kAttrArray, &e.r), -1);
    EXPECT_EQ(e.r.code(), 14);
    EXPECT_EQ(e.r.text(),
              "DXACC0014E The predefined element, arr , has a value type that is not valid: " + std::to_string(kind) +
                  " .");
  }
}

TEST(RecordEncoders, ComponentIdAttributeForm) {
  for (const char *name : {"sourceComponentId", "reporterComponentId"}) {
    SCOPED_TRACE(name);
    Encoded e;
    cbe_base_elts base{};
    ASSERT_EQ(buildComponentId(nullptr, e.doc, &base, nullptr, name, 1, &kComponent, &e.r), 0);
    XmlElement *built = std::strcmp(name, "sourceComponentId") == 0 ? base.sourceComponentId : base.reporterComponentId;
    ASSERT_NE(built, nullptr);
    HeapText text(convertToString(nullptr, built, &e.r));
    const Node n = parseTree(text.get());
    EXPECT_EQ(n.name, name);
    EXPECT_TRUE(n.children.empty());
    ASSERT_EQ(n.attrs.size(), 11u);
    EXPECT_EQ(*n.attr("subComponent"), "sub");
    EXPECT_EQ(n.attr("subcomponent"), nullptr);
    EXPECT_EQ(*n.attr("executionEnvironment"), "env");
  }
  Encoded e;
  cbe_base_elts base{};
  EXPECT_EQ(buildComponentId(nullptr, e.doc, &base, nullptr, "otherComponentId", 1, &kComponent, &e.r), -1);
  EXPECT_EQ(base.sourceComponentId, nullptr);
}

TEST(RecordEncoders, MessageDataElementCbeForm) {
  static char *tokens[] = {S("t1"), S("t2"), S("t3"), nullptr};
  VELM_MsgDataElement m = kMsg;
  m.msgCatalogTokens = tokens;
  Encoded e;
  cbe_base_elts base{};
  ASSERT_EQ(buildMsgDataElement(nullptr, e.doc, &base, nullptr, "auditMsgElement", 1, &m, &e.r), 0);
  ASSERT_NE(base.msgDataElement, nullptr);
  HeapText text(convertToString(nullptr, base.msgDataElement, &e.r));
  const Node n = parseTree(text.get());
  EXPECT_EQ(n.name, "msgDataElement");
  EXPECT_EQ(n.attrs, (std::vector<std::pair<std::string, std::string>>{{"msgLocale", "en_US"}}));
  std::vector<std::string> order;
  for (const Node &c : n.children) order.push_back(c.name + "=" + (c.attr("value") ? *c.attr("value") : c.text));
  EXPECT_EQ(order, (std::vector<std::string>{"msgCatalogTokens=t1", "msgCatalogTokens=t2", "msgCatalogTokens=t3",
                                             "msgId=id", "msgIdType=idtype", "msgCatalogId=catid",
                                             "msgCatalogType=cattype", "msgCatalog=cat"}));

  VELM_MsgDataElement empty{};
  cbe_base_elts base2{};
  ASSERT_EQ(buildMsgDataElement(nullptr, e.doc, &base2, nullptr, "auditMsgElement", 1, &empty, &e.r), 0);
  HeapText bare(convertToString(nullptr, base2.msgDataElement, &e.r));
  EXPECT_STREQ(bare.get(), "<msgDataElement/>");
}

TEST(RecordEncoders, StringArraysAndAttributeTables) {
  Encoded e;
  static char *strings[] = {S("x"), S("y"), nullptr};
  EXPECT_EQ(addArrayToElement(nullptr, e.doc, e.node, "values", 3, strings, &e.r), 0);
  EXPECT_EQ(e.tree().values(), (std::vector<std::string>{"x", "y"}));
  EXPECT_EQ(addArrayToElement(nullptr, e.doc, e.node, "values", 3, nullptr, &e.r), 0);
  EXPECT_EQ(addArrayToElement(nullptr, e.doc, nullptr, "values", 3, strings, &e.r), 0);
  EXPECT_EQ(e.r.count(), 0);

  const attr_val table[] = {{u"a", "1"}, {u"b", nullptr}, {u"c", "3"}, {}};
  Encoded t;
  EXPECT_EQ(addAttrsToElement(nullptr, t.doc, table, t.node, &t.r), 0);
  EXPECT_EQ(addChldsToElement(nullptr, t.doc, table, t.node, &t.r), 0);
  const Node n = t.tree();
  EXPECT_EQ(n.attrs, (std::vector<std::pair<std::string, std::string>>{{"a", "1"}, {"c", "3"}}));
  EXPECT_EQ(layout(n), (std::vector<std::string>{"a:string", "c:string"}));
  EXPECT_EQ(addAttrsToElement(nullptr, t.doc, nullptr, t.node, &t.r), -1);
  EXPECT_EQ(addChldsToElement(nullptr, t.doc, table, nullptr, &t.r), -1);
}

// The message data element has no type word of its own.
TEST(RecordEncoders, MessageDataElementValueBorrowsTheManagementTypeWord) {
  Encoded e;
  ASSERT_EQ(buildMsgDataElement(nullptr, e.doc, nullptr, e.node, "auditMsgElement", 1, &kMsg, &e.r), 0);
  EXPECT_EQ(e.tree().values(), std::vector<std::string>{"VELMComplexType:VELMAuditMgmtInfo"});
}

// One piece that cannot be written (not UTF-8 here) is left out and named
// in the result; the rest of the record is still written.
TEST(RecordEncoders, PieceThatCannotBeWrittenIsLeftOutAndNamed) {
  static char *bad[] = {S("ok"), S("\xFF"), nullptr};
  static VELM_Attribute badAttr{0, S("n"), S("\xC0"), nullptr};
  static VELM_Attribute *badAttrs[] = {&kAttr1, &badAttr, nullptr};
  static VELM_PolicyInfo policyBadAttr{0, S("p"), nullptr, S("t"), nullptr, badAttrs};
  static VELM_PolicyInfo policyBadName{0, S("\xFF"), nullptr, S("t"), nullptr, nullptr};
  static VELM_PolicyInfo *policies[] = {&policyBadName, &kPolicy, nullptr};
  static VELM_MembershipInfo badMember{0, S("group"), S("\xE9"), S("m")};
  static VELM_MembershipInfo *members[] = {&kMember, &badMember, nullptr};
  static VELM_UserInfo user{0, S("r"), S("a"), 0, bad, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
  static VELM_TargetInfo badTarget{0, bad, nullptr};
  static VELM_MgmtInfo mgmt{0, &badTarget, S("cmd")};
  static VELM_ComponentId component{0, S("loc"), S("IPV4"), S("app"), nullptr,  nullptr,      nullptr,
                                    nullptr,  nullptr,   nullptr,  S("pid"), S("\xF0\x9F")};
  struct Case {
    const char *what;
    Encoder encode;
    std::vector<std::string> fields;  // layout written
    const char *leftOut;              // as named in the message
  };
  const Case cases[] = {
      {"caller list entry",
       record(buildUserInfo, &user),
       {"registryUserName:string", "appUserName:string", "uniqueId:int", "callerList:stringArray"},
       "x.callerList[1]"},
      {"attribute of an attribute list",
       record(buildPolicyInfo, &policyBadAttr),
       {"name:string", "type:string", "attributes:noValue"},
       "x.attributes[1]"},
      {"entry of a policy array", array(26, policies), {"value:noValue"}, "x[0]"},
      {"entry of a membership array", array(25, members), {"value:noValue"}, "x[1]"},
      {"entry of an attribute array", array(23, badAttrs), {"attributes:noValue"}, "x[1]"},
      {"nested target info's list",
       record(buildMgmtInfo, &mgmt),
       {"targetInfo:noValue", "command:string"},
       "targetInfo.targetNames[1]"},
      {"component id field",
       [](XmlDocument *d, XmlElement *n, const char *name, int typed, VELM_result *r) {
         return buildComponentId(nullptr, d, nullptr, n, name, typed, &component, r);
       },
       {"location:string", "locationType:string", "application:string", "processId:string"},
       "x.threadId"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    Encoded e;
    EXPECT_EQ(c.encode(e.doc, e.node, "x", 1, &e.r), 0);
    EXPECT_EQ(layout(e.tree()), c.fields);
    ASSERT_EQ(e.r.count(), 2) << e.r.text();
    EXPECT_EQ(e.r.code(0), 62) << "the reason, from the XML layer";
    EXPECT_EQ(e.r.text(1), std::string("DXACC0008E The parameter, ") + c.leftOut +
                               " , passed to the function has a value that is not valid: it could not be "
                               "encoded and was left out of the event .");
  }
  // The written entries are whole: the caller list keeps its good string.
  Encoded u;
  buildUserInfo(nullptr, u.doc, u.node, "x", 1, &user, &u.r);
  const Node userTree = u.tree();
  const Node *callers = userTree.field("callerList");
  ASSERT_NE(callers, nullptr);
  EXPECT_EQ(callers->values(), std::vector<std::string>{"ok"});

  // The attribute form of a component id leaves out the one attribute.
  Encoded b;
  cbe_base_elts base{};
  ASSERT_EQ(buildComponentId(nullptr, b.doc, &base, nullptr, "sourceComponentId", 1, &component, &b.r), 0);
  ASSERT_NE(base.sourceComponentId, nullptr);
  ASSERT_EQ(addElementToElement(nullptr, b.node, base.sourceComponentId, &b.r), 0);
  const Node tree = b.tree();
  ASSERT_EQ(tree.children.size(), 1u);
  std::vector<std::string> names;
  for (const auto &[k, v] : tree.children[0].attrs) names.push_back(k);
  std::sort(names.begin(), names.end());  // the serialiser orders attributes by name
  EXPECT_EQ(names, (std::vector<std::string>{"application", "location", "locationType", "processId"}));
  EXPECT_NE(b.r.text(1).find("sourceComponentId.threadId"), std::string::npos) << b.r.text(1);
}

}  // namespace
}  // namespace velm::test
