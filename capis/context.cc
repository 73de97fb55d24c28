// The client context: creation from the property list, logging and message
// set-up, the process-wide record VELMCommon, deletion and the trace level.
#include "capis/context.h"
#include "capis/disk_cache.h"

#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <string>

#include "capis/api_guard.h"
#include "capis/errors.h"
#include "capis/properties.h"
#include "capis/runtimes.h"
#include "capis/trace.h"
#include "capis/utils.h"
#include "cbe/transport.h"

VELM_TRACE_UNIT("context");

namespace velm {

namespace {

// Beyond responseTimeout, for a thread to finish the request it is in.
constexpr auto kLeftoverThreadGrace = std::chrono::seconds(30);

VELMCommonRec *commonRec = nullptr;
std::once_flag commonOnce;

std::atomic<int> xmlStarts{0}, xmlStops{0}, axisStarts{0}, axisStops{0};

// Contexts that share a logger name share the toolkit object; configuring it
// is serialised so that only one of them adds the file handler.
std::mutex loggerSetupMutex;

void createCommon() {
  auto *rec = static_cast<VELMCommonRec *>(std::calloc(1, sizeof(VELMCommonRec)));
  if (rec == nullptr) return;
  pthread_mutex_init(&rec->mutex, nullptr);
  commonRec = rec;
}

GIIdTable *createGIIdTable(VELM_AuditClientContext *context, VELM_result *result) {
  auto *table = static_cast<GIIdTable *>(std::calloc(1, sizeof(GIIdTable)));
  char *pid = static_cast<char *>(std::calloc(10, 1));
  if (table == nullptr || pid == nullptr) {
    std::free(table);
    std::free(pid);
    if (VELM_RECORD(context, result, 1)) VELM_TRACE_ERROR(context, "ERROR: cannot malloc");
    return nullptr;
  }
  const int rc = pthread_mutex_init(&table->mutex, nullptr);
  if (rc != 0) {
    std::free(table);
    std::free(pid);
    VELM_RECORD(context, result, 34, std::strerror(rc));
    VELM_TRACE_ERROR(context, "ERROR - pthread_mutex_init returned msg: %s, code: %d", std::strerror(rc), rc);
    return nullptr;
  }
  std::snprintf(pid, 10, "%08X", static_cast<unsigned>(getpid()));
  table->pidText = pid;
  table->counter = 0;
  VELM_FLOW(context, "FLOW: process id = %s", pid);
  return table;
}

void freeGIIdTable(GIIdTable *table) {
  if (table == nullptr) return;
  std::free(table->pidText);
  pthread_mutex_destroy(&table->mutex);
  std::free(table);
}

// True when logger has no listeners yet, i.e. nobody configured it.
bool hasNoListeners(QlgObject *logger) {
  QlgIterator *it = QlgGetListeners(logger);
  if (it == nullptr) return true;
  const bool empty = QlgIterNext(it) == nullptr;
  QlgIterFree(it);
  return empty;
}

// Gets (or creates) the logger called name and, when nobody configured it
// yet, hangs a file handler "FH<name>" on it. Returns the logger (held by the
// caller) and whether it was newly configured.
QlgObject *setUpLogger(const char *name, const char *filePath, int maxFileSize, int maxFiles, bool &configured) {
  configured = false;
  QlgObject *logger = QlgGetObject(name, "qlg_basiclogger");
  if (logger == nullptr || !hasNoListeners(logger)) return logger;
  QlgSetObjPropInt(logger, "level", 1000);
  const std::string handlerName = std::string("FH") + name;
  QlgObject *handler = QlgGetObject(handlerName.c_str(), "qlg_filehandler");
  if (handler == nullptr) return logger;
  QlgSetObjProp(handler, "fileName", filePath);
  QlgSetObjPropInt(handler, "maxFileSize", maxFileSize);
  QlgSetObjPropInt(handler, "maxFiles", maxFiles);
  QlgSetObjProp(handler, "filePermission", "0660");
  QlgAddListener(logger, handler);
  QlgReleaseObject(handler);  // the listener list holds it now
  configured = true;
  return logger;
}

void setUpLogging(VELM_AuditClientContext *context) {
  std::scoped_lock lock(loggerSetupMutex);
  if (!context->usingQUILL) QlgOpenToolkit(nullptr);
  // The toolkit's own error log would write to the console of the application.
  if (QlgObject *own = QlgGetObject("quill.errorLogger", nullptr)) {
    QlgSetObjProp(own, "logging", "false");
    QlgReleaseObject(own);
  }
  bool configured = false;
  if (context->traceFilePath != nullptr) {
    context->traceLogger = setUpLogger(context->traceLoggerName, context->traceFilePath, context->maxTraceFileSize,
                                       context->maxTraceFiles, configured);
    if (configured) setProcessTraceLogger(context->traceLogger);
  }
  context->errorLogger = setUpLogger(context->errorLoggerName, context->errorFilePath, context->maxErrorFileSize,
                                     context->maxErrorFiles, configured);
  if (configured) setProcessErrorLogger(context->errorLogger);
  attachProcessLoggers(context->traceLogger, context->errorLogger);
}

// Catalogue of the error locale (or of the current one). An error locale
// that cannot be used is moved to badLocale for the warning.
void openCatalog(VELM_AuditClientContext *context, char *&badLocale) {
  if (context->errorLocale == nullptr) {
    context->catalog = cvx_catopen("velmmsg", 0, nullptr);
    return;
  }
  context->errorLocaleHandle = cvx_loc_new(context->errorLocale);
  if (context->errorLocaleHandle != nullptr)
    context->catalog = cvx_catopen("velmmsg", 1, context->errorLocaleHandle);
  if (context->catalog == nullptr) {
    badLocale = context->errorLocale;
    context->errorLocale = nullptr;
  }
}

// Code-set handles. An unknown errorCodeSet falls back to the default and is
// moved to badCodeSet; an unknown elementCodeSet fails creation.
int openCodeSets(VELM_AuditClientContext *context, char *&badCodeSet, VELM_result *result) {
  context->utf8CodeSet = cvx_cs_new("UTF8");
  context->errorCodeSetHandle = cvx_get_def_cs();
  if (context->errorCodeSet != nullptr) {
    if (cvx_cs h = cvx_cs_new(context->errorCodeSet)) {
      context->errorCodeSetHandle = h;
    } else {
      badCodeSet = context->errorCodeSet;
      context->errorCodeSet = nullptr;
    }
  }
  context->elementCodeSetHandle = cvx_get_def_cs();
  if (context->elementCodeSet != nullptr) {
    cvx_cs h = cvx_cs_new(context->elementCodeSet);
    if (h == nullptr) {
      VELM_RECORD(context, result, 7, "elementCodeSet", context->elementCodeSet);
      return -1;
    }
    context->elementCodeSetHandle = h;
    context->elementCodeSetIsUTF8 = std::strcmp(context->elementCodeSet, "UTF8") == 0 ? 1 : 0;
  }
  return 0;
}

// Points the national-language services at the install directory.
int setUpNls(VELM_AuditClientContext *context, VELM_result *result) {
  cvx_init();
  context->installDir = strdup(VELM_INSTALL_DIR);
  if (context->installDir == nullptr) {
    VELM_RECORD(nullptr, result, 1);
    return -1;
  }
  char path[4096];
  std::snprintf(path, sizeof path, "%s/%s", context->installDir, "nls/CVX");
  cvx_set_dir(path);
  char *searchPath = cvx_get_nlspath();
  if (searchPath == nullptr || std::strstr(searchPath, context->installDir) == nullptr) {
    std::snprintf(path, sizeof path, "%s/%s", context->installDir, "nls/msg/%L/%N.cat");
    cvx_prepend_nlspath(path);
  }
  std::free(searchPath);
  return 0;
}

// The process-wide part of creation, under VELMCommon's mutex.
int joinCommon(VELM_AuditClientContext *context, VELM_result *result) {
  VELMCommonRec *common = velmCommon();
  if (common == nullptr) {
    if (VELM_RECORD(context, result, 1)) VELM_TRACE_ERROR(context, "ERROR: cannot malloc");
    return -1;
  }
  PthreadLock lock(common->mutex);
  if (!common->eventTableReady) {
    if (initEventTable(context, result) != 0) return -1;
    common->eventTableReady = 1;
  }
  if (buildLocTypeHashTable(context, result) != 0) return -1;
  if (++common->refCount == 1) {
    VELM_FLOW(context, "FLOW: calling initializeXMLParser");
    ++xmlStarts;
    if (initializeXMLParser() != 0) {
      --common->refCount;
      return -1;
    }
    VELM_FLOW(context, "FLOW: calling initializeAxis");
    ++axisStarts;
    if (initializeAxis() != 0) {
      // Undo the parser so that the next creation starts both afresh.
      ++xmlStops;
      terminateXMLParser();
      --common->refCount;
      return -1;
    }
    common->giidTable = createGIIdTable(context, result);
    if (common->giidTable == nullptr) {
      ++axisStops;
      terminateAxis();
      ++xmlStops;
      terminateXMLParser();
      --common->refCount;
      return -1;
    }
  }
  context->counted = 1;
  context->giidTable = common->giidTable;
  return 0;
}

void leaveCommon(VELM_AuditClientContext *context) {
  VELMCommonRec *common = commonRec;
  if (common == nullptr || !context->counted) return;
  PthreadLock lock(common->mutex);
  if (--common->refCount == 0) {
    VELM_FLOW(context, "FLOW: calling terminateAxis");
    ++axisStops;
    terminateAxis();
    VELM_FLOW(context, "FLOW: calling terminateXMLParser");
    ++xmlStops;
    terminateXMLParser();
    freeGIIdTable(common->giidTable);
    common->giidTable = nullptr;
  }
  context->counted = 0;
}

void freeCodeSet(cvx_cs cs) {
  if (cs != nullptr && cs != cvx_get_def_cs()) cvx_cs_free(cs);
}

}  // namespace

VELMCommonRec *velmCommon() {
  std::call_once(commonOnce, createCommon);
  return commonRec;
}

RuntimeCounters runtimeCounters() {
  return RuntimeCounters{xmlStarts.load(), xmlStops.load(), axisStarts.load(), axisStops.load()};
}

// Releases everything a context holds; also the end of every failed creation.
void deleteContext(VELM_AuditClientContext *context) {
  // A queue or cache thread that outlived its client's deletion still reads
  // the context, its cache and its connections: wait for it, long enough for
  // a request to time out. If it is stuck even so, the context is left
  // allocated rather than freed under it.
  if (context->liveThreads != nullptr) {
    const auto limit = std::chrono::seconds(std::max(context->responseTimeout, 1)) + kLeftoverThreadGrace;
    if (!waitThreadsGone(context->liveThreads, limit)) {
      VELM_TRACE_ERROR(context, "ERROR: library threads still use the context; it is not freed");
      if (context->errorLogger != nullptr)
        traceLine(context->errorLogger, kVelmTraceUnit, __func__, __LINE__,
                  "library threads still use the context; it is not freed");
      return;
    }
  }
  if (context->cacheInfo != nullptr) {
    VELM_result local{0, 0, nullptr};
    freeCacheInfo(context, &local);
    VELM_Result_Clean(&local);
  }
  releaseTransport(context);  // before the HTTP library may stop
  leaveCommon(context);
  context->giidTable = nullptr;
  detachProcessLoggers(context->traceLogger, context->errorLogger);
  if (context->traceLogger != nullptr) QlgReleaseObject(context->traceLogger);
  if (context->errorLogger != nullptr) QlgReleaseObject(context->errorLogger);
  context->traceLogger = nullptr;
  context->errorLogger = nullptr;
  if (context->catalog != nullptr) cvx_catclose(context->catalog);
  if (context->errorLocaleHandle != nullptr) cvx_loc_free(context->errorLocaleHandle);
  freeCodeSet(context->errorCodeSetHandle);
  freeCodeSet(context->elementCodeSetHandle);
  freeCodeSet(context->utf8CodeSet);
  if (context->locTypeTable != nullptr) freeHashTable(context->locTypeTable, context->locTypeTableSize);
  freeProperties(context);
  std::free(context->installDir);
  delete context->stats;
  delete context->liveThreads;
  releaseHandle(context);
}

VELM_AuditClientContext *createContext(const VELM_Property *propertyList, VELM_result *result) {
  return createContext(propertyList, result, ApiSite{kVelmTraceUnit, __func__, __LINE__});
}

VELM_AuditClientContext *createContext(const VELM_Property *propertyList, VELM_result *result,
                                       const ApiSite &site) {
  auto *context = static_cast<VELM_AuditClientContext *>(std::calloc(1, sizeof(VELM_AuditClientContext)));
  if (context == nullptr) {
    VELM_RECORD(nullptr, result, 1);
    return nullptr;
  }
  setHandleMagic(context, kContextMagic);
  OnUnwind discard([&] { deleteContext(context); });
  auto fail = [&]() -> VELM_AuditClientContext * {
    deleteContext(context);
    return nullptr;
  };
  context->stats = new (std::nothrow) DeliveryStats();
  context->liveThreads = new (std::nothrow) LiveThreads();
  if (context->stats == nullptr || context->liveThreads == nullptr) {
    VELM_RECORD(nullptr, result, 1);
    return fail();
  }
  if (setUpNls(context, result) != 0) return fail();
  if (propertyList == nullptr) {
    VELM_RECORD(context, result, 9, "propertyList");
    return fail();
  }
  if (!setPropertyDefaults(context)) {
    VELM_RECORD(context, result, 1);
    return fail();
  }
  std::array<bool, kProperties.size()> given{};
  if (storeProperties(context, propertyList, result, given) != 0) return fail();
  if (checkPropertyRules(context, given, result) != 0) return fail();
  context->checkServerOnCreate = 1;
  context->validateEvents = 1;
  context->deleteEvents = 1;

  setUpLogging(context);
  char *badLocale = nullptr;
  char *badCodeSet = nullptr;
  openCatalog(context, badLocale);
  if (openCodeSets(context, badCodeSet, result) != 0) {
    std::free(badLocale);
    std::free(badCodeSet);
    return fail();
  }

  // The context exists only from here on, so "ENTRY" is written here, under
  // the name of the call that asked for it.
  if (traceOn(context, TraceKind::Entry)) traceLine(context->traceLogger, site.unit, site.function, site.line, "ENTRY");
  traceProperties(context, propertyList);
  if (badLocale != nullptr) {
    VELM_TRACE_WARNING(context, "WARNING: the value of the %s property, %s, is invalid, using default error messages.",
                       "errorLocale", badLocale);
    std::free(badLocale);
  }
  if (badCodeSet != nullptr) {
    VELM_TRACE_WARNING(context,
                       "WARNING: the value of the %s property, %s, is invalid, using default codeset instead.",
                       "errorCodeSet", badCodeSet);
    std::free(badCodeSet);
  }

  if (initDiskCache(context, result) != 0) return fail();
  if (joinCommon(context, result) != 0) return fail();
  // The secure environment of an https context, and the connections.
  if (initializeTransport(context, result) != 0) return fail();
  if (traceOn(context, TraceKind::Entry)) traceLine(context->traceLogger, site.unit, site.function, site.line, "EXIT");
  return context;
}

}  // namespace velm

extern "C" {

VELM_API VELM_AuditClientContext *VELM_AuditClientContext_Create(const VELM_Property *propertyList,
                                                                 VELM_result *result) {
  if (result == nullptr) return nullptr;
  // No context yet: createContext traces "ENTRY" and "EXIT" once it has one.
  const velm::ApiSite site = VELM_API_SITE_OWN_ENTRY;
  return velm::apiCall(nullptr, result, nullptr, site, [&](velm::ApiCall &) {
    return velm::createContext(propertyList, result, site);
  });
}

VELM_API int VELM_AuditClientContext_Delete(VELM_AuditClientContext *context, VELM_result *result) {
  return velm::contextCall(context, result, -1, VELM_API_SITE, [&](velm::ApiCall &call) {
    call.contextGone();
    velm::deleteContext(context);
    return 0;
  });
}

VELM_API int VELM_AuditClientContext_SetTraceLevel(VELM_AuditClientContext *context, int level,
                                                   VELM_result *result) {
  return velm::contextCall(context, result, -1, VELM_API_SITE, [&](velm::ApiCall &call) {
    if (context->traceFilePath == nullptr) return -1;
    __atomic_store_n(&context->traceLevel, level, __ATOMIC_RELAXED);
    call.exitWith("EXIT: trace level set to = %d", level);
    return 0;
  });
}

VELM_API int VELM_AuditClientContext_GetTraceLevel(VELM_AuditClientContext *context, VELM_result *result) {
  return velm::contextCall(context, result, -1, VELM_API_SITE, [&](velm::ApiCall &call) {
    const int level = __atomic_load_n(&context->traceLevel, __ATOMIC_RELAXED);
    call.exitWith("EXIT: returning trace level = %d", level);
    return level;
  });
}

VELM_API const char *getVELMCClientVersion(void) { return "VELM_C_CLIENT_VERSION=6.0.0.1"; }

}  // extern "C"
