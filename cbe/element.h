// A thin layer over the Xerces-C DOM: documents, elements, attributes, text,
// serialising and parsing. Every operation takes the client context first
// and the caller's result last; library exceptions become messages in the
// result and a failure return (-1 or null), nothing is thrown.
//
// Text crosses the layer as UTF-8 and is transcoded straight to and from the
// library's UTF-16 with its UTF-8 transcoder, whatever the process locale.
// The XMLCh overloads take names and values that are already UTF-16 (the
// encoders' constant tables) and skip the transcoding.
//
// The library must be running (initializeXMLParser, called by the first
// context of the process) while any of these is used. Documents and parsers
// are never shared between threads; the layer takes no locks on its hot path.
#pragma once

#include <xercesc/util/XercesDefs.hpp>

#include <string>
#include <vector>

#include "velm.h"

XERCES_CPP_NAMESPACE_BEGIN
class DOMDocument;
class DOMElement;
class DOMAttr;
class DOMNode;
class XercesDOMParser;
XERCES_CPP_NAMESPACE_END

namespace velm {

using XmlDocument = xercesc::DOMDocument;
using XmlElement = xercesc::DOMElement;
using XmlAttr = xercesc::DOMAttr;
using XmlNode = xercesc::DOMNode;
using XmlParser = xercesc::XercesDOMParser;

// Starts the library (reference counted by the library itself; the context
// code calls it once per process under VELMCommon's mutex). 0, or -1 with
// message 62 in no result (traced and logged process-wide).
int initializeXMLParser();
// Stops it again, after releasing the per-thread serialisers.
void terminateXMLParser();

// Test hook: how often the library was started and stopped by this unit,
// and whether it is running now.
struct XmlLibraryState {
  int starts;
  int stops;
  bool running;
};
XmlLibraryState xmlLibraryState();

// A new document whose root element is rootName (no namespace, no document
// type). Released with deleteDocument or deleteElement on any of its nodes.
XmlDocument *createDocument(VELM_AuditClientContext *context, const char *rootName, VELM_result *result);
XmlDocument *createDocument(VELM_AuditClientContext *context, const XMLCh *rootName, VELM_result *result);
// Releases doc and every node made from it. A null doc is 0.
int deleteDocument(VELM_AuditClientContext *context, XmlDocument *doc, VELM_result *result);
XmlElement *getRootElement(VELM_AuditClientContext *context, XmlDocument *doc, VELM_result *result);

XmlElement *createElement(VELM_AuditClientContext *context, XmlDocument *doc, const char *name,
                          VELM_result *result);
XmlElement *createElement(VELM_AuditClientContext *context, XmlDocument *doc, const XMLCh *name,
                          VELM_result *result);
// Appends child as the last child of parent. 0 or -1.
int addElementToElement(VELM_AuditClientContext *context, XmlElement *parent, XmlElement *child,
                        VELM_result *result);
// Releases element's owner document, and with it the element. A null
// element records message 9 and gives 0.
int deleteElement(VELM_AuditClientContext *context, XmlElement *element, VELM_result *result);

XmlAttr *createAttribute(VELM_AuditClientContext *context, XmlDocument *doc, const char *name, const char *value,
                         VELM_result *result);
// Sets attr on element; an attribute of the same name is replaced. 0 or -1.
int addAttributeToElement(VELM_AuditClientContext *context, XmlElement *element, XmlAttr *attr,
                          VELM_result *result);
int setAttribute(VELM_AuditClientContext *context, XmlElement *element, const char *name, const char *value,
                 VELM_result *result);
int setAttribute(VELM_AuditClientContext *context, XmlElement *element, const XMLCh *name, const char *value,
                 VELM_result *result);
int setAttribute(VELM_AuditClientContext *context, XmlElement *element, const XMLCh *name, const XMLCh *value,
                 VELM_result *result);
int setAttributeValue(VELM_AuditClientContext *context, XmlAttr *attr, const char *value, VELM_result *result);

// Appends a text node holding text to element. 0 or -1.
int setElementData(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *element, const char *text,
                   VELM_result *result);
int setElementData(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *element, const XMLCh *text,
                   VELM_result *result);
// The node's value as a new UTF-8 heap string (free with VELM_Free), or null
// (also, without a message, for a node that has no value, such as an element).
char *getElementData(VELM_AuditClientContext *context, XmlNode *node, VELM_result *result);
// The first element named tagName in document order, or null (no message
// when there is none).
XmlElement *getElementByTagName(VELM_AuditClientContext *context, XmlDocument *doc, const char *tagName,
                                VELM_result *result);
XmlElement *getElementByTagName(VELM_AuditClientContext *context, XmlDocument *doc, const XMLCh *tagName,
                                VELM_result *result);
// Every element named tagName, in document order, appended to out (an
// addition for reading batches). 0, or -1 with the reason recorded.
int getElementsByTagName(VELM_AuditClientContext *context, XmlDocument *doc, const XMLCh *tagName,
                         std::vector<XmlElement *> &out, VELM_result *result);
// The element's first child node of whatever kind, or null.
XmlNode *getFirstChildElement(VELM_AuditClientContext *context, XmlElement *element, VELM_result *result);

// The element and its descendants as one line of UTF-8 (no XML declaration,
// no added whitespace), a new heap string (free with VELM_Free), or null.
char *convertToString(VELM_AuditClientContext *context, XmlElement *element, VELM_result *result);
// What the direct writer (cbe/cbe_output.h) needs to fail exactly where and
// as these helpers fail.
//
// The reason the library's UTF-8 transcoder gives for refusing text, or
// empty when it takes it.
std::string utf8Refusal(const char *text);
// Records text refused by the transcoder as the helper named by word
// ("setAttribute()", "setElementData()") records it.
void recordRefusedText(VELM_AuditClientContext *context, VELM_result *result, const char *word,
                       const std::string &reason);
// Records the serialiser's refusal of a character that XML 1.0 cannot
// carry, as convertToString records it.
void recordNotSerializable(VELM_AuditClientContext *context, VELM_result *result);

// A parser that never reads anything but the text it is given: no DTD
// loading, no external entities, no schema fetching, no validation. Null
// with the reason recorded when it cannot be made.
XmlParser *createXercesDOMParser(VELM_AuditClientContext *context, VELM_result *result);
void deleteXercesDOMParser(XmlParser *parser);
// Parses text (borrowed, not copied). The document stays owned by the
// parser until adopted. Damaged text is no failure: the document holds what
// was read before the damage (possibly nothing), and parsedWhole tells the
// elements that were cut short. Null when the library threw, the text
// expands entities beyond the cap (message 62 with the reason) or memory
// ran out (message 1).
XmlDocument *convertToDOM(VELM_AuditClientContext *context, XmlParser *parser, const char *xmlString,
                          VELM_result *result);
// False when node (of the parser's last document) was still open where the
// damage ended the parse, so that its content is cut short; true for every
// node of undamaged text.
bool parsedWhole(const XmlParser *parser, const XmlNode *node);
bool parsedWhole(const XmlParser *parser, const XmlElement *element);
// What ended the parser's last parse early, for trace lines, or null.
const char *parseDamage(const XmlParser *parser);
// Releases the parser's document after taking it over (a parser that holds
// none is fine).
void releaseParsedDocument(XmlParser *parser);

}  // namespace velm
