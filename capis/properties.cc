// Parsing and checking the property list of a client context.
#include "capis/properties.h"

#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "capis/errors.h"
#include "capis/trace.h"

VELM_TRACE_UNIT("context");

namespace velm {

namespace {

const PropertyDef &prop(int i) { return kProperties[static_cast<std::size_t>(i)]; }

// Replaces a string field with a copy of value (null clears it).
bool setString(VELM_AuditClientContext *context, const PropertyDef &def, const char *value) {
  char *&field = context->*def.strField;
  char *copy = nullptr;
  if (value != nullptr && (copy = strdup(value)) == nullptr) return false;
  std::free(field);
  field = copy;
  return true;
}

int responseTimeoutDefault() {
  const char *env = std::getenv("VELM_SERVER_RESPONSE_TIMEOUT");
  if (env == nullptr) return kDefaultResponseTimeout;
  const int value = std::atoi(env);
  return value > 0 ? value : kDefaultResponseTimeout;
}

int badValue(VELM_AuditClientContext *context, VELM_result *result, const char *name, const char *text) {
  VELM_RECORD(context, result, 7, name, text);
  return -1;
}

int storeOne(VELM_AuditClientContext *context, const PropertyDef &def, const VELM_Property &entry,
             VELM_result *result) {
  if (entry.valueType != def.valueType) {
    VELM_RECORD(context, result, 5, def.name);
    return -1;
  }
  if (entry.value == nullptr) {
    VELM_RECORD(context, result, 4, def.name);
    return -1;
  }
  if (def.valueType == VELM_VT_INTEGER) {
    const int value = *static_cast<const int32_t *>(entry.value);
    if (value < def.minimum) {
      char text[16];
      std::snprintf(text, sizeof text, "%d", value);
      return badValue(context, result, def.name, text);
    }
    context->*def.intField = value;
    return 0;
  }
  const char *text = static_cast<const char *>(entry.value);
  if (def.intField != nullptr) {
    const int index = findChoice(def, text);
    if (index < 0) return badValue(context, result, def.name, text);
    context->*def.intField = index;
    return 0;
  }
  if (!setString(context, def, text)) {
    VELM_RECORD(context, result, 1);
    return -1;
  }
  return 0;
}

}  // namespace

bool setPropertyDefaults(VELM_AuditClientContext *context) {
  for (const PropertyDef &def : kProperties) {
    if (def.strField != nullptr) {
      if (!setString(context, def, def.strDefault)) return false;
    } else {
      context->*def.intField = def.intDefault;
    }
  }
  context->lowWater = context->transferSize;
  context->responseTimeout = responseTimeoutDefault();
  return true;
}

int storeProperties(VELM_AuditClientContext *context, const VELM_Property *list, VELM_result *result,
                    std::array<bool, kProperties.size()> &given) {
  for (const VELM_Property *entry = list; entry->name != nullptr; ++entry) {
    const int index = findProperty(entry->name);
    if (index < 0) continue;  // unknown names are not an error
    if (storeOne(context, prop(index), *entry, result) != 0) return -1;
    given[static_cast<std::size_t>(index)] = true;
  }
  return 0;
}

int checkPropertyRules(VELM_AuditClientContext *context, const std::array<bool, kProperties.size()> &given,
                       VELM_result *result) {
  if (context->serverURL == nullptr) {
    VELM_RECORD(context, result, 6, "serverURL");
    return -1;
  }
  context->secure = strncasecmp(context->serverURL, "https", 5) == 0 ? 1 : 0;
  if (context->traceFilePath == nullptr) context->traceLevel = 0;
  if (context->errorFilePath == nullptr) {
    VELM_RECORD(context, result, 6, "errorFilePath");
    return -1;
  }
  if (context->queueSize < context->hiWater) {
    VELM_RECORD(context, result, 50, "hiWater", "queueSize");
    return -1;
  }
  if (context->hiWater < context->transferSize) {
    VELM_RECORD(context, result, 50, "transferSize", "hiWater");
    return -1;
  }
  if (!given[static_cast<std::size_t>(kLowWater)]) {
    context->lowWater = context->transferSize;
  } else if (context->lowWater > context->queueSize) {
    VELM_RECORD(context, result, 50, "lowWater", "queueSize");
    return -1;
  }
  if (context->secure) {
    if (context->keyFilePath == nullptr) {
      VELM_RECORD(context, result, 6, "keyFilePath");
      return -1;
    }
    if (context->stashFilePath == nullptr) {
      VELM_RECORD(context, result, 6, "stashFilePath");
      return -1;
    }
  }
  return 0;
}

void traceProperties(VELM_AuditClientContext *context, const VELM_Property *list) {
  if (!traceOn(context, TraceKind::Flow)) return;
  for (const VELM_Property *entry = list; entry->name != nullptr; ++entry) {
    const int index = findProperty(entry->name);
    if (index >= 0 && prop(index).secret) continue;
    if (entry->valueType == VELM_VT_STRING) {
      const char *value = entry->value != nullptr ? static_cast<const char *>(entry->value) : "(null)";
      VELM_FLOW(context, " property name = %s, value = %s, valueType = VELM_VT_STRING", entry->name, value);
    } else if (entry->valueType == VELM_VT_INTEGER && entry->value != nullptr) {
      VELM_FLOW(context, " property name = %s, value = %d, valueType = VELM_VT_INTEGER", entry->name,
                static_cast<int>(*static_cast<const int32_t *>(entry->value)));
    } else if (entry->valueType == VELM_VT_INTEGER) {
      // An unknown name may carry a null integer; it is not read.
      VELM_FLOW(context, " property name = %s, value = %s, valueType = VELM_VT_INTEGER", entry->name, "(null)");
    } else {
      VELM_FLOW(context, " property name = %s had an invalid valueType of %d", entry->name,
                static_cast<int>(entry->valueType));
    }
  }
}

void freeProperties(VELM_AuditClientContext *context) {
  for (const PropertyDef &def : kProperties) {
    if (def.strField == nullptr) continue;
    std::free(context->*def.strField);
    context->*def.strField = nullptr;
  }
}

}  // namespace velm
