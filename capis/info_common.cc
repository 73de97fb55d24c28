#include "capis/info_common.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "capis/errors.h"
#include "capis/utils.h"

namespace velm {

namespace {

void *systemAlloc(size_t size) { return std::malloc(size); }
InfoAllocFn infoAllocator = &systemAlloc;

// "ERROR:" line under the context's error-level test, tagged with the site.
template <typename... A>
void traceErrorAt(VELM_AuditClientContext *context, const InfoSite &site, const char *format, A... args) {
  if (traceOn(context, TraceKind::Error))
    traceLine(context->traceLogger, site.unit, site.function, site.line, format, args...);
}

char *plainCopy(VELM_AuditClientContext *context, const char *text, const InfoSite &site, VELM_result *result) {
  const size_t n = std::strlen(text) + 1;
  auto *copy = static_cast<char *>(infoAllocator(n));
  if (copy == nullptr) {
    recordMessage(context, result, 1, site.unit, site.function, site.line);
    traceErrorAt(context, site, "ERROR: cannot malloc");
    return nullptr;
  }
  std::memcpy(copy, text, n);
  return copy;
}

// Conversion needs the context's code-set handles; without a context (or
// with a UTF-8 element code set) texts are taken byte for byte.
bool plainCopyApplies(const VELM_AuditClientContext *context, int convertFlag) {
  return convertFlag == 0 || context == nullptr || context->elementCodeSetIsUTF8;
}

}  // namespace

bool infoRequire(VELM_AuditClientContext *context, const void *value, const char *name, const InfoSite &site,
                 VELM_result *result) {
  if (value != nullptr) return true;
  recordMessage(context, result, 9, site.unit, site.function, site.line, name);
  traceErrorAt(context, site, "ERROR: The %s parameter is missing", name);
  return false;
}

bool infoCheckLocationType(VELM_AuditClientContext *context, const char *value, const char *paramName,
                           const InfoSite &site, VELM_result *result) {
  bool valid = false;
  if (context != nullptr && context->locTypeTable != nullptr) {
    valid = checkHashTableForMatch(context, value, context->locTypeTable, context->locTypeTableSize, result) == 0;
  } else {
    // No table to look in (a context still being set up): same exact match.
    for (const char *type : locationTypes) valid = valid || std::strcmp(type, value) == 0;
  }
  if (valid) return true;
  recordMessage(context, result, 8, site.unit, site.function, site.line, paramName, value);
  traceErrorAt(context, site, "ERROR: value of %s is not a valid value: %s", paramName, value);
  return false;
}

void setInfoAllocator(InfoAllocFn alloc) { infoAllocator = alloc != nullptr ? alloc : &systemAlloc; }

void *infoAllocZeroed(VELM_AuditClientContext *context, size_t size, const InfoSite &site, VELM_result *result) {
  void *record = infoAllocator(size);
  if (record == nullptr) {
    recordMessage(context, result, 1, site.unit, site.function, site.line);
    traceErrorAt(context, site, "ERROR: cannot malloc");
    return nullptr;
  }
  std::memset(record, 0, size);
  return record;
}

bool infoCopyString(VELM_AuditClientContext *context, const char *text, int convertFlag, char **field,
                    const InfoSite &site, VELM_result *result, const char *fieldName) {
  if (text == nullptr) return true;
  char *copy = plainCopyApplies(context, convertFlag)
                   ? plainCopy(context, text, site, result)
                   : utf8Convert(context, text, kToUTF8, result, fieldName);
  if (copy == nullptr) return false;
  // A record is immutable once made: a field XML cannot carry is refused
  // now, not when the event that holds the record fails to convert.
  if (!checkXmlText(context, copy, fieldName, result)) {
    std::free(copy);
    return false;
  }
  *field = copy;
  return true;
}

bool infoCopyStringArray(VELM_AuditClientContext *context, char *const *array, int convertFlag, char ***field,
                         const InfoSite &, VELM_result *result, const char *fieldName) {
  if (array == nullptr) return true;
  char **copy =
      copyStringArray(context, array, convertFlag != 0 ? kToUTF8 : kNoConversion, result, fieldName);
  if (copy == nullptr) return false;
  for (std::size_t i = 0; copy[i] != nullptr; ++i) {
    XmlTextFault fault{};
    if (!findXmlTextFault(copy[i], &fault)) continue;
    const std::string entry = std::string(fieldName) + "[" + std::to_string(i) + "]";
    checkXmlText(context, copy[i], entry.c_str(), result);
    freeStringArray(context, copy, result);
    return false;
  }
  *field = copy;
  return true;
}

char *infoGetString(VELM_AuditClientContext *context, const char *field, VELM_result *result) {
  if (field == nullptr) return nullptr;
  if (context == nullptr) return plainCopy(context, field, InfoSite{__FILE__, "info", __func__, __LINE__}, result);
  return utf8Convert(context, field, kFromUTF8, result);
}

char **infoGetStringArray(VELM_AuditClientContext *context, char *const *field, VELM_result *result) {
  if (field == nullptr) return nullptr;
  return copyStringArray(context, field, kFromUTF8, result);
}

}  // namespace velm
