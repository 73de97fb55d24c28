// The result record: recording numbered messages, null-parameter handling,
// and the memory calls of the C interface.
#include "capis/errors.h"

#include <cstdarg>
#include <cstdlib>
#include <cstring>

#include "capis/context.h"
#include "capis/event.h"
#include "capis/trace.h"
#include "platform/nls.h"

VELM_TRACE_UNIT("errors");

namespace velm {

const char *const defaultText[kNumMessages] = {
    "velmmsg",
    /*  1 */ "DXACC0001E The malloc routine cannot allocate memory.",
    /*  2 */ "DXACC0002E An element with the name '%s' already exists in the event.",
    /*  3 */ "DXACC0003E The property name %s in the property list is not valid.",
    /*  4 */ "DXACC0004E The property '%s' in the property list has a null value.",
    /*  5 */ "DXACC0005E The property '%s' in the property list has a value type that is not valid.",
    /*  6 */ "DXACC0006E The required property '%s' is missing in the property list.",
    /*  7 */ "DXACC0007E The property %1$s has a value in the property list that is not valid: %2$s .",
    /*  8 */ "DXACC0008E The parameter, %1$s , passed to the function has a value that is not valid: %2$s .",
    /*  9 */ "DXACC0009E The required parameter '%s' passed to the function was null.",
    /* 10 */ "DXACC0010E The required context handle parameter passed to the function was null.",
    /* 11 */ "DXACC0011E The pthread_create() routine returned the following error: %s .",
    /* 12 */ "DXACC0012E The required event handle parameter that was passed to the function was null.",
    /* 13 */ "DXACC0013E The required client handle parameter that was passed to the function was null.",
    /* 14 */ "DXACC0014E The predefined element, %1$s , has a value type that is not valid: %2$d .",
    /* 15 */ "DXACC0015E The required element '%s' was not present in the event.",
    /* 16 */ "DXACC0016E The predefined element '%s' has a null value.",
    /* 17 */ "DXACC0017E The element cannot be added because the parent element '%s' does not exist.",
    /* 18 */ "DXACC0018E The audit event queue could not be flushed during the function. %d audit events are still present on the queue and might be lost.",
    /* 19 */ "DXACC0019E An error occurred during secure communication with the audit server. The function %s failed with the following error: %s .",
    /* 20 */ "DXACC0020E An error occurred while sending events to the audit server. The function %s failed with the following error: %s .",
    /* 21 */ "DXACC0021E The non-static element with name '%s' cannot be added because it has already been added to an event or element.",
    /* 22 */ "DXACC0022E The static element with name '%s' cannot be deleted with VELM_AuditElement_Delete. The VELM_AuditElement_DeleteStatic function must be used.",
    /* 23 */ "DXACC0023E The velm_zarvik_setup_client_env routine failed.",
    /* 24 */ "DXACC0024E The velm_zarvik_soap_setup_client routine failed.",
    /* 25 */ "DXACC0025E An error occurred when the function tried to convert an audit event into XML.",
    /* 26 */ "DXACC0026E An error occurred while attempting to open the Microsoft Windows registry key: '%s' .",
    /* 27 */ "DXACC0027E An error occurred while attempting to query the Microsoft Windows registry for the value of '%s' .",
    /* 28 */ "DXACC0028E %d errors were reported while attempting to send audit events, possibly resulting in discarded audit events.",
    /* 29 */ "DXACC0029E The element with the name '%s' is not static and cannot be added with this function.",
    /* 30 */ "DXACC0030E The parent element with the name '%s' is static and sub-elements cannot be added to it.",
    /* 31 */ "DXACC0031E The pthread_mutex_lock() routine failed when locking the %1$s with the following error: %2$s .",
    /* 32 */ "DXACC0032E The pthread_mutex_unlock() routine failed when unlocking the %1$s with the following error: %2$s .",
    /* 33 */ "DXACC0033E The pthread_cond_broadcast() routine failed with the following error: %s .",
    /* 34 */ "DXACC0034E The pthread_mutex_init() routine failed with the following error: %s .",
    /* 35 */ "DXACC0035E The pthread_cond_init() routine failed with the following error: %s .",
    /* 36 */ "DXACC0036E An error occurred while checking for the availability of the audit server. The function %s failed with the following error: %s .",
    /* 37 */ "DXACC0037E An error occurred while sending events to the audit server: %s %s .",
    /* 38 */ "DXACC0038E An error occurred while opening the disk cache file %s : %s .",
    /* 39 */ "DXACC0039E An error occurred while reading the file position of the disk cache file %s : %s .",
    /* 40 */ "DXACC0040E An error occurred while compressing data to write to the disk cache: %d .",
    /* 41 */ "DXACC0041E An error occurred while flushing the disk cache file %s : %s .",
    /* 42 */ "DXACC0042E An error occurred while writing the disk cache file %s : %s .",
    /* 43 */ "DXACC0043E An error occurred while reading the disk cache file %s : %s .",
    /* 44 */ "DXACC0044E An error occurred while truncating the disk cache file %s : %s .",
    /* 45 */ "DXACC0045E An error occurred while setting the file position of the disk cache file %s : %s .",
    /* 46 */ "DXACC0046E An error occurred while uncompressing data read from the disk cache: %d .",
    /* 47 */ "DXACC0047E The predefined element, %1$s , has a value that is not valid: %2$s .",
    /* 48 */ "DXACC0048E An error occurred while caching the events to the file %s .",
    /* 49 */ "DXACC0049E An error occurred while deserializing %s .",
    /* 50 */ "DXACC0050E The property %1$s has a value in the property list that is not valid because it is greater than the value of the property %2$s .",
    /* 51 */ "DXACC0051E The disk cache file %s contains data that is not valid and is assumed to be corrupted.",
    /* 52 */ "DXACC0052E No event queue threads could be spawned. Processing will be aborted.",
    /* 53 */ "DXACC0053E No disk cache manager threads could be spawned. Processing will be aborted.",
    /* 54 */ "DXACC0054E Only %d of the %d specified event queue threads could be spawned. Processing will continue, but performance may be degraded.",
    /* 55 */ "DXACC0055E Only %d of the %d specified disk cache manager threads could be spawned. Processing will continue, but performance may be degraded.",
    /* 56 */ "DXACC0056E An error occurred while opening the disk cache directory %s : %s .",
    /* 57 */ "DXACC0057E An error occurred while executing a 'stat' system call on the disk cache file %s : %s .",
    /* 58 */ "DXACC0058E WARNING: The maxCacheFiles property value of %d disk cache files has been reached. This means no more disk cache files can be created until at least one existing cache file is drained and deleted. The server must be available for this to happen. The value of the diskCachePath property is %s The process is not being terminated because this problem will be corrected when the server becomes available and the existing disk cache files are drained and deleted. In the meantime, it may seem like the process has stopped, even though it has not.",
    /* 59 */ "DXACC0059E WARNING: The file system containing the disk cache files is out of space. The value of the diskCachePath property is %s The process is not being terminated because this problem will be corrected when the server becomes available and existing disk cache files are drained and deleted. In the meantime, it may seem like the process has stopped, even though it has not.",
    /* 60 */ "DXACC0060E WARNING: When attempting to open a disk cache file, an error was received indicating that there are too many files open either at the system level or at the process level. The process is not being terminated. It will continue to attempt the open. This may cause the process to appear to stop. The value of the diskCachePath property is %s The error from the open call was: %s .",
    /* 61 */ "DXACC0061E Only one VELM_AuditClient for each VELM_AuditClientContext is allowed.",
    /* 62 */ "DXACC0062E An error occured while processing the Velmara event. The function %s failed with the following error: %s",
    /* 63 */ "DXACC0063E An error occured while processing the Velmara event. The function %s failed with the following error: %d",
    /* 64 */ "DXACC0064E An error occured while processing the Velmara event. The function %s failed.",
    /* 65 */ "DXACC0065E The audit event cannot be processed without blocking the calling thread. There is no space available either on the event queue or in the disk cache.",
    /* 66 */ "DXACC0066E Contact has now been re-established with the audit server, however, while it was unavailable, %d audit events could not be processed or cached and had to be discarded.",
    /* 67 */ "DXACC0067E The audit client is being shut down. The server has recently been unavailable. During that time, %d audit events could not be processed or cached and had to be discarded.",
};

namespace {

inline constexpr int kCatalogSet = 2;
inline constexpr std::size_t kStandardBufferSize = 8192;

// Built-in texts stay in the record without a heap copy (message 1, or a
// copy that failed); they must never reach free().
bool isBuiltinText(const char *text) {
  for (const char *t : defaultText)
    if (t == text) return true;
  return false;
}

// "ERROR: cannot malloc" where the record could not grow.
void traceNoMemory(VELM_AuditClientContext *context, const char *function, int line) {
  if (context != nullptr) {
    VELM_TRACE_ERROR(context, "ERROR: cannot malloc");
  } else {
    processTraceLine(kVelmTraceUnit, function, line, "ERROR: cannot malloc");
  }
}

// Makes room for one more entry, keeping one zeroed entry beyond the last.
bool growResult(VELM_result *result) {
  if (result->numErrors < 0) {
    result->numErrors = 0;
    result->maxErrors = 0;
  }
  if (result->numErrors + 1 < result->maxErrors) return true;
  const int newMax = result->numErrors + 5;
  auto *grown = static_cast<VELM_error *>(std::calloc(static_cast<std::size_t>(newMax), sizeof(VELM_error)));
  if (grown == nullptr) return false;
  if (result->numErrors > 0) {
    std::memcpy(grown, result->errors, static_cast<std::size_t>(result->numErrors) * sizeof(VELM_error));
    std::free(result->errors);
  }
  result->errors = grown;
  result->maxErrors = newMax;
  return true;
}

// The catalogue and code set a message is taken from. Without a context the
// catalogue of the current locale is opened for this one message.
struct MessageSource {
  cvx_catd catalog = nullptr;
  cvx_cs codeSet = nullptr;
  bool ownCatalog = false;

  explicit MessageSource(VELM_AuditClientContext *context) {
    if (context != nullptr) {
      catalog = context->catalog;
      codeSet = context->errorCodeSetHandle;
    } else {
      catalog = cvx_catopen("velmmsg", 1, nullptr);
      codeSet = cvx_get_def_cs();
      ownCatalog = true;
    }
  }
  ~MessageSource() {
    if (ownCatalog && catalog != nullptr) cvx_catclose(catalog);
  }
  MessageSource(const MessageSource &) = delete;
  MessageSource &operator=(const MessageSource &) = delete;
};

}  // namespace

void logLastError(VELM_AuditClientContext *context, const VELM_result *result, const char *unit,
                  const char *function, int line) {
  if (result == nullptr || result->numErrors <= 0 || result->errors == nullptr) return;
  const char *text = result->errors[result->numErrors - 1].message;
  if (text == nullptr) return;
  // The text goes in as a parameter: a recorded message may hold '%'.
  if (context != nullptr) {
    traceLine(context->errorLogger, unit, function, line, "%s", text);
  } else {
    processErrorLine(unit, function, line, "%s", text);
  }
}

}  // namespace velm

using velm::defaultText;

void *errorHandler(VELM_AuditClientContext *context, int msgNumber, VELM_result *result, int extraSize,
                   int argCount, ...) {
  if (result == nullptr || msgNumber < 1 || msgNumber >= velm::kNumMessages) return nullptr;
  velm::MessageSource source(context);

  if (!velm::growResult(result)) {
    velm::traceNoMemory(context, __func__, __LINE__);
    return nullptr;
  }
  VELM_error &entry = result->errors[result->numErrors];
  const char *builtin = defaultText[msgNumber];
  char *tmpl = cvx_catgets(source.catalog, velm::kCatalogSet, msgNumber, builtin, source.codeSet);
  const bool fromCatalog = tmpl != builtin;

  if (argCount < 1) {
    char *text = tmpl;
    if (!fromCatalog && msgNumber != 1) {
      char *copy = strdup(builtin);
      if (copy != nullptr) text = copy;
    }
    entry.code = msgNumber;
    entry.message = text;
    ++result->numErrors;
    return text;
  }

  const std::size_t size = extraSize != 0
                               ? static_cast<std::size_t>(extraSize) + std::strlen(tmpl) + 10
                               : velm::kStandardBufferSize;
  auto *buffer = static_cast<char *>(std::calloc(size, 1));
  if (buffer == nullptr) {
    if (fromCatalog) std::free(tmpl);
    velm::traceNoMemory(context, __func__, __LINE__);
    return nullptr;
  }
  va_list args;
  va_start(args, argCount);
  cvx_vsprintf(source.codeSet, nullptr, buffer, size, tmpl, args);
  va_end(args);
  if (fromCatalog) std::free(tmpl);
  entry.code = msgNumber;
  entry.message = buffer;
  ++result->numErrors;
  return buffer;
}

int nullParmHandler1(VELM_AuditClientContext *context, VELM_result *result, const char *sourceFile, int line,
                     const char *functionName) {
  if (result == nullptr) {
    if (context != nullptr) {
      velm::traceLine(context->traceLogger, sourceFile, functionName, line, "ERROR: status parameter is NULL");
    } else {
      velm::processTraceLine(sourceFile, functionName, line, "ERROR: status parameter is NULL");
    }
    return 0;
  }
  result->numErrors = 0;
  result->maxErrors = 0;
  if (context != nullptr) return 0;
  velm::processTraceLine(sourceFile, functionName, line, "ERROR: context parameter is NULL");
  if (errorHandler(nullptr, 10, result, 0, 0) != nullptr)
    velm::logLastError(nullptr, result, sourceFile, functionName, line);
  return 0;
}

int nullParmHandler2(VELM_AuditEvent *event, VELM_result *result, const char *sourceFile, int line,
                     const char *functionName) {
  if (result == nullptr) {
    if (event != nullptr && event->context != nullptr) {
      velm::traceLine(event->context->traceLogger, sourceFile, functionName, line, "ERROR: status parameter is NULL");
    } else {
      velm::processTraceLine(sourceFile, functionName, line, "ERROR: status parameter is NULL");
    }
    return 0;
  }
  result->numErrors = 0;
  result->maxErrors = 0;
  if (event != nullptr) return 0;
  velm::processTraceLine(sourceFile, functionName, line, "ERROR: event parameter is NULL");
  if (errorHandler(nullptr, 12, result, 0, 0) != nullptr)
    velm::logLastError(nullptr, result, sourceFile, functionName, line);
  return 0;
}

extern "C" {

VELM_API int VELM_Result_Clean(VELM_result *result) {
  if (result == nullptr) return -1;
  if (result->numErrors != 0 && result->maxErrors != 0 && result->errors != nullptr) {
    for (int i = 0; i < result->numErrors && i < result->maxErrors; ++i) {
      char *text = result->errors[i].message;
      if (text != nullptr && !velm::isBuiltinText(text)) std::free(text);
    }
    std::free(result->errors);
  }
  result->numErrors = 0;
  result->maxErrors = 0;
  result->errors = nullptr;
  return 0;
}

VELM_API void *VELM_Malloc(size_t size) { return std::malloc(size); }

VELM_API int VELM_Free(void *ptr) {
  if (ptr == nullptr) return -1;
  std::free(ptr);
  return 0;
}

}  // extern "C"
