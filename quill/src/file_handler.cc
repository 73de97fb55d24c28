// The file handlers "qlg_filehandler" and "qlg_multiproc_filehandler": the
// toolkit's side of the LogFile engine. This unit reads the handler's
// properties into the engine and turns the engine's issues into the
// toolkit's messages. Every operation runs under the API lock.
#include <cstdint>
#include <cstdio>
#include <new>
#include <string>

#include "quill/src/qlg_intl.h"
#include "quill/src/util/log_file.h"

namespace velm {
namespace {

struct FileHandlerVars {
  explicit FileHandlerVars(bool multiProcess) : file(multiProcess) {}
  LogFile file;
  bool logInternalErrs = true;
  // Set while the handler works on a record: a message it reports about
  // itself that finds its way back here is dropped instead of recursing.
  bool busy = false;
};

FileHandlerVars *varsOf(QlgObject *object) {
  if (!qlgIntlIsObject(object)) return nullptr;
  return static_cast<FileHandlerVars *>(object->vars);
}

void reportIssues(FileHandlerVars &vars, const LogFileIssues &issues) {
  for (const LogFileIssue &issue : issues) {
    const char *text = issue.text.c_str();
    switch (issue.kind) {
      case LogFileIssue::Kind::kSystem:
        qlgIntlReportMsg(10, QLG_STRING, text, QLG_END);
        break;
      case LogFileIssue::Kind::kDirectory:
        if (vars.logInternalErrs) qlgIntlReportMsg(32, QLG_STRING, "fileName", QLG_STRING, text, QLG_END);
        break;
      case LogFileIssue::Kind::kReadActive:
        if (vars.logInternalErrs) qlgIntlReportMsg(72, QLG_STRING, text, QLG_END);
        break;
      case LogFileIssue::Kind::kWriteBackup:
        if (vars.logInternalErrs) qlgIntlReportMsg(73, QLG_STRING, text, QLG_END);
        break;
      case LogFileIssue::Kind::kBackupOpen:
        std::printf("ERR opening %s pre rollover\n", text);
        std::fflush(stdout);
        break;
      case LogFileIssue::Kind::kPermission:
        qlgIntlReportMsg(75, QLG_STRING, text, QLG_INT, static_cast<int>(issue.mode), QLG_INT, issue.error,
                         QLG_END);
        break;
    }
  }
}

LogFile::TextSource headerOf(QlgObject *handler) {
  return [handler] { return qlgIntlFormatterHeader(handler).value_or(std::string()); };
}

LogFile::TextSource trailerOf(QlgObject *handler) {
  return [handler] { return qlgIntlFormatterTrailer(handler).value_or(std::string()); };
}

void *allocSingle(QlgObject *) { return new (std::nothrow) FileHandlerVars(false); }
void *allocMulti(QlgObject *) { return new (std::nothrow) FileHandlerVars(true); }

void freeVars(QlgObject *, void *vars) {
  // The engine closes its descriptor when destroyed.
  delete static_cast<FileHandlerVars *>(vars);
}

void closeHandler(QlgObject *handler) {
  FileHandlerVars *vars = varsOf(handler);
  if (vars == nullptr) return;
  LogFileIssues issues;
  vars->file.close(trailerOf(handler), issues);
  reportIssues(*vars, issues);
}

int openHandler(QlgObject *handler) {
  FileHandlerVars *vars = varsOf(handler);
  if (vars == nullptr) return 0;
  LogFileIssues issues;
  bool ok = vars->file.open(headerOf(handler), issues);
  reportIssues(*vars, issues);
  return ok ? 1 : 0;
}

void process(QlgObject *handler, QlgEvent *event) {
  FileHandlerVars *vars = varsOf(handler);
  if (vars == nullptr || event == nullptr || !handler->enabled.load() || vars->busy) return;
  vars->busy = true;
  if (openHandler(handler) == 1) {
    if (std::optional<std::string> text = qlgIntlFormatterText(handler, event)) {
      LogFileIssues issues;
      vars->file.writeRecord(*text, issues);
      reportIssues(*vars, issues);
    }
  }
  vars->busy = false;
  qlgIntlNotifyListeners(handler, event);
}

// Values from a properties file may carry the blanks that surround them.
std::string trimmed(const std::string &value) {
  constexpr const char *kBlanks = " \t\r\n\f\v";
  std::size_t first = value.find_first_not_of(kBlanks);
  if (first == std::string::npos) return {};
  return value.substr(first, value.find_last_not_of(kBlanks) - first + 1);
}

// A bad number keeps the handler's previous setting.
std::optional<long long> numberProp(const std::string *value, long long removed) {
  if (value == nullptr) return removed;
  return qlgIntlParseLong(trimmed(*value));
}

// Text that is not a boolean reads as not set, so the default applies.
bool boolProp(const std::string *value, bool byDefault) {
  if (value == nullptr) return byDefault;
  return qlgIntlParseBool(trimmed(*value)).value_or(byDefault);
}

void setFileName(FileHandlerVars &vars, const std::string *value) {
  LogFileName name;
  switch (splitLogFileName(value ? value->c_str() : nullptr, name)) {
    case FileNameStatus::kOk:
      vars.file.setName(std::move(name));
      break;
    case FileNameStatus::kMissing:
      // Nothing is written until a name is set again.
      vars.file.clearName();
      if (vars.logInternalErrs) qlgIntlReportMsg(30, QLG_STRING, "fileName", QLG_END);
      break;
    case FileNameStatus::kTooLong:
      // The previous name stays.
      if (vars.logInternalErrs)
        qlgIntlReportMsg(31, QLG_STRING, "fileName", QLG_INT, static_cast<int>(kMaxLogFileNameLength),
                         QLG_END);
      break;
  }
}

void setPermission(QlgObject *handler, FileHandlerVars &vars, const std::string *value, unsigned &mode) {
  if (value == nullptr) return;  // removing it keeps the mode
  if (!parseFilePermission(value->c_str(), mode) && vars.logInternalErrs)
    qlgIntlReportMsg(74, QLG_STRING, value->c_str(), QLG_STRING, handler->name.c_str(), QLG_END);
}

void cfgChange(QlgObject *handler, const char *propName) {
  FileHandlerVars *vars = varsOf(handler);
  if (vars == nullptr || propName == nullptr) return;
  const std::string prop = propName;
  const std::string *value = qlgIntlGetProp(handler, prop);
  LogFileSettings &settings = vars->file.settings();

  if (prop == "logInternalErrs") {
    vars->logInternalErrs = boolProp(value, true);
    return;
  }
  // Any other change closes the file; the next record opens it again with
  // the new settings.
  closeHandler(handler);

  if (prop == "maxFileSize" || prop == "maxFileBytes") {
    std::optional<long long> n = numberProp(value, kRemovedMaxFileSize);
    if (n && *n >= 0) settings.maxFileSize = *n;
  } else if (prop == "maxFiles") {
    std::optional<long long> n = numberProp(value, kDefaultMaxFiles);
    if (n && *n >= 0 && *n <= INT32_MAX) settings.maxFiles = static_cast<int>(*n);
  } else if (prop == "fileName") {
    setFileName(*vars, value);
  } else if (prop == "appending") {
    settings.appending = boolProp(value, true);
  } else if (prop == "filePermission") {
    setPermission(handler, *vars, value, settings.filePermission);
  } else if (prop == "dirPermission") {
    setPermission(handler, *vars, value, settings.dirPermission);
  } else if (prop == "fileEncoding") {
    std::string codeSet = value ? trimmed(*value) : std::string();
    if (!vars->file.setEncoding(codeSet.c_str()) && vars->logInternalErrs)
      qlgIntlReportMsg(36, QLG_STRING, codeSet.c_str(), QLG_END);
  } else if (prop == "MPFileSemKey") {
    std::optional<long long> n = numberProp(value, 0);
    if (n && *n >= INT32_MIN && *n <= INT32_MAX) vars->file.setSemaphoreKey(static_cast<key_t>(*n));
  }
}

}  // namespace
}  // namespace velm

void qlgIntlRegisterFileHandlerClasses() {
  using namespace velm;
  const std::string text(qlgIntlMsgText(121));
  const QlgMsgDesc description{"qlgmsg", 1, 121, text.c_str()};
  qlgIntlAddHandlerClass("qlg_filehandler", &description, allocSingle, freeVars, cfgChange, process,
                         openHandler, closeHandler);
  qlgIntlAddHandlerClass("qlg_multiproc_filehandler", nullptr, allocMulti, freeVars, cfgChange, process,
                         openHandler, closeHandler);
}
