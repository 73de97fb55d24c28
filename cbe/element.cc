// The XML document helpers over Xerces-C 3.
#include "cbe/element.h"

#include <xercesc/dom/DOM.hpp>
#include <xercesc/framework/XMLErrorCodes.hpp>
#include <xercesc/framework/XMLErrorReporter.hpp>
#include <xercesc/framework/MemBufFormatTarget.hpp>
#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/framework/MemoryManager.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>
#include <xercesc/sax/ErrorHandler.hpp>
#include <xercesc/sax/SAXException.hpp>
#include <xercesc/util/OutOfMemoryException.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/SecurityManager.hpp>
#include <xercesc/util/XMLEntityResolver.hpp>
#include <xercesc/util/XMLException.hpp>
#include <xercesc/util/XMLResourceIdentifier.hpp>
#include <xercesc/util/XMLUTF8Transcoder.hpp>
#include <xercesc/util/XMLUni.hpp>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "capis/errors.h"
#include "capis/trace.h"

VELM_TRACE_UNIT("element");

namespace velm {
namespace {

namespace x = xercesc;

// ---- Transcoding --------------------------------------------------------

// The transcoders outlive any start and stop of the library, so they
// allocate through a heap manager of their own instead of the library's.
class PlainMemoryManager final : public x::MemoryManager {
 public:
  x::MemoryManager *getExceptionMemoryManager() override { return this; }
  void *allocate(XMLSize_t size) override {
    void *p = std::malloc(size == 0 ? 1 : size);
    if (p == nullptr) throw std::bad_alloc();
    return p;
  }
  void deallocate(void *p) override { std::free(p); }
};

PlainMemoryManager &plainMemoryManager() {
  static auto *manager = new PlainMemoryManager;  // never destroyed: thread exits may still use it
  return *manager;
}

// Raised for text that is not valid UTF-8 (or UTF-16 that cannot be
// written as UTF-8); reported like a library exception.
struct BadText {
  const char *what;
};

// The serialiser, its output and memory target, made once per thread and
// per start of the library.
class SerializerErrors final : public x::DOMErrorHandler {
 public:
  bool handleError(const x::DOMError &error) override;
  std::string last;
};

struct SerializerSlot {
  x::DOMLSSerializer *serializer = nullptr;
  x::DOMLSOutput *output = nullptr;
  x::MemBufFormatTarget *target = nullptr;
  SerializerErrors errors;
  uint64_t generation = 0;
};

struct ThreadXml;

// Every thread's slot, so that the library's stop can release them all.
struct Registry {
  std::mutex mutex;
  // Guarded by mutex:
  std::vector<ThreadXml *> threads;
  bool running = false;
  int users = 0;  // starts not yet matched by a stop
  int starts = 0;
  int stops = 0;
  x::DOMImplementation *impl = nullptr;
};

Registry &registry() {
  static auto *r = new Registry;  // never destroyed: thread exits take its lock
  return *r;
}

// Bumped at every start and stop; a slot made under another value is stale.
std::atomic<uint64_t> gGeneration{0};
std::atomic<x::DOMImplementation *> gImpl{nullptr};

void releaseSlot(SerializerSlot &slot) {
  if (slot.serializer != nullptr) slot.serializer->release();
  if (slot.output != nullptr) slot.output->release();
  delete slot.target;
  slot.serializer = nullptr;
  slot.output = nullptr;
  slot.target = nullptr;
}

struct ThreadXml {
  x::XMLUTF8Transcoder transcoder{x::XMLUni::fgUTF8EncodingString, 4096, &plainMemoryManager()};
  std::vector<unsigned char> charSizes;
  SerializerSlot slot;

  ThreadXml() {
    Registry &r = registry();
    std::scoped_lock lock(r.mutex);
    r.threads.push_back(this);
  }
  ~ThreadXml() {
    Registry &r = registry();
    std::scoped_lock lock(r.mutex);
    // A slot of the current start is still live; older ones were released
    // by the stop.
    if (r.running && slot.generation == gGeneration.load(std::memory_order_relaxed)) releaseSlot(slot);
    std::erase(r.threads, this);
  }
};

ThreadXml &threadXml() {
  thread_local ThreadXml t;
  return t;
}

// UTF-8 into a NUL-terminated UTF-16 buffer (on the stack for short texts).
class WideText {
 public:
  explicit WideText(const char *utf8) { assign(utf8, std::strlen(utf8)); }
  WideText(const WideText &) = delete;
  WideText &operator=(const WideText &) = delete;
  const XMLCh *get() const { return data_; }

 private:
  void assign(const char *utf8, std::size_t length);
  static constexpr std::size_t kInline = 256;
  XMLCh inline_[kInline];
  std::unique_ptr<XMLCh[]> heap_;
  XMLCh *data_ = inline_;
};

void WideText::assign(const char *utf8, std::size_t length) {
  if (length + 1 > kInline) {
    heap_ = std::make_unique<XMLCh[]>(length + 1);
    data_ = heap_.get();
  }
  ThreadXml &t = threadXml();
  // UTF-8 never needs more UTF-16 units than it has bytes.
  if (t.charSizes.size() < length + 1) t.charSizes.resize(length + 1);
  const auto *src = reinterpret_cast<const XMLByte *>(utf8);
  std::size_t done = 0;
  std::size_t made = 0;
  while (done < length) {
    XMLSize_t eaten = 0;
    made += t.transcoder.transcodeFrom(src + done, length - done, data_ + made, length - made, eaten,
                                       t.charSizes.data());
    if (eaten == 0) throw BadText{"the text ends inside a UTF-8 sequence"};
    done += eaten;
  }
  data_[made] = 0;
}

// UTF-16 into a new UTF-8 heap string (malloc, so VELM_Free releases it).
// Null when memory ran out.
char *toUTF8(const XMLCh *text) {
  const std::size_t length = x::XMLString::stringLen(text);
  // One UTF-16 unit gives at most three bytes (a surrogate pair four).
  char *out = static_cast<char *>(std::malloc(length * 3 + 1));
  if (out == nullptr) return nullptr;
  ThreadXml &t = threadXml();
  std::size_t done = 0;
  std::size_t made = 0;
  while (done < length) {
    XMLSize_t eaten = 0;
    made += t.transcoder.transcodeTo(text + done, length - done, reinterpret_cast<XMLByte *>(out) + made,
                                     length * 3 - made, eaten, x::XMLTranscoder::UnRep_Throw);
    if (eaten == 0) {
      std::free(out);
      throw BadText{"the text holds an unpaired surrogate"};
    }
    done += eaten;
  }
  out[made] = '\0';
  return out;
}

// A library message as UTF-8 for a message argument.
std::string messageText(const XMLCh *text) {
  if (text == nullptr) return {};
  try {
    std::unique_ptr<char, decltype(&std::free)> utf8(toUTF8(text), &std::free);
    return utf8 ? std::string(utf8.get()) : std::string();
  } catch (...) {
    return "(message not readable)";
  }
}

bool SerializerErrors::handleError(const x::DOMError &error) {
  last = messageText(error.getMessage());
  return false;  // stop: the text would not be well formed
}

// The calling thread's serialiser, made on first use after each start.
// Null when the library has no DOM implementation.
SerializerSlot *threadSerializer() {
  ThreadXml &t = threadXml();
  const uint64_t generation = gGeneration.load(std::memory_order_acquire);
  if (t.slot.serializer != nullptr && t.slot.generation == generation) return &t.slot;

  Registry &r = registry();
  std::scoped_lock lock(r.mutex);
  releaseSlot(t.slot);
  if (!r.running || r.impl == nullptr) return nullptr;
  auto *ls = static_cast<x::DOMImplementationLS *>(r.impl);
  try {
    t.slot.serializer = ls->createLSSerializer();
    t.slot.output = ls->createLSOutput();
    t.slot.target = new x::MemBufFormatTarget(16 * 1024);
    t.slot.output->setByteStream(t.slot.target);
    t.slot.output->setEncoding(x::XMLUni::fgUTF8EncodingString);
    t.slot.serializer->getDomConfig()->setParameter(x::XMLUni::fgDOMErrorHandler, &t.slot.errors);
  } catch (...) {
    releaseSlot(t.slot);
    throw;
  }
  t.slot.generation = generation;
  return &t.slot;
}

// ---- Parser settings ----------------------------------------------------

// Every external entity (and external DTD subset) resolves to nothing, so
// parsed text can never make the library open a file or a connection.
class NoExternalEntities final : public x::XMLEntityResolver {
 public:
  x::InputSource *resolveEntity(x::XMLResourceIdentifier *id) override {
    static const XMLByte kNothing[1] = {0};
    static const XMLCh kNoId[] = u"velmNoEntity";
    const XMLCh *systemId = id != nullptr && id->getSystemId() != nullptr ? id->getSystemId() : kNoId;
    return new x::MemBufInputSource(kNothing, 0, systemId, false);
  }
};

NoExternalEntities &noExternalEntities() {
  static auto *resolver = new NoExternalEntities;
  return *resolver;
}

// Damage in the text ends the parse, and the document keeps what was read
// before it, as callers judge a parse by its content. What the parser
// notes is where the damage cut in: the elements still open at that point
// were cut short and must not pass for whole ones. The one error that still
// fails the parse is the entity-expansion cap: what was read before it is
// the expansion of an attack, not data.
class VelmDOMParser final : public x::XercesDOMParser {
 public:
  // The library passes errors to error() below only while a handler is set.
  VelmDOMParser() { setErrorHandler(&quiet_); }
  void error(const unsigned int code, const XMLCh *const domain, const x::XMLErrorReporter::ErrTypes type,
             const XMLCh *const text, const XMLCh *const systemId, const XMLCh *const publicId,
             const XMLFileLoc line, const XMLFileLoc column) override {
    if (type == x::XMLErrorReporter::ErrType_Fatal && !damaged) {
      damaged = true;
      cutAt = fCurrentParent;
      refused = code == x::XMLErrs::EntityExpansionLimitExceeded;
      damage = messageText(text) + " (line " + std::to_string(line) + ", column " + std::to_string(column) + ")";
    }
    x::XercesDOMParser::error(code, domain, type, text, systemId, publicId, line, column);
  }
  void resetDamage() {
    damaged = false;
    refused = false;
    cutAt = nullptr;
    damage.clear();
  }
  bool damaged = false;
  bool refused = false;
  // The innermost element open when the damage was met (or the document).
  const x::DOMNode *cutAt = nullptr;
  std::string damage;

 private:
  class Quiet final : public x::ErrorHandler {
   public:
    void warning(const x::SAXParseException &) override {}
    void error(const x::SAXParseException &) override {}
    void fatalError(const x::SAXParseException &) override {}
    void resetErrors() override {}
  };
  Quiet quiet_;
};

// Internal entities of a document type still expand; this bounds how far.
x::SecurityManager &entityLimits() {
  static auto *manager = [] {
    auto *m = new x::SecurityManager;
    m->setEntityExpansionLimit(64);
    return m;
  }();
  return *manager;
}

// ---- Reporting ----------------------------------------------------------

template <typename... A>
void traceError(VELM_AuditClientContext *context, const char *function, int line, const char *format,
                A... args) {
  if (traceOn(context, TraceKind::Error))
    traceLine(context->traceLogger, kVelmTraceUnit, function, line, format, args...);
}

template <typename... A>
void record(VELM_AuditClientContext *context, VELM_result *result, const char *function, int line, int n,
            A... args) {
  if (result != nullptr) recordMessage(context, result, n, kVelmTraceUnit, function, line, args...);
}

void missingParameter(VELM_AuditClientContext *context, VELM_result *result, const char *word,
                      const char *function, int line,
                      const char *format = "The required parameter %s passed to the function is NULL") {
  traceError(context, function, line, format, word);
  record(context, result, function, line, 9, word);
}

#define VELM_MISSING(word) missingParameter(context, result, (word), __func__, __LINE__)

// How an operation reports what the library threw at it.
struct Op {
  const char *name;      // for the trace lines
  const char *word;      // "createElement()", the message argument
  const char *domTrace;  // error trace of a DOM exception, with one %d
};

void reportDOM(VELM_AuditClientContext *context, VELM_result *result, const Op &op, int line,
               const x::DOMException &e) {
  traceError(context, op.name, line, op.domTrace, static_cast<int>(e.code));
  record(context, result, op.name, line, 63, op.word, static_cast<int>(e.code));
}

void reportText(VELM_AuditClientContext *context, VELM_result *result, const Op &op, int line,
                const std::string &text) {
  traceError(context, op.name, line, "ERROR: %s failed: %s", op.word, text.c_str());
  record(context, result, op.name, line, 62, op.word, text.c_str());
}

void reportNoMemory(VELM_AuditClientContext *context, VELM_result *result, const Op &op, int line) {
  traceError(context, op.name, line, "ERROR: cannot malloc");
  record(context, result, op.name, line, 1);
}

// Runs body and turns whatever escapes it into a message and fail.
template <typename R, typename F>
R guarded(VELM_AuditClientContext *context, VELM_result *result, const Op &op, R fail, F &&body,
          int line = __builtin_LINE()) {  // the caller's line, as source_location would give
  try {
    return body();
  } catch (const x::OutOfMemoryException &) {
    reportNoMemory(context, result, op, line);
  } catch (const std::bad_alloc &) {
    reportNoMemory(context, result, op, line);
  } catch (const x::DOMException &e) {
    reportDOM(context, result, op, line, e);
  } catch (const x::XMLException &e) {
    reportText(context, result, op, line, messageText(e.getMessage()));
  } catch (const x::SAXException &e) {
    reportText(context, result, op, line, messageText(e.getMessage()));
  } catch (const BadText &e) {
    reportText(context, result, op, line, e.what);
  } catch (...) {
    traceError(context, op.name, line, "ERROR: %s failed", op.word);
    record(context, result, op.name, line, 64, op.word);
  }
  return fail;
}

x::DOMImplementation *domImplementation() { return gImpl.load(std::memory_order_acquire); }

}  // namespace

// ---- Start and stop ------------------------------------------------------

int initializeXMLParser() {
  Registry &r = registry();
  try {
    x::XMLPlatformUtils::Initialize();
  } catch (const x::XMLException &e) {
    const std::string text = messageText(e.getMessage());
    processTraceLine(kVelmTraceUnit, __func__, __LINE__, "XML Parser Initialization failed: %s", text.c_str());
    VELM_result local{};
    VELM_RECORD(nullptr, &local, 62, "initializeXMLParser()", text.c_str());
    VELM_Result_Clean(&local);
    return -1;
  } catch (...) {
    processTraceLine(kVelmTraceUnit, __func__, __LINE__, "XML Parser Initialization failed: %s", "unknown");
    return -1;
  }
  x::DOMImplementation *impl = nullptr;
  try {
    static const XMLCh kCore[] = u"Core";
    impl = x::DOMImplementationRegistry::getDOMImplementation(kCore);
  } catch (...) {
    impl = nullptr;
  }
  std::scoped_lock lock(r.mutex);
  ++r.starts;
  if (r.users++ == 0) {
    r.running = true;
    r.impl = impl;
    gImpl.store(impl, std::memory_order_release);
    gGeneration.fetch_add(1, std::memory_order_acq_rel);
  }
  return 0;
}

void terminateXMLParser() {
  Registry &r = registry();
  {
    std::scoped_lock lock(r.mutex);
    if (r.users == 0) return;
    ++r.stops;
    if (--r.users > 0) {
      // The library counts its starts too; only the last stop ends it.
      try {
        x::XMLPlatformUtils::Terminate();
      } catch (...) {
      }
      return;
    }
    // No thread converts while the last context goes away; every thread's
    // serialiser belongs to this start of the library and goes with it.
    for (ThreadXml *t : r.threads) releaseSlot(t->slot);
    r.running = false;
    r.impl = nullptr;
    gImpl.store(nullptr, std::memory_order_release);
    gGeneration.fetch_add(1, std::memory_order_acq_rel);
  }
  try {
    x::XMLPlatformUtils::Terminate();
  } catch (...) {
  }
}

XmlLibraryState xmlLibraryState() {
  Registry &r = registry();
  std::scoped_lock lock(r.mutex);
  return {r.starts, r.stops, r.running};
}

// ---- Documents ------------------------------------------------------------

XmlDocument *createDocument(VELM_AuditClientContext *context, const XMLCh *rootName, VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  x::DOMImplementation *impl = domImplementation();
  if (impl == nullptr) return nullptr;
  try {
    return impl->createDocument(nullptr, rootName, nullptr, x::XMLPlatformUtils::fgMemoryManager);
  } catch (const x::OutOfMemoryException &e) {
    const std::string text = messageText(e.getMessage());
    VELM_TRACE_ERROR(context, "Failed to create a DOMDocument object: %s", text.c_str());
    VELM_RECORD(context, result, 62, "createDocument()", text.c_str());
  } catch (const x::DOMException &e) {
    const std::string text = messageText(e.getMessage());
    VELM_TRACE_ERROR(context, "Failed to create a DOMDocument object: %s", text.c_str());
    VELM_RECORD(context, result, 62, "createDocument()", text.c_str());
  } catch (...) {
    VELM_TRACE_ERROR(context, "Failed to create a DOMDocument object");
    VELM_RECORD(context, result, 64, "createDocument()");
  }
  return nullptr;
}

XmlDocument *createDocument(VELM_AuditClientContext *context, const char *rootName, VELM_result *result) {
  if (rootName == nullptr) {
    VELM_MISSING("name");
    return nullptr;
  }
  static constexpr Op op{"createDocument", "createDocument()", "Failed to create a DOMDocument object: %d"};
  return guarded<XmlDocument *>(context, result, op, nullptr, [&] {
    WideText name(rootName);
    return createDocument(context, name.get(), result);
  });
}

int deleteDocument(VELM_AuditClientContext *context, XmlDocument *doc, VELM_result *result) {
  if (doc == nullptr) return 0;
  static constexpr Op op{"deleteDocument", "deleteDocument()",
                         "Failed to relinquish resources associated with DOMDocument. Error code is %d"};
  return guarded<int>(context, result, op, -1, [&] {
    doc->release();
    return 0;
  });
}

XmlElement *getRootElement(VELM_AuditClientContext *context, XmlDocument *doc, VELM_result *result) {
  if (doc == nullptr) {
    missingParameter(context, result, "doc", __func__, __LINE__, "The parameter %s passed to the function is NULL");
    return nullptr;
  }
  try {
    return doc->getDocumentElement();
  } catch (const x::DOMException &e) {
    VELM_TRACE_ERROR(context, "Failed to get the root element. Error code  is %d:", static_cast<int>(e.code));
    VELM_RECORD(context, result, 63, "getRootElement()", static_cast<int>(e.code));
  } catch (...) {
    VELM_TRACE_ERROR(context, "Failed to get the root element");
    VELM_RECORD(context, result, 64, "getRootElement()");
  }
  return nullptr;
}

// ---- Elements and attributes --------------------------------------------

namespace {
constexpr Op kCreateElement{"createElement", "createElement()", "Failed to crate an element. Error code is %d"};
constexpr Op kAddElement{"addElementToElement", "addElementToElement()",
                         "Failed to append an element to another element. Error code is %d"};
constexpr Op kCreateAttribute{"createAttribute", "createAttribute()",
                              "Failed to create an attribute. Error code is %d"};
constexpr Op kAddAttribute{"addAttributeToElement", "setAttribute()",
                           "Failed to set an attribute node of an element. Error code is %d"};
constexpr Op kSetAttribute{"setAttribute", "setAttribute()", "Failed to set the attribute of an element. Error code is %d"};
constexpr Op kSetAttributeValue{"setAttributeValue", "setAttribute()",
                                "Failed to set the attribute of an element. Error code is %d"};
constexpr Op kSetElementData{"setElementData", "setElementData()", "Failed to set the element data. Error code is %d"};
constexpr Op kGetElementData{"getElementData", "getElementData()", "Failed to get the element data. Error code is %d"};
constexpr Op kGetFirstChild{"getFirstChildElement", "getFirstChildElement()",
                            "Failed to get the first child. Error code is %d"};
constexpr Op kDeleteElement{"deleteElement", "deleteElement()",
                            "Failed to relinquish resources associated with DOMDocument. Error code is %d"};
constexpr Op kConvertToString{"convertToString", "convertToString()",
                              "Failed to convert a DOMElement into a string. Error code is %d"};
}  // namespace

XmlElement *createElement(VELM_AuditClientContext *context, XmlDocument *doc, const XMLCh *name,
                          VELM_result *result) {
  if (doc == nullptr || name == nullptr) {
    VELM_MISSING(doc == nullptr ? "doc" : "name");
    return nullptr;
  }
  return guarded<XmlElement *>(context, result, kCreateElement, nullptr, [&] { return doc->createElement(name); });
}

XmlElement *createElement(VELM_AuditClientContext *context, XmlDocument *doc, const char *name,
                          VELM_result *result) {
  if (doc == nullptr || name == nullptr) {
    VELM_MISSING(doc == nullptr ? "doc" : "name");
    return nullptr;
  }
  return guarded<XmlElement *>(context, result, kCreateElement, nullptr, [&] {
    WideText wide(name);
    return doc->createElement(wide.get());
  });
}

int addElementToElement(VELM_AuditClientContext *context, XmlElement *parent, XmlElement *child,
                        VELM_result *result) {
  if (parent == nullptr || child == nullptr) {
    VELM_MISSING(parent == nullptr && child != nullptr ? "pElement" : "cElement");
    return -1;
  }
  return guarded<int>(context, result, kAddElement, -1, [&] {
    parent->appendChild(child);
    return 0;
  });
}

int deleteElement(VELM_AuditClientContext *context, XmlElement *element, VELM_result *result) {
  if (element == nullptr) {
    VELM_MISSING("element");
    return 0;
  }
  return guarded<int>(context, result, kDeleteElement, -1, [&] {
    element->getOwnerDocument()->release();
    return 0;
  });
}

XmlAttr *createAttribute(VELM_AuditClientContext *context, XmlDocument *doc, const char *name, const char *value,
                         VELM_result *result) {
  if (doc == nullptr || name == nullptr || value == nullptr) {
    VELM_MISSING(doc == nullptr ? "doc" : name == nullptr ? "name" : "value");
    return nullptr;
  }
  return guarded<XmlAttr *>(context, result, kCreateAttribute, nullptr, [&] {
    WideText wideName(name);
    WideText wideValue(value);
    x::DOMAttr *attr = doc->createAttribute(wideName.get());
    attr->setValue(wideValue.get());
    return attr;
  });
}

int addAttributeToElement(VELM_AuditClientContext *context, XmlElement *element, XmlAttr *attr,
                          VELM_result *result) {
  if (element == nullptr || attr == nullptr) {
    VELM_MISSING(element == nullptr ? "element" : "attribute");
    return -1;
  }
  return guarded<int>(context, result, kAddAttribute, -1, [&] {
    element->setAttributeNode(attr);
    return 0;
  });
}

int setAttribute(VELM_AuditClientContext *context, XmlElement *element, const XMLCh *name, const XMLCh *value,
                 VELM_result *result) {
  if (element == nullptr || name == nullptr || value == nullptr) {
    VELM_MISSING(element == nullptr ? "element" : name == nullptr ? "name" : "value");
    return -1;
  }
  return guarded<int>(context, result, kSetAttribute, -1, [&] {
    element->setAttribute(name, value);
    return 0;
  });
}

int setAttribute(VELM_AuditClientContext *context, XmlElement *element, const XMLCh *name, const char *value,
                 VELM_result *result) {
  if (element == nullptr || name == nullptr || value == nullptr) {
    VELM_MISSING(element == nullptr ? "element" : name == nullptr ? "name" : "value");
    return -1;
  }
  return guarded<int>(context, result, kSetAttribute, -1, [&] {
    WideText wideValue(value);
    element->setAttribute(name, wideValue.get());
    return 0;
  });
}

int setAttribute(VELM_AuditClientContext *context, XmlElement *element, const char *name, const char *value,
                 VELM_result *result) {
  if (element == nullptr || name == nullptr || value == nullptr) {
    VELM_MISSING(element == nullptr ? "element" : name == nullptr ? "name" : "value");
    return -1;
  }
  return guarded<int>(context, result, kSetAttribute, -1, [&] {
    WideText wideName(name);
    WideText wideValue(value);
    element->setAttribute(wideName.get(), wideValue.get());
    return 0;
  });
}

int setAttributeValue(VELM_AuditClientContext *context, XmlAttr *attr, const char *value, VELM_result *result) {
  if (attr == nullptr || value == nullptr) {
    VELM_MISSING(attr == nullptr ? "attribute" : "value");
    return -1;
  }
  return guarded<int>(context, result, kSetAttributeValue, -1, [&] {
    WideText wideValue(value);
    attr->setValue(wideValue.get());
    return 0;
  });
}

// ---- Text -------------------------------------------------------------------

int setElementData(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *element, const XMLCh *text,
                   VELM_result *result) {
  if (doc == nullptr || element == nullptr || text == nullptr) {
    VELM_MISSING(doc == nullptr ? "doc" : element == nullptr ? "element" : "data");
    return -1;
  }
  return guarded<int>(context, result, kSetElementData, -1, [&] {
    element->appendChild(doc->createTextNode(text));
    return 0;
  });
}

int setElementData(VELM_AuditClientContext *context, XmlDocument *doc, XmlElement *element, const char *text,
                   VELM_result *result) {
  if (doc == nullptr || element == nullptr || text == nullptr) {
    VELM_MISSING(doc == nullptr ? "doc" : element == nullptr ? "element" : "data");
    return -1;
  }
  return guarded<int>(context, result, kSetElementData, -1, [&] {
    WideText wide(text);
    element->appendChild(doc->createTextNode(wide.get()));
    return 0;
  });
}

char *getElementData(VELM_AuditClientContext *context, XmlNode *node, VELM_result *result) {
  if (node == nullptr) {
    VELM_MISSING("element");
    return nullptr;
  }
  return guarded<char *>(context, result, kGetElementData, nullptr, [&]() -> char * {
    const XMLCh *value = node->getNodeValue();
    if (value == nullptr) return nullptr;
    char *text = toUTF8(value);
    if (text == nullptr) throw std::bad_alloc();
    return text;
  });
}

XmlElement *getElementByTagName(VELM_AuditClientContext *context, XmlDocument *doc, const XMLCh *tagName,
                                VELM_result *result) {
  if (doc == nullptr || tagName == nullptr) {
    VELM_MISSING(doc == nullptr ? "doc" : "tagName");
    return nullptr;
  }
  try {
    x::DOMNodeList *list = doc->getElementsByTagName(tagName);
    return list == nullptr ? nullptr : static_cast<x::DOMElement *>(list->item(0));
  } catch (const x::DOMException &e) {
    const std::string tag = messageText(tagName);
    VELM_TRACE_ERROR(context, "Failed to get the element with the tag %s. Error code is %d", tag.c_str(),
                     static_cast<int>(e.code));
    VELM_RECORD(context, result, 63, "getElementByTagName()", static_cast<int>(e.code));
  } catch (...) {
    VELM_TRACE_ERROR(context, "ERROR: %s failed", "getElementByTagName()");
    VELM_RECORD(context, result, 64, "getElementByTagName()");
  }
  return nullptr;
}

XmlElement *getElementByTagName(VELM_AuditClientContext *context, XmlDocument *doc, const char *tagName,
                                VELM_result *result) {
  if (doc == nullptr || tagName == nullptr) {
    VELM_MISSING(doc == nullptr ? "doc" : "tagName");
    return nullptr;
  }
  static constexpr Op op{"getElementByTagName", "getElementByTagName()",
                         "Failed to get the element with the tag. Error code is %d"};
  return guarded<XmlElement *>(context, result, op, nullptr, [&] {
    WideText wide(tagName);
    return getElementByTagName(context, doc, wide.get(), result);
  });
}

int getElementsByTagName(VELM_AuditClientContext *context, XmlDocument *doc, const XMLCh *tagName,
                         std::vector<XmlElement *> &out, VELM_result *result) {
  if (doc == nullptr || tagName == nullptr) {
    VELM_MISSING(doc == nullptr ? "doc" : "tagName");
    return -1;
  }
  static constexpr Op op{"getElementByTagName", "getElementByTagName()",
                         "Failed to get the element with the tag. Error code is %d"};
  return guarded<int>(context, result, op, -1, [&] {
    x::DOMNodeList *list = doc->getElementsByTagName(tagName);
    const XMLSize_t n = list == nullptr ? 0 : list->getLength();
    out.reserve(out.size() + n);
    for (XMLSize_t i = 0; i < n; ++i) out.push_back(static_cast<x::DOMElement *>(list->item(i)));
    return 0;
  });
}

XmlNode *getFirstChildElement(VELM_AuditClientContext *context, XmlElement *element, VELM_result *result) {
  if (element == nullptr) {
    VELM_MISSING("element");
    return nullptr;
  }
  return guarded<XmlNode *>(context, result, kGetFirstChild, nullptr, [&] { return element->getFirstChild(); });
}

// ---- Serialising ------------------------------------------------------------

char *convertToString(VELM_AuditClientContext *context, XmlElement *element, VELM_result *result) {
  if (element == nullptr) {
    VELM_MISSING("element");
    return nullptr;
  }
  return guarded<char *>(context, result, kConvertToString, nullptr, [&]() -> char * {
    SerializerSlot *slot = threadSerializer();
    if (slot == nullptr) return nullptr;
    slot->target->reset();
    slot->errors.last.clear();
    if (!slot->serializer->write(element, slot->output)) {
      const std::string reason = slot->errors.last.empty() ? "the serialiser failed" : slot->errors.last;
      slot->target->reset();
      VELM_TRACE_ERROR(context, "Failed to convert a DOMElement into a string: %s", reason.c_str());
      VELM_RECORD(context, result, 62, "convertToString()", reason.c_str());
      return nullptr;
    }
    const XMLSize_t length = slot->target->getLen();
    char *text = static_cast<char *>(std::malloc(length + 1));
    if (text == nullptr) throw std::bad_alloc();
    std::memcpy(text, slot->target->getRawBuffer(), length);
    text[length] = '\0';
    slot->target->reset();
    return text;
  });
}

// ---- What the direct writer shares --------------------------------------------

std::string utf8Refusal(const char *text) {
  if (text == nullptr) return {};
  try {
    WideText wide(text);
    return {};
  } catch (const x::XMLException &e) {
    return messageText(e.getMessage());
  } catch (const BadText &e) {
    return e.what;
  } catch (const std::bad_alloc &) {
    return "out of memory";
  }
}

void recordRefusedText(VELM_AuditClientContext *context, VELM_result *result, const char *word,
                       const std::string &reason) {
  const Op op{word, word, ""};
  reportText(context, result, op, __LINE__, reason);
}

void recordNotSerializable(VELM_AuditClientContext *context, VELM_result *result) {
  // The serialiser throws its serialisation error (code 82) for such a character.
  constexpr int kSerializeErr = 82;
  traceError(context, kConvertToString.name, __LINE__, kConvertToString.domTrace, kSerializeErr);
  record(context, result, kConvertToString.name, __LINE__, 63, kConvertToString.word, kSerializeErr);
}

// ---- Parsing ------------------------------------------------------------------

XmlParser *createXercesDOMParser(VELM_AuditClientContext *context, VELM_result *result) {
  static constexpr Op op{"createXercesDOMParser", "createXercesDOMParser()",
                         "Failed to create a parser. Error code is %d"};
  return guarded<XmlParser *>(context, result, op, nullptr, [] {
    auto parser = std::make_unique<VelmDOMParser>();
    parser->setValidationScheme(x::XercesDOMParser::Val_Never);
    parser->setDoNamespaces(false);
    parser->setDoSchema(false);
    parser->setLoadSchema(false);
    parser->setValidationSchemaFullChecking(false);
    parser->setLoadExternalDTD(false);
    parser->setSkipDTDValidation(true);
    parser->setDisableDefaultEntityResolution(true);
    parser->setXMLEntityResolver(&noExternalEntities());
    parser->setSecurityManager(&entityLimits());
    parser->setCreateEntityReferenceNodes(false);
    return parser.release();
  });
}

void deleteXercesDOMParser(XmlParser *parser) { delete parser; }

XmlDocument *convertToDOM(VELM_AuditClientContext *context, XmlParser *parser, const char *xmlString,
                          VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  if (parser == nullptr || xmlString == nullptr) {
    VELM_MISSING(parser == nullptr ? "parser" : "xmlString");
    return nullptr;
  }
  try {
    static const XMLCh kSystemId[] = u"velmInfo";
    x::MemBufInputSource source(reinterpret_cast<const XMLByte *>(xmlString), std::strlen(xmlString), kSystemId,
                                false);
    auto *own = dynamic_cast<VelmDOMParser *>(parser);
    if (own != nullptr) own->resetDamage();
    parser->parse(source);
    if (own != nullptr && own->refused) {
      VELM_TRACE_ERROR(context, "Failed to convert a string into a DOMElement: %s", own->damage.c_str());
      VELM_RECORD(context, result, 62, "convertToDOM()", own->damage.c_str());
      return nullptr;
    }
    if (own != nullptr && own->damaged)
      VELM_FLOW(context, "FLOW: the text is damaged; the document holds what came before: %s", own->damage.c_str());
    return parser->getDocument();
  } catch (const x::OutOfMemoryException &) {
    VELM_TRACE_ERROR(context, "Error: Cannot allocate memory");
    VELM_RECORD(context, result, 1);
  } catch (const std::bad_alloc &) {
    VELM_TRACE_ERROR(context, "Error: Cannot allocate memory");
    VELM_RECORD(context, result, 1);
  } catch (const x::XMLException &e) {
    const std::string text = messageText(e.getMessage());
    VELM_TRACE_ERROR(context, "Failed to convert a string into a DOMElement: %s", text.c_str());
    VELM_RECORD(context, result, 62, "convertToDOM()", text.c_str());
  } catch (const x::SAXException &e) {
    const std::string text = messageText(e.getMessage());
    VELM_TRACE_ERROR(context, "Failed to convert a string into a DOMElement: %s", text.c_str());
    VELM_RECORD(context, result, 62, "convertToDOM()", text.c_str());
  } catch (const x::DOMException &e) {
    const std::string text = messageText(e.getMessage());
    VELM_TRACE_ERROR(context, "Failed to convert a string into a DOMElement: %s", text.c_str());
    VELM_RECORD(context, result, 62, "convertToDOM()", text.c_str());
  } catch (...) {
    VELM_RECORD(context, result, 64, "convertToDOM()");
  }
  return nullptr;
}

bool parsedWhole(const XmlParser *parser, const XmlNode *node) {
  const auto *own = dynamic_cast<const VelmDOMParser *>(parser);
  if (own == nullptr || own->cutAt == nullptr) return true;
  for (const x::DOMNode *open = own->cutAt; open != nullptr; open = open->getParentNode())
    if (open == node) return false;
  return true;
}

bool parsedWhole(const XmlParser *parser, const XmlElement *element) {
  return parsedWhole(parser, static_cast<const XmlNode *>(element));
}

const char *parseDamage(const XmlParser *parser) {
  const auto *own = dynamic_cast<const VelmDOMParser *>(parser);
  return own != nullptr && own->damaged ? own->damage.c_str() : nullptr;
}

void releaseParsedDocument(XmlParser *parser) {
  if (parser == nullptr) return;
  try {
    if (x::DOMDocument *doc = parser->adoptDocument()) doc->release();
  } catch (...) {
  }
}

}  // namespace velm
