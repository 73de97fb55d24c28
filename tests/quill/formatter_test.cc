#include <xercesc/dom/DOM.hpp>
#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>
#include <xercesc/util/PlatformUtils.hpp>

#include <ctime>
#include <memory>

#include "collector.h"

namespace velm::test {
namespace {

// 2026-12-08 19:44:31.123 UTC.
constexpr int64_t kTime = 1796759071123LL;

class FormatterTest : public ToolkitTest {
 protected:
  QlgObject *formatter(const char *name, const char *cls) {
    QlgObject *f = QlgGetObject(name, cls);
    held_.push_back(f);
    return f;
  }
  void TearDown() override {
    for (QlgObject *f : held_) QlgReleaseObject(f);
    setenv("TZ", "UTC", 1);
    tzset();
    ToolkitTest::TearDown();
  }
  std::string format(QlgObject *f, QlgEvent &event) {
    std::scoped_lock lock(qlgIntlApiLock());
    char *text = f->cls->format(f, &event);
    std::string out = text ? text : "<null>";
    std::free(text);
    return out;
  }
  static QlgEvent traceEvent(int level, const char *text) {
    QlgEvent e;
    e.time = kTime;
    e.level = level;
    e.message.text = text;
    return e;
  }
  static QlgEvent messageEvent(int level, const char *text) {
    QlgEvent e = traceEvent(level, text);
    e.isMessage = 1;
    return e;
  }
  std::vector<QlgObject *> held_;
};

TEST_F(FormatterTest, DateCarriesTheLocalOffset) {
  struct Case {
    const char *tz;
    int64_t millis;
    const char *expected;
  } cases[] = {
      {"UTC", kTime, "2026-12-08 19:44:31.123+00:00"},
      {"CET-1", kTime, "2026-12-08 20:44:31.123+01:00"},
      {"EST5EDT,M3.2.0,M11.1.0", 1780318800007LL, "2026-06-01 09:00:00.007-04:00"},
      {"<+0530>-5:30", 1768458600500LL, "2026-01-15 12:00:00.500+05:30"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.tz);
    setenv("TZ", c.tz, 1);
    tzset();
    std::scoped_lock lock(qlgIntlApiLock());
    EXPECT_EQ(qlgIntlFormatDate(nullptr, c.millis), c.expected);
  }
}

TEST_F(FormatterTest, DateTimeFormatProperty) {
  QlgObject *f = formatter("fmt.date", "qlg_basicformatter");
  QlgSetObjProp(f, "dateTimeFormat", "%d/%m/%Y");
  QlgSetObjProp(f, "separator", "|");
  QlgEvent e = traceEvent(3000, "x");
  EXPECT_EQ(format(f, e), "08/12/2026|x\n");
}

TEST_F(FormatterTest, BasicLayouts) {
  QlgObject *plain = formatter("fmt.basic", "qlg_basicformatter");
  QlgObject *bar = formatter("fmt.bar", "qlg_basicformatter");
  QlgSetObjProp(bar, "separator", "|");
  QlgEvent noSource = traceEvent(3000, "text");
  EXPECT_EQ(format(bar, noSource), "2026-12-08 19:44:31.123+00:00|text\n");
  QlgEvent full = traceEvent(3000, "n=%d");
  full.params.push_back(QlgParam{QLG_INT, 5, 0, {}});
  full.properties = {{"qlg_prop_srcfile", "context"}, {"qlg_prop_srcfunction", "[create]"},
                     {"qlg_prop_srcline", "42"},      {"server", "srv"},
                     {"organization", "org"},         {"client", "cli"}};
  EXPECT_EQ(format(plain, full), "2026-12-08 19:44:31.123+00:00 context [create] 42 org cli srv n=5\n");
}

TEST_F(FormatterTest, XmlMessageWithRecognisedId) {
  QlgObject *f = formatter("fmt.xml", "qlg_xmlformatter");
  QlgEvent e = messageEvent(4000, "DXACC0001E Something %s");
  e.message.catalog = "velmmsg";
  e.message.set = 2;
  e.message.key = 1;
  e.params.push_back(QlgParam{QLG_STRING, 0, 0, "bad"});
  e.properties = {{"product", "velm"}, {"extra", "v"}, {"client", "alice"}};
  EXPECT_EQ(format(f, e),
            "<Message Id=\"DXACC0001E\" Severity=\"INFO\">\n"
            " <Time Millis=\"1796759071123\">2026-12-08 19:44:31.123+00:00</Time>\n"
            " <ProductId>velm</ProductId>\n"
            " <LogText><![CDATA[DXACC0001E Something bad]]></LogText>\n"
            " <LogAttribs><Key>extra</Key><Value>v</Value></LogAttribs>\n"
            " <TranslationInfo Type=\"XPG4\" Catalog=\"velmmsg\" MsgKey=\"1\" SetId=\"2\">"
            "<Param><![CDATA[bad]]></Param></TranslationInfo>\n"
            " <Principal>alice</Principal>\n"
            "</Message>\n");
}

TEST_F(FormatterTest, XmlTraceWithoutSource) {
  QlgObject *f = formatter("fmt.xmltrace", "qlg_xmlformatter");
  QlgEvent e = traceEvent(3000, "flow");
  e.properties = {{"threadId", "7"}, {"processId", "42"}};
  EXPECT_EQ(format(f, e),
            "<Trace Level=\"MIN\">\n"
            " <Time Millis=\"1796759071123\">2026-12-08 19:44:31.123+00:00</Time>\n"
            " <LogText><![CDATA[flow]]></LogText>\n"
            " <Source FileName=\"None\" Method=\"None\"/>\n"
            " <Thread>7</Thread>\n"
            " <Process>42</Process>\n"
            "</Trace>\n");
  QlgEvent always = traceEvent(-9999, "t");
  always.properties = {{"qlg_prop_srcfile", "a.cc"}, {"qlg_prop_srcline", "3"}};
  std::string out = format(f, always);
  EXPECT_EQ(out.substr(0, 8), "<Trace>\n");
  EXPECT_NE(out.find(" <Source FileName=\"a.cc\" Line=\"3\"/>\n"), std::string::npos) << out;
}

TEST_F(FormatterTest, XmlForceFlagsAndSingleProductLines) {
  QlgObject *f = formatter("fmt.xmlforce", "qlg_xmlformatter");
  QlgEvent trace = traceEvent(6000, "NoId here");
  QlgSetObjProp(f, "forceAsMessage", "true");
  EXPECT_EQ(format(f, trace).substr(0, 37), "<Message Id=\"None\" Severity=\"ERROR\">\n");
  QlgSetObjProp(f, "forceAsTrace", "true");  // both set: the event decides
  EXPECT_EQ(format(f, trace).substr(0, 22), "<Trace Level=\"ERROR\">\n");
  QlgSetObjProp(f, "forceAsMessage", nullptr);  // removed reads as false
  QlgSetObjProp(f, "forceAsTrace", nullptr);

  QlgSetObjProp(f, "singleProduct", "true");
  {
    std::scoped_lock lock(qlgIntlApiLock());
    EXPECT_EQ(f->cls->getHeader(f), nullptr);  // sets emitSingle again
  }
  QlgEvent e = traceEvent(4000, "x");
  e.properties = {{"product", "velm"}, {"component", "comp"}};
  std::string first = format(f, e);
  EXPECT_EQ(first.rfind(" <ProductId>velm</ProductId>\n<Trace", 0), 0u) << first;
  EXPECT_NE(first.find(" <Component>comp</Component>\n"), std::string::npos);
  std::string second = format(f, e);
  EXPECT_EQ(second.find("ProductId"), std::string::npos) << second;
}

TEST_F(FormatterTest, TraceLayout) {
  QlgObject *f = formatter("fmt.trace", "qlg_orvtraceformatter");
  QlgEvent e = messageEvent(5000, "DXACC0002E went wrong");
  e.properties = {{"server", "host.example.org"},   {"processId", "42"},  {"threadId", "7"},
                  {"qlg_prop_srcfile", "client"}, {"qlg_prop_srcfunction", "[send]"}, {"qlg_prop_srcline", "9"}};
  EXPECT_EQ(format(f, e), "\x1e[2026-12-08 19:44:31.123+00:00] - WARN  - host - p42:t7 - client:[send](9) - "
                          "DXACC0002E - DXACC0002E went wrong\n");
  QlgEvent bare = traceEvent(3000, "x");
  EXPECT_EQ(format(f, bare), "\x1e[2026-12-08 19:44:31.123+00:00] -  MIN  -  -  -  -  - x\n");
}

// Parses text inside a wrapper element and returns the document, or null
// when it is not well-formed XML. The parser goes with the document.
class LogParser {
 public:
  LogParser() {
    xercesc::XMLPlatformUtils::Initialize();
    parser_ = std::make_unique<xercesc::XercesDOMParser>();
    parser_->setDoNamespaces(false);
    parser_->setLoadExternalDTD(false);
    parser_->setCreateEntityReferenceNodes(false);
  }
  ~LogParser() {
    parser_.reset();
    xercesc::XMLPlatformUtils::Terminate();
  }
  xercesc::DOMElement *parse(const std::string &records) {
    text_ = "<Log>\n" + records + "</Log>\n";
    xercesc::MemBufInputSource in(reinterpret_cast<const XMLByte *>(text_.data()), text_.size(), "log");
    try {
      parser_->parse(in);
    } catch (...) {
      return nullptr;
    }
    if (parser_->getErrorCount() != 0 || parser_->getDocument() == nullptr) return nullptr;
    return parser_->getDocument()->getDocumentElement();
  }

 private:
  std::unique_ptr<xercesc::XercesDOMParser> parser_;
  std::string text_;
};

std::string utf8(const XMLCh *s) {
  char *t = xercesc::XMLString::transcode(s);
  std::string out = t ? t : "";
  xercesc::XMLString::release(&t);
  return out;
}

std::string textOf(xercesc::DOMElement *e) { return e ? utf8(e->getTextContent()) : "<absent>"; }

std::string attrOf(xercesc::DOMElement *e, const char *name) {
  if (e == nullptr) return "<absent>";
  XMLCh *n = xercesc::XMLString::transcode(name);
  std::string out = utf8(e->getAttribute(n));
  xercesc::XMLString::release(&n);
  return out;
}

// The element children of e, by name, in document order.
std::vector<std::pair<std::string, xercesc::DOMElement *>> childrenOf(xercesc::DOMElement *e) {
  std::vector<std::pair<std::string, xercesc::DOMElement *>> out;
  for (auto *c = e->getFirstElementChild(); c != nullptr; c = c->getNextElementSibling())
    out.emplace_back(utf8(c->getTagName()), c);
  return out;
}

xercesc::DOMElement *child(xercesc::DOMElement *e, const std::string &name, int nth = 0) {
  for (auto &[n, c] : childrenOf(e))
    if (n == name && nth-- == 0) return c;
  return nullptr;
}

TEST_F(FormatterTest, XmlRecordsKeepTheirStructureWhateverTheValues) {
  const char *hostile[] = {
      "http://h/a]]><injected evil=\"1\"/><![CDATA[b",
      "</LogText><injected/>",
      "a\"b' c&d <e> f",
      "]]>",
      "x]]]]>y]]>]]>z",
      "&amp; &#60; <![CDATA[",
      "",
  };
  LogParser parser;
  for (int asMessage = 0; asMessage < 2; ++asMessage) {
    for (const char *v : hostile) {
      SCOPED_TRACE(std::string(asMessage ? "message " : "trace ") + v);
      QlgObject *f = formatter(asMessage ? "fmt.xmlhostile.msg" : "fmt.xmlhostile.trace", "qlg_xmlformatter");
      QlgEvent e = asMessage ? messageEvent(6000, "url %s") : traceEvent(3000, "url %s");
      if (asMessage) {
        e.message.catalog = v;
        e.msgId = v;
      }
      e.params.push_back(QlgParam{QLG_STRING, 0, 0, v});
      e.properties = {{"server", v},          {"serverFormat", v},    {"product", v},
                      {"component", v},       {"productInstance", v}, {"client", v},
                      {"correlationId", v},   {"threadId", v},        {"processId", v},
                      {"qlg_prop_srcfile", v}, {"qlg_prop_srcfunction", v},
                      {std::string("k") + v, v}};
      const std::string out = format(f, e);
      xercesc::DOMElement *log = parser.parse(out);
      ASSERT_NE(log, nullptr) << out;
      auto records = childrenOf(log);
      ASSERT_EQ(records.size(), 1u) << out;
      xercesc::DOMElement *r = records[0].second;
      EXPECT_EQ(records[0].first, asMessage ? "Message" : "Trace");
      std::vector<std::string> names;
      for (auto &[n, c] : childrenOf(r)) names.push_back(n);
      std::vector<std::string> expected = {"Time", "Server", "ProductId", "Component", "ProductInstance",
                                           "LogText", "LogAttribs", "Source"};
      if (asMessage) expected.push_back("TranslationInfo");
      else expected.insert(expected.end(), {"Thread", "Process"});
      expected.insert(expected.end(), {"CorrelationId", "Principal"});
      EXPECT_EQ(names, expected) << out;

      EXPECT_EQ(textOf(child(r, "LogText")), std::string("url ") + v);
      EXPECT_EQ(textOf(child(r, "Server")), v);
      EXPECT_EQ(attrOf(child(r, "Server"), "Format"), v);
      EXPECT_EQ(textOf(child(r, "Principal")), v);
      EXPECT_EQ(attrOf(child(r, "Source"), "FileName"), v);
      EXPECT_EQ(attrOf(child(r, "Source"), "Method"), v);
      xercesc::DOMElement *attribs = child(r, "LogAttribs");
      ASSERT_NE(attribs, nullptr);
      EXPECT_EQ(textOf(child(attribs, "Key")), std::string("k") + v);
      EXPECT_EQ(textOf(child(attribs, "Value")), v);
      if (asMessage) {
        EXPECT_EQ(attrOf(r, "Id"), *v != '\0' ? v : "None");
        xercesc::DOMElement *info = child(r, "TranslationInfo");
        EXPECT_EQ(attrOf(info, "Catalog"), v);
        EXPECT_EQ(textOf(child(info, "Param")), v);
      } else {
        EXPECT_EQ(textOf(child(r, "Thread")), v);
      }
    }
  }
}

TEST(MessageId, Recognition) {
  struct Case {
    const char *text;
    const char *id;
  } cases[] = {
      {"DXACC0001E text", "DXACC0001E"}, {"ABC123I", "ABC123I"},     {"ABC123456W x", "ABC123456W"},
      {"ABC12I", ""},                    {"ABCD12345E", "ABCD12345E"}, {"ABCD123456E", ""},
      {"ABCDE12W", "ABCDE12W"},          {"ABCDEF123I", "ABCDEF123I"}, {"ABCDEF1234I", ""},
      {"AB1234E", ""},                   {"ABC123X", ""},             {"", ""},
      {"QLGBC0070W The", "QLGBC0070W"}, {"QLGLG01E No", "QLGLG01E"},         {"ABCDEFG123E", ""},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(qlgIntlRecogniseMsgId(c.text), c.id);
  }
}

}  // namespace
}  // namespace velm::test
