// Event strings, batch strings and the fault detail of a rejected batch.
#include "cbe/sendEvent.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "capis/errors.h"
#include "capis/event.h"
#include "capis/trace.h"
#include "cbe/element.h"
#include "cbe/velmToCBE.h"

VELM_TRACE_UNIT("sendEvent");

namespace velm {

// ---- The batch record ------------------------------------------------------

CommonBaseEventType *newCommonBaseEvent(char *text) {
  auto *entry = static_cast<CommonBaseEventType *>(std::calloc(1, sizeof(CommonBaseEventType)));
  if (entry == nullptr) return nullptr;
  entry->texts = static_cast<char **>(std::calloc(1, sizeof(char *)));
  if (entry->texts == nullptr) {
    std::free(entry);
    return nullptr;
  }
  entry->texts[0] = text;
  entry->count = 1;
  return entry;
}

void freeCommonBaseEvent(CommonBaseEventType *entry) {
  if (entry == nullptr) return;
  for (int32_t i = 0; i < entry->count; ++i) std::free(entry->texts[i]);
  std::free(entry->texts);
  std::free(entry);
}

CommonBaseEventType_ArrayTag *newCommonBaseEvents(int32_t capacity) {
  auto *batch = static_cast<CommonBaseEventType_ArrayTag *>(std::calloc(1, sizeof(CommonBaseEventType_ArrayTag)));
  if (batch == nullptr) return nullptr;
  batch->entries = static_cast<CommonBaseEventType **>(
      std::calloc(capacity > 0 ? static_cast<std::size_t>(capacity) : 1, sizeof(CommonBaseEventType *)));
  if (batch->entries == nullptr) {
    std::free(batch);
    return nullptr;
  }
  return batch;
}

void freeCommonBaseEvents(CommonBaseEventType_ArrayTag *batch) {
  if (batch == nullptr) return;
  for (int32_t i = 0; i < batch->count; ++i) freeCommonBaseEvent(batch->entries[i]);
  std::free(batch->entries);
  std::free(batch);
}

// ---- Strings ----------------------------------------------------------------

namespace {

void traceNoMemory(VELM_AuditClientContext *context, VELM_result *result, const char *function, int line) {
  if (traceOn(context, TraceKind::Error))
    traceLine(context->traceLogger, kVelmTraceUnit, function, line, "ERROR: cannot malloc");
  recordMessage(context, result, 1, kVelmTraceUnit, function, line);
}

// atoi without its undefined overflow: leading white space, a sign, digits.
int leadingInteger(const char *text) {
  while (*text == ' ' || (*text >= '\t' && *text <= '\r')) ++text;
  bool negative = false;
  if (*text == '+' || *text == '-') negative = *text++ == '-';
  long long value = 0;
  for (; *text >= '0' && *text <= '9'; ++text) {
    value = value * 10 + (*text - '0');
    if (value > 2147483648LL) value = 2147483648LL;
  }
  if (negative) value = -value;
  if (value > 2147483647LL) value = 2147483647LL;
  return static_cast<int>(value);
}

}  // namespace

namespace {
void checkConversion(VELM_AuditEvent *event);
}  // namespace

char *velmAuditEventToXMLString(VELM_AuditClientContext *context, VELM_AuditEvent *event, VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  checkConversion(event);
  XmlElement *root = convertToCBE(context, event, result);
  if (root == nullptr) {
    VELM_TRACE_ERROR(context, "ERROR Failed to convert VELM Audit Event into CBE DOM Element");
    return nullptr;
  }
  char *text = convertToString(context, root, result);
  deleteElement(context, root, result);
  return text;
}

namespace {
std::atomic<bool> gDomConversion{false};
std::atomic<int> gConversionCheck{0};  // check every n-th conversion; 0: none

// The calling thread's text buffer for one event, reused from event to event.
std::string &eventScratch() {
  thread_local std::string text;
  return text;
}
}  // namespace

void setDomConversion(bool on) { gDomConversion.store(on, std::memory_order_relaxed); }

// ---- Both outputs side by side (tests) -------------------------------------------

namespace {

ConversionOutcome outcomeOf(char *text, VELM_result &r) {
  ConversionOutcome out;
  out.ok = text != nullptr;
  if (text != nullptr) out.text = text;
  std::free(text);
  for (int i = 0; i < r.numErrors; ++i)
    out.messages.emplace_back(r.errors[i].code, r.errors[i].message != nullptr ? r.errors[i].message : "");
  VELM_Result_Clean(&r);
  return out;
}

thread_local bool tInCheck = false;

// Every conversion of a test program is converted again both ways; a
// difference ends the program with both outcomes, so no test can pass on
// an event the writer gets wrong.
void checkConversion(VELM_AuditEvent *event) {
  const int every = gConversionCheck.load(std::memory_order_relaxed);
  if (every <= 0 || tInCheck || event == nullptr) return;
  thread_local unsigned seen = 0;
  if (seen++ % static_cast<unsigned>(every) != 0) return;
  tInCheck = true;
  const ConversionOutcome dom = convertWithDom(event);
  const ConversionOutcome text = convertWithWriter(event);
  tInCheck = false;
  if (dom == text) return;
  std::fprintf(stderr, "conversion check: the writer differs from the DOM\nDOM (%s):\n%s\n", dom.ok ? "ok" : "failed",
               dom.text.c_str());
  for (const auto &[code, m] : dom.messages) std::fprintf(stderr, "  %d %s\n", code, m.c_str());
  std::fprintf(stderr, "writer (%s):\n%s\n", text.ok ? "ok" : "failed", text.text.c_str());
  for (const auto &[code, m] : text.messages) std::fprintf(stderr, "  %d %s\n", code, m.c_str());
  std::abort();
}

}  // namespace

ConversionOutcome convertWithDom(VELM_AuditEvent *event) {
  VELM_result r{};
  const bool was = tInCheck;
  tInCheck = true;
  char *text = velmAuditEventToXMLString(nullptr, event, &r);
  tInCheck = was;
  return outcomeOf(text, r);
}

ConversionOutcome convertWithWriter(VELM_AuditEvent *event) {
  VELM_result r{};
  std::string text;
  const int rc = writeCBE(nullptr, event, text, &r);
  char *copy = rc == 0 ? strdup(text.c_str()) : nullptr;
  return outcomeOf(copy, r);
}

void setConversionCheck(int every) { gConversionCheck.store(every, std::memory_order_relaxed); }

int appendEventText(VELM_AuditClientContext *context, VELM_AuditEvent *event, std::string &out,
                    VELM_result *result) {
  checkConversion(event);
  if (!gDomConversion.load(std::memory_order_relaxed)) {
    if (writeCBE(context, event, out, result) == 0) return 0;
    VELM_TRACE_ERROR(context, "ERROR Failed to convert VELM Audit Event into CBE DOM Element");
    return -1;
  }
  char *text = velmAuditEventToXMLString(context, event, result);
  if (text == nullptr) return -1;
  try {
    out += text;
  } catch (const std::bad_alloc &) {
    std::free(text);
    traceNoMemory(context, result, __func__, __LINE__);
    return -1;
  }
  std::free(text);
  return 0;
}

char *velmAuditEventToText(VELM_AuditClientContext *context, VELM_AuditEvent *event, VELM_result *result) {
  std::string &text = eventScratch();
  text.clear();
  if (appendEventText(context, event, text, result) != 0) return nullptr;
  char *copy = static_cast<char *>(std::malloc(text.size() + 1));
  if (copy == nullptr) {
    traceNoMemory(context, result, __func__, __LINE__);
    return nullptr;
  }
  std::memcpy(copy, text.data(), text.size() + 1);
  return copy;
}

char *velmCommonBaseEventsToString(VELM_AuditClientContext *context, const CommonBaseEventType_ArrayTag *batch,
                                   VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  if (batch == nullptr) {
    VELM_TRACE_ERROR(context, "The required parameter %s passed to the function is NULL", "events");
    VELM_RECORD(context, result, 9, "events");
    return nullptr;
  }
  // One pass to size the text, one to fill it.
  std::size_t length = 0;
  for (int32_t i = 0; i < batch->count; ++i) {
    const CommonBaseEventType *entry = batch->entries[i];
    if (entry == nullptr) continue;
    for (int32_t j = 0; j < entry->count; ++j)
      if (entry->texts[j] != nullptr) length += std::strlen(entry->texts[j]);
  }
  char *buffer = static_cast<char *>(std::malloc(length + 1));
  if (buffer == nullptr) {
    traceNoMemory(context, result, __func__, __LINE__);
    return nullptr;
  }
  char *end = buffer;
  for (int32_t i = 0; i < batch->count; ++i) {
    const CommonBaseEventType *entry = batch->entries[i];
    if (entry == nullptr) continue;
    for (int32_t j = 0; j < entry->count; ++j) {
      const char *text = entry->texts[j];
      if (text == nullptr) continue;
      const std::size_t n = std::strlen(text);
      std::memcpy(end, text, n);
      end += n;
    }
  }
  *end = '\0';
  return buffer;
}

namespace {

// The batch string through the parser: every "CommonBaseEvent" element,
// serialised again. For text the scanner below does not take as it is.
CommonBaseEventType_ArrayTag *splitByParser(VELM_AuditClientContext *context, const char *text,
                                            VELM_result *result) {
  // A batch string of several events is no document; this makes it one.
  static constexpr char kOpen[] = "<events>";
  static constexpr char kClose[] = "</events>";
  const std::size_t length = std::strlen(text);
  char *wrapped = static_cast<char *>(std::malloc(length + 18));
  if (wrapped == nullptr) {
    traceNoMemory(context, result, __func__, __LINE__);
    return nullptr;
  }
  std::memcpy(wrapped, kOpen, 8);
  std::memcpy(wrapped + 8, text, length);
  std::memcpy(wrapped + 8 + length, kClose, 10);

  XmlParser *parser = createXercesDOMParser(context, result);
  if (parser == nullptr) {
    std::free(wrapped);
    return nullptr;
  }
  CommonBaseEventType_ArrayTag *batch = nullptr;
  XmlDocument *doc = convertToDOM(context, parser, wrapped, result);
  if (doc == nullptr) {
    VELM_TRACE_ERROR(context, "ERROR: convertToDOM() failed. Events may have been lost");
  } else {
    std::vector<XmlElement *> events;
    getElementsByTagName(context, doc, u"CommonBaseEvent", events, result);
    // A damaged tail loses only what is damaged: the events before it are
    // whole, the one the damage cut into is left out.
    if (const char *damage = parseDamage(parser)) {
      const std::size_t found = events.size();
      std::erase_if(events, [parser](XmlElement *e) { return !parsedWhole(parser, e); });
      VELM_TRACE_ERROR(context, "ERROR: the batch string is damaged; %d whole events of %d kept: %s",
                       static_cast<int>(events.size()), static_cast<int>(found), damage);
    }
    const int n = static_cast<int>(events.size());
    VELM_FLOW(context, "Number of events is %d", n);
    if (n == 0) VELM_TRACE_ERROR(context, "ERROR: convertToDOM() failed. Events may have been lost");
    batch = newCommonBaseEvents(n);
    if (batch == nullptr) traceNoMemory(context, result, __func__, __LINE__);
    for (int i = 0; batch != nullptr && i < n; ++i) {
      char *eventText = convertToString(context, events[i], result);
      CommonBaseEventType *entry = eventText != nullptr ? newCommonBaseEvent(eventText) : nullptr;
      if (entry == nullptr) {
        if (eventText != nullptr) {
          std::free(eventText);
          traceNoMemory(context, result, __func__, __LINE__);
        }
        freeCommonBaseEvents(batch);
        batch = nullptr;
        break;
      }
      batch->entries[batch->count++] = entry;
    }
    releaseParsedDocument(parser);
  }
  deleteXercesDOMParser(parser);
  std::free(wrapped);
  return batch;
}

// ---- Splitting by scanning ----------------------------------------------------
//
// The batch strings the library writes are event texts one after another.
// The scanner finds the top-level "CommonBaseEvent" elements and slices
// their text as it stands, checking on the way that the text is well formed
// in the plain shape the library writes: elements, attributes, text,
// predefined and character references, strict UTF-8, characters XML 1.0
// allows. Text that ends inside an event yields the events before it. Text
// of any other shape (comments, CDATA, declarations, processing
// instructions, other top-level content, any damage) is left to the parser.

enum class Scan { Whole, CutShort, Other };

bool nameChar(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == ':' ||
         c == '-' || c == '.' || c >= 0x80;
}

bool xmlChar(uint32_t c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
         (c >= 0x10000 && c <= 0x10FFFF);
}

class BatchScanner {
 public:
  explicit BatchScanner(const char *text) : p_(reinterpret_cast<const unsigned char *>(text)) {}

  Scan run(std::vector<std::string_view> &events) {
    static constexpr std::string_view kRoot = "CommonBaseEvent";
    for (;;) {
      while (*p_ == ' ' || *p_ == '\t' || *p_ == '\r' || *p_ == '\n') ++p_;
      if (*p_ == 0) return Scan::Whole;
      if (*p_ != '<') return Scan::Other;
      const unsigned char *begin = p_;
      const Scan s = element();
      if (s != Scan::Whole) return s;
      if (rootName_ != kRoot) return Scan::Other;
      events.emplace_back(reinterpret_cast<const char *>(begin), static_cast<std::size_t>(p_ - begin));
    }
  }

 private:
  // One element from its '<' to the end of its end tag.
  Scan element() {
    names_.clear();
    bool first = true;
    for (;;) {
      // At '<'.
      ++p_;
      if (*p_ == '/') {
        ++p_;
        std::string_view name;
        if (Scan s = readName(name); s != Scan::Whole) return s;
        skipSpace();
        if (*p_ == 0) return Scan::CutShort;
        if (*p_ != '>' || names_.empty() || names_.back() != name) return Scan::Other;
        ++p_;
        names_.pop_back();
        if (names_.empty()) return Scan::Whole;
      } else {
        std::string_view name;
        if (Scan s = readName(name); s != Scan::Whole) return s;
        if (first) rootName_ = name;
        first = false;
        bool empty = false;
        if (Scan s = attributes(empty); s != Scan::Whole) return s;
        if (empty) {
          if (names_.empty()) return Scan::Whole;
        } else {
          names_.push_back(name);
        }
      }
      if (Scan s = content(); s != Scan::Whole) return s;
    }
  }

  Scan readName(std::string_view &name) {
    const unsigned char *begin = p_;
    while (nameChar(*p_)) ++p_;
    if (*p_ == 0) return Scan::CutShort;
    if (p_ == begin || (*begin >= '0' && *begin <= '9') || *begin == '-' || *begin == '.') return Scan::Other;
    name = std::string_view(reinterpret_cast<const char *>(begin), static_cast<std::size_t>(p_ - begin));
    return Scan::Whole;
  }

  void skipSpace() {
    while (*p_ == ' ' || *p_ == '\t' || *p_ == '\r' || *p_ == '\n') ++p_;
  }

  // The attributes of a start tag, through its '>' or '/>'.
  Scan attributes(bool &empty) {
    for (;;) {
      const unsigned char *before = p_;
      skipSpace();
      if (*p_ == 0) return Scan::CutShort;
      if (*p_ == '>') {
        ++p_;
        return Scan::Whole;
      }
      if (*p_ == '/') {
        ++p_;
        if (*p_ == 0) return Scan::CutShort;
        if (*p_ != '>') return Scan::Other;
        ++p_;
        empty = true;
        return Scan::Whole;
      }
      if (p_ == before) return Scan::Other;  // attributes are separated by white space
      std::string_view name;
      if (Scan s = readName(name); s != Scan::Whole) return s;
      skipSpace();
      if (*p_ == 0) return Scan::CutShort;
      if (*p_ != '=') return Scan::Other;
      ++p_;
      skipSpace();
      if (*p_ == 0) return Scan::CutShort;
      if (*p_ != '"' && *p_ != '\'') return Scan::Other;
      const unsigned char quote = *p_++;
      if (Scan s = characters(quote); s != Scan::Whole) return s;
      ++p_;  // the closing quote
    }
  }

  // Text up to the next '<' (or in an attribute value, up to quote).
  Scan characters(unsigned char quote) {
    for (;;) {
      const unsigned char c = *p_;
      if (c == 0) return Scan::CutShort;
      if (quote != 0 ? c == quote : c == '<') return Scan::Whole;
      if (c == '<') return Scan::Other;
      if (c == '&') {
        if (Scan s = reference(); s != Scan::Whole) return s;
        continue;
      }
      if (c == '>' && quote == 0 && p_[-1] == ']' && p_[-2] == ']') return Scan::Other;
      if (c < 0x80) {
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') return Scan::Other;
        ++p_;
        continue;
      }
      if (Scan s = multiByte(); s != Scan::Whole) return s;
    }
  }

  Scan content() { return characters(0); }

  Scan multiByte() {
    const unsigned char c = *p_;
    int n;
    uint32_t cp;
    if (c >= 0xC2 && c <= 0xDF) {
      n = 2;
      cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      n = 3;
      cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      n = 4;
      cp = c & 0x07;
    } else {
      return Scan::Other;
    }
    for (int i = 1; i < n; ++i) {
      if (p_[i] == 0) return Scan::CutShort;
      if ((p_[i] & 0xC0) != 0x80) return Scan::Other;
      cp = (cp << 6) | (p_[i] & 0x3F);
    }
    if ((n == 3 && cp < 0x800) || (n == 4 && cp < 0x10000) || !xmlChar(cp)) return Scan::Other;
    p_ += n;
    return Scan::Whole;
  }

  Scan reference() {
    const unsigned char *begin = ++p_;
    while (*p_ != ';' && *p_ != 0 && p_ - begin < 12) ++p_;
    if (*p_ == 0) return Scan::CutShort;
    if (*p_ != ';') return Scan::Other;
    const std::string_view ref(reinterpret_cast<const char *>(begin), static_cast<std::size_t>(p_ - begin));
    ++p_;
    if (ref == "amp" || ref == "lt" || ref == "gt" || ref == "quot" || ref == "apos") return Scan::Whole;
    if (ref.size() < 2 || ref[0] != '#') return Scan::Other;
    uint32_t value = 0;
    const bool hex = ref[1] == 'x';
    const std::size_t from = hex ? 2 : 1;
    if (ref.size() == from) return Scan::Other;
    for (std::size_t i = from; i < ref.size(); ++i) {
      const char d = ref[i];
      uint32_t digit;
      if (d >= '0' && d <= '9') {
        digit = static_cast<uint32_t>(d - '0');
      } else if (hex && d >= 'a' && d <= 'f') {
        digit = static_cast<uint32_t>(d - 'a' + 10);
      } else if (hex && d >= 'A' && d <= 'F') {
        digit = static_cast<uint32_t>(d - 'A' + 10);
      } else {
        return Scan::Other;
      }
      value = value * (hex ? 16 : 10) + digit;
      if (value > 0x10FFFF) return Scan::Other;
    }
    return xmlChar(value) ? Scan::Whole : Scan::Other;
  }

  const unsigned char *p_;
  std::vector<std::string_view> names_;
  std::string_view rootName_;
};

// Each slice as a new entry of a new batch; null when memory ran out.
CommonBaseEventType_ArrayTag *batchOf(VELM_AuditClientContext *context, const std::vector<std::string_view> &events,
                                      VELM_result *result) {
  CommonBaseEventType_ArrayTag *batch = newCommonBaseEvents(static_cast<int32_t>(events.size()));
  if (batch == nullptr) {
    traceNoMemory(context, result, __func__, __LINE__);
    return nullptr;
  }
  for (const std::string_view e : events) {
    char *text = static_cast<char *>(std::malloc(e.size() + 1));
    CommonBaseEventType *entry = text != nullptr ? newCommonBaseEvent(text) : nullptr;
    if (entry == nullptr) {
      std::free(text);
      freeCommonBaseEvents(batch);
      traceNoMemory(context, result, __func__, __LINE__);
      return nullptr;
    }
    std::memcpy(text, e.data(), e.size());
    text[e.size()] = '\0';
    batch->entries[batch->count++] = entry;
  }
  return batch;
}

}  // namespace

CommonBaseEventType_ArrayTag *velmStringToCommonBaseEvents(VELM_AuditClientContext *context, const char *text,
                                                           VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  if (text == nullptr) {
    VELM_TRACE_ERROR(context, "ERROR: The %s parameter is missing", "buffer");
    VELM_RECORD(context, result, 9, "buffer");
    return nullptr;
  }
  thread_local std::vector<std::string_view> events;
  events.clear();
  const Scan scan = BatchScanner(text).run(events);
  if (scan == Scan::Other) {
    VELM_FLOW(context, "FLOW: the batch string is read by the parser");
    return splitByParser(context, text, result);
  }
  const int n = static_cast<int>(events.size());
  if (scan == Scan::CutShort)
    VELM_TRACE_ERROR(context, "ERROR: the batch string is damaged; %d whole events of %d kept: %s", n, n + 1,
                     "the text ends inside an event");
  VELM_FLOW(context, "Number of events is %d", n);
  if (n == 0 && scan == Scan::CutShort)
    VELM_TRACE_ERROR(context, "ERROR: convertToDOM() failed. Events may have been lost");
  return batchOf(context, events, result);
}

int getFailedEvent(VELM_AuditClientContext *context, const char *faultDetail, VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  if (faultDetail == nullptr) {
    VELM_TRACE_ERROR(context, "The required parameter %s passed to the function is NULL", "faultDetail");
    VELM_RECORD(context, result, 9, "faultDetail");
    return 0;
  }
  XmlParser *parser = createXercesDOMParser(context, result);
  if (parser == nullptr) return 0;
  int position = 0;
  if (XmlDocument *doc = convertToDOM(context, parser, faultDetail, result)) {
    // A number cut short could name the wrong event; only a whole element counts.
    XmlElement *failed = getElementByTagName(context, doc, u"failedevent", result);
    if (failed != nullptr && parsedWhole(parser, failed)) {
      if (XmlNode *first = getFirstChildElement(context, failed, result)) {
        if (char *value = getElementData(context, first, result)) {
          position = leadingInteger(value);
          std::free(value);
        }
      }
    }
    releaseParsedDocument(parser);
  }
  deleteXercesDOMParser(parser);
  return position;
}

}  // namespace velm

char *VELM_AuditEvent_ToXML(VELM_AuditEvent *event, VELM_result *result) {
  if (result == nullptr || event == nullptr) {
    nullParmHandler2(event, result, kVelmTraceUnit, __LINE__, "[VELM_AuditEvent_ToXML]");
    return nullptr;
  }
  result->numErrors = 0;
  result->maxErrors = 0;
  VELM_AuditClientContext *context = event->context;
  VELM_ENTRY_EXIT(context);
  char *text = nullptr;
  try {
    text = velm::velmAuditEventToXMLString(context, event, result);
  } catch (...) {
    text = nullptr;
  }
  // Some failures (an element without a value, the library not running)
  // carry no message of their own.
  if (text == nullptr && result->numErrors <= 0) VELM_RECORD(context, result, 25);
  return text;
}
