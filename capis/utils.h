// Small shared services: hashing, chained hash tables, location types,
// code-set conversion, string arrays, UUIDs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "velm.h"

namespace velm {

// Chained hash table entry. Keys are borrowed, never owned by the table.
struct HashEntry {
  HashEntry *next;
  const char *key;
  int value;
};

uint32_t hashFunc(const char *text);
int computeHashTableSz(int numKeys);
HashEntry **createHashTable(int size);
HashEntry *addToHashTable(const char *key, int value, HashEntry **table, int size);
int getHashTabIndx(const char *key, int size);
// 0 when key is present, -1 otherwise.
int checkHashTableForMatch(VELM_AuditClientContext *context, const char *key, HashEntry **table, int size,
                           VELM_result *result);
// The entry for key, or null (an addition used by look-ups that need the value).
HashEntry *findInHashTable(const char *key, HashEntry **table, int size);
int freeHashTable(HashEntry **table, int size);

// The location types in index order.
inline constexpr int kNumLocationTypes = 18;
extern const char *const locationTypes[kNumLocationTypes];
int buildLocTypeHashTable(VELM_AuditClientContext *context, VELM_result *result);

// Conversion directions of utf8Convert and copyStringArray.
inline constexpr int kNoConversion = 0;
inline constexpr int kToUTF8 = 1;    // element code set to UTF-8
inline constexpr int kFromUTF8 = 2;  // UTF-8 to element code set

// New heap text (free with VELM_Free), or null: message 1 when memory ran
// out, message 8 naming `what` when the text cannot be converted between the
// element code set and UTF-8 (a value is never stored as "" instead).
char *utf8Convert(VELM_AuditClientContext *context, const char *text, int direction, VELM_result *result,
                  const char *what = "text");
// A copy of a string array, each text converted as utf8Convert does. A text
// that cannot be converted is named in message 8 as what[i].
char **copyStringArray(VELM_AuditClientContext *context, char *const *array, int direction,
                       VELM_result *result, const char *what = "array");

// The first thing in a UTF-8 text that an event cannot carry into XML 1.0:
// bytes that are not UTF-8 (overlong forms, surrogates, code points above
// U+10FFFF, sequences cut short), C0 controls other than tab, line feed and
// carriage return, and U+FFFE and U+FFFF. False when the text is fine;
// true with *fault (when given) filled in otherwise.
struct XmlTextFault {
  std::size_t offset;  // byte offset of the fault
  uint32_t codePoint;  // the character refused, or 0 for bytes that are not UTF-8
};
bool findXmlTextFault(const char *utf8, XmlTextFault *fault);
// "the text is not valid UTF-8 at byte 3", for messages.
std::string describeXmlTextFault(const XmlTextFault &fault);

// True when utf8 can be carried; otherwise records message 8 naming `what`
// with the fault, traces it, and gives false. Every path that stores text
// into an event or record checks it here.
bool checkXmlText(VELM_AuditClientContext *context, const char *utf8, const char *what, VELM_result *result);
int freeStringArray(VELM_AuditClientContext *context, char **array, VELM_result *result);

// DCE-style UUID record, filled by velm_create_uuid.
struct VelmUuid {
  uint32_t timeLow;
  uint16_t timeMid;
  uint16_t timeHiAndVersion;
  uint8_t clockSeqHiAndReserved;
  uint8_t clockSeqLow;
  uint8_t node[6];
};
int velm_create_uuid(VELM_AuditClientContext *context, VelmUuid *uuid, VELM_result *result);

}  // namespace velm
