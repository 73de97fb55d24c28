// Shared pieces of the XML tests: the library started once per test
// program, result records that clean themselves, and a small tree model of
// serialised text for comparing documents node by node.
#pragma once

#include <gtest/gtest.h>
#include <xercesc/dom/DOM.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>
#include <xercesc/util/TransService.hpp>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "cbe/element.h"
#include "velm.h"

namespace velm::test {

// Starts the XML library for the whole test program and stops it at the end.
class XmlEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { ASSERT_EQ(initializeXMLParser(), 0); }
  void TearDown() override { terminateXMLParser(); }
};

// A client context for building events, with its logs in a scratch
// directory. Element text is UTF-8 throughout.
class TestContext {
 public:
  TestContext() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "velmcbe.XXXXXX").string();
    if (mkdtemp(tmpl.data()) == nullptr) return;
    dir_ = tmpl;
    const std::string errorFile = dir_ + "/error.log";
    const VELM_Property props[] = {{"serverURL", VELM_VT_STRING, "http://127.0.0.1:1/audit"},
      {"useDiskCache", VELM_VT_STRING, "never"},
                                   {"elementCodeSet", VELM_VT_STRING, "UTF8"},
                                   {"errorFilePath", VELM_VT_STRING, errorFile.c_str()},
                                   {nullptr, 0, nullptr}};
    VELM_result r{};
    ctx_ = VELM_AuditClientContext_Create(props, &r);
    if (ctx_ == nullptr && r.numErrors > 0) ADD_FAILURE() << "context: " << r.errors[0].message;
    VELM_Result_Clean(&r);
  }
  ~TestContext() {
    VELM_result r{};
    if (ctx_ != nullptr) VELM_AuditClientContext_Delete(ctx_, &r);
    VELM_Result_Clean(&r);
    std::error_code ec;
    if (!dir_.empty()) std::filesystem::remove_all(dir_, ec);
  }
  TestContext(const TestContext &) = delete;
  TestContext &operator=(const TestContext &) = delete;
  VELM_AuditClientContext *get() const { return ctx_; }

 private:
  std::string dir_;
  VELM_AuditClientContext *ctx_ = nullptr;
};

struct Result {
  VELM_result r{};
  ~Result() { VELM_Result_Clean(&r); }
  VELM_result *operator&() { return &r; }
  int count() const { return r.numErrors; }
  int code(int i = 0) const { return i < r.numErrors ? r.errors[i].code : 0; }
  std::string text(int i = 0) const {
    return i < r.numErrors && r.errors[i].message ? r.errors[i].message : std::string();
  }
  void clean() { VELM_Result_Clean(&r); }
};

struct FreeDeleter {
  void operator()(void *p) const { std::free(p); }
};
using HeapText = std::unique_ptr<char, FreeDeleter>;

// A parsed element: name, attributes in document order, text, children.
struct Node {
  std::string name;
  std::vector<std::pair<std::string, std::string>> attrs;
  std::string text;
  std::vector<Node> children;

  const std::string *attr(const std::string &key) const {
    for (const auto &[k, v] : attrs)
      if (k == key) return &v;
    return nullptr;
  }
  // Children with this element name, in order.
  std::vector<const Node *> all(const std::string &childName) const {
    std::vector<const Node *> out;
    for (const auto &c : children)
      if (c.name == childName) out.push_back(&c);
    return out;
  }
  // The child extended data element whose "name" attribute is n, or null.
  const Node *field(const std::string &n) const {
    for (const auto &c : children)
      if ((c.name == "children" || c.name == "extendedDataElements") && c.attr("name") && *c.attr("name") == n)
        return &c;
    return nullptr;
  }
  // The texts of the "values" children.
  std::vector<std::string> values() const {
    std::vector<std::string> out;
    for (const auto &c : children)
      if (c.name == "values") out.push_back(c.text);
    return out;
  }
  // The "name" attributes of the "children" children, in order.
  std::vector<std::string> fieldNames() const {
    std::vector<std::string> out;
    for (const auto &c : children)
      if (c.name == "children") out.push_back(c.attr("name") ? *c.attr("name") : "?");
    return out;
  }
};

inline std::string utf8Of(const XMLCh *text) {
  if (text == nullptr) return {};
  xercesc::TranscodeToStr t(text, "UTF-8");
  return reinterpret_cast<const char *>(t.str());
}

inline Node toNode(const xercesc::DOMElement *e) {
  Node n;
  n.name = utf8Of(e->getTagName());
  const xercesc::DOMNamedNodeMap *attrs = e->getAttributes();
  for (XMLSize_t i = 0; i < attrs->getLength(); ++i) {
    const xercesc::DOMNode *a = attrs->item(i);
    n.attrs.emplace_back(utf8Of(a->getNodeName()), utf8Of(a->getNodeValue()));
  }
  for (const xercesc::DOMNode *c = e->getFirstChild(); c != nullptr; c = c->getNextSibling()) {
    if (c->getNodeType() == xercesc::DOMNode::ELEMENT_NODE)
      n.children.push_back(toNode(static_cast<const xercesc::DOMElement *>(c)));
    else if (c->getNodeType() == xercesc::DOMNode::TEXT_NODE)
      n.text += utf8Of(c->getNodeValue());
  }
  return n;
}

// Parses text (one element) into a Node tree through the library's own
// parser; fails the test when it does not parse.
inline Node parseTree(const std::string &text) {
  Result r;
  XmlParser *parser = createXercesDOMParser(nullptr, &r);
  EXPECT_NE(parser, nullptr);
  if (parser == nullptr) return {};
  Node out;
  XmlDocument *doc = convertToDOM(nullptr, parser, text.c_str(), &r);
  EXPECT_NE(doc, nullptr) << r.text();
  if (doc != nullptr && doc->getDocumentElement() != nullptr) out = toNode(doc->getDocumentElement());
  deleteXercesDOMParser(parser);
  return out;
}

}  // namespace velm::test
