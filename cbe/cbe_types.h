// The batch of event texts handed between the conversion, the transport and
// the disk cache. Plain heap records: every entry, every text array and
// every text is malloc'd and owned by the batch.
#pragma once

#include <cstdint>

namespace velm {

// One event's CBE XML. The batches built by the library hold exactly one
// text per entry, the event string.
struct CommonBaseEventType {
  int32_t count;  // texts held
  char **texts;   // count texts, UTF-8
};

// A batch: entries in sending order. A null entry is allowed and skipped.
struct CommonBaseEventType_ArrayTag {
  int32_t count;                  // entries held
  CommonBaseEventType **entries;  // room for at least count entries
};

// A new entry holding text (adopted), or null when memory ran out (text is
// then still the caller's).
CommonBaseEventType *newCommonBaseEvent(char *text);
// Releases an entry and its texts (null is fine).
void freeCommonBaseEvent(CommonBaseEventType *entry);
// A new empty batch with room for capacity entries, or null.
CommonBaseEventType_ArrayTag *newCommonBaseEvents(int32_t capacity);
// Releases a batch with all its entries and texts (null is fine).
void freeCommonBaseEvents(CommonBaseEventType_ArrayTag *batch);

}  // namespace velm
