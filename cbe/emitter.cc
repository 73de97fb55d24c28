// The Emitter binding on the HTTP adapter: SOAP 1.1 request building and
// reply reading with the project's Xerces-C helpers.
#include "cbe/emitter.h"

#include <xercesc/dom/DOM.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>
#include <xercesc/util/TransService.hpp>
#include <xercesc/util/XMLString.hpp>
#include <xercesc/util/XMLUni.hpp>

#include <cstdlib>
#include <cstring>
#include <new>

#include "capis/errors.h"
#include "capis/trace.h"
#include "cbe/element.h"
#include "platform/http.h"
#include "platform/tls.h"

VELM_TRACE_UNIT("emitter");

namespace velm {

namespace x = xercesc;

namespace {

constexpr char kEnvelopeStart[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
    "<soapenv:Envelope xmlns:soapenv=\"http://schemas.xmlsoap.org/soap/envelope/\""
    " xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">"
    "<soapenv:Body><ns1:sendEvent xmlns:ns1=\"urn:kto:velm:10\">";
constexpr char kEnvelopeEnd[] = "</ns1:sendEvent></soapenv:Body></soapenv:Envelope>";

const XMLCh kSoapNs[] = u"http://schemas.xmlsoap.org/soap/envelope/";
const XMLCh kEmitterNs[] = u"urn:kto:velm:10";

std::string utf8(const XMLCh *text) {
  if (text == nullptr) return {};
  x::TranscodeToStr out(text, "UTF-8");
  return std::string(reinterpret_cast<const char *>(out.str()), out.length());
}

std::string trimmed(std::string s) {
  const char *blanks = " \t\r\n";
  const auto first = s.find_first_not_of(blanks);
  if (first == std::string::npos) return {};
  const auto last = s.find_last_not_of(blanks);
  return s.substr(first, last - first + 1);
}

bool isBlank(std::string_view s) { return s.find_first_not_of(" \t\r\n") == std::string_view::npos; }

bool named(const x::DOMNode *node, const XMLCh *ns, const XMLCh *local) {
  if (node == nullptr || node->getNodeType() != x::DOMNode::ELEMENT_NODE) return false;
  const XMLCh *name = node->getLocalName() != nullptr ? node->getLocalName() : node->getNodeName();
  if (!x::XMLString::equals(name, local)) return false;
  return ns == nullptr || x::XMLString::equals(node->getNamespaceURI(), ns);
}

const x::DOMElement *firstElement(const x::DOMNode *parent) {
  for (const x::DOMNode *n = parent ? parent->getFirstChild() : nullptr; n != nullptr; n = n->getNextSibling())
    if (n->getNodeType() == x::DOMNode::ELEMENT_NODE) return static_cast<const x::DOMElement *>(n);
  return nullptr;
}

const x::DOMElement *childNamed(const x::DOMElement *parent, const XMLCh *local) {
  for (const x::DOMNode *n = parent->getFirstChild(); n != nullptr; n = n->getNextSibling())
    if (named(n, nullptr, local)) return static_cast<const x::DOMElement *>(n);
  return nullptr;
}

std::string elementText(VELM_AuditClientContext *context, const x::DOMElement *e) {
  VELM_result local{0, 0, nullptr};
  char *text = convertToString(context, const_cast<x::DOMElement *>(e), &local);
  VELM_Result_Clean(&local);
  std::string s = text != nullptr ? text : "";
  std::free(text);
  return s;
}

// The content of detail as text: child elements serialised, text as is.
std::string detailContent(VELM_AuditClientContext *context, const x::DOMElement *detail) {
  std::string out;
  for (const x::DOMNode *n = detail->getFirstChild(); n != nullptr; n = n->getNextSibling()) {
    if (n->getNodeType() == x::DOMNode::ELEMENT_NODE)
      out += elementText(context, static_cast<const x::DOMElement *>(n));
    else if (n->getNodeType() == x::DOMNode::TEXT_NODE || n->getNodeType() == x::DOMNode::CDATA_SECTION_NODE)
      out += utf8(n->getNodeValue());
  }
  return trimmed(out);
}

EmitterOutcome other(std::string text) {
  EmitterOutcome out;
  out.kind = EmitterOutcome::Other;
  out.error = std::move(text);
  return out;
}

std::string httpText(long status) { return "HTTP " + std::to_string(status); }

EmitterOutcome readFault(VELM_AuditClientContext *context, const x::DOMElement *fault) {
  EmitterOutcome out;
  out.kind = EmitterOutcome::Fault;
  if (const x::DOMElement *e = childNamed(fault, u"faultcode")) out.faultCode = trimmed(utf8(e->getTextContent()));
  if (const x::DOMElement *e = childNamed(fault, u"faultstring"))
    out.faultString = trimmed(utf8(e->getTextContent()));
  if (const x::DOMElement *e = childNamed(fault, u"detail")) out.faultDetail = detailContent(context, e);
  if (out.faultDetail.empty()) out.faultDetail = elementText(context, fault);
  return out;
}

// Parser owned for one reply.
struct ParserDeleter {
  void operator()(XmlParser *p) const {
    releaseParsedDocument(p);
    deleteXercesDOMParser(p);
  }
};

}  // namespace

Emitter::Emitter(const char *endpoint, int) : endpoint_(endpoint != nullptr ? endpoint : "") {}

Emitter::Emitter() : endpoint_(kDefaultEmitterEndpoint) {}

void Emitter::SetSecure(const char *handleText) {
  secureRequested_ = true;
  secure_ = parseSecureEnvHandle(handleText);
}

std::string buildSendEventRequest(const CommonBaseEventType_ArrayTag *array) {
  std::string body;
  size_t size = sizeof kEnvelopeStart + sizeof kEnvelopeEnd;
  const int32_t count = array != nullptr ? array->count : 0;
  for (int32_t i = 0; i < count; ++i) {
    size += 16;
    if (const CommonBaseEventType *e = array->entries[i])
      for (int32_t t = 0; t < e->count; ++t) size += e->texts[t] ? std::strlen(e->texts[t]) : 0;
  }
  body.reserve(size);
  body += kEnvelopeStart;
  for (int32_t i = 0; i < count; ++i) {
    const CommonBaseEventType *e = array->entries[i];
    if (e == nullptr) {
      body += "<event xsi:nil=\"true\"></event>";
      continue;
    }
    body += "<event>";
    for (int32_t t = 0; t < e->count; ++t)
      if (e->texts[t] != nullptr) body += e->texts[t];
    body += "</event>";
  }
  body += kEnvelopeEnd;
  return body;
}

EmitterOutcome parseSendEventReply(VELM_AuditClientContext *context, long httpStatus, std::string_view body) {
  const bool ok = httpStatus >= 200 && httpStatus < 300;
  if (isBlank(body)) {
    // A one-way answer: the server took the request and said nothing more.
    if (ok) {
      VELM_FLOW(context, "FLOW: empty reply with HTTP status %d taken as sent", static_cast<int>(httpStatus));
      EmitterOutcome out;
      out.kind = EmitterOutcome::Sent;
      return out;
    }
    return other(httpText(httpStatus));
  }
  VELM_result local{0, 0, nullptr};
  std::unique_ptr<XmlParser, ParserDeleter> parser(createXercesDOMParser(context, &local));
  if (!parser) {
    VELM_Result_Clean(&local);
    return other("cannot create an XML parser for the reply");
  }
  parser->setDoNamespaces(true);
  const std::string text(body);
  XmlDocument *doc = convertToDOM(context, parser.get(), text.c_str(), &local);
  std::string why = local.numErrors > 0 ? local.errors[local.numErrors - 1].message : "";
  VELM_Result_Clean(&local);
  if (doc == nullptr) return other(ok ? "malformed reply: " + why : httpText(httpStatus));

  const x::DOMElement *envelope = doc->getDocumentElement();
  const x::DOMElement *soapBody = nullptr;
  if (named(envelope, kSoapNs, u"Envelope")) {
    for (const x::DOMNode *n = envelope->getFirstChild(); n != nullptr; n = n->getNextSibling())
      if (named(n, kSoapNs, u"Body")) soapBody = static_cast<const x::DOMElement *>(n);
  }
  const x::DOMElement *payload = firstElement(soapBody);
  if (named(payload, kSoapNs, u"Fault")) return readFault(context, payload);
  if (!ok) return other(httpText(httpStatus));
  if (named(payload, kEmitterNs, u"sendEventResponse")) {
    EmitterOutcome out;
    out.kind = EmitterOutcome::Sent;
    return out;
  }
  if (soapBody == nullptr) return other("unexpected reply: no SOAP Body");
  if (payload == nullptr) return other("unexpected reply: empty SOAP Body");
  return other("unexpected reply element {" + utf8(payload->getNamespaceURI()) + "}" +
               utf8(payload->getLocalName()));
}

EmitterOutcome Emitter::sendEvent(VELM_AuditClientContext *context, const CommonBaseEventType_ArrayTag *array) {
  if (http_ == nullptr) return other("no HTTP transport");
  if (secureRequested_ && secure_ == nullptr) return other("the secure environment handle is not valid");
  try {
    const std::string body = buildSendEventRequest(array);
    HttpRequest request;
    request.url = endpoint_;
    request.body = body;
    request.headers = {"Content-Type: text/xml; charset=utf-8", "SOAPAction: \"\"",
                       // No "Expect: 100-continue" round trip for large batches.
                       "Expect:"};
    request.userName = userName_;
    request.password = password_;
    request.timeoutSeconds = timeoutSeconds_;
    request.tls = secure_;
    const HttpResponse response = http_->post(request);
    if (!response.answered) return other(response.error);
    return parseSendEventReply(context, response.status, response.body);
  } catch (const std::bad_alloc &) {
    return other("out of memory");
  } catch (...) {
    return other("Unknown Exception");
  }
}

}  // namespace velm
