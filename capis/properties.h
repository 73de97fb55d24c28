// The property table of the client context: one entry per property with its
// value type, default, rule and the context field it fills. Parsing,
// validation, tracing and the documentation all follow this table.
#pragma once

#include <array>
#include <climits>
#include <string_view>

#include "capis/context.h"

namespace velm {

struct PropertyDef {
  const char *name;
  int valueType;  // VELM_VT_STRING or VELM_VT_INTEGER
  // Integers: the smallest value allowed (INT_MIN: any) and the default.
  int minimum;
  int intDefault;
  // Strings: the default text (null: none). For a property with choices the
  // value must be one of them exactly and is stored as its index; intDefault
  // is then the default index.
  const char *strDefault;
  std::array<const char *, 3> choices;
  char *VELM_AuditClientContext::*strField;
  int VELM_AuditClientContext::*intField;
  bool secret;  // never traced
};

using Ctx = VELM_AuditClientContext;
inline constexpr std::array<const char *, 3> kNoChoices{};
inline constexpr std::array<const char *, 3> kNoYes{"no", "yes", nullptr};
inline constexpr std::array<const char *, 3> kDiskCacheModes{"never", "always", "auto"};

constexpr PropertyDef strProp(const char *name, char *Ctx::*field, const char *def = nullptr,
                              bool secret = false) {
  return {name, VELM_VT_STRING, 0, 0, def, kNoChoices, field, nullptr, secret};
}
constexpr PropertyDef choiceProp(const char *name, int Ctx::*field, std::array<const char *, 3> choices,
                                 int defaultIndex) {
  return {name, VELM_VT_STRING, 0, defaultIndex, nullptr, choices, nullptr, field, false};
}
constexpr PropertyDef intProp(const char *name, int Ctx::*field, int def, int minimum) {
  return {name, VELM_VT_INTEGER, minimum, def, nullptr, kNoChoices, nullptr, field, false};
}

inline constexpr int kAny = INT_MIN;
inline constexpr int kDefaultResponseTimeout = 180;

inline constexpr std::array<PropertyDef, 40> kProperties{{
    strProp("serverURL", &Ctx::serverURL),
    strProp("keyFilePath", &Ctx::keyFilePath),
    strProp("stashFilePath", &Ctx::stashFilePath),
    strProp("clientUserName", &Ctx::clientUserName),
    strProp("clientPassword", &Ctx::clientPassword, nullptr, true),
    intProp("transferSize", &Ctx::transferSize, 10, 1),
    intProp("queueSize", &Ctx::queueSize, 50, 1),
    intProp("hiWater", &Ctx::hiWater, 20, 1),
    intProp("flushInterval", &Ctx::flushInterval, 2, 1),
    intProp("numberEQThreads", &Ctx::numberEQThreads, 1, 1),
    intProp("numberCMThreads", &Ctx::numberCMThreads, 1, 1),
    intProp("numberRetries", &Ctx::numberRetries, 3, 0),
    intProp("retryInterval", &Ctx::retryInterval, 2, 1),
    choiceProp("compress", &Ctx::compress, kNoYes, 0),
    strProp("elementCodeSet", &Ctx::elementCodeSet),  // default: the platform code set
    strProp("errorLocale", &Ctx::errorLocale),        // default: the current locale
    strProp("errorCodeSet", &Ctx::errorCodeSet),      // default: the platform code set
    intProp("traceLevel", &Ctx::traceLevel, 1, kAny),
    intProp("errorTraceLevel", &Ctx::errorTraceLevel, 1, kAny),
    intProp("entryTraceLevel", &Ctx::entryTraceLevel, 2, kAny),
    intProp("flowTraceLevel", &Ctx::flowTraceLevel, 3, kAny),
    choiceProp("usingQUILL", &Ctx::usingQUILL, kNoYes, 0),
    strProp("traceLoggerName", &Ctx::traceLoggerName, "traceLogger"),
    strProp("traceFilePath", &Ctx::traceFilePath),
    intProp("maxTraceFileSize", &Ctx::maxTraceFileSize, 1000000, 512),
    intProp("maxTraceFiles", &Ctx::maxTraceFiles, 2, 1),
    strProp("errorLoggerName", &Ctx::errorLoggerName, "errorLogger"),
    strProp("errorFilePath", &Ctx::errorFilePath),
    intProp("maxErrorFileSize", &Ctx::maxErrorFileSize, 1000000, 512),
    intProp("maxErrorFiles", &Ctx::maxErrorFiles, 2, 1),
    choiceProp("useDiskCache", &Ctx::useDiskCache, kDiskCacheModes, 2),
    intProp("lowWater", &Ctx::lowWater, 10, 1),  // default: transferSize
    strProp("diskCachePath", &Ctx::diskCachePath),
    intProp("maxCacheFileSize", &Ctx::maxCacheFileSize, 10485760, 10240),
    intProp("maxCacheFiles", &Ctx::maxCacheFiles, 1000, 1),
    intProp("rebindInterval", &Ctx::rebindInterval, 10, 1),
    intProp("tempStorageFullTimeout", &Ctx::tempStorageFullTimeout, -1, -1),
    intProp("shutDownTimeout", &Ctx::shutDownTimeout, -1, kAny),
    intProp("responseTimeout", &Ctx::responseTimeout, kDefaultResponseTimeout, 1),  // or the environment
    // Added after the original 39, so their indexes stay as they were.
    choiceProp("cacheSync", &Ctx::cacheSync, kNoYes, 0),
}};

inline constexpr int kNumProperties = static_cast<int>(kProperties.size());

// Index of the property named exactly name, or -1.
constexpr int findProperty(std::string_view name) {
  for (int i = 0; i < kNumProperties; ++i)
    if (name == kProperties[static_cast<std::size_t>(i)].name) return i;
  return -1;
}

// Index of the choice value matches exactly, or -1.
constexpr int findChoice(const PropertyDef &def, std::string_view value) {
  for (int i = 0; i < 3; ++i)
    if (def.choices[static_cast<std::size_t>(i)] != nullptr && value == def.choices[static_cast<std::size_t>(i)])
      return i;
  return -1;
}

inline constexpr int kLowWater = findProperty("lowWater");
inline constexpr int kResponseTimeout = findProperty("responseTimeout");
static_assert(kLowWater == 31 && kResponseTimeout == 38);

// Sets every default of the table (lowWater to the default transferSize,
// responseTimeout from "VELM_SERVER_RESPONSE_TIMEOUT" when that is a positive
// integer). Returns false when a default text could not be copied.
bool setPropertyDefaults(VELM_AuditClientContext *context);

// Stores the property list into context. On a violation records the message
// (4, 5, 7 or 1) and returns -1. given[i] tells which properties were set.
int storeProperties(VELM_AuditClientContext *context, const VELM_Property *list, VELM_result *result,
                    std::array<bool, kProperties.size()> &given);

// The rules between properties, in their order. -1 with message 6 or 50.
int checkPropertyRules(VELM_AuditClientContext *context, const std::array<bool, kProperties.size()> &given,
                       VELM_result *result);

// Flow trace of the list as given (clientPassword left out).
void traceProperties(VELM_AuditClientContext *context, const VELM_Property *list);

// Frees the string properties of the context.
void freeProperties(VELM_AuditClientContext *context);

}  // namespace velm
