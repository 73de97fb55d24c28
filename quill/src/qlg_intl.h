// Internals of the logging toolkit shared by its source units and by the
// handler classes built on it.
//
// Locking: every public Qlg call takes the one API lock (qlgIntlApiLock)
// for its duration. Everything declared here, and every class operation,
// runs with that lock held and must never take it again: class code calls
// the qlgIntl functions, never the public Qlg ones. QlgIsLoggable is the
// only reader without the lock, so an object's enabled flag and level are
// atomics.
#pragma once

#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "capis/api_guard.h"
#include "platform/nls.h"
#include "qlg.h"

namespace velm {

// Marks a live object; poisoned when the object is destroyed, so a stale
// pointer handed to the interface is recognised instead of used.
inline constexpr uint32_t kQlgObjectMagic = 0x514c474fu;  // "QLGO"
inline constexpr uint32_t kQlgDeadMagic = 0xdeadbeefu;
inline constexpr int kQlgMaxListEntries = 63;  // typed list entries read per call

// A catalogue message: shared by class descriptions and events.
struct QlgMessage {
  std::optional<std::string> catalog;  // none: format the default text
  int set = 0;
  int key = 0;
  std::string text;  // default text (a printf format)
};

// One message parameter of a typed list.
struct QlgParam {
  int type = QLG_END;  // QLG_BOOL .. QLG_STRING
  long long i = 0;     // QLG_BOOL, QLG_INT, QLG_LONG, QLG_CHAR
  double d = 0;        // QLG_FLOAT, QLG_DOUBLE
  std::string s;       // QLG_STRING

  // The value as text (booleans "true"/"false", numbers in decimal).
  std::string text() const;
};

// A registered class; shared by its objects so that an object that outlives
// the class table (held by a caller across a close) keeps its operations.
struct QlgClass {
  int kind = 0;  // QLG_KIND_...
  std::string name;
  std::optional<QlgMessage> description;
  QlgAllocVarsFn allocVars = nullptr;
  QlgFreeVarsFn freeVars = nullptr;
  QlgCfgChangeFn cfgChange = nullptr;
  QlgLogFn log = nullptr;              // logger, filter
  QlgProcessFn process = nullptr;      // filter, handler
  QlgIsLoggableFn isLoggable = nullptr;  // filter
  QlgOpenFn open = nullptr;            // handler
  QlgCloseFn close = nullptr;          // handler
  QlgFormatFn format = nullptr;        // formatter
  QlgHeaderFn getHeader = nullptr;     // formatter
  QlgTrailerFn getTrailer = nullptr;   // formatter
  QlgBindFn bind = nullptr;            // formatter
};

}  // namespace velm

// One event: made by a logging call, owned by it, freed when it returns.
struct QlgEvent {
  int64_t time = 0;  // milliseconds since the epoch
  velm::QlgMessage message;
  std::vector<velm::QlgParam> params;
  int level = QLG_LEVEL_ALWAYS;
  std::optional<std::string> msgId;
  std::map<std::string, std::string> properties;
  int isMessage = 0;
  cvx_loc locale = nullptr;  // borrowed
};

// A named object of a registered class. All fields but enabled and level
// are guarded by the API lock.
struct QlgObject {
  uint32_t magic = velm::kQlgObjectMagic;
  std::shared_ptr<velm::QlgClass> cls;
  int refCount = 1;  // holders; the registry counts one while registered
  bool registered = false;
  std::string name;
  std::atomic<int> enabled{1};
  std::atomic<int> level{0};  // loggers 3000, filters 0
  std::map<std::string, std::string> properties;
  void *vars = nullptr;  // class state from allocVars
  std::vector<QlgObject *> listeners;  // loggers, filters, handlers; each held
  QlgObject *formatter = nullptr;      // handlers; held
  // Formatters:
  std::string separator;
  std::string dateTimeFormat;
  cvx_loc locale = nullptr;  // owned
};

// A named configuration of the configuration manager.
struct QlgObjCfg {
  int refCount = 1;
  std::string name;
  std::optional<std::string> parentName;
  std::vector<std::string> children;
  std::map<std::string, std::string> properties;
  bool fromFile = false;
};

// Items are either held objects (released by QlgIterFree) or owned names.
struct QlgIterator {
  std::vector<QlgObject *> objects;
  std::vector<std::string> names;
  size_t pos = 0;
};

// Registers "qlg_filehandler" and "qlg_multiproc_filehandler" with
// qlgIntlAddHandlerClass; defined beside the file handlers, called by
// qlgIntlOpenToolkit.
void qlgIntlRegisterFileHandlerClasses();

namespace velm {

// The API lock. It lives for the whole process (never destroyed, not even
// by close), so a caller blocked on it can never find it gone.
std::mutex &qlgIntlApiLock();

// Runs the body of a public Qlg call under the API lock, through the
// library's one boundary guard: nothing thrown reaches the C caller, who gets
// failure instead (the toolkit has no result record to say more).
template <typename R, typename F>
R qlgCall(R failure, F &&body) {
  return shielded(
      failure,
      [&]() -> R {
        std::scoped_lock lock(qlgIntlApiLock());
        return body();
      },
      [](Escape) {});
}
template <typename F>
void qlgCallVoid(F &&body) {
  shieldedVoid(
      [&] {
        std::scoped_lock lock(qlgIntlApiLock());
        body();
      },
      [](Escape) {});
}
// The same for the logging calls, which lock only where they must.
template <typename R, typename F>
R qlgCallUnlocked(R failure, F &&body) {
  return shielded(failure, static_cast<F &&>(body), [](Escape) {});
}

// ---- levels ---------------------------------------------------------------

// "MAX", "MID", "MIN", "INFO", "WARN", "ERROR" (6000, 7000) or "OTHER".
const char *qlgIntlLevelName(int level);
// The five-character label of the trace formatter (" MIN ", "INFO "...).
const char *qlgIntlLevelLabel(int level);

// ---- the toolkit's own messages ------------------------------------------

// The built-in text of message number (empty for numbers not in the table).
std::string_view qlgIntlMsgText(int number);
// Logs message number (catalogue "qlgmsg", set 1) on "quill.errorLogger" at
// level 6000, or 5000 for warnings, while the toolkit is open. The variable
// part is a typed list ended by QLG_END, as in the logging calls:
//   qlgIntlReportMsg(32, QLG_STRING, "fileName", QLG_STRING, dir, QLG_END);
void qlgIntlReportMsg(int number, ...);
// Message 10 with "<what>: <strerror(err)>".
void qlgIntlReportSysError(const char *what, int err);
// Prints the formatted message to standard error (messages 50, 51, 52).
void qlgIntlPrintMsg(int number, ...);
bool qlgIntlIsOpen();

// ---- open and close -------------------------------------------------------

int qlgIntlOpenToolkit(const char *propertiesFile);
void qlgIntlCloseToolkit();

// ---- events ---------------------------------------------------------------

// Milliseconds since the epoch, from the system clock.
int64_t qlgIntlNowMillis();
// Reads a typed list into the event (parameters, properties, level
// overrides); reports 70 after 63 entries and 71 on an unknown code.
void qlgIntlReadTypedList(QlgEvent *event, va_list args);
// Renders the message: catalogue text (or the default text) formatted with
// the parameters; the default text unformatted when formatting fails.
std::string qlgIntlRenderMessage(const QlgEvent *event, cvx_loc locale);
// Closes the catalogues kept open for rendering (toolkit close).
void qlgIntlCloseCatalogs();
// printf with XPG4 positional indexes over a parameter list; nullopt when
// the format is malformed.
std::optional<std::string> qlgIntlFormatParams(std::string_view format, const std::vector<QlgParam> &params);
// Event properties: text values, typed forms convert.
void qlgIntlSetEventProp(QlgEvent *event, const std::string &name, const std::string &value);
const std::string *qlgIntlGetEventProp(const QlgEvent *event, const std::string &name);
// Message identifier at the start of text ("DXACC0001E"), or empty.
std::string qlgIntlRecogniseMsgId(std::string_view text);

// ---- classes --------------------------------------------------------------

std::shared_ptr<QlgClass> qlgIntlFindClass(std::string_view name);
// Each returns 1 when registered or already present, 0 on failure.
int qlgIntlAddLoggerClass(const char *name, const QlgMsgDesc *description, QlgAllocVarsFn allocVars,
                          QlgFreeVarsFn freeVars, QlgCfgChangeFn cfgChange, QlgLogFn log);
int qlgIntlAddFilterClass(const char *name, const QlgMsgDesc *description, QlgAllocVarsFn allocVars,
                          QlgFreeVarsFn freeVars, QlgCfgChangeFn cfgChange, QlgProcessFn process,
                          QlgIsLoggableFn isLoggable, QlgLogFn log);
// A handler class. The toolkit calls, all under the API lock:
//   allocVars(obj) once when the object is made (its result: QlgGetObjClassVars),
//   cfgChange(obj, name) after every property change, after the common
//     handling ("logging", "listenerNames", "formatterName", ...) has run,
//   process(obj, event) for every event that reaches the handler; it formats
//     with qlgIntlFormatterText, writes, then calls qlgIntlNotifyListeners,
//   close(obj) before the object is destroyed (and open(obj) is the class's
//     own, called by its process), then freeVars(obj, vars).
int qlgIntlAddHandlerClass(const char *name, const QlgMsgDesc *description, QlgAllocVarsFn allocVars,
                           QlgFreeVarsFn freeVars, QlgCfgChangeFn cfgChange, QlgProcessFn process,
                           QlgOpenFn open, QlgCloseFn close);
int qlgIntlAddFormatterClass(const char *name, const QlgMsgDesc *description, QlgAllocVarsFn allocVars,
                             QlgFreeVarsFn freeVars, QlgCfgChangeFn cfgChange, QlgFormatFn format,
                             QlgHeaderFn getHeader, QlgTrailerFn getTrailer, QlgBindFn bind);
void qlgIntlFreeClassTable();

// ---- objects --------------------------------------------------------------

// True for a pointer to a live object.
bool qlgIntlIsObject(const QlgObject *object);
QlgObject *qlgIntlGetObject(const char *name, const char *className);
void qlgIntlAcquireObject(QlgObject *object);
void qlgIntlReleaseObject(QlgObject *object);
// Drops the registry's hold on every object (toolkit close).
void qlgIntlReleaseAllObjects();
// The object's property, or null.
const std::string *qlgIntlGetProp(const QlgObject *object, const std::string &name);
// Stores (value null: removes) and runs the common and the class handling.
int qlgIntlSetProp(QlgObject *object, const char *name, const char *value);
int qlgIntlAddListener(QlgObject *object, QlgObject *listener);
int qlgIntlRemListener(QlgObject *object, QlgObject *listener);
// Hands the event to every listener, in order, whose class processes.
void qlgIntlNotifyListeners(QlgObject *object, QlgEvent *event);
// Typed reads of property text: "true"/"false" any case; nullopt otherwise.
std::optional<bool> qlgIntlParseBool(const std::string &text);
std::optional<long long> qlgIntlParseLong(const std::string &text);
std::optional<double> qlgIntlParseDouble(const std::string &text);

// ---- formatters, as handlers use them --------------------------------------

// The text of the handler's formatter (its "quill.defaultFormatter" unless
// "formatterName" says otherwise), UTF-8; nullopt when it gives none.
std::optional<std::string> qlgIntlFormatterText(QlgObject *handler, QlgEvent *event);
std::optional<std::string> qlgIntlFormatterHeader(QlgObject *handler);
std::optional<std::string> qlgIntlFormatterTrailer(QlgObject *handler);
// The date of the formatter's layout for an event time.
std::string qlgIntlFormatDate(QlgObject *formatter, int64_t millis);

// ---- registration of the built-in classes ----------------------------------

void qlgIntlRegisterLoggerClasses();     // basic, kx; level and msgid filters
void qlgIntlRegisterConsoleHandlerClass();
void qlgIntlRegisterHblHandlerClass();
void qlgIntlRegisterFormatterClasses();  // basic, xml, trace

// ---- configurations ---------------------------------------------------------

QlgObjCfg *qlgIntlLogMgrGetCfg(const char *name);
bool qlgIntlLogMgrHasCfg(const std::string &name);
int qlgIntlLogMgrAddCfg(QlgObjCfg *cfg);
int qlgIntlLogMgrRemCfg(const std::string &name);
int qlgIntlLogMgrApplyCfg(QlgObject *object, const std::string &cfgName);
int qlgIntlLogMgrReadProps(const char *file);
void qlgIntlLogMgrClose();
std::optional<std::string> qlgIntlGetInheritedCfgProp(QlgObjCfg *cfg, const std::string &name);
std::string qlgIntlCfgParentName(QlgObjCfg *cfg);
void qlgIntlReleaseCfg(QlgObjCfg *cfg);

}  // namespace velm
