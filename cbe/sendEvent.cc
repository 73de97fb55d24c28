// Event strings, batch strings and the fault detail of a rejected batch.
#include "cbe/sendEvent.h"

#include <cstdlib>
#include <cstring>
#include <new>
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

char *velmAuditEventToXMLString(VELM_AuditClientContext *context, VELM_AuditEvent *event, VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  XmlElement *root = convertToCBE(context, event, result);
  if (root == nullptr) {
    VELM_TRACE_ERROR(context, "ERROR Failed to convert VELM Audit Event into CBE DOM Element");
    return nullptr;
  }
  char *text = convertToString(context, root, result);
  deleteElement(context, root, result);
  return text;
}

char *velmCommonBaseEventsToString(VELM_AuditClientContext *context, const CommonBaseEventType_ArrayTag *batch,
                                   VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  if (batch == nullptr) {
    VELM_TRACE_ERROR(context, "The required parameter %s passed to the function is NULL", "events");
    VELM_RECORD(context, result, 9, "events");
    return nullptr;
  }
  std::size_t capacity = batch->count > 0 ? static_cast<std::size_t>(batch->count) * 8192 : 1;
  char *buffer = static_cast<char *>(std::calloc(capacity, 1));
  if (buffer == nullptr) {
    traceNoMemory(context, result, __func__, __LINE__);
    return nullptr;
  }
  std::size_t length = 0;
  for (int32_t i = 0; i < batch->count; ++i) {
    const CommonBaseEventType *entry = batch->entries[i];
    if (entry == nullptr) continue;
    for (int32_t j = 0; j < entry->count; ++j) {
      const char *text = entry->texts[j];
      if (text == nullptr) continue;
      const std::size_t textLength = std::strlen(text);
      const std::size_t needed = length + textLength + 2;
      if (needed > capacity) {
        while (capacity < needed) capacity *= 2;
        char *grown = static_cast<char *>(std::malloc(capacity));
        if (grown == nullptr) {
          std::free(buffer);
          traceNoMemory(context, result, __func__, __LINE__);
          return nullptr;
        }
        std::memcpy(grown, buffer, length + 1);
        std::free(buffer);
        buffer = grown;
      }
      std::memcpy(buffer + length, text, textLength + 1);
      length += textLength;
    }
  }
  return buffer;
}

CommonBaseEventType_ArrayTag *velmStringToCommonBaseEvents(VELM_AuditClientContext *context, const char *text,
                                                           VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  if (text == nullptr) {
    VELM_TRACE_ERROR(context, "ERROR: The %s parameter is missing", "buffer");
    VELM_RECORD(context, result, 9, "buffer");
    return nullptr;
  }
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
