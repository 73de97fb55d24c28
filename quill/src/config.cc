// Configurations, the configuration manager and the properties-file reader.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "quill/src/qlg_intl.h"

namespace velm {

namespace {

// Configurations by name, each held once by the manager. Guarded by the API lock.
std::map<std::string, QlgObjCfg *, std::less<>> &configs() {
  static auto *m = new std::map<std::string, QlgObjCfg *, std::less<>>;
  return *m;
}

bool isCfg(const QlgObjCfg *cfg) { return cfg != nullptr && cfg->refCount > 0; }

void addChildName(QlgObjCfg *cfg, const std::string &child) {
  for (const auto &c : cfg->children)
    if (c == child) return;
  cfg->children.push_back(child);
}

}  // namespace

void qlgIntlReleaseCfg(QlgObjCfg *cfg) {
  if (!isCfg(cfg)) return;
  if (--cfg->refCount == 0) delete cfg;
}

std::string qlgIntlCfgParentName(QlgObjCfg *cfg) {
  if (cfg->parentName) return *cfg->parentName;
  std::string name = cfg->name;
  for (;;) {
    auto dot = name.rfind('.');
    if (dot == std::string::npos) return "/";
    name.resize(dot);
    if (configs().count(name)) {
      cfg->parentName = name;
      return name;
    }
  }
}

bool qlgIntlLogMgrHasCfg(const std::string &name) { return configs().count(name) != 0; }

int qlgIntlLogMgrAddCfg(QlgObjCfg *cfg) {
  if (!isCfg(cfg) || cfg->name.empty() || cfg->name == "/") return 0;
  auto &m = configs();
  auto it = m.find(cfg->name);
  if (it != m.end()) {
    if (it->second == cfg) return 1;
    qlgIntlReleaseCfg(it->second);
    m.erase(it);
  }
  ++cfg->refCount;
  m.emplace(cfg->name, cfg);
  std::string parent = qlgIntlCfgParentName(cfg);
  if (parent != "/") {
    auto p = m.find(parent);
    if (p != m.end()) addChildName(p->second, cfg->name);
  }
  return 1;
}

int qlgIntlLogMgrRemCfg(const std::string &name) {
  auto &m = configs();
  auto it = m.find(name);
  if (it == m.end()) return 0;
  QlgObjCfg *cfg = it->second;
  m.erase(it);
  std::string parent = qlgIntlCfgParentName(cfg);
  auto p = m.find(parent);
  if (p != m.end()) std::erase(p->second->children, name);
  qlgIntlReleaseCfg(cfg);
  return 1;
}

QlgObjCfg *qlgIntlLogMgrGetCfg(const char *name) {
  if (name == nullptr || std::strcmp(name, "/") == 0 || *name == '\0') return nullptr;
  auto &m = configs();
  auto it = m.find(std::string_view(name));
  if (it != m.end()) return it->second;
  auto *cfg = new QlgObjCfg;
  cfg->name = name;
  qlgIntlLogMgrAddCfg(cfg);
  qlgIntlReleaseCfg(cfg);  // the manager's hold remains
  return cfg;
}

std::optional<std::string> qlgIntlGetInheritedCfgProp(QlgObjCfg *cfg, const std::string &name) {
  // Bounded walk: a parent chain set by hand could loop.
  for (int depth = 0; cfg != nullptr && depth < 256; ++depth) {
    auto it = cfg->properties.find(name);
    if (it != cfg->properties.end()) return it->second;
    std::string parent = qlgIntlCfgParentName(cfg);
    if (parent == "/") break;
    auto p = configs().find(parent);
    cfg = p == configs().end() ? nullptr : p->second;
  }
  return std::nullopt;
}

namespace {

int applyCfg(QlgObject *object, const std::string &cfgName, int depth) {
  if (cfgName == "/" || depth > 256) return 1;
  auto it = configs().find(cfgName);
  if (it == configs().end()) return 1;
  QlgObjCfg *cfg = it->second;
  ++cfg->refCount;  // setting properties can run arbitrary class code
  applyCfg(object, qlgIntlCfgParentName(cfg), depth + 1);
  auto props = cfg->properties;
  for (const auto &[name, value] : props) qlgIntlSetProp(object, name.c_str(), value.c_str());
  qlgIntlReleaseCfg(cfg);
  return 1;
}

}  // namespace

int qlgIntlLogMgrApplyCfg(QlgObject *object, const std::string &cfgName) {
  if (!qlgIntlIsObject(object)) return 0;
  return applyCfg(object, cfgName, 0);
}

void qlgIntlLogMgrClose() {
  auto &m = configs();
  std::vector<QlgObjCfg *> all;
  for (auto &[n, c] : m) all.push_back(c);
  m.clear();
  for (QlgObjCfg *c : all) qlgIntlReleaseCfg(c);
}

// ---- properties file --------------------------------------------------------

namespace {

void appendUtf8(std::string &out, unsigned cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

int hexValue(int c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Sets "cfg.prop" = value; a key without a dot is an error.
bool emitProperty(const std::string &key, const std::string &value) {
  auto dot = key.rfind('.');
  if (dot == std::string::npos || dot == 0 || dot + 1 == key.size()) return false;
  std::string cfgName = key.substr(0, dot);
  std::string prop = key.substr(dot + 1);
  QlgObjCfg *cfg = nullptr;
  if (!qlgIntlLogMgrHasCfg(cfgName)) {
    cfg = qlgIntlLogMgrGetCfg(cfgName.c_str());
    if (cfg) cfg->fromFile = true;
  } else {
    cfg = qlgIntlLogMgrGetCfg(cfgName.c_str());
  }
  if (cfg == nullptr) return false;
  cfg->properties[prop] = value;
  return true;
}

enum State {
  kStart = 1,
  kBlanksBeforeKey,
  kComment,
  kKey,
  kKeyEscape,
  kBlanksAfterKey,
  kBlanksAfterSep,
  kValue,
  kValueEscape,
  kContinued,
  kUnicode  // 11 to 14: digits read so far in unicodeDigits
};

bool isBlank(int c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }
bool isLineEnd(int c) { return c == '\r' || c == '\n'; }

}  // namespace

int qlgIntlLogMgrReadProps(const char *file) {
  if (file == nullptr) return 0;
  std::unique_ptr<FILE, int (*)(FILE *)> fp(std::fopen(file, "rb"), &std::fclose);
  if (!fp) return 0;
  State state = kStart;
  std::string key, value;
  unsigned codePoint = 0;
  int unicodeDigits = 0;
  bool lastWasLineEnd = false;
  auto badEscape = [&] {
    qlgIntlPrintMsg(52, QLG_STRING, key.c_str(), QLG_END);
    return 0;
  };
  for (int c; (c = std::fgetc(fp.get())) != EOF;) {
    // CR LF, LF LF... count as one line end: empty lines vanish.
    if (isLineEnd(c)) {
      if (lastWasLineEnd) continue;
      lastWasLineEnd = true;
    } else {
      lastWasLineEnd = false;
    }
    char ch = static_cast<char>(c);
    switch (state) {
      case kStart:
        key.clear();
        value.clear();
        if (isBlank(c)) state = kBlanksBeforeKey;
        else if (isLineEnd(c)) state = kStart;
        else if (c == '!' || c == '#') state = kComment;
        else {
          key += ch;
          state = kKey;
        }
        break;
      case kBlanksBeforeKey:
        if (isBlank(c)) break;
        if (isLineEnd(c)) state = kStart;
        else if (c == ':' || c == '=') return 0;
        else if (c == '!' || c == '#') state = kComment;
        else {
          key += ch;
          state = kKey;
        }
        break;
      case kComment:
        if (isLineEnd(c)) state = kStart;
        break;
      case kKey:
        if (isBlank(c)) state = kBlanksAfterKey;
        else if (isLineEnd(c)) return 0;
        else if (c == ':' || c == '=') state = kBlanksAfterSep;
        else if (c == '\\') state = kKeyEscape;
        else key += ch;
        break;
      case kKeyEscape:
        if (isLineEnd(c) || c == '!' || c == '#') return 0;
        if (isBlank(c) || c == ':' || c == '=' || c == '\\') {
          key += ch;
          state = kKey;
        } else {
          return 0;
        }
        break;
      case kBlanksAfterKey:
        if (isBlank(c)) break;
        if (isLineEnd(c)) return 0;
        if (c == ':' || c == '=') state = kBlanksAfterSep;
        else if (c == '\\') state = kValueEscape;
        else {
          value += ch;
          state = kValue;
        }
        break;
      // Blanks after the separator and at the start of a continued line are
      // skipped alike; the value starts at the first other byte.
      case kBlanksAfterSep:
      case kContinued:
        if (isBlank(c)) break;
        if (isLineEnd(c)) {
          if (!emitProperty(key, value)) return 0;
          state = kStart;
        } else if (c == '\\') {
          state = kValueEscape;
        } else {
          value += ch;
          state = kValue;
        }
        break;
      case kValue:
        if (isLineEnd(c)) {
          if (!emitProperty(key, value)) return 0;
          state = kStart;
        } else if (c == '\\') {
          state = kValueEscape;
        } else {
          value += ch;
        }
        break;
      case kValueEscape:
        if (isBlank(c) || c == '\\') {
          value += ch;
          state = kValue;
        } else if (isLineEnd(c)) {
          state = kContinued;
        } else if (c == 'u' || c == 'U') {
          codePoint = 0;
          unicodeDigits = 0;
          state = kUnicode;
        } else if (c == '"' || c == '\'') {
          value += ch;
          state = kValue;
        } else {
          return badEscape();
        }
        break;
      case kUnicode: {
        int h = hexValue(c);
        if (h < 0) return 0;
        codePoint = codePoint * 16 + static_cast<unsigned>(h);
        if (++unicodeDigits == 4) {
          appendUtf8(value, codePoint);
          state = kValue;
        }
        break;
      }
    }
  }
  // A pending key is emitted with its value so far.
  if (state != kStart && state != kComment && state != kBlanksBeforeKey && !key.empty()) {
    if (!emitProperty(key, value)) return 0;
  }
  return 1;
}

}  // namespace velm

// ---- the public configuration calls -----------------------------------------

using namespace velm;

namespace {

char *dupText(const std::string &s) {
  char *p = static_cast<char *>(std::malloc(s.size() + 1));
  if (p) std::memcpy(p, s.c_str(), s.size() + 1);
  return p;
}

template <typename T, typename Parse>
T getTyped(QlgObjCfg *cfg, const char *name, T defaultValue, Parse parse) {
  return qlgCall<T>(defaultValue, [&]() -> T {
    if (!isCfg(cfg) || name == nullptr) return defaultValue;
    auto it = cfg->properties.find(name);
    if (it == cfg->properties.end()) return defaultValue;
    auto parsed = parse(it->second);
    return parsed ? static_cast<T>(*parsed) : defaultValue;
  });
}

int setText(QlgObjCfg *cfg, const char *name, const char *value) {
  return qlgCall(0, [&] {
    if (!isCfg(cfg) || name == nullptr) return 0;
    if (value) cfg->properties[name] = value;
    else cfg->properties.erase(name);
    return 1;
  });
}

template <typename T>
std::string numberText(const char *fmt, T v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, fmt, v);
  return buf;
}

}  // namespace

QlgObjCfg *QlgAllocObjCfg(const char *name) {
  if (name == nullptr) return nullptr;
  return qlgCallUnlocked<QlgObjCfg *>(nullptr, [&] {
    auto *cfg = new QlgObjCfg;
    cfg->name = name;
    return cfg;
  });
}

void QlgAcquireObjCfg(QlgObjCfg *cfg) {
  qlgCall(0, [&] {
    if (isCfg(cfg)) ++cfg->refCount;
    return 0;
  });
}

void QlgReleaseObjCfg(QlgObjCfg *cfg) {
  qlgCall(0, [&] {
    qlgIntlReleaseCfg(cfg);
    return 0;
  });
}

char *QlgObjCfgGetName(QlgObjCfg *cfg) {
  return qlgCall<char *>(nullptr, [&] { return isCfg(cfg) ? dupText(cfg->name) : nullptr; });
}

char *QlgObjCfgGetParent(QlgObjCfg *cfg) {
  return qlgCall<char *>(nullptr, [&] { return isCfg(cfg) ? dupText(qlgIntlCfgParentName(cfg)) : nullptr; });
}

int QlgObjCfgSetParent(QlgObjCfg *cfg, const char *parentName) {
  return qlgCall(0, [&] {
    if (!isCfg(cfg)) return 0;
    if (parentName) cfg->parentName = parentName;
    else cfg->parentName.reset();
    return 1;
  });
}

int QlgObjCfgAddChild(QlgObjCfg *cfg, const char *childName) {
  return qlgCall(0, [&] {
    if (!isCfg(cfg) || childName == nullptr) return 0;
    addChildName(cfg, childName);
    return 1;
  });
}

int QlgObjCfgRemChild(QlgObjCfg *cfg, const char *childName) {
  return qlgCall(0, [&] {
    if (!isCfg(cfg) || childName == nullptr) return 0;
    return std::erase(cfg->children, std::string(childName)) ? 1 : 0;
  });
}

QlgIterator *QlgObjCfgChildrenNames(QlgObjCfg *cfg) {
  return qlgCall<QlgIterator *>(nullptr, [&]() -> QlgIterator * {
    if (!isCfg(cfg)) return nullptr;
    auto *it = new QlgIterator;
    it->names = cfg->children;
    return it;
  });
}

int QlgObjCfgIsFromFile(QlgObjCfg *cfg) {
  return qlgCall(0, [&] { return isCfg(cfg) && cfg->fromFile ? 1 : 0; });
}

void QlgObjCfgSetFromFile(QlgObjCfg *cfg, int fromFile) {
  qlgCall(0, [&] {
    if (isCfg(cfg)) cfg->fromFile = fromFile != 0;
    return 0;
  });
}

char *QlgGetObjCfgProp(QlgObjCfg *cfg, const char *name, int *found) {
  if (found) *found = 0;
  return qlgCall<char *>(nullptr, [&]() -> char * {
    if (!isCfg(cfg) || name == nullptr) return nullptr;
    auto it = cfg->properties.find(name);
    if (it == cfg->properties.end()) return nullptr;
    if (found) *found = 1;
    return dupText(it->second);
  });
}

int QlgGetObjCfgPropBool(QlgObjCfg *cfg, const char *name, int defaultValue) {
  return getTyped<int>(cfg, name, defaultValue, qlgIntlParseBool);
}
int QlgGetObjCfgPropInt(QlgObjCfg *cfg, const char *name, int defaultValue) {
  return getTyped<int>(cfg, name, defaultValue, qlgIntlParseLong);
}
long long QlgGetObjCfgPropLong(QlgObjCfg *cfg, const char *name, long long defaultValue) {
  return getTyped<long long>(cfg, name, defaultValue, qlgIntlParseLong);
}
float QlgGetObjCfgPropFloat(QlgObjCfg *cfg, const char *name, float defaultValue) {
  return getTyped<float>(cfg, name, defaultValue, qlgIntlParseDouble);
}
double QlgGetObjCfgPropDouble(QlgObjCfg *cfg, const char *name, double defaultValue) {
  return getTyped<double>(cfg, name, defaultValue, qlgIntlParseDouble);
}

int QlgSetObjCfgProp(QlgObjCfg *cfg, const char *name, const char *value) { return setText(cfg, name, value); }
int QlgSetObjCfgPropBool(QlgObjCfg *cfg, const char *name, int value) {
  return setText(cfg, name, value ? "true" : "false");
}
int QlgSetObjCfgPropInt(QlgObjCfg *cfg, const char *name, int value) {
  return setText(cfg, name, numberText("%d", value).c_str());
}
int QlgSetObjCfgPropLong(QlgObjCfg *cfg, const char *name, long long value) {
  return setText(cfg, name, numberText("%lld", value).c_str());
}
int QlgSetObjCfgPropFloat(QlgObjCfg *cfg, const char *name, float value) {
  return setText(cfg, name, numberText("%.9g", static_cast<double>(value)).c_str());
}
int QlgSetObjCfgPropDouble(QlgObjCfg *cfg, const char *name, double value) {
  return setText(cfg, name, numberText("%.17g", value).c_str());
}

char *QlgGetInheritedObjCfgProp(QlgObjCfg *cfg, const char *name, int *found) {
  if (found) *found = 0;
  return qlgCall<char *>(nullptr, [&]() -> char * {
    if (!isCfg(cfg) || name == nullptr) return nullptr;
    auto v = qlgIntlGetInheritedCfgProp(cfg, name);
    if (!v) return nullptr;
    if (found) *found = 1;
    return dupText(*v);
  });
}

QlgIterator *QlgObjCfgProperties(QlgObjCfg *cfg) {
  return qlgCall<QlgIterator *>(nullptr, [&]() -> QlgIterator * {
    if (!isCfg(cfg)) return nullptr;
    auto *it = new QlgIterator;
    for (const auto &[n, v] : cfg->properties) it->names.push_back(n);
    return it;
  });
}

int QlgLogMgrAddCfg(QlgObjCfg *cfg) {
  return qlgCall(0, [&] { return qlgIntlLogMgrAddCfg(cfg); });
}

int QlgLogMgrRemCfg(const char *name) {
  return qlgCall(0, [&] { return name ? qlgIntlLogMgrRemCfg(name) : 0; });
}

int QlgLogMgrUpdateCfg(QlgObjCfg *cfg) {
  return qlgCall(0, [&] {
    if (!isCfg(cfg)) return 0;
    ++cfg->refCount;
    qlgIntlLogMgrRemCfg(cfg->name);
    int rc = qlgIntlLogMgrAddCfg(cfg);
    qlgIntlReleaseCfg(cfg);
    return rc;
  });
}

QlgObjCfg *QlgLogMgrGetCfg(const char *name) {
  return qlgCall<QlgObjCfg *>(nullptr, [&] { return qlgIntlLogMgrGetCfg(name); });
}

int QlgLogMgrHasCfg(const char *name) {
  return qlgCall(0, [&] { return name && qlgIntlLogMgrHasCfg(name) ? 1 : 0; });
}

QlgIterator *QlgLogMgrConfigNames(void) {
  return qlgCall<QlgIterator *>(nullptr, [&] {
    auto *it = new QlgIterator;
    for (const auto &[n, c] : configs()) it->names.push_back(n);
    return it;
  });
}

int QlgLogMgrApplyCfg(QlgObject *object, const char *cfgName) {
  return qlgCall(0, [&] { return cfgName ? qlgIntlLogMgrApplyCfg(object, cfgName) : 0; });
}

int QlgLogMgrReadProps(const char *file) {
  return qlgCall(0, [&] { return qlgIntlLogMgrReadProps(file); });
}
