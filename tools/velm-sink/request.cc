#include "request.h"

#include <memory>
#include <xercesc/dom/DOM.hpp>
#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>
#include <xercesc/sax/ErrorHandler.hpp>
#include <xercesc/sax/SAXParseException.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/SecurityManager.hpp>
#include <xercesc/util/TransService.hpp>
#include <xercesc/util/XMLEntityResolver.hpp>
#include <xercesc/util/XMLString.hpp>

namespace velm::sink {
namespace x = xercesc;

namespace {

constexpr std::u16string_view kSoapEnvNs = u"http://schemas.xmlsoap.org/soap/envelope/";
constexpr std::u16string_view kVelmNs = u"urn:kto:velm:10";

std::u16string_view view(const XMLCh *s) {
  return s == nullptr ? std::u16string_view() : std::u16string_view(s);
}

std::string utf8(const XMLCh *s) {
  if (s == nullptr) return {};
  // Not the local code page: the sink may run without any locale.
  x::TranscodeToStr t(s, "UTF-8");
  return std::string(reinterpret_cast<const char *>(t.str()), t.length());
}

bool is(const x::DOMElement *e, std::u16string_view ns, std::u16string_view local) {
  return e != nullptr && view(e->getLocalName()) == local && view(e->getNamespaceURI()) == ns;
}

class Errors : public x::ErrorHandler {
 public:
  void warning(const x::SAXParseException &) override {}
  void error(const x::SAXParseException &e) override { note(e); }
  void fatalError(const x::SAXParseException &e) override { note(e); }
  void resetErrors() override { text.clear(); }
  std::string text;

 private:
  void note(const x::SAXParseException &e) {
    if (text.empty()) text = utf8(e.getMessage()) + " at line " + std::to_string(e.getLineNumber());
  }
};

// Never fetch anything from outside the request.
class NoEntities : public x::XMLEntityResolver {
 public:
  x::InputSource *resolveEntity(x::XMLResourceIdentifier *) override {
    throw x::SAXException("external entities are not read");
  }
};

std::string_view localName(std::string_view qname) {
  std::size_t colon = qname.find(':');
  return colon == std::string_view::npos ? qname : qname.substr(colon + 1);
}

// Finds the raw content of every event element directly under
// Envelope/Body/sendEvent, in order. The body was (or will be) checked by the
// XML parser; this scanner only needs to know where markup starts and ends.
bool rawEvents(std::string_view body, std::vector<std::string_view> &out, std::string &error) {
  std::vector<std::string_view> stack;
  std::size_t contentStart = 0;
  std::size_t i = 0;
  auto skipTo = [&](std::string_view end) {
    std::size_t p = body.find(end, i);
    if (p == std::string_view::npos) return false;
    i = p + end.size();
    return true;
  };
  auto inSendEvent = [&] {
    return stack.size() == 3 && localName(stack[0]) == "Envelope" && localName(stack[1]) == "Body" &&
           localName(stack[2]) == "sendEvent";
  };
  while (i < body.size()) {
    if (body[i] != '<') {
      std::size_t p = body.find('<', i);
      i = p == std::string_view::npos ? body.size() : p;
      continue;
    }
    std::string_view rest = body.substr(i);
    if (rest.starts_with("<!--")) {
      if (!skipTo("-->")) break;
    } else if (rest.starts_with("<![CDATA[")) {
      if (!skipTo("]]>")) break;
    } else if (rest.starts_with("<?")) {
      if (!skipTo("?>")) break;
    } else if (rest.starts_with("<!")) {
      error = "a DOCTYPE is not accepted";
      return false;
    } else {
      std::size_t tagStart = i;
      bool endTag = rest.starts_with("</");
      std::size_t nameStart = i + (endTag ? 2 : 1);
      std::size_t p = nameStart;
      char quote = 0;
      while (p < body.size() && (quote != 0 || body[p] != '>')) {
        if (quote != 0) {
          if (body[p] == quote) quote = 0;
        } else if (body[p] == '"' || body[p] == '\'') {
          quote = body[p];
        }
        ++p;
      }
      if (p >= body.size()) break;
      std::size_t nameEnd = body.find_first_of(" \t\r\n/>", nameStart);
      std::string_view name = body.substr(nameStart, nameEnd - nameStart);
      bool selfClosing = !endTag && body[p - 1] == '/';
      i = p + 1;
      if (endTag) {
        if (stack.empty()) break;
        stack.pop_back();
        if (stack.size() == 3 && inSendEvent())
          out.push_back(body.substr(contentStart, tagStart - contentStart));
      } else if (selfClosing) {
        if (inSendEvent() && localName(name) == "event") out.push_back({});
      } else {
        if (inSendEvent() && localName(name) == "event") contentStart = i;
        stack.push_back(name);
      }
      continue;
    }
  }
  if (!stack.empty() || i < body.size()) {
    error = "the request is not well-formed";
    return false;
  }
  return true;
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\n' || s.front() == '\r'))
    s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\n' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

const x::DOMElement *firstElement(const x::DOMNode *parent) {
  for (const x::DOMNode *n = parent->getFirstChild(); n != nullptr; n = n->getNextSibling())
    if (n->getNodeType() == x::DOMNode::ELEMENT_NODE) return static_cast<const x::DOMElement *>(n);
  return nullptr;
}

const x::DOMElement *nextElement(const x::DOMNode *node) {
  for (const x::DOMNode *n = node->getNextSibling(); n != nullptr; n = n->getNextSibling())
    if (n->getNodeType() == x::DOMNode::ELEMENT_NODE) return static_cast<const x::DOMElement *>(n);
  return nullptr;
}

// Only white space may stand beside the elements of the envelope.
bool onlyElementsAndBlanks(const x::DOMNode *parent) {
  for (const x::DOMNode *n = parent->getFirstChild(); n != nullptr; n = n->getNextSibling()) {
    auto type = n->getNodeType();
    if (type == x::DOMNode::TEXT_NODE) {
      for (const XMLCh *c = n->getNodeValue(); c != nullptr && *c != 0; ++c)
        if (*c != u' ' && *c != u'\t' && *c != u'\n' && *c != u'\r') return false;
    } else if (type != x::DOMNode::ELEMENT_NODE && type != x::DOMNode::COMMENT_NODE) {
      return false;
    }
  }
  return true;
}

}  // namespace

void startXml() { x::XMLPlatformUtils::Initialize(); }
void stopXml() { x::XMLPlatformUtils::Terminate(); }

bool parseSendEvent(std::string_view body, SendEventRequest &request, std::string &error) {
  request = {};
  std::vector<std::string_view> raw;
  if (!rawEvents(body, raw, error)) return false;

  static NoEntities noEntities;
  x::SecurityManager limits;
  limits.setEntityExpansionLimit(100);
  Errors errors;
  x::XercesDOMParser parser;
  parser.setValidationScheme(x::XercesDOMParser::Val_Never);
  parser.setDoNamespaces(true);
  parser.setDoSchema(false);
  parser.setLoadExternalDTD(false);
  parser.setSkipDTDValidation(true);
  parser.setDisableDefaultEntityResolution(true);
  parser.setXMLEntityResolver(&noEntities);
  parser.setSecurityManager(&limits);
  parser.setCreateEntityReferenceNodes(false);
  parser.setErrorHandler(&errors);
  try {
    x::MemBufInputSource source(reinterpret_cast<const XMLByte *>(body.data()), body.size(), u"request",
                                false);
    parser.parse(source);
  } catch (const x::XMLException &e) {
    error = utf8(e.getMessage());
    return false;
  } catch (const x::DOMException &e) {
    error = utf8(e.getMessage());
    return false;
  } catch (const x::SAXException &e) {
    error = utf8(e.getMessage());
    return false;
  }
  if (!errors.text.empty()) {
    error = errors.text;
    return false;
  }
  const x::DOMDocument *doc = parser.getDocument();
  const x::DOMElement *envelope = doc != nullptr ? doc->getDocumentElement() : nullptr;
  if (!is(envelope, kSoapEnvNs, u"Envelope")) {
    error = "the document is not a SOAP 1.1 envelope";
    return false;
  }
  const x::DOMElement *bodyElement = firstElement(envelope);
  if (is(bodyElement, kSoapEnvNs, u"Header")) bodyElement = nextElement(bodyElement);
  if (!is(bodyElement, kSoapEnvNs, u"Body")) {
    error = "the envelope has no Body";
    return false;
  }
  const x::DOMElement *sendEvent = firstElement(bodyElement);
  if (!is(sendEvent, kVelmNs, u"sendEvent") || nextElement(sendEvent) != nullptr ||
      !onlyElementsAndBlanks(bodyElement)) {
    error = "the Body does not hold exactly one sendEvent element in urn:kto:velm:10";
    return false;
  }
  if (!onlyElementsAndBlanks(sendEvent)) {
    error = "sendEvent holds text beside its event elements";
    return false;
  }
  for (const x::DOMElement *event = firstElement(sendEvent); event != nullptr; event = nextElement(event)) {
    std::u16string_view ns = view(event->getNamespaceURI());
    if (view(event->getLocalName()) != u"event" || !(ns.empty() || ns == kVelmNs)) {
      error = "sendEvent holds an element other than event";
      return false;
    }
    const x::DOMElement *cbe = firstElement(event);
    if (cbe == nullptr || view(cbe->getLocalName()) != u"CommonBaseEvent" || nextElement(cbe) != nullptr ||
        !onlyElementsAndBlanks(event)) {
      error = "an event element does not hold exactly one CommonBaseEvent element";
      return false;
    }
    ReceivedEvent received;
    received.globalInstanceId = utf8(cbe->getAttribute(u"globalInstanceId"));
    if (request.events.size() < raw.size()) received.xml = std::string(trim(raw[request.events.size()]));
    request.events.push_back(std::move(received));
    if (request.events.size() == 1 && nextElement(event) == nullptr &&
        cbe->getAttributes()->getLength() == 0 && !cbe->hasChildNodes())
      request.probe = true;
  }
  if (raw.size() != request.events.size()) {
    error = "could not locate the text of every event";
    return false;
  }
  return true;
}

}  // namespace velm::sink
