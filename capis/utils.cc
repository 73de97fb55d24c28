// Hashing, chained hash tables, location types, code-set conversion, string
// arrays, UUIDs and sleeping.
#include "capis/utils.h"

#include <ctime>
#include <cerrno>
#include <cstdlib>
#include <cstring>

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

char *utf8Convert(VELM_AuditClientContext *context, const char *text, int direction, VELM_result *result) {
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
  if (toUTF8) {
    cvx_to_utf8(cs, text, static_cast<int>(n), buffer, static_cast<int>(size));
  } else {
    cvx_from_utf8(cs, text, static_cast<int>(n), buffer, static_cast<int>(size));
  }
  return buffer;
}

char **copyStringArray(VELM_AuditClientContext *context, char *const *array, int direction, VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  if (array == nullptr) return nullptr;
  std::size_t count = 0;
  while (array[count] != nullptr) ++count;
  auto **copy = static_cast<char **>(std::calloc(count + 1, sizeof(char *)));
  bool ok = copy != nullptr;
  const bool plain = direction == kNoConversion || (context != nullptr && context->elementCodeSetIsUTF8);
  VELM_result scratch{};  // utf8Convert's own messages are replaced by ours
  for (std::size_t i = 0; ok && i < count; ++i) {
    copy[i] = plain ? strdup(array[i]) : utf8Convert(context, array[i], direction, &scratch);
    ok = copy[i] != nullptr;
  }
  VELM_Result_Clean(&scratch);
  if (!ok) {
    if (copy != nullptr) freeStringArray(context, copy, result);
    recordNoMemory(context, result, __func__, __LINE__, true);
    return nullptr;
  }
  return copy;
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
