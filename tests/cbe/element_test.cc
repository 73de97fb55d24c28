// The XML document helpers: missing parameters, library failures, escaping
// and UTF-8 under any locale, look-ups, and a parser that reads nothing but
// the text it is given.
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

#include <xercesc/dom/DOM.hpp>

#include "cbe/cbe_test_util.h"
#include "cbe/element.h"

namespace velm::test {
namespace {

const auto *const kEnv = ::testing::AddGlobalTestEnvironment(new XmlEnvironment);

class XmlHelpers : public ::testing::Test {
 protected:
  void SetUp() override {
    doc_ = createDocument(nullptr, "root", &r_);
    ASSERT_NE(doc_, nullptr);
    root_ = getRootElement(nullptr, doc_, &r_);
    ASSERT_NE(root_, nullptr);
  }
  void TearDown() override { EXPECT_EQ(deleteDocument(nullptr, doc_, &r_), 0); }

  XmlElement *child(const char *name) {
    XmlElement *e = createElement(nullptr, doc_, name, &r_);
    EXPECT_EQ(addElementToElement(nullptr, root_, e, &r_), 0);
    return e;
  }
  std::string serialised(XmlElement *e) {
    HeapText text(convertToString(nullptr, e, &r_));
    return text ? text.get() : "(null)";
  }

  Result r_;
  XmlDocument *doc_ = nullptr;
  XmlElement *root_ = nullptr;
};

TEST_F(XmlHelpers, MissingParameterNamesTheParameterAndFails) {
  XmlAttr *attr = createAttribute(nullptr, doc_, "a", "v", &r_);
  ASSERT_NE(attr, nullptr);
  XmlParser *parser = createXercesDOMParser(nullptr, &r_);
  ASSERT_NE(parser, nullptr);
  struct Case {
    const char *what;
    std::function<bool()> call;  // true when the call returned its failure value
    const char *word;
  };
  const Case cases[] = {
      {"getRootElement", [&] { return getRootElement(nullptr, nullptr, &r_) == nullptr; }, "doc"},
      {"createElement doc", [&] { return createElement(nullptr, nullptr, "x", &r_) == nullptr; }, "doc"},
      {"createElement name", [&] { return createElement(nullptr, doc_, static_cast<const char *>(nullptr), &r_) == nullptr; }, "name"},
      {"createAttribute doc", [&] { return createAttribute(nullptr, nullptr, nullptr, nullptr, &r_) == nullptr; }, "doc"},
      {"createAttribute name", [&] { return createAttribute(nullptr, doc_, nullptr, "v", &r_) == nullptr; }, "name"},
      {"createAttribute value", [&] { return createAttribute(nullptr, doc_, "a", nullptr, &r_) == nullptr; }, "value"},
      {"setAttribute element", [&] { return setAttribute(nullptr, nullptr, "a", "v", &r_) == -1; }, "element"},
      {"setAttribute name", [&] { return setAttribute(nullptr, root_, static_cast<const char *>(nullptr), "v", &r_) == -1; }, "name"},
      {"setAttribute value", [&] { return setAttribute(nullptr, root_, "a", static_cast<const char *>(nullptr), &r_) == -1; }, "value"},
      {"setAttributeValue attribute", [&] { return setAttributeValue(nullptr, nullptr, "v", &r_) == -1; }, "attribute"},
      {"setAttributeValue value", [&] { return setAttributeValue(nullptr, attr, nullptr, &r_) == -1; }, "value"},
      {"addElementToElement parent", [&] { return addElementToElement(nullptr, nullptr, root_, &r_) == -1; }, "pElement"},
      {"addElementToElement child", [&] { return addElementToElement(nullptr, root_, nullptr, &r_) == -1; }, "cElement"},
      {"addElementToElement both", [&] { return addElementToElement(nullptr, nullptr, nullptr, &r_) == -1; }, "cElement"},
      {"addAttributeToElement element", [&] { return addAttributeToElement(nullptr, nullptr, attr, &r_) == -1; }, "element"},
      {"addAttributeToElement attribute", [&] { return addAttributeToElement(nullptr, root_, nullptr, &r_) == -1; }, "attribute"},
      {"setElementData doc", [&] { return setElementData(nullptr, nullptr, root_, "t", &r_) == -1; }, "doc"},
      {"setElementData element", [&] { return setElementData(nullptr, doc_, nullptr, "t", &r_) == -1; }, "element"},
      {"setElementData data", [&] { return setElementData(nullptr, doc_, root_, static_cast<const char *>(nullptr), &r_) == -1; }, "data"},
      {"getElementData", [&] { return getElementData(nullptr, nullptr, &r_) == nullptr; }, "element"},
      {"getFirstChildElement", [&] { return getFirstChildElement(nullptr, nullptr, &r_) == nullptr; }, "element"},
      {"convertToString", [&] { return convertToString(nullptr, nullptr, &r_) == nullptr; }, "element"},
      {"deleteElement (0 all the same)", [&] { return deleteElement(nullptr, nullptr, &r_) == 0; }, "element"},
      {"getElementByTagName doc", [&] { return getElementByTagName(nullptr, nullptr, "t", &r_) == nullptr; }, "doc"},
      {"getElementByTagName tag", [&] { return getElementByTagName(nullptr, doc_, static_cast<const char *>(nullptr), &r_) == nullptr; }, "tagName"},
      {"convertToDOM parser", [&] { return convertToDOM(nullptr, nullptr, "<a/>", &r_) == nullptr; }, "parser"},
      {"convertToDOM text", [&] { return convertToDOM(nullptr, parser, nullptr, &r_) == nullptr; }, "xmlString"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    r_.clean();
    EXPECT_TRUE(c.call());
    ASSERT_EQ(r_.count(), 1);
    EXPECT_EQ(r_.code(), 9);
    EXPECT_EQ(r_.text(), std::string("DXACC0009E The required parameter '") + c.word + "' passed to the function was null.");
  }
  r_.clean();
  deleteXercesDOMParser(parser);
  deleteXercesDOMParser(nullptr);
  EXPECT_EQ(deleteDocument(nullptr, nullptr, &r_), 0);
  EXPECT_EQ(r_.count(), 0);
}

TEST_F(XmlHelpers, LibraryExceptionsBecomeMessage63WithOperationAndCode) {
  XmlDocument *other = createDocument(nullptr, "other", &r_);
  ASSERT_NE(other, nullptr);
  XmlElement *foreign = createElement(nullptr, other, "foreign", &r_);
  struct Case {
    const char *what;
    std::function<bool()> call;
    const char *word;
    int code;
  };
  const Case cases[] = {
      {"element name", [&] { return createElement(nullptr, doc_, "1 bad", &r_) == nullptr; }, "createElement()",
       xercesc::DOMException::INVALID_CHARACTER_ERR},
      {"attribute name", [&] { return setAttribute(nullptr, root_, "a b", "v", &r_) == -1; }, "setAttribute()",
       xercesc::DOMException::INVALID_CHARACTER_ERR},
      {"created attribute name", [&] { return createAttribute(nullptr, doc_, "<", "v", &r_) == nullptr; },
       "createAttribute()", xercesc::DOMException::INVALID_CHARACTER_ERR},
      {"node of another document", [&] { return addElementToElement(nullptr, root_, foreign, &r_) == -1; },
       "addElementToElement()", xercesc::DOMException::WRONG_DOCUMENT_ERR},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    r_.clean();
    EXPECT_TRUE(c.call());
    ASSERT_EQ(r_.count(), 1);
    EXPECT_EQ(r_.code(), 63);
    EXPECT_EQ(r_.text(), std::string("DXACC0063E An error occured while processing the Velmara event. The function ") +
                             c.word + " failed with the following error: " + std::to_string(c.code));
  }
  r_.clean();
  EXPECT_EQ(deleteElement(nullptr, foreign, &r_), 0);  // releases the other document
}

TEST_F(XmlHelpers, SerialisedElementIsOneLineWithoutDeclaration) {
  XmlElement *a = child("a");
  ASSERT_EQ(setAttribute(nullptr, a, "k", "v", &r_), 0);
  ASSERT_EQ(setElementData(nullptr, doc_, a, "text", &r_), 0);
  child("b");
  EXPECT_EQ(serialised(root_), "<root><a k=\"v\">text</a><b/></root>");
  EXPECT_EQ(serialised(a), "<a k=\"v\">text</a>");
  EXPECT_EQ(r_.count(), 0);
}

// The texts go straight between UTF-8 and the library's UTF-16, so the
// process locale plays no part.
TEST_F(XmlHelpers, SpecialAndNonAsciiCharactersRoundTripUnderTheCLocale) {
  const std::string saved = std::setlocale(LC_ALL, nullptr);
  std::setlocale(LC_ALL, "C");
  const char *const texts[] = {"say \"hi\" & <bye> 'x'", "Jos\xC3\xA9 \xE2\x82\xAC \xF0\x9D\x84\x9E", "a\tb\nc"};
  for (const char *t : texts) {
    SCOPED_TRACE(t);
    XmlDocument *doc = createDocument(nullptr, "e", &r_);
    XmlElement *e = getRootElement(nullptr, doc, &r_);
    ASSERT_EQ(setAttribute(nullptr, e, "v", t, &r_), 0);
    ASSERT_EQ(setElementData(nullptr, doc, e, t, &r_), 0);
    HeapText text(convertToString(nullptr, e, &r_));
    ASSERT_TRUE(text);
    EXPECT_EQ(std::strchr(text.get() + 1, '<'), std::strstr(text.get(), "</e>")) << "markup in the text: " << text.get();

    Node n = parseTree(text.get());
    ASSERT_NE(n.attr("v"), nullptr);
    EXPECT_EQ(*n.attr("v"), t);
    EXPECT_EQ(n.text, t);

    // getElementData hands the text back as UTF-8.
    XmlParser *parser = createXercesDOMParser(nullptr, &r_);
    XmlDocument *parsed = convertToDOM(nullptr, parser, text.get(), &r_);
    ASSERT_NE(parsed, nullptr);
    XmlNode *textNode = getFirstChildElement(nullptr, getRootElement(nullptr, parsed, &r_), &r_);
    HeapText back(getElementData(nullptr, textNode, &r_));
    ASSERT_TRUE(back);
    EXPECT_STREQ(back.get(), t);
    deleteXercesDOMParser(parser);
    EXPECT_EQ(deleteElement(nullptr, e, &r_), 0);
  }
  std::setlocale(LC_ALL, saved.c_str());
  EXPECT_EQ(r_.count(), 0) << r_.text();
}

TEST_F(XmlHelpers, EscapesInTheSerialisedText) {
  XmlElement *a = child("a");
  ASSERT_EQ(setAttribute(nullptr, a, "k", "\"&<", &r_), 0);
  ASSERT_EQ(setElementData(nullptr, doc_, a, "&<>", &r_), 0);
  EXPECT_EQ(serialised(a), "<a k=\"&quot;&amp;&lt;\">&amp;&lt;&gt;</a>");
}

TEST_F(XmlHelpers, TextThatIsNotUTF8IsRefused) {
  const char *const bad[] = {"caf\xE9", "\xFF", "ends in \xE2\x82"};
  for (const char *t : bad) {
    SCOPED_TRACE(t);
    r_.clean();
    EXPECT_EQ(setElementData(nullptr, doc_, root_, t, &r_), -1);
    ASSERT_EQ(r_.count(), 1);
    EXPECT_EQ(r_.code(), 62);
    EXPECT_NE(r_.text().find("The function setElementData() failed"), std::string::npos) << r_.text();
  }
  r_.clean();
  EXPECT_EQ(setAttribute(nullptr, root_, "k", "\xC0", &r_), -1);
  EXPECT_EQ(r_.code(), 62);
  EXPECT_EQ(root_->getFirstChild(), nullptr);
}

// A character XML cannot carry must not produce text the server rejects.
TEST_F(XmlHelpers, CharacterXmlCannotHoldFailsTheSerialisation) {
  XmlElement *a = child("a");
  ASSERT_EQ(setElementData(nullptr, doc_, a, "bell \x07", &r_), 0);
  EXPECT_EQ(convertToString(nullptr, a, &r_), nullptr);
  ASSERT_EQ(r_.count(), 1);
  EXPECT_EQ(r_.code(), 63);
  EXPECT_NE(r_.text().find("convertToString()"), std::string::npos);
  // The thread's serialiser is still good for the next element.
  r_.clean();
  EXPECT_EQ(serialised(child("b")), "<b/>");
}

TEST_F(XmlHelpers, LookUps) {
  XmlElement *first = child("t");
  ASSERT_EQ(setAttribute(nullptr, first, "n", "1", &r_), 0);
  XmlElement *holder = child("h");
  XmlElement *nested = createElement(nullptr, doc_, "t", &r_);
  ASSERT_EQ(addElementToElement(nullptr, holder, nested, &r_), 0);
  ASSERT_EQ(setElementData(nullptr, doc_, nested, "7", &r_), 0);

  EXPECT_EQ(getElementByTagName(nullptr, doc_, "t", &r_), first);
  EXPECT_EQ(getElementByTagName(nullptr, doc_, "none", &r_), nullptr);

  XmlNode *text = getFirstChildElement(nullptr, nested, &r_);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(text->getNodeType(), xercesc::DOMNode::TEXT_NODE);
  HeapText value(getElementData(nullptr, text, &r_));
  ASSERT_TRUE(value);
  EXPECT_STREQ(value.get(), "7");
  EXPECT_EQ(getFirstChildElement(nullptr, first, &r_), nullptr);
  EXPECT_EQ(getElementData(nullptr, first, &r_), nullptr);  // an element has no value of its own
  EXPECT_EQ(r_.count(), 0);
}

TEST_F(XmlHelpers, LaterAttributeOfTheSameNameReplacesTheEarlier) {
  XmlAttr *a1 = createAttribute(nullptr, doc_, "k", "one", &r_);
  XmlAttr *a2 = createAttribute(nullptr, doc_, "k", "two", &r_);
  ASSERT_EQ(addAttributeToElement(nullptr, root_, a1, &r_), 0);
  ASSERT_EQ(addAttributeToElement(nullptr, root_, a2, &r_), 0);
  ASSERT_EQ(setAttributeValue(nullptr, a2, "three", &r_), 0);
  ASSERT_EQ(setAttribute(nullptr, root_, "j", "x", &r_), 0);
  ASSERT_EQ(setAttribute(nullptr, root_, "j", "y", &r_), 0);
  // The library keeps an element's attributes sorted by name.
  EXPECT_EQ(serialised(root_), "<root j=\"y\" k=\"three\"/>");
}

TEST_F(XmlHelpers, DeleteElementOnANestedElementReleasesItsDocument) {
  XmlDocument *doc = createDocument(nullptr, "r", &r_);
  XmlElement *inner = createElement(nullptr, doc, "i", &r_);
  ASSERT_EQ(addElementToElement(nullptr, getRootElement(nullptr, doc, &r_), inner, &r_), 0);
  EXPECT_EQ(deleteElement(nullptr, inner, &r_), 0);  // the sanitiser build sees a leak otherwise
  EXPECT_EQ(r_.count(), 0);
}

// Damage is no failure: the document keeps what came before it, and the
// elements the damage cut into are told apart from whole ones.
TEST(XmlParse, DamagedTextKeepsWhatCameBeforeTheDamage) {
  struct Case {
    const char *text;
    const char *serialised;  // the root as parsed, "" when there is none
    std::vector<const char *> whole, cut;
  };
  const Case cases[] = {
      {"", "", {}, {}},
      {"not xml", "", {}, {}},
      {"<a>", "<a/>", {}, {"a"}},
      {"<a><b>1</b><c>2", "<a><b>1</b><c>2</c></a>", {"b"}, {"a", "c"}},
      {"<a><b/><c x=\"1\"/></b>", "<a><b/><c x=\"1\"/></a>", {"b", "c"}, {"a"}},
      {"<a/><b/>", "<a/>", {"a"}, {}},
      {"<a>1</a>&x;", "<a>1</a>", {"a"}, {}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.text);
    Result r;
    XmlParser *parser = createXercesDOMParser(nullptr, &r);
    XmlDocument *doc = convertToDOM(nullptr, parser, c.text, &r);
    ASSERT_NE(doc, nullptr) << r.text();
    EXPECT_EQ(r.count(), 0) << r.text();
    EXPECT_NE(parseDamage(parser), nullptr);
    xercesc::DOMElement *root = doc->getDocumentElement();
    std::string serialised;
    if (root != nullptr) {
      HeapText text(convertToString(nullptr, root, &r));
      serialised = text ? text.get() : "(null)";
    }
    EXPECT_EQ(serialised, c.serialised);
    for (const char *name : c.whole) {
      XmlElement *e = getElementByTagName(nullptr, doc, name, &r);
      ASSERT_NE(e, nullptr) << name;
      EXPECT_TRUE(parsedWhole(parser, e)) << name;
    }
    for (const char *name : c.cut) {
      XmlElement *e = getElementByTagName(nullptr, doc, name, &r);
      ASSERT_NE(e, nullptr) << name;
      EXPECT_FALSE(parsedWhole(parser, e)) << name;
    }
    deleteXercesDOMParser(parser);
  }
  // Undamaged text: everything is whole and nothing is reported.
  Result r;
  XmlParser *parser = createXercesDOMParser(nullptr, &r);
  XmlDocument *doc = convertToDOM(nullptr, parser, "<a><b/></a>", &r);
  ASSERT_NE(doc, nullptr);
  EXPECT_EQ(parseDamage(parser), nullptr);
  EXPECT_TRUE(parsedWhole(parser, doc->getDocumentElement()));
  deleteXercesDOMParser(parser);
}

TEST(XmlParse, AdoptedDocumentOutlivesItsParser) {
  Result r;
  XmlParser *parser = createXercesDOMParser(nullptr, &r);
  XmlDocument *doc = convertToDOM(nullptr, parser, "<a x=\"1\"><b/></a>", &r);
  ASSERT_NE(doc, nullptr);
  XmlDocument *adopted = parser->adoptDocument();
  ASSERT_EQ(adopted, doc);
  deleteXercesDOMParser(parser);
  HeapText text(convertToString(nullptr, getRootElement(nullptr, adopted, &r), &r));
  EXPECT_STREQ(text.get(), "<a x=\"1\"><b/></a>");
  EXPECT_EQ(deleteDocument(nullptr, adopted, &r), 0);
  EXPECT_EQ(r.count(), 0);
}

class TempSecret : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (std::filesystem::temp_directory_path() / "velmcbe.XXXXXX").string();
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    dir_ = tmpl;
    std::ofstream(dir_ + "/secret.txt") << "TOPSECRET";
    std::ofstream(dir_ + "/ext.dtd") << "<!ENTITY leak SYSTEM \"file://" << dir_ << "/secret.txt\">";
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string url(const char *name) const { return "file://" + dir_ + "/" + name; }

  // The parsed text of doc, or "(no document)".
  std::string parsedText(const std::string &doc, Result &r) {
    XmlParser *parser = createXercesDOMParser(nullptr, &r);
    XmlDocument *d = convertToDOM(nullptr, parser, doc.c_str(), &r);
    std::string out = "(no document)";
    if (d != nullptr && d->getDocumentElement() != nullptr) out = utf8Of(d->getDocumentElement()->getTextContent());
    deleteXercesDOMParser(parser);
    return out;
  }
  std::string dir_;
};

TEST_F(TempSecret, ExternalEntitiesAndDtdsAreNeverRead) {
  const std::string docs[] = {
      "<!DOCTYPE d [<!ENTITY x SYSTEM \"" + url("secret.txt") + "\">]><d>[&x;]</d>",
      "<!DOCTYPE d SYSTEM \"" + url("ext.dtd") + "\"><d>[&leak;]</d>",
      "<!DOCTYPE d [<!ENTITY % p SYSTEM \"" + url("ext.dtd") + "\"> %p;]><d>[&leak;]</d>",
      "<!DOCTYPE d [<!ENTITY x SYSTEM \"http://127.0.0.1:9/secret\">]><d>[&x;]</d>",
  };
  for (const std::string &doc : docs) {
    SCOPED_TRACE(doc);
    Result r;
    const std::string text = parsedText(doc, r);
    EXPECT_EQ(text.find("TOPSECRET"), std::string::npos);
  }
  // The internal subset itself is harmless and still understood.
  Result r;
  EXPECT_EQ(parsedText("<!DOCTYPE d [<!ENTITY x \"inner\">]><d>[&x;]</d>", r), "[inner]");
}

TEST(XmlParse, EntityExpansionIsBounded) {
  std::string doc = "<!DOCTYPE d [<!ENTITY a \"aaaaaaaaaa\">";
  const char *prev = "a";
  const char *names[] = {"b", "c", "d", "e", "f", "g"};
  for (const char *n : names) {
    doc += std::string("<!ENTITY ") + n + " \"";
    for (int i = 0; i < 10; ++i) doc += std::string("&") + prev + ";";
    doc += "\">";
    prev = n;
  }
  doc += "]><d>&g;</d>";
  Result r;
  XmlParser *parser = createXercesDOMParser(nullptr, &r);
  EXPECT_EQ(convertToDOM(nullptr, parser, doc.c_str(), &r), nullptr);
  EXPECT_EQ(r.code(), 62);
  deleteXercesDOMParser(parser);
}

// Each thread keeps its own serialiser; a stop releases all of them and the
// next start makes new ones.
TEST(XmlLibrary, StartsAndStopsOnceAndRenewsEveryThreadsSerialiser) {
  const XmlLibraryState before = xmlLibraryState();
  EXPECT_TRUE(before.running);
  EXPECT_EQ(before.starts, before.stops + 1);

  auto convertOnce = [] {
    Result r;
    XmlDocument *doc = createDocument(nullptr, "t", &r);
    HeapText text(convertToString(nullptr, getRootElement(nullptr, doc, &r), &r));
    deleteDocument(nullptr, doc, &r);
    return std::string(text ? text.get() : "(null)");
  };
  std::string fromThread;
  std::thread worker([&] { fromThread = convertOnce(); });
  worker.join();
  EXPECT_EQ(fromThread, "<t/>");
  EXPECT_EQ(convertOnce(), "<t/>");

  terminateXMLParser();
  terminateXMLParser();  // a second stop does nothing
  EXPECT_FALSE(xmlLibraryState().running);
  ASSERT_EQ(initializeXMLParser(), 0);
  EXPECT_EQ(convertOnce(), "<t/>");

  const XmlLibraryState after = xmlLibraryState();
  EXPECT_EQ(after.starts, before.starts + 1);
  EXPECT_EQ(after.stops, before.stops + 1);
}

}  // namespace
}  // namespace velm::test
