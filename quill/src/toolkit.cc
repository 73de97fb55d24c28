// The toolkit's API lock, levels, its own messages, open and close, and the
// logging calls.
#include <sys/time.h>

#include <cstdio>
#include <cstring>
#include <strings.h>

#include "quill/src/qlg_intl.h"

namespace velm {

namespace {

struct MsgEntry {
  int number;
  const char *text;
};

// The toolkit's built-in message texts (catalogue "qlgmsg", set 1).
constexpr MsgEntry kMessages[] = {
    {1, "QLGLG01E No listeners are registered with the logger %s."},
    {2, "QLGBC02E The message catalog file %s could not be opened."},
    {3, "QLGBC03E The message with set index %1$d and key index %2$d was not found in the message catalog %3$s."},
    {10, "QLGBC0010E The following OSK error occurred: %s"},
    {20, "QLGBC0020E Out of memory."},
    {30, "QLGBC0030E A value must be specified for the property '%s' ."},
    {31, "QLGBC0031E Property '%1$s' must be %2$d characters or less."},
    {32, "QLGFH0032E Property '%1$s' must be a valid file path for this platform, but value '%2$s' was given."},
    {33, "QLGBC0033E ANULLvalue for parameter %1$s was passed to the function %2$s. The function call will be "
         "ignored."},
    {34, "QLG0034E A negative value for parameter %1$s was passed to the function %2$s. The function call will be "
         "ignored."},
    {35, "QLGLG0035E A logger of class %s could not get the host name. The host name will not be logged."},
    {36, "QLGFH0036W Could not load codeset %s. Logged text will be stored in UTF-8 encoding instead."},
    {40, "QLGFH0040E Unable to get directory list for the file: %s"},
    {50, "QLGTK0050W Failed to initialize the Quill toolkit."},
    {51, "QLG0051E The log manager could not read the properties file %s."},
    {52, "QLG0052E The value of property '%s' in the properties file could not be parsed, because it contains a "
         "backslash character that is not part of a valid escape sequence."},
    {60, "QLGBC0060W The object named '%s' is corrupt."},
    {61, "QLGBC0061W Object '%1$s' exists but is of class '%2$s' instead of '%3$s' ."},
    {62, "QLGBC0062W Class '%1$s' must be defined before object '%2$s' can be created."},
    {63, "QLGBC0063W A class must be specified before object '%1$s' can be created."},
    {70, "QLGBC0070W The logging method parameter list did not end with a NULL."},
    {71, "QLGBC0071W The logging method's parameter list is missing type markers."},
    {72, "QLGMP0072W Could not read the active log file %1s during log file rollover."},
    {73, "QLGMP0073W Could not write to the backup log file %1s during log file rollover."},
    {74, "QLGMP0074W The value %1s is not a valid file permission mask for file handler %2s. Please specify a "
         "four-digit octal value (with a leading zero)."},
    {75, "QLGMP0075W Could not set file %1s to permission mode %2o. The system error code is %3d."},
    {76, "QLGFF0020W The property 'mode' for message ID filter %1s was set to unknown value %2s. Expected values "
         "are 'BLOCK' or 'PASSTHRU'."},
    {90, "QLGWH0090E A message could not be sent to the Harborline Application Server. The error code is %1$d."},
    {91, "QLGWH0091E An IPC channel could not be opened. The error code is %1$d."},
    {93, "QLGWH0092E An IPC channel could not be closed. The error code is %1$d."},
    {94, "QLGWH0093E A packet could not be sent over an IPC channel. The error code is %1$d."},
    {95, "QLGWH0094W A message is discarded due to timeout."},
    {100, "Logger for basic messages"},
    {101, "Logger for messages with detailed problem data"},
    {110, "Filters messages by level"},
    {120, "Handles output to the console"},
    {121, "Handles output to local log files"},
    {130, "Formats a basic message summary."},
    {131, "Formats all message data as an XML record."},
};

constexpr const char *kMsgCatalog = "qlgmsg";
constexpr const char *kErrorLoggerName = "quill.errorLogger";

// Guarded by the API lock.
bool gOpen = false;
QlgObject *gErrorLogger = nullptr;  // the toolkit's own hold

// Set while a toolkit message is being logged, so that a failure inside its
// own output cannot report itself again and again.
thread_local bool tReporting = false;

bool isWarning(std::string_view text) {
  auto blank = text.find(' ');
  return blank != std::string_view::npos && blank > 0 && text[blank - 1] == 'W';
}

// Sends a finished event to the logger's log function.
void logEvent(QlgObject *logger, QlgEvent *event) {
  if (!qlgIntlIsObject(logger) || !logger->enabled.load(std::memory_order_relaxed)) return;
  QlgLogFn log = logger->cls ? logger->cls->log : nullptr;
  if (log != nullptr) log(logger, event);
}

QlgEvent makeEvent(int level, int isMessage) {
  QlgEvent event;
  event.time = qlgIntlNowMillis();
  event.level = level;
  event.isMessage = isMessage;
  return event;
}

int logMessage(QlgObject *logger, int level, const char *catalog, int set, int key, const char *text,
               va_list args) {
  if (!QlgIsLoggable(logger, level)) return 0;
  std::scoped_lock lock(qlgIntlApiLock());
  if (!qlgIntlIsObject(logger) || logger->cls == nullptr || logger->cls->log == nullptr) return 0;
  QlgEvent event = makeEvent(level, 1);
  if (catalog != nullptr) event.message.catalog = catalog;
  event.message.set = set;
  event.message.key = key;
  event.message.text = text ? text : "";
  qlgIntlReadTypedList(&event, args);
  logEvent(logger, &event);
  return 1;
}

int logTrace(QlgObject *logger, int level, const char *srcFile, const char *function, int line,
             const char *format, va_list args) {
  if (!QlgIsLoggable(logger, level)) return 0;
  std::scoped_lock lock(qlgIntlApiLock());
  if (!qlgIntlIsObject(logger) || logger->cls == nullptr || logger->cls->log == nullptr) return 0;
  QlgEvent event = makeEvent(level, 0);
  event.message.text = format ? format : "";
  if (srcFile != nullptr) {
    event.properties["qlg_prop_srcfile"] = srcFile;
    event.properties["qlg_prop_srcline"] = std::to_string(line);
  }
  if (function != nullptr) event.properties["qlg_prop_srcfunction"] = function;
  qlgIntlReadTypedList(&event, args);
  logEvent(logger, &event);
  return 1;
}

}  // namespace

std::mutex &qlgIntlApiLock() {
  // Never destroyed: a thread blocked here while another closes the toolkit
  // must still find a valid lock.
  static std::mutex *lock = new std::mutex;
  return *lock;
}

const char *qlgIntlLevelName(int level) {
  switch (level) {
    case 1000: return "MAX";
    case 2000: return "MID";
    case 3000: return "MIN";
    case 4000: return "INFO";
    case 5000: return "WARN";
    case 6000:
    case 7000: return "ERROR";
    default: return "OTHER";
  }
}

const char *qlgIntlLevelLabel(int level) {
  switch (level) {
    case 1000: return " MAX ";
    case 2000: return " MID ";
    case 3000: return " MIN ";
    case 4000: return "INFO ";
    case 5000: return "WARN ";
    case 6000:
    case 7000: return "ERROR";
    default: return "OTHER";
  }
}

std::string_view qlgIntlMsgText(int number) {
  for (const auto &m : kMessages)
    if (m.number == number) return m.text;
  return {};
}

bool qlgIntlIsOpen() { return gOpen; }

int64_t qlgIntlNowMillis() {
  timeval tv{};
  gettimeofday(&tv, nullptr);
  return static_cast<int64_t>(tv.tv_sec) * 1000 + tv.tv_usec / 1000;
}

void qlgIntlReportMsg(int number, ...) {
  if (!gOpen || tReporting) return;
  QlgObject *logger = gErrorLogger;
  std::string_view text = qlgIntlMsgText(number);
  int level = isWarning(text) ? QLG_LEVEL_WARN : QLG_LEVEL_ERROR;
  if (!QlgIsLoggable(logger, level)) return;
  tReporting = true;
  QlgEvent event = makeEvent(level, 1);
  event.message.catalog = kMsgCatalog;
  event.message.set = 1;
  event.message.key = number;
  event.message.text = std::string(text);
  va_list args;
  va_start(args, number);
  qlgIntlReadTypedList(&event, args);
  va_end(args);
  logEvent(logger, &event);
  tReporting = false;
}

void qlgIntlReportSysError(const char *what, int err) {
  char buf[256];
  const char *reason = strerror_r(err, buf, sizeof buf);
  std::string text = std::string(what ? what : "") + ": " + reason;
  qlgIntlReportMsg(10, QLG_STRING, text.c_str(), QLG_END);
}

void qlgIntlPrintMsg(int number, ...) {
  QlgEvent event = makeEvent(QLG_LEVEL_ERROR, 1);
  event.message.text = std::string(qlgIntlMsgText(number));
  va_list args;
  va_start(args, number);
  qlgIntlReadTypedList(&event, args);
  va_end(args);
  std::string out = qlgIntlRenderMessage(&event, nullptr);
  std::fprintf(stderr, "%s\n", out.c_str());
}

int qlgIntlOpenToolkit(const char *propertiesFile) {
  if (gOpen) return 1;
  cvx_init();
  qlgIntlRegisterLoggerClasses();
  qlgIntlRegisterConsoleHandlerClass();
  qlgIntlRegisterFileHandlerClasses();
  qlgIntlRegisterHblHandlerClass();
  qlgIntlRegisterFormatterClasses();
  if (!qlgIntlFindClass("qlg_basiclogger")) qlgIntlPrintMsg(50, QLG_END);
  if (propertiesFile != nullptr && !qlgIntlLogMgrReadProps(propertiesFile)) {
    qlgIntlPrintMsg(51, QLG_STRING, propertiesFile, QLG_END);
    qlgIntlCloseToolkit();
    return 0;
  }
  // The console hangs on the toolkit's own error log even when the
  // configuration gives that logger listeners of its own, so that the
  // toolkit's problems always reach someone.
  QlgObject *logger = qlgIntlGetObject(kErrorLoggerName, "qlg_basiclogger");
  if (logger != nullptr) {
    QlgObject *console = qlgIntlGetObject("quill.defaultConsole", "qlg_consolehandler");
    QlgObject *formatter = qlgIntlGetObject("quill.defaultFormatter", "qlg_basicformatter");
    if (console != nullptr && formatter != nullptr && console->formatter != formatter) {
      qlgIntlAcquireObject(formatter);
      if (console->formatter) qlgIntlReleaseObject(console->formatter);
      console->formatter = formatter;
    }
    if (console != nullptr) qlgIntlAddListener(logger, console);
    if (formatter) qlgIntlReleaseObject(formatter);
    if (console) qlgIntlReleaseObject(console);
  }
  gErrorLogger = logger;
  gOpen = true;
  return 1;
}

void qlgIntlCloseToolkit() {
  // Messages are dropped from here on: the error logger is going away.
  gOpen = false;
  qlgIntlLogMgrClose();
  if (gErrorLogger != nullptr) {
    QlgObject *logger = gErrorLogger;
    gErrorLogger = nullptr;
    qlgIntlReleaseObject(logger);
  }
  qlgIntlReleaseAllObjects();
  qlgIntlFreeClassTable();
  qlgIntlCloseCatalogs();
  cvx_uninit();
}

}  // namespace velm

using namespace velm;

int QlgGetLevelFromString(const char *text) {
  if (text == nullptr) return QLG_LEVEL_ALWAYS;
  const char *p = text;
  if (*p == '+' || *p == '-') ++p;
  if (*p >= '0' && *p <= '9') {
    long long v = std::strtoll(text, nullptr, 10);
    if (v > INT32_MAX) v = INT32_MAX;
    if (v < INT32_MIN) v = INT32_MIN;
    return static_cast<int>(v);
  }
  struct Name {
    const char *name;
    int level;
  };
  static constexpr Name kNames[] = {
      {"FATAL", 7000},     {"ERROR", 6000}, {"WARN", 5000},      {"INFO", 4000}, {"DEBUG_MIN", 3000},
      {"MIN", 3000},       {"DEBUG_MID", 2000}, {"MID", 2000},   {"DEBUG_MAX", 1000}, {"MAX", 1000},
      {"ALL", 0},          {"OFF", 9999},
  };
  for (const auto &n : kNames)
    if (strncasecmp(text, n.name, std::strlen(n.name)) == 0) return n.level;
  return QLG_LEVEL_ALWAYS;
}

int QlgIsLoggable(QlgObject *object, int level) {
  if (object == nullptr || object->magic != kQlgObjectMagic) return 0;
  if (!object->enabled.load(std::memory_order_relaxed)) return 0;
  int own = object->level.load(std::memory_order_relaxed);
  return level == QLG_LEVEL_ALWAYS || own == QLG_LEVEL_ALWAYS || level >= own;
}

int QlgOpenToolkit(const char *propertiesFile) {
  return qlgCall(0, [&] { return qlgIntlOpenToolkit(propertiesFile); });
}

void QlgCloseToolkit(void) {
  qlgCallVoid([] { qlgIntlCloseToolkit(); });
}

QlgLogFn QlgLoggerGetFLog(QlgObject *logger) {
  return qlgCall<QlgLogFn>(nullptr, [&]() -> QlgLogFn {
    if (!qlgIntlIsObject(logger) || !logger->cls || logger->cls->kind != QLG_KIND_LOGGER) return nullptr;
    return logger->cls->log;
  });
}

// The logging calls: one message-style and one trace-style body each.
#define QLG_MSG_CALL(Name, Level)                                                                           \
  int Name##VA(QlgObject *logger, const char *catalog, int set, int key, const char *text, va_list args) {  \
    return qlgCallUnlocked(0, [&] { return logMessage(logger, Level, catalog, set, key, text, args); });    \
  }                                                                                                         \
  int Name(QlgObject *logger, const char *catalog, int set, int key, const char *text, ...) {               \
    if (!QlgIsLoggable(logger, Level)) return 0;                                                            \
    va_list args;                                                                                           \
    va_start(args, text);                                                                                   \
    int rc = Name##VA(logger, catalog, set, key, text, args);                                               \
    va_end(args);                                                                                           \
    return rc;                                                                                              \
  }

#define QLG_TRACE_CALL(Name, Level)                                                                          \
  int Name##VA(QlgObject *logger, const char *srcFile, const char *function, int line, const char *format,   \
               va_list args) {                                                                               \
    return qlgCallUnlocked(0, [&] { return logTrace(logger, Level, srcFile, function, line, format, args); }); \
  }                                                                                                          \
  int Name(QlgObject *logger, const char *srcFile, const char *function, int line, const char *format, ...) { \
    if (!QlgIsLoggable(logger, Level)) return 0;                                                             \
    va_list args;                                                                                            \
    va_start(args, format);                                                                                  \
    int rc = Name##VA(logger, srcFile, function, line, format, args);                                        \
    va_end(args);                                                                                            \
    return rc;                                                                                               \
  }

QLG_MSG_CALL(QlgLogMsg, QLG_LEVEL_ALWAYS)
QLG_MSG_CALL(QlgLogInfo, QLG_LEVEL_INFO)
QLG_MSG_CALL(QlgLogWarn, QLG_LEVEL_WARN)
QLG_MSG_CALL(QlgLogError, QLG_LEVEL_ERROR)
QLG_MSG_CALL(QlgLogFatal, QLG_LEVEL_FATAL)
QLG_TRACE_CALL(QlgLogDebugMin, QLG_LEVEL_DEBUG_MIN)
QLG_TRACE_CALL(QlgLogDebugMid, QLG_LEVEL_DEBUG_MID)
QLG_TRACE_CALL(QlgLogDebugMax, QLG_LEVEL_DEBUG_MAX)

int QlgLogTextVA(QlgObject *logger, const char *format, va_list args) {
  return qlgCallUnlocked(0, [&] { return logTrace(logger, QLG_LEVEL_ALWAYS, nullptr, nullptr, 0, format, args); });
}

int QlgLogText(QlgObject *logger, const char *format, ...) {
  if (!QlgIsLoggable(logger, QLG_LEVEL_ALWAYS)) return 0;
  va_list args;
  va_start(args, format);
  int rc = QlgLogTextVA(logger, format, args);
  va_end(args);
  return rc;
}
