// Hashing, chained hash tables, location types, code-set conversion, string
// arrays, UUIDs and sleeping.
#include "capis/utils.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "capis/context.h"
#include "capis/errors.h"
#include "capis/trace.h"
#include "platform/uuid.h"

VELM_TRACE_UNIT("utils");

namespace velm {

namespace {

inline constexpr int kTableSizes[] = {19, 29, 37, 53, 97, 193, 389, 769, 1543, 3079, 6151, 12289, 24593, 49157};

void recordNoMemory(VELM_AuditClientContext *context, VELM_result *result, const char *function, int line,
                    bool traceIt) {
  if (errorHandler(context, 1, result, 0, 0) != nullptr) logLastError(context, result, kVelmTraceUnit, function, line);
  if (traceIt && traceOn(context, TraceKind::Error))
    traceLine(context->traceLogger, kVelmTraceUnit, function, line, "ERROR: cannot malloc");
}

}  // namespace

const char *const locationTypes[kNumLocationTypes] = {
    "Unknown", "IPV4", "IPV6", "NWA", "ISDN", "ICD", "OID-OSI", "Dial", "HWA",
    "HID", "X25", "DCC", "SNA", "IPX", "E.164", "Hostname", "FQHostname", "Devicename",
};

uint32_t hashFunc(const char *text) {
  uint32_t hash = 0;
  for (const char *p = text; *p != '\0'; ++p) {
    hash = (hash << 5) ^ (hash >> 27);
    // Bytes count as signed: 0xE9 combines as 0xFFFFFFE9. Stored hashes
    // elsewhere rely on this.
    hash ^= static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(*p)));
  }
  return hash;
}

int computeHashTableSz(int numKeys) {
  for (int size : kTableSizes)
    if (size >= numKeys) return size;
  return kTableSizes[std::size(kTableSizes) - 1];
}

HashEntry **createHashTable(int size) {
  if (size <= 0) return nullptr;
  return static_cast<HashEntry **>(std::calloc(static_cast<std::size_t>(size), sizeof(HashEntry *)));
}

int getHashTabIndx(const char *key, int size) { return static_cast<int>(hashFunc(key) % static_cast<uint32_t>(size)); }

HashEntry *addToHashTable(const char *key, int value, HashEntry **table, int size) {
  auto *entry = static_cast<HashEntry *>(std::malloc(sizeof(HashEntry)));
  if (entry == nullptr) return nullptr;
  const int index = getHashTabIndx(key, size);
  entry->key = key;
  entry->value = value;
  entry->next = table[index];
  table[index] = entry;
  return entry;
}

HashEntry *findInHashTable(const char *key, HashEntry **table, int size) {
  if (key == nullptr || table == nullptr || size <= 0) return nullptr;
  for (HashEntry *e = table[getHashTabIndx(key, size)]; e != nullptr; e = e->next)
    if (std::strcmp(e->key, key) == 0) return e;
  return nullptr;
}

int checkHashTableForMatch(VELM_AuditClientContext *context, const char *key, HashEntry **table, int size,
                           VELM_result *result) {
  (void)result;
  VELM_TRACE_ENTRY(context);
  const int rc = findInHashTable(key, table, size) != nullptr ? 0 : -1;
  VELM_TRACE_EXIT_VALUE(context, "EXIT, rc = %d", rc);
  return rc;
}

int freeHashTable(HashEntry **table, int size) {
  if (table == nullptr) return 0;
  for (int i = 0; i < size; ++i) {
    HashEntry *e = table[i];
    while (e != nullptr) {
      HashEntry *next = e->next;
      std::free(e);
      e = next;
    }
  }
  std::free(table);
  return 0;
}

int buildLocTypeHashTable(VELM_AuditClientContext *context, VELM_result *result) {
  VELM_TRACE_ENTRY(context);
  const int size = computeHashTableSz(kNumLocationTypes);
  HashEntry **table = createHashTable(size);
  bool ok = table != nullptr;
  for (int i = 0; ok && i < kNumLocationTypes; ++i) ok = addToHashTable(locationTypes[i], i, table, size) != nullptr;
  if (!ok) {
    freeHashTable(table, size);
    recordNoMemory(context, result, __func__, __LINE__, true);
    return -1;
  }
  context->locTypeTable = table;
  context->locTypeTableSize = size;
  VELM_TRACE_EXIT(context);
  return 0;
}

namespace {

// Message 8 for a text that was refused, naming what it was.
void recordBadText(VELM_AuditClientContext *context, const char *what, const std::string &why,
                   VELM_result *result, const char *function, int line) {
  recordMessage(context, result, 8, kVelmTraceUnit, function, line, what, why.c_str());
  if (traceOn(context, TraceKind::Error))
    traceLine(context->traceLogger, kVelmTraceUnit, function, line, "ERROR: %s is refused: %s", what,
              why.c_str());
}

const char *codeSetName(const VELM_AuditClientContext *context) {
  if (context != nullptr && context->elementCodeSet != nullptr) return context->elementCodeSet;
  const char *name = cvx_cs_name(context != nullptr ? context->elementCodeSetHandle : cvx_get_def_cs());
  return name != nullptr ? name : "(unknown)";
}

}  // namespace

char *utf8Convert(VELM_AuditClientContext *context, const char *text, int direction, VELM_result *result,
                  const char *what) {
  VELM_ENTRY_EXIT(context);
  if (text == nullptr) return nullptr;
  const std::size_t n = std::strlen(text) + 1;
  if (direction == kNoConversion || (context != nullptr && context->elementCodeSetIsUTF8)) {
    char *copy = static_cast<char *>(std::malloc(n));
    if (copy == nullptr) {
      recordNoMemory(context, result, __func__, __LINE__, true);
      return nullptr;
    }
    std::memcpy(copy, text, n);
    return copy;
  }
  const cvx_cs cs = context != nullptr ? context->elementCodeSetHandle : nullptr;
  const bool toUTF8 = direction == kToUTF8;
  // A character grows to at most three bytes in UTF-8 and shrinks back.
  const std::size_t size = (toUTF8 ? 3 : 2) * n + 1;
  char *buffer = static_cast<char *>(std::calloc(size, 1));
  if (buffer == nullptr) {
    recordNoMemory(context, result, __func__, __LINE__, toUTF8);
    return nullptr;
  }
  const int rc = toUTF8 ? cvx_to_utf8(cs, text, static_cast<int>(n), buffer, static_cast<int>(size))
                        : cvx_from_utf8(cs, text, static_cast<int>(n), buffer, static_cast<int>(size));
  if (rc < 0) {
    // The service leaves "" behind; storing that would lose the value unseen.
    std::free(buffer);
    const std::string why = std::string(toUTF8 ? "the text cannot be converted from the element code set "
                                               : "the text cannot be converted into the element code set ") +
                            codeSetName(context);
    recordBadText(context, what != nullptr ? what : "text", why, result, __func__, __LINE__);
    return nullptr;
  }
  return buffer;
}

char **copyStringArray(VELM_AuditClientContext *context, char *const *array, int direction,
                       VELM_result *result, const char *what) {
  VELM_ENTRY_EXIT(context);
  if (array == nullptr) return nullptr;
  std::size_t count = 0;
  while (array[count] != nullptr) ++count;
  auto **copy = static_cast<char **>(std::calloc(count + 1, sizeof(char *)));
  if (copy == nullptr) {
    recordNoMemory(context, result, __func__, __LINE__, true);
    return nullptr;
  }
  const bool plain = direction == kNoConversion || (context != nullptr && context->elementCodeSetIsUTF8);
  for (std::size_t i = 0; i < count; ++i) {
    if (plain) {
      copy[i] = strdup(array[i]);
      if (copy[i] == nullptr) recordNoMemory(context, result, __func__, __LINE__, true);
    } else {
      // utf8Convert records why it failed: memory, or the entry named here.
      const std::string entry = std::string(what != nullptr ? what : "array") + "[" + std::to_string(i) + "]";
      copy[i] = utf8Convert(context, array[i], direction, result, entry.c_str());
    }
    if (copy[i] == nullptr) {
      freeStringArray(context, copy, result);
      return nullptr;
    }
  }
  return copy;
}

bool findXmlTextFault(const char *utf8, XmlTextFault *fault) {
  const auto *p = reinterpret_cast<const unsigned char *>(utf8);
  std::size_t i = 0;
  auto found = [&](uint32_t codePoint) {
    if (fault != nullptr) *fault = {i, codePoint};
    return true;
  };
  while (p[i] != 0) {
    const unsigned char b = p[i];
    if (b < 0x80) {
      if (b < 0x20 && b != '\t' && b != '\n' && b != '\r') return found(b);
      ++i;
      continue;
    }
    // Lead byte: length and the smallest code point that length may carry,
    // so that overlong forms are refused.
    std::size_t length;
    uint32_t cp;
    uint32_t least;
    if (b >= 0xC2 && b <= 0xDF) {
      length = 2, cp = b & 0x1F, least = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
      length = 3, cp = b & 0x0F, least = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
      length = 4, cp = b & 0x07, least = 0x10000;
    } else {
      return found(0);
    }
    for (std::size_t k = 1; k < length; ++k) {
      const unsigned char c = p[i + k];  // a NUL stops here too: it is no continuation byte
      if ((c & 0xC0) != 0x80) return found(0);
      cp = (cp << 6) | (c & 0x3F);
    }
    if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return found(0);
    if (cp == 0xFFFE || cp == 0xFFFF) return found(cp);
    i += length;
  }
  return false;
}

std::string describeXmlTextFault(const XmlTextFault &fault) {
  char text[96];
  if (fault.codePoint == 0) {
    std::snprintf(text, sizeof text, "the text is not valid UTF-8 at byte %zu", fault.offset);
  } else {
    std::snprintf(text, sizeof text, "the text holds U+%04X, which XML cannot carry, at byte %zu",
                  static_cast<unsigned>(fault.codePoint), fault.offset);
  }
  return text;
}

bool checkXmlText(VELM_AuditClientContext *context, const char *utf8, const char *what, VELM_result *result) {
  XmlTextFault fault{};
  if (utf8 == nullptr || !findXmlTextFault(utf8, &fault)) return true;
  recordBadText(context, what != nullptr ? what : "text", describeXmlTextFault(fault), result, __func__,
                __LINE__);
  return false;
}

int freeStringArray(VELM_AuditClientContext *context, char **array, VELM_result *result) {
  (void)context;
  (void)result;
  if (array == nullptr) return -1;
  for (char **p = array; *p != nullptr; ++p) std::free(*p);
  std::free(array);
  return 0;
}

int velm_create_uuid(VELM_AuditClientContext *context, VelmUuid *uuid, VELM_result *result) {
  (void)result;
  uint8_t b[16];
  const int status = platform::uuidCreate(b);
  if (status != 0) {
    VELM_TRACE_ERROR(context, "Error getting UUID. The function kx_uuid_create() failed: 0%0x",
                     static_cast<unsigned>(status));
    return -1;
  }
  uuid->timeLow = (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3];
  uuid->timeMid = static_cast<uint16_t>((b[4] << 8) | b[5]);
  uuid->timeHiAndVersion = static_cast<uint16_t>((b[6] << 8) | b[7]);
  uuid->clockSeqHiAndReserved = b[8];
  uuid->clockSeqLow = b[9];
  std::memcpy(uuid->node, b + 10, 6);
  return 0;
}

}  // namespace velm

extern "C" VELM_API int VELM_Sleep(int seconds) {
  if (seconds <= 0) return 0;
  timespec left{seconds, 0};
  // A signal cuts nanosleep short; sleep the rest.
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
  return 0;
}
