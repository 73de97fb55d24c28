// Event to Common Base Event: the reference event built through the public
// interface, the base elements wherever they stand, times and numbers, and
// the failures that abandon the conversion.
#include <sys/time.h>

#include <cstring>
#include <ctime>
#include <map>
#include <string>

#include "capis/event.h"
#include "cbe/cbe_test_util.h"
#include "cbe/sendEvent.h"
#include "cbe/velmToCBE.h"

namespace velm::test {
namespace {

// One context (which starts the XML library) for the whole program.
class ContextEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { context = std::make_unique<TestContext>(); }
  void TearDown() override { context.reset(); }
  static inline std::unique_ptr<TestContext> context;
};
const auto *const kEnv = ::testing::AddGlobalTestEnvironment(new ContextEnvironment);

VELM_AuditClientContext *ctx() { return ContextEnvironment::context->get(); }

class Event {
 public:
  explicit Event(const char *type = "AUDIT_AUTHN") {
    event_ = VELM_AuditEvent_Create(ctx(), type, &r);
    EXPECT_NE(event_, nullptr);
  }
  ~Event() {
    Result d;
    VELM_AuditEvent_Delete(event_, &d);
  }
  VELM_AuditEvent *get() const { return event_; }
  // The event string, or "(null)" with the reasons left in r.
  std::string xml() {
    HeapText text(velmAuditEventToXMLString(ctx(), event_, &r));
    return text ? text.get() : "(null)";
  }
  Node tree() { return parseTree(xml()); }
  Result r;

 private:
  VELM_AuditEvent *event_ = nullptr;
};

struct timeval at(int year, int mon, int day, int h, int m, int s, long usec) {
  struct tm t {};
  t.tm_year = year - 1900;
  t.tm_mon = mon - 1;
  t.tm_mday = day;
  t.tm_hour = h;
  t.tm_min = m;
  t.tm_sec = s;
  struct timeval tv {};
  tv.tv_sec = timegm(&t);
  tv.tv_usec = usec;
  return tv;
}

// Trees compared with attributes as a map: their order is the library's.
::testing::AssertionResult sameTree(const Node &want, const Node &got, const std::string &path = "") {
  const std::string here = path + "/" + want.name;
  if (want.name != got.name) return ::testing::AssertionFailure() << here << ": element " << got.name;
  std::map<std::string, std::string> wa(want.attrs.begin(), want.attrs.end());
  std::map<std::string, std::string> ga(got.attrs.begin(), got.attrs.end());
  if (wa != ga) {
    auto f = ::testing::AssertionFailure() << here << ": attributes";
    for (const auto &[k, v] : ga) f << " " << k << "=" << v;
    return f;
  }
  if (want.text != got.text) return ::testing::AssertionFailure() << here << ": text '" << got.text << "'";
  if (want.children.size() != got.children.size())
    return ::testing::AssertionFailure() << here << ": " << got.children.size() << " children";
  for (std::size_t i = 0; i < want.children.size(); ++i) {
    auto r = sameTree(want.children[i], got.children[i], here);
    if (!r) return r;
  }
  return ::testing::AssertionSuccess();
}

Node el(std::string name, std::vector<std::pair<std::string, std::string>> attrs, std::vector<Node> children = {},
        std::string text = "") {
  return Node{std::move(name), std::move(attrs), std::move(text), std::move(children)};
}
Node values(std::string text) { return el("values", {}, {}, std::move(text)); }
Node field(const std::string &n, const std::string &type, const std::string &value) {
  return el("children", {{"name", n}, {"type", type}}, {values(value)});
}

TEST(ConvertToCBE, WorkedExampleAsTreeAndAsText) {
  Event e;
  Result &r = e.r;
  VELM_AuditClientContext *c = ctx();
  const struct timeval stamp = at(2006, 3, 1, 10, 20, 30, 250000);
  ASSERT_NE(VELM_AuditEvent_AddDateTimeElement(e.get(), "timestamp", &stamp, 1, &r), nullptr);
  VELM_ComponentId *source = VELM_ComponentId_Create(c, "10.1.2.3", "IPV4", "portal", nullptr, "login", "Authenticator",
                                                     "Application", "pam", nullptr, nullptr, nullptr, &r);
  ASSERT_NE(VELM_AuditEvent_AddComponentIdElement(e.get(), "sourceComponentId", source, 0, &r), nullptr);
  VELM_Outcome *outcome = VELM_Outcome_Create(c, "SUCCESSFUL", 0, 0, nullptr, &r);
  ASSERT_NE(VELM_AuditEvent_AddOutcomeElement(e.get(), "outcome", outcome, 0, &r), nullptr);
  VELM_UserInfo *user = VELM_UserInfo_Create(c, "user1", "user1", 0, nullptr, nullptr, nullptr, nullptr, nullptr,
                                             nullptr, nullptr, 1, &r);
  ASSERT_NE(VELM_AuditEvent_AddUserInfoElement(e.get(), "userInfo", user, 0, &r), nullptr);
  ASSERT_NE(VELM_AuditEvent_AddStringElement(e.get(), "authnType", "password", 1, &r), nullptr);
  VELM_AuditElement *client = VELM_AuditEvent_AddStringElement(e.get(), "clientInfo", "agent", 1, &r);
  ASSERT_NE(client, nullptr);
  ASSERT_NE(VELM_AuditElement_AddIntegerElement(c, client, "version", 3, &r), nullptr);
  ASSERT_EQ(r.count(), 0) << r.text();

  const std::string text = e.xml();
  const Node want = el(
      "CommonBaseEvent",
      {{"version", "1.0.1"}, {"extensionName", "KTO_DXA_AUDIT_AUTHN"}, {"creationTime", "2006-03-01T10:20:30.250000Z"}},
      {el("situation", {{"categoryName", "ReportSituation"}},
          {el("situationType", {{"reportCategory", "SECURITY"}, {"reasoningScope", "INTERNAL"}})}),
       el("sourceComponentId", {{"location", "10.1.2.3"},
                                {"locationType", "IPV4"},
                                {"application", "portal"},
                                {"component", "login"},
                                {"componentType", "Authenticator"},
                                {"componentIdType", "Application"},
                                {"subComponent", "pam"}}),
       el("extendedDataElements", {{"name", "outcome"}, {"type", "string"}},
          {values("VELMComplexType:VELMAuditOutcome"), field("result", "string", "SUCCESSFUL"),
           field("majorStatus", "int", "0"), field("minorStatus", "int", "0")}),
       el("extendedDataElements", {{"name", "userInfo"}, {"type", "string"}},
          {values("VELMComplexType:VELMAuditUserInfo"), field("registryUserName", "string", "user1"),
           field("appUserName", "string", "user1"), field("uniqueId", "int", "0")}),
       el("extendedDataElements", {{"name", "authnType"}, {"type", "string"}}, {values("password")}),
       el("extendedDataElements", {{"name", "clientInfo"}, {"type", "string"}},
          {values("agent"), field("version", "int", "3")}),
       el("extendedDataElements", {{"name", "VELMEventVersion"}, {"type", "string"}}, {values("6.0")})});
  EXPECT_TRUE(sameTree(want, parseTree(text)));

  // The library writes an element's attributes sorted by name.
  EXPECT_EQ(text,
            "<CommonBaseEvent creationTime=\"2006-03-01T10:20:30.250000Z\" extensionName=\"KTO_DXA_AUDIT_AUTHN\" "
            "version=\"1.0.1\">"
            "<situation categoryName=\"ReportSituation\">"
            "<situationType reasoningScope=\"INTERNAL\" reportCategory=\"SECURITY\"/></situation>"
            "<sourceComponentId application=\"portal\" component=\"login\" componentIdType=\"Application\" "
            "componentType=\"Authenticator\" location=\"10.1.2.3\" locationType=\"IPV4\" subComponent=\"pam\"/>"
            "<extendedDataElements name=\"outcome\" type=\"string\"><values>VELMComplexType:VELMAuditOutcome</values>"
            "<children name=\"result\" type=\"string\"><values>SUCCESSFUL</values></children>"
            "<children name=\"majorStatus\" type=\"int\"><values>0</values></children>"
            "<children name=\"minorStatus\" type=\"int\"><values>0</values></children></extendedDataElements>"
            "<extendedDataElements name=\"userInfo\" type=\"string\"><values>VELMComplexType:VELMAuditUserInfo</values>"
            "<children name=\"registryUserName\" type=\"string\"><values>user1</values></children>"
            "<children name=\"appUserName\" type=\"string\"><values>user1</values></children>"
            "<children name=\"uniqueId\" type=\"int\"><values>0</values></children></extendedDataElements>"
            "<extendedDataElements name=\"authnType\" type=\"string\"><values>password</values></extendedDataElements>"
            "<extendedDataElements name=\"clientInfo\" type=\"string\"><values>agent</values>"
            "<children name=\"version\" type=\"int\"><values>3</values></children></extendedDataElements>"
            "<extendedDataElements name=\"VELMEventVersion\" type=\"string\"><values>6.0</values>"
            "</extendedDataElements></CommonBaseEvent>");

  // The public extension hands out the same text.
  Result pr;
  HeapText viaPublic(VELM_AuditEvent_ToXML(e.get(), &pr));
  ASSERT_TRUE(viaPublic);
  EXPECT_EQ(viaPublic.get(), text);
  EXPECT_EQ(pr.count(), 0);
}

TEST(ConvertToCBE, EventWithoutElementsHasOnlyTheFrame) {
  Event e("MY_TYPE");
  EXPECT_EQ(e.xml(),
            "<CommonBaseEvent extensionName=\"KTO_DXA_MY_TYPE\" version=\"1.0.1\">"
            "<situation categoryName=\"ReportSituation\">"
            "<situationType reasoningScope=\"INTERNAL\" reportCategory=\"SECURITY\"/></situation>"
            "<extendedDataElements name=\"VELMEventVersion\" type=\"string\"><values>6.0</values>"
            "</extendedDataElements></CommonBaseEvent>");
}

TEST(ConvertToCBE, BaseElementsBecomeRootAttributesAndChildren) {
  Event e;
  Result &r = e.r;
  const struct timeval stamp = at(2006, 3, 1, 10, 20, 30, 0);
  VELM_AuditEvent_AddDateTimeElement(e.get(), "timestamp", &stamp, 1, &r);
  VELM_AuditEvent_AddStringElement(e.get(), "auditMsg", "hello", 1, &r);
  VELM_AuditEvent_AddLongElement(e.get(), "sequenceNumber", -1, &r);
  VELM_AuditEvent_AddStringElement(e.get(), "globalInstanceId", "G1", 1, &r);
  VELM_ComponentId reporter{};
  reporter.threadId = const_cast<char *>("t9");
  VELM_AuditEvent_AddElement(e.get(), "reporterComponentId", VELM_VT_COMPONENT_ID, &reporter, 0, &r);
  ASSERT_EQ(r.count(), 0) << r.text();
  const Node n = e.tree();
  e.get()->elements[4]->value = nullptr;  // the record lives on this stack

  EXPECT_EQ(*n.attr("creationTime"), "2006-03-01T10:20:30Z");
  EXPECT_EQ(*n.attr("msg"), "hello");
  EXPECT_EQ(*n.attr("sequenceNumber"), "-1");
  EXPECT_EQ(*n.attr("globalInstanceId"), "G1");
  ASSERT_EQ(n.children.size(), 3u);
  EXPECT_EQ(n.children[1].name, "reporterComponentId");
  EXPECT_EQ(n.children[1].attrs, (std::vector<std::pair<std::string, std::string>>{{"threadId", "t9"}}));
  EXPECT_EQ(*n.children[2].attr("name"), "VELMEventVersion");  // no other extended data element
}

TEST(ConvertToCBE, TimesAndSequenceNumbers) {
  struct Case {
    long usec;
    const char *text;
  };
  for (const Case &c : {Case{0, "2006-03-01T10:20:30Z"}, Case{1, "2006-03-01T10:20:30.000001Z"},
                        Case{250000, "2006-03-01T10:20:30.250000Z"}, Case{999999, "2006-03-01T10:20:30.999999Z"}}) {
    SCOPED_TRACE(c.usec);
    const struct timeval t = at(2006, 3, 1, 10, 20, 30, c.usec);
    Result r;
    HeapText text(convertTodateTimeFormat(ctx(), &t, &r));
    ASSERT_TRUE(text);
    EXPECT_STREQ(text.get(), c.text);
    // The same text as an ordinary dateTime element.
    Event e;
    VELM_AuditEvent_AddDateTimeElement(e.get(), "when", &t, 1, &e.r);
    const Node tree = e.tree();
    const Node *when = tree.field("when");
    ASSERT_NE(when, nullptr);
    EXPECT_EQ(*when->attr("type"), "dateTime");
    EXPECT_EQ(when->values(), std::vector<std::string>{c.text});
  }
  for (int64_t v : {INT64_C(-1), INT64_C(0), INT64_C(2147483648), INT64_C(1099511627781), INT64_MAX, INT64_MIN}) {
    SCOPED_TRACE(v);
    Event e;
    VELM_AuditEvent_AddLongElement(e.get(), "sequenceNumber", v, &e.r);
    VELM_AuditEvent_AddLongElement(e.get(), "count", v, &e.r);
    const Node n = e.tree();
    EXPECT_EQ(*n.attr("sequenceNumber"), std::to_string(v));
    EXPECT_EQ(n.field("count")->values(), std::vector<std::string>{std::to_string(v)});
    EXPECT_EQ(*n.field("count")->attr("type"), "long");
  }
}

TEST(ConvertToCBE, BaseNamesWithOtherTypesAreOrdinaryElements) {
  Event e;
  Result &r = e.r;
  VELM_AuditEvent_AddStringElement(e.get(), "timestamp", "yesterday", 1, &r);
  VELM_AuditEvent_AddIntegerElement(e.get(), "sequenceNumber", 5, &r);
  VELM_AuditEvent_AddIntegerElement(e.get(), "auditMsg", 7, &r);
  const Node n = e.tree();
  EXPECT_EQ(n.attr("creationTime"), nullptr);
  EXPECT_EQ(n.attr("sequenceNumber"), nullptr);
  EXPECT_EQ(n.attr("msg"), nullptr);
  EXPECT_EQ(n.field("timestamp")->values(), std::vector<std::string>{"yesterday"});
  EXPECT_EQ(*n.field("sequenceNumber")->attr("type"), "int");
  EXPECT_EQ(*n.field("auditMsg")->attr("type"), "int");
}

TEST(ConvertToCBE, NestedBaseElementsStillReachTheRootAndLaterValuesWin) {
  Event e;
  Result &r = e.r;
  VELM_AuditEvent_AddStringElement(e.get(), "auditMsg", "first", 1, &r);
  VELM_AuditElement *holder = VELM_AuditEvent_AddStringElement(e.get(), "holder", "h", 1, &r);
  VELM_AuditElement_AddStringElement(ctx(), holder, "globalInstanceId", "nested-id", 1, &r);
  VELM_AuditElement_AddStringElement(ctx(), holder, "auditMsg", "second", 1, &r);
  VELM_AuditElement *deeper = VELM_AuditElement_AddStringElement(ctx(), holder, "deeper", "d", 1, &r);
  const struct timeval t = at(2020, 1, 2, 3, 4, 5, 0);
  VELM_AuditElement_AddDateTimeElement(ctx(), deeper, "timestamp", &t, 1, &r);
  ASSERT_EQ(r.count(), 0) << r.text();

  const Node n = e.tree();
  EXPECT_EQ(*n.attr("globalInstanceId"), "nested-id");
  EXPECT_EQ(*n.attr("msg"), "second");
  EXPECT_EQ(*n.attr("creationTime"), "2020-01-02T03:04:05Z");
  const Node *h = n.field("holder");
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(h->fieldNames(), std::vector<std::string>{"deeper"});
  EXPECT_TRUE(h->field("deeper")->fieldNames().empty());
}

TEST(ConvertToCBE, RecordUnderAStringElementIsATypedChild) {
  Event e;
  Result &r = e.r;
  VELM_AuditElement *s = VELM_AuditEvent_AddStringElement(e.get(), "action", "login", 1, &r);
  VELM_Outcome *o = VELM_Outcome_Create(ctx(), "UNSUCCESSFUL", 5, 7, "bad password", &r);
  VELM_AuditElement_AddOutcomeElement(ctx(), s, "outcome", o, 0, &r);
  ASSERT_EQ(r.count(), 0) << r.text();
  const Node n = e.tree();
  const Node *child = n.field("action")->field("outcome");
  ASSERT_NE(child, nullptr);
  EXPECT_EQ(child->name, "children");
  EXPECT_EQ(*child->attr("type"), "string");
  EXPECT_EQ(child->values(), std::vector<std::string>{"VELMComplexType:VELMAuditOutcome"});
  EXPECT_EQ(child->fieldNames(), (std::vector<std::string>{"result", "majorStatus", "minorStatus", "failureReason"}));
}

TEST(ConvertToCBE, UnknownValueTypeFailsWithMessage14) {
  for (int type : {0, 27, -3}) {
    SCOPED_TRACE(type);
    Event e;
    VELM_AuditEvent_AddStringElement(e.get(), "fine", "x", 1, &e.r);
    VELM_AuditElement *bad = VELM_AuditEvent_AddIntegerElement(e.get(), "odd", 1, &e.r);
    ASSERT_NE(bad, nullptr);
    bad->valueType = type;
    EXPECT_EQ(e.xml(), "(null)");
    ASSERT_EQ(e.r.count(), 1);
    EXPECT_EQ(e.r.code(), 14);
    EXPECT_EQ(e.r.text(), "DXACC0014E The predefined element, odd , has a value type that is not valid: " +
                              std::to_string(type) + " .");
    bad->valueType = VELM_VT_INTEGER;
  }
}

TEST(ConvertToCBE, ElementWithoutValueFailsTheConversion) {
  Event e;
  VELM_AuditElement *s = VELM_AuditEvent_AddStringElement(e.get(), "s", "x", 1, &e.r);
  void *saved = s->value;
  s->value = nullptr;
  EXPECT_EQ(e.xml(), "(null)");
  EXPECT_EQ(e.r.count(), 0);
  // The public extension says why in any case.
  Result pr;
  EXPECT_EQ(VELM_AuditEvent_ToXML(e.get(), &pr), nullptr);
  EXPECT_EQ(pr.code(), 25);
  s->value = saved;

  Result nr;
  EXPECT_EQ(VELM_AuditEvent_ToXML(nullptr, &nr), nullptr);
  EXPECT_EQ(nr.code(), 12);
}

// One string that cannot be written (an adopted record may hold anything)
// is left out and named; the rest of the audit record is still delivered.
TEST(ConvertToCBE, StringThatCannotBeWrittenIsLeftOutAndTheEventStillGoes) {
  char bad[] = "caf\xE9";
  char good[] = "ok";
  char *callers[] = {good, bad, nullptr};
  VELM_UserInfo user{};
  user.registryUserName = good;
  user.appUserName = good;
  user.callerList = callers;
  Event e;
  VELM_AuditEvent_AddElement(e.get(), "userInfo", VELM_VT_USER_INFO, &user, 0, &e.r);
  const std::string xml = e.xml();
  EXPECT_NE(xml.find("<children name=\"callerList\" type=\"stringArray\"><values>ok</values></children>"),
            std::string::npos)
      << xml;
  EXPECT_EQ(e.r.code(1), 8);
  EXPECT_NE(e.r.text(1).find("userInfo.callerList[1]"), std::string::npos) << e.r.text(1);
  e.get()->elements[0]->value = nullptr;
}

}  // namespace
}  // namespace velm::test
