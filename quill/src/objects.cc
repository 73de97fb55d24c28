// The class table, the object registry, properties and listener lists.
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "quill/src/qlg_intl.h"

namespace velm {

namespace {

// Guarded by the API lock.
struct ClassTable {
  std::map<std::string, std::shared_ptr<QlgClass>, std::less<>> byName;
  std::vector<std::string> names[4];  // per kind, in registration order
};

ClassTable &classTable() {
  static auto *table = new ClassTable;
  return *table;
}

std::map<std::string, QlgObject *, std::less<>> &registry() {
  static auto *objects = new std::map<std::string, QlgObject *, std::less<>>;
  return *objects;
}

// A class with what every kind has; the caller adds its kind's operations.
std::shared_ptr<QlgClass> newClass(int kind, const char *name, const QlgMsgDesc *description,
                                   QlgAllocVarsFn allocVars, QlgFreeVarsFn freeVars, QlgCfgChangeFn cfgChange) {
  if (name == nullptr || *name == '\0') return nullptr;
  if (classTable().byName.count(name)) return nullptr;
  auto cls = std::make_shared<QlgClass>();
  cls->kind = kind;
  cls->name = name;
  cls->allocVars = allocVars;
  cls->freeVars = freeVars;
  cls->cfgChange = cfgChange;
  if (description != nullptr) {
    QlgMessage m;
    if (description->catalog) m.catalog = description->catalog;
    m.set = description->set;
    m.key = description->key;
    m.text = description->text ? description->text : "";
    cls->description = m;
  }
  return cls;
}

int enter(const std::shared_ptr<QlgClass> &cls) {
  auto &t = classTable();
  t.byName.emplace(cls->name, cls);
  t.names[cls->kind - QLG_KIND_LOGGER].push_back(cls->name);
  return 1;
}

bool hasListenerList(const QlgObject *o) {
  return o->cls && (o->cls->kind == QLG_KIND_LOGGER || o->cls->kind == QLG_KIND_FILTER ||
                    o->cls->kind == QLG_KIND_HANDLER);
}

// True when target can be reached from start along listener lists.
bool reaches(const QlgObject *start, const QlgObject *target, int depth = 0) {
  if (start == target) return true;
  if (depth > 64) return true;  // treat absurd depth as a cycle
  for (const QlgObject *l : start->listeners)
    if (reaches(l, target, depth + 1)) return true;
  return false;
}

void destroyObject(QlgObject *o) {
  if (o->registered) {
    auto it = registry().find(o->name);
    if (it != registry().end() && it->second == o) registry().erase(it);
    o->registered = false;
  }
  // Keep the object alive (count 1) while its class code runs.
  o->refCount = 1;
  if (o->cls && o->cls->kind == QLG_KIND_HANDLER && o->cls->close) o->cls->close(o);
  o->properties.clear();
  std::vector<QlgObject *> listeners;
  listeners.swap(o->listeners);
  for (QlgObject *l : listeners) qlgIntlReleaseObject(l);
  if (o->cls && o->cls->freeVars && o->vars) o->cls->freeVars(o, o->vars);
  o->vars = nullptr;
  if (o->formatter) {
    QlgObject *f = o->formatter;
    o->formatter = nullptr;
    qlgIntlReleaseObject(f);
  }
  if (o->locale) cvx_loc_free(o->locale);
  o->locale = nullptr;
  o->magic = kQlgDeadMagic;
  delete o;
}

void setListenerNames(QlgObject *o, const std::string *value) {
  std::vector<QlgObject *> old;
  old.swap(o->listeners);
  for (QlgObject *l : old) qlgIntlReleaseObject(l);
  if (value == nullptr) return;
  const char *kBlanks = " \t\r\n\f\v";
  size_t pos = 0;
  const std::string &v = *value;
  while (pos < v.size()) {
    size_t start = v.find_first_not_of(kBlanks, pos);
    if (start == std::string::npos) break;
    size_t end = v.find_first_of(kBlanks, start);
    if (end == std::string::npos) end = v.size();
    std::string name = v.substr(start, end - start);
    pos = end;
    QlgObject *listener = qlgIntlGetObject(name.c_str(), nullptr);
    if (listener != nullptr) {
      qlgIntlAddListener(o, listener);
      qlgIntlReleaseObject(listener);
    }
  }
}

void setDescription(QlgObject *o, const std::string &name, const std::string *value) {
  if (!o->cls) return;
  if (!o->cls->description) o->cls->description = QlgMessage{};
  QlgMessage &m = *o->cls->description;
  if (name == "description") {
    m.text = value ? *value : "";
  } else if (name == "descriptionFile") {
    if (value) m.catalog = *value;
    else m.catalog.reset();
  } else if (name == "descriptionSet") {
    m.set = value ? static_cast<int>(qlgIntlParseLong(*value).value_or(0)) : 0;
  } else if (name == "descriptionKey") {
    m.key = value ? static_cast<int>(qlgIntlParseLong(*value).value_or(0)) : 0;
  }
}

// The handling every object gets, before its class's own cfgChange.
void commonCfgChange(QlgObject *o, const std::string &name) {
  const std::string *value = qlgIntlGetProp(o, name);
  int kind = o->cls ? o->cls->kind : 0;
  if (name == "logging") {
    if (value == nullptr) return;
    if (strcasecmp(value->c_str(), "on") == 0 || strcasecmp(value->c_str(), "true") == 0)
      o->enabled.store(1);
    else if (strcasecmp(value->c_str(), "off") == 0 || strcasecmp(value->c_str(), "false") == 0)
      o->enabled.store(0);
  } else if (name == "listenerNames") {
    if (hasListenerList(o)) setListenerNames(o, value);
  } else if (name.rfind("description", 0) == 0) {
    setDescription(o, name, value);
  } else if (name == "level" && (kind == QLG_KIND_LOGGER || (o->cls && o->cls->name == "qlg_levelfilter"))) {
    if (value) o->level.store(QlgGetLevelFromString(value->c_str()));
  } else if (name == "formatterName" && kind == QLG_KIND_HANDLER) {
    if (value == nullptr) return;
    QlgObject *f = qlgIntlGetObject(value->c_str(), nullptr);
    if (f == nullptr) return;
    if (f->cls && f->cls->kind == QLG_KIND_FORMATTER && f != o->formatter) {
      std::swap(f, o->formatter);  // the handler keeps the hold we got
    }
    if (f) qlgIntlReleaseObject(f);
  } else if (kind == QLG_KIND_FORMATTER) {
    if (name == "separator") {
      o->separator = value ? *value : "";
    } else if (name == "dateTimeFormat") {
      o->dateTimeFormat = value ? *value : "";
    } else if (name == "locale") {
      if (o->locale) cvx_loc_free(o->locale);
      o->locale = value ? cvx_loc_new(value->c_str()) : nullptr;
    }
  }
}

}  // namespace

// ---- classes ------------------------------------------------------------------

std::shared_ptr<QlgClass> qlgIntlFindClass(std::string_view name) {
  auto &t = classTable().byName;
  auto it = t.find(name);
  return it == t.end() ? nullptr : it->second;
}

int qlgIntlAddLoggerClass(const char *name, const QlgMsgDesc *description, QlgAllocVarsFn allocVars,
                          QlgFreeVarsFn freeVars, QlgCfgChangeFn cfgChange, QlgLogFn log) {
  if (name && qlgIntlFindClass(name)) return 1;
  auto cls = newClass(QLG_KIND_LOGGER, name, description, allocVars, freeVars, cfgChange);
  if (!cls) return 0;
  cls->log = log;
  return enter(cls);
}

int qlgIntlAddFilterClass(const char *name, const QlgMsgDesc *description, QlgAllocVarsFn allocVars,
                          QlgFreeVarsFn freeVars, QlgCfgChangeFn cfgChange, QlgProcessFn process,
                          QlgIsLoggableFn isLoggable, QlgLogFn log) {
  if (name && qlgIntlFindClass(name)) return 1;
  auto cls = newClass(QLG_KIND_FILTER, name, description, allocVars, freeVars, cfgChange);
  if (!cls) return 0;
  cls->process = process;
  cls->isLoggable = isLoggable;
  cls->log = log;
  return enter(cls);
}

int qlgIntlAddHandlerClass(const char *name, const QlgMsgDesc *description, QlgAllocVarsFn allocVars,
                           QlgFreeVarsFn freeVars, QlgCfgChangeFn cfgChange, QlgProcessFn process,
                           QlgOpenFn open, QlgCloseFn close) {
  if (name && qlgIntlFindClass(name)) return 1;
  auto cls = newClass(QLG_KIND_HANDLER, name, description, allocVars, freeVars, cfgChange);
  if (!cls) return 0;
  cls->process = process;
  cls->open = open;
  cls->close = close;
  return enter(cls);
}

int qlgIntlAddFormatterClass(const char *name, const QlgMsgDesc *description, QlgAllocVarsFn allocVars,
                             QlgFreeVarsFn freeVars, QlgCfgChangeFn cfgChange, QlgFormatFn format,
                             QlgHeaderFn getHeader, QlgTrailerFn getTrailer, QlgBindFn bind) {
  if (name && qlgIntlFindClass(name)) return 1;
  auto cls = newClass(QLG_KIND_FORMATTER, name, description, allocVars, freeVars, cfgChange);
  if (!cls) return 0;
  cls->format = format;
  cls->getHeader = getHeader;
  cls->getTrailer = getTrailer;
  cls->bind = bind;
  return enter(cls);
}

void qlgIntlFreeClassTable() {
  auto &t = classTable();
  t.byName.clear();
  for (auto &n : t.names) n.clear();
}

// ---- objects -------------------------------------------------------------------

bool qlgIntlIsObject(const QlgObject *object) { return object != nullptr && object->magic == kQlgObjectMagic; }

QlgObject *qlgIntlGetObject(const char *name, const char *className) {
  if (name == nullptr) return nullptr;
  auto &reg = registry();
  auto it = reg.find(std::string_view(name));
  if (it != reg.end()) {
    QlgObject *o = it->second;
    if (!qlgIntlIsObject(o) || !o->cls) {
      qlgIntlReportMsg(60, QLG_STRING, name, QLG_END);
      return nullptr;
    }
    if (className != nullptr && o->cls->name != className) {
      qlgIntlReportMsg(61, QLG_STRING, name, QLG_STRING, o->cls->name.c_str(), QLG_STRING, className, QLG_END);
      return nullptr;
    }
    ++o->refCount;
    return o;
  }
  std::string clsName;
  if (className != nullptr) {
    clsName = className;
  } else {
    QlgObjCfg *cfg = qlgIntlLogMgrGetCfg(name);
    auto inherited = cfg ? qlgIntlGetInheritedCfgProp(cfg, "className") : std::nullopt;
    if (!inherited || inherited->empty()) {
      qlgIntlReportMsg(63, QLG_STRING, name, QLG_END);
      return nullptr;
    }
    clsName = *inherited;
  }
  auto cls = qlgIntlFindClass(clsName);
  if (!cls) {
    qlgIntlReportMsg(62, QLG_STRING, clsName.c_str(), QLG_STRING, name, QLG_END);
    return nullptr;
  }
  // Owned here until the registry holds it, so a throw on the way leaks nothing.
  auto owned = std::make_unique<QlgObject>();
  QlgObject *o = owned.get();
  o->cls = cls;
  o->name = name;
  if (cls->kind == QLG_KIND_LOGGER) o->level.store(QLG_LEVEL_DEBUG_MIN);
  if (cls->kind == QLG_KIND_HANDLER) o->formatter = qlgIntlGetObject("quill.defaultFormatter", "qlg_basicformatter");
  if (cls->allocVars) o->vars = cls->allocVars(o);
  o->registered = true;
  o->refCount = 2;  // the registry and the caller
  reg.emplace(o->name, o);
  owned.release();
  qlgIntlLogMgrApplyCfg(o, o->name);
  return o;
}

void qlgIntlAcquireObject(QlgObject *object) {
  if (qlgIntlIsObject(object)) ++object->refCount;
}

void qlgIntlReleaseObject(QlgObject *object) {
  if (!qlgIntlIsObject(object)) return;
  --object->refCount;
  if ((object->registered && object->refCount <= 1) || object->refCount <= 0) destroyObject(object);
}

void qlgIntlReleaseAllObjects() {
  // Unregister everything first; the registry's hold becomes ours, so no
  // object can vanish while another's release runs through its lists.
  std::vector<QlgObject *> all;
  for (auto &[name, o] : registry()) {
    o->registered = false;
    all.push_back(o);
  }
  registry().clear();
  for (QlgObject *o : all) qlgIntlReleaseObject(o);
}

const std::string *qlgIntlGetProp(const QlgObject *object, const std::string &name) {
  auto it = object->properties.find(name);
  return it == object->properties.end() ? nullptr : &it->second;
}

int qlgIntlSetProp(QlgObject *object, const char *name, const char *value) {
  if (!qlgIntlIsObject(object) || name == nullptr) return 0;
  std::string key = name;
  if (value != nullptr)
    object->properties[key] = value;
  else
    object->properties.erase(key);
  // Hold the object: a property such as listenerNames can release it.
  ++object->refCount;
  commonCfgChange(object, key);
  if (object->cls && object->cls->cfgChange) object->cls->cfgChange(object, key.c_str());
  qlgIntlReleaseObject(object);
  return 1;
}

int qlgIntlAddListener(QlgObject *object, QlgObject *listener) {
  if (!qlgIntlIsObject(object) || !qlgIntlIsObject(listener) || !hasListenerList(object)) return 0;
  if (!listener->cls || (listener->cls->kind != QLG_KIND_FILTER && listener->cls->kind != QLG_KIND_HANDLER))
    return 0;
  for (QlgObject *l : object->listeners)
    if (l == listener) return 1;
  // A cycle would hand an event round for ever.
  if (reaches(listener, object)) return 0;
  ++listener->refCount;
  object->listeners.push_back(listener);
  return 1;
}

int qlgIntlRemListener(QlgObject *object, QlgObject *listener) {
  if (!qlgIntlIsObject(object) || !qlgIntlIsObject(listener)) return 0;
  for (auto it = object->listeners.begin(); it != object->listeners.end(); ++it) {
    if (*it == listener) {
      object->listeners.erase(it);
      qlgIntlReleaseObject(listener);
      return 1;
    }
  }
  return 0;
}

void qlgIntlNotifyListeners(QlgObject *object, QlgEvent *event) {
  if (!qlgIntlIsObject(object) || object->listeners.empty()) return;
  // A copy, each held, so a listener that changes the list cannot pull an
  // object from under the loop.
  std::vector<QlgObject *> listeners = object->listeners;
  for (QlgObject *l : listeners) ++l->refCount;
  for (QlgObject *l : listeners) {
    if (l->enabled.load(std::memory_order_relaxed) && l->cls && l->cls->process) l->cls->process(l, event);
  }
  for (QlgObject *l : listeners) qlgIntlReleaseObject(l);
}

std::optional<bool> qlgIntlParseBool(const std::string &text) {
  if (strcasecmp(text.c_str(), "true") == 0) return true;
  if (strcasecmp(text.c_str(), "false") == 0) return false;
  return std::nullopt;
}

std::optional<long long> qlgIntlParseLong(const std::string &text) {
  if (text.empty()) return std::nullopt;
  errno = 0;
  char *end = nullptr;
  long long v = std::strtoll(text.c_str(), &end, 10);
  if (end == text.c_str() || errno == ERANGE) return std::nullopt;
  while (*end && std::isspace(static_cast<unsigned char>(*end))) ++end;
  if (*end != '\0') return std::nullopt;
  return v;
}

std::optional<double> qlgIntlParseDouble(const std::string &text) {
  if (text.empty()) return std::nullopt;
  char *end = nullptr;
  double v = std::strtod(text.c_str(), &end);
  if (end == text.c_str()) return std::nullopt;
  while (*end && std::isspace(static_cast<unsigned char>(*end))) ++end;
  if (*end != '\0') return std::nullopt;
  return v;
}

// ---- formatters, as handlers use them ------------------------------------------

namespace {

std::optional<std::string> adopt(char *text) {
  if (text == nullptr) return std::nullopt;
  std::string s = text;
  std::free(text);
  return s;
}

QlgObject *formatterOf(QlgObject *handler) {
  if (!qlgIntlIsObject(handler)) return nullptr;
  QlgObject *f = handler->formatter;
  return qlgIntlIsObject(f) && f->cls ? f : nullptr;
}

}  // namespace

std::optional<std::string> qlgIntlFormatterText(QlgObject *handler, QlgEvent *event) {
  QlgObject *f = formatterOf(handler);
  if (!f || !f->cls->format || !f->enabled.load()) return std::nullopt;
  return adopt(f->cls->format(f, event));
}

std::optional<std::string> qlgIntlFormatterHeader(QlgObject *handler) {
  QlgObject *f = formatterOf(handler);
  if (!f || !f->cls->getHeader) return std::nullopt;
  return adopt(f->cls->getHeader(f));
}

std::optional<std::string> qlgIntlFormatterTrailer(QlgObject *handler) {
  QlgObject *f = formatterOf(handler);
  if (!f || !f->cls->getTrailer) return std::nullopt;
  return adopt(f->cls->getTrailer(f));
}

}  // namespace velm

// ---- the public object calls -------------------------------------------------------

using namespace velm;

namespace {

char *dupText(const std::string &s) {
  char *p = static_cast<char *>(std::malloc(s.size() + 1));
  if (p) std::memcpy(p, s.c_str(), s.size() + 1);
  return p;
}

QlgIterator *nameIterator(const std::vector<std::string> &names) {
  auto *it = new QlgIterator;
  it->names = names;
  return it;
}

template <typename T>
std::string numberText(T v) {
  if constexpr (std::is_same_v<T, long long>) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%lld", v);
    return buf;
  } else if constexpr (std::is_floating_point_v<T>) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.17g", static_cast<double>(v));
    return buf;
  } else {
    return std::to_string(v);
  }
}

}  // namespace

int QlgAddLoggerClass(const char *name, const QlgMsgDesc *description, QlgAllocVarsFn allocVars,
                      QlgFreeVarsFn freeVars, QlgCfgChangeFn cfgChange, QlgLogFn log) {
  return qlgCall(0, [&] { return qlgIntlAddLoggerClass(name, description, allocVars, freeVars, cfgChange, log); });
}

int QlgAddFilterClass(const char *name, const QlgMsgDesc *description, QlgAllocVarsFn allocVars,
                      QlgFreeVarsFn freeVars, QlgCfgChangeFn cfgChange, QlgProcessFn process,
                      QlgIsLoggableFn isLoggable, QlgLogFn log) {
  return qlgCall(0, [&] {
    return qlgIntlAddFilterClass(name, description, allocVars, freeVars, cfgChange, process, isLoggable, log);
  });
}

int QlgAddHandlerClass(const char *name, const QlgMsgDesc *description, QlgAllocVarsFn allocVars,
                       QlgFreeVarsFn freeVars, QlgCfgChangeFn cfgChange, QlgProcessFn process, QlgOpenFn open,
                       QlgCloseFn close) {
  return qlgCall(0, [&] {
    return qlgIntlAddHandlerClass(name, description, allocVars, freeVars, cfgChange, process, open, close);
  });
}

int QlgAddFormatterClass(const char *name, const QlgMsgDesc *description, QlgAllocVarsFn allocVars,
                         QlgFreeVarsFn freeVars, QlgCfgChangeFn cfgChange, QlgFormatFn format,
                         QlgHeaderFn getHeader, QlgTrailerFn getTrailer, QlgBindFn bind) {
  return qlgCall(0, [&] {
    return qlgIntlAddFormatterClass(name, description, allocVars, freeVars, cfgChange, format, getHeader,
                                    getTrailer, bind);
  });
}

QlgIterator *QlgGetLoggerClasses(void) {
  return qlgCall<QlgIterator *>(nullptr, [] { return nameIterator(classTable().names[0]); });
}
QlgIterator *QlgGetFilterClasses(void) {
  return qlgCall<QlgIterator *>(nullptr, [] { return nameIterator(classTable().names[1]); });
}
QlgIterator *QlgGetHandlerClasses(void) {
  return qlgCall<QlgIterator *>(nullptr, [] { return nameIterator(classTable().names[2]); });
}
QlgIterator *QlgGetFormatterClasses(void) {
  return qlgCall<QlgIterator *>(nullptr, [] { return nameIterator(classTable().names[3]); });
}

QlgObject *QlgGetObject(const char *name, const char *className) {
  return qlgCall<QlgObject *>(nullptr, [&] { return qlgIntlGetObject(name, className); });
}

void QlgAcquireObject(QlgObject *object) {
  qlgCallVoid([&] { qlgIntlAcquireObject(object); });
}

void QlgReleaseObject(QlgObject *object) {
  qlgCallVoid([&] { qlgIntlReleaseObject(object); });
}

char *QlgGetObjectName(QlgObject *object) {
  return qlgCall<char *>(nullptr, [&]() -> char * {
    if (!qlgIntlIsObject(object)) return nullptr;
    return dupText(object->name);
  });
}

char *QlgGetObjectDesc(QlgObject *object) {
  return qlgCall<char *>(nullptr, [&]() -> char * {
    if (!qlgIntlIsObject(object) || !object->cls || !object->cls->description) return nullptr;
    QlgEvent event;
    event.message = *object->cls->description;
    return dupText(qlgIntlRenderMessage(&event, nullptr));
  });
}

int QlgAreObjectsEqual(QlgObject *a, QlgObject *b) {
  return qlgCall(0, [&] { return qlgIntlIsObject(a) && a == b ? 1 : 0; });
}

int QlgIsObjectEnabled(QlgObject *object) {
  return qlgCall(0, [&] { return qlgIntlIsObject(object) ? object->enabled.load() : 0; });
}

void QlgSetObjectEnabled(QlgObject *object, int enabled) {
  qlgCallVoid([&] {
    if (qlgIntlIsObject(object)) object->enabled.store(enabled ? 1 : 0);
  });
}

int QlgIsLoggableByFilter(QlgObject *filter, QlgEvent *event) {
  return qlgCall(0, [&] {
    if (!qlgIntlIsObject(filter) || event == nullptr || !filter->cls || !filter->cls->isLoggable) return 0;
    return filter->cls->isLoggable(filter, event) ? 1 : 0;
  });
}

void *QlgGetObjClassVars(QlgObject *object) { return qlgIntlIsObject(object) ? object->vars : nullptr; }

char *QlgGetObjProp(QlgObject *object, const char *name, int *found) {
  if (found) *found = 0;
  return qlgCall<char *>(nullptr, [&]() -> char * {
    if (!qlgIntlIsObject(object) || name == nullptr) return nullptr;
    const std::string *v = qlgIntlGetProp(object, name);
    if (v == nullptr) return nullptr;
    if (found) *found = 1;
    return dupText(*v);
  });
}

namespace {

template <typename T, typename Parse>
T getTyped(QlgObject *object, const char *name, T defaultValue, Parse parse) {
  return qlgCall<T>(defaultValue, [&]() -> T {
    if (!qlgIntlIsObject(object) || name == nullptr) return defaultValue;
    const std::string *v = qlgIntlGetProp(object, name);
    if (v == nullptr) return defaultValue;
    auto parsed = parse(*v);
    return parsed ? static_cast<T>(*parsed) : defaultValue;
  });
}

}  // namespace

int QlgGetObjPropBool(QlgObject *object, const char *name, int defaultValue) {
  return getTyped<int>(object, name, defaultValue, qlgIntlParseBool);
}
int QlgGetObjPropInt(QlgObject *object, const char *name, int defaultValue) {
  return getTyped<int>(object, name, defaultValue, qlgIntlParseLong);
}
long long QlgGetObjPropLong(QlgObject *object, const char *name, long long defaultValue) {
  return getTyped<long long>(object, name, defaultValue, qlgIntlParseLong);
}
float QlgGetObjPropFloat(QlgObject *object, const char *name, float defaultValue) {
  return getTyped<float>(object, name, defaultValue, qlgIntlParseDouble);
}
double QlgGetObjPropDouble(QlgObject *object, const char *name, double defaultValue) {
  return getTyped<double>(object, name, defaultValue, qlgIntlParseDouble);
}

int QlgSetObjProp(QlgObject *object, const char *name, const char *value) {
  return qlgCall(0, [&] { return qlgIntlSetProp(object, name, value); });
}
int QlgSetObjPropBool(QlgObject *object, const char *name, int value) {
  return QlgSetObjProp(object, name, value ? "true" : "false");
}
int QlgSetObjPropInt(QlgObject *object, const char *name, int value) {
  return QlgSetObjProp(object, name, numberText(value).c_str());
}
int QlgSetObjPropLong(QlgObject *object, const char *name, long long value) {
  return QlgSetObjProp(object, name, numberText(value).c_str());
}
int QlgSetObjPropFloat(QlgObject *object, const char *name, float value) {
  return QlgSetObjProp(object, name, numberText(value).c_str());
}
int QlgSetObjPropDouble(QlgObject *object, const char *name, double value) {
  return QlgSetObjProp(object, name, numberText(value).c_str());
}

int QlgAddListener(QlgObject *object, QlgObject *listener) {
  return qlgCall(0, [&] { return qlgIntlAddListener(object, listener); });
}

int QlgRemListener(QlgObject *object, QlgObject *listener) {
  return qlgCall(0, [&] { return qlgIntlRemListener(object, listener); });
}

QlgIterator *QlgGetListeners(QlgObject *object) {
  return qlgCall<QlgIterator *>(nullptr, [&]() -> QlgIterator * {
    if (!qlgIntlIsObject(object) || !hasListenerList(object)) return nullptr;
    auto it = std::make_unique<QlgIterator>();
    it->objects = object->listeners;
    for (QlgObject *l : it->objects) ++l->refCount;
    return it.release();
  });
}

void *QlgIterNext(QlgIterator *iterator) {
  if (iterator == nullptr) return nullptr;
  size_t total = iterator->objects.size() + iterator->names.size();
  if (iterator->pos >= total) return nullptr;
  size_t i = iterator->pos++;
  if (i < iterator->objects.size()) return iterator->objects[i];
  return const_cast<char *>(iterator->names[i - iterator->objects.size()].c_str());
}

void QlgIterFree(QlgIterator *iterator) {
  if (iterator == nullptr) return;
  qlgCallVoid([&] {
    for (QlgObject *o : iterator->objects) qlgIntlReleaseObject(o);
  });
  delete iterator;
}

void QlgFree(void *memory) { std::free(memory); }
