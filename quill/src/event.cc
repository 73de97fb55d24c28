// Events: typed parameter lists, the printf engine with positional
// indexes, message rendering and message-id recognition.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "quill/src/qlg_intl.h"

namespace velm {

namespace {

bool isParamCode(int code) { return code >= QLG_BOOL && code <= QLG_STRING; }

bool isLevelCode(int code) {
  return code == QLG_LEVEL_ALWAYS || code == QLG_LEVEL_OFF || (code >= 1000 && code <= 7000 && code % 1000 == 0);
}

// Reads the value of a parameter code (C promotions: bool, char as int,
// float as double).
QlgParam readParam(int code, va_list &args) {
  QlgParam p;
  p.type = code;
  switch (code) {
    case QLG_BOOL:
    case QLG_INT:
    case QLG_CHAR: p.i = va_arg(args, int); break;
    case QLG_LONG: p.i = va_arg(args, long); break;
    case QLG_FLOAT:
    case QLG_DOUBLE: p.d = va_arg(args, double); break;
    case QLG_STRING: {
      const char *s = va_arg(args, const char *);
      p.s = s ? s : "(null)";
      break;
    }
  }
  return p;
}

std::string formatOne(const std::string &spec, auto value) {
  char small[128];
  int n = std::snprintf(small, sizeof small, spec.c_str(), value);
  if (n < 0) return {};
  if (static_cast<size_t>(n) < sizeof small) return std::string(small, static_cast<size_t>(n));
  std::string out(static_cast<size_t>(n) + 1, '\0');
  std::snprintf(out.data(), out.size(), spec.c_str(), value);
  out.resize(static_cast<size_t>(n));
  return out;
}

long long asInteger(const QlgParam &p) {
  switch (p.type) {
    case QLG_FLOAT:
    case QLG_DOUBLE: return static_cast<long long>(p.d);
    case QLG_STRING: return std::strtoll(p.s.c_str(), nullptr, 10);
    default: return p.i;
  }
}

double asDouble(const QlgParam &p) {
  switch (p.type) {
    case QLG_FLOAT:
    case QLG_DOUBLE: return p.d;
    case QLG_STRING: return std::strtod(p.s.c_str(), nullptr);
    default: return static_cast<double>(p.i);
  }
}

// Reads "<digits>$" at p; returns the index (1-based) or 0.
int readPosition(std::string_view f, size_t &i) {
  size_t j = i;
  int n = 0;
  while (j < f.size() && f[j] >= '0' && f[j] <= '9' && n < 10000) n = n * 10 + (f[j++] - '0');
  if (j > i && j < f.size() && f[j] == '$' && n > 0) {
    i = j + 1;
    return n;
  }
  return 0;
}

}  // namespace

std::string QlgParam::text() const {
  switch (type) {
    case QLG_BOOL: return i ? "true" : "false";
    case QLG_INT:
    case QLG_LONG: return std::to_string(i);
    case QLG_CHAR: return std::string(1, static_cast<char>(i));
    case QLG_FLOAT:
    case QLG_DOUBLE: return formatOne("%g", d);
    case QLG_STRING: return s;
    default: return {};
  }
}

void qlgIntlReadTypedList(QlgEvent *event, va_list args) {
  va_list ap;
  va_copy(ap, args);
  int entries = 0;
  for (;;) {
    if (entries == kQlgMaxListEntries) {
      qlgIntlReportMsg(70, QLG_END);
      break;
    }
    int code = va_arg(ap, int);
    if (code == QLG_END) break;
    if (isParamCode(code)) {
      event->params.push_back(readParam(code, ap));
    } else if (code == QLG_PROPERTY) {
      const char *name = va_arg(ap, const char *);
      int valueCode = va_arg(ap, int);
      if (!isParamCode(valueCode)) {
        qlgIntlReportMsg(71, QLG_END);
        break;
      }
      QlgParam value = readParam(valueCode, ap);
      if (name != nullptr) qlgIntlSetEventProp(event, name, value.text());
    } else if (isLevelCode(code)) {
      event->level = code;
    } else {
      qlgIntlReportMsg(71, QLG_END);
      break;
    }
    ++entries;
  }
  va_end(ap);
}

std::optional<std::string> qlgIntlFormatParams(std::string_view f, const std::vector<QlgParam> &params) {
  std::string out;
  out.reserve(f.size() + 32);
  size_t next = 0;  // sequential index for conversions without "n$"
  auto param = [&](int position) -> const QlgParam * {
    size_t idx = position > 0 ? static_cast<size_t>(position - 1) : next++;
    return idx < params.size() ? &params[idx] : nullptr;
  };
  size_t i = 0;
  while (i < f.size()) {
    char c = f[i];
    if (c != '%') {
      out += c;
      ++i;
      continue;
    }
    if (i + 1 < f.size() && f[i + 1] == '%') {
      out += '%';
      i += 2;
      continue;
    }
    ++i;
    int position = readPosition(f, i);
    std::string spec = "%";
    while (i < f.size() && std::strchr("-+ #0'", f[i])) spec += f[i++];
    // Width and precision, either literal or taken from an int parameter.
    for (int part = 0; part < 2; ++part) {
      if (part == 1) {
        if (i >= f.size() || f[i] != '.') break;
        spec += f[i++];
      }
      if (i < f.size() && f[i] == '*') {
        ++i;
        int starPos = readPosition(f, i);
        const QlgParam *p = param(starPos);
        if (p == nullptr) return std::nullopt;
        spec += std::to_string(asInteger(*p));
      } else {
        while (i < f.size() && f[i] >= '0' && f[i] <= '9') spec += f[i++];
      }
    }
    while (i < f.size() && std::strchr("hlLqjzt", f[i])) ++i;  // our values carry their own width
    if (i >= f.size()) return std::nullopt;
    char conv = f[i++];
    const QlgParam *p = param(position);
    if (p == nullptr) return std::nullopt;
    switch (conv) {
      case 'd':
      case 'i': out += formatOne(spec + "lld", asInteger(*p)); break;
      case 'o':
      case 'u':
      case 'x':
      case 'X': out += formatOne(spec + "ll" + conv, static_cast<unsigned long long>(asInteger(*p))); break;
      case 'f':
      case 'F':
      case 'e':
      case 'E':
      case 'g':
      case 'G':
      case 'a':
      case 'A': out += formatOne(spec + conv, asDouble(*p)); break;
      case 'c': {
        int ch = p->type == QLG_STRING ? (p->s.empty() ? ' ' : p->s[0]) : static_cast<int>(asInteger(*p));
        out += formatOne(spec + "c", ch);
        break;
      }
      case 's': {
        std::string text = p->text();
        out += formatOne(spec + "s", text.c_str());
        break;
      }
      default: return std::nullopt;
    }
  }
  return out;
}

namespace {

// Catalogues opened for rendering, by name; a null entry remembers that the
// catalogue is missing. Guarded by the API lock; closed with the toolkit.
std::map<std::string, cvx_catd> &catalogCache() {
  static auto *cache = new std::map<std::string, cvx_catd>;
  return *cache;
}

cvx_cs utf8Cs() {
  static cvx_cs cs = cvx_cs_new("UTF8");
  return cs;
}

// The catalogue text for the message, or the default text.
std::string catalogText(const QlgMessage &m, cvx_loc locale) {
  cvx_catd cat = nullptr;
  bool own = false;
  if (locale == nullptr) {
    auto &cache = catalogCache();
    auto it = cache.find(*m.catalog);
    if (it == cache.end()) it = cache.emplace(*m.catalog, cvx_catopen(m.catalog->c_str(), 1, nullptr)).first;
    cat = it->second;
  } else {
    cat = cvx_catopen(m.catalog->c_str(), 1, locale);
    own = true;
  }
  std::string text = m.text;
  if (cat != nullptr) {
    char *got = cvx_catgets(cat, m.set, m.key, m.text.c_str(), utf8Cs());
    if (got != nullptr && got != m.text.c_str()) {
      text = got;
      std::free(got);
    }
  }
  if (own && cat != nullptr) cvx_catclose(cat);
  return text;
}

}  // namespace

void qlgIntlCloseCatalogs() {
  for (auto &[name, cat] : catalogCache())
    if (cat != nullptr) cvx_catclose(cat);
  catalogCache().clear();
}

std::string qlgIntlRenderMessage(const QlgEvent *event, cvx_loc locale) {
  if (event == nullptr) return {};
  const QlgMessage &m = event->message;
  if (locale == nullptr) locale = event->locale;
  std::string text = m.catalog ? catalogText(m, locale) : m.text;
  auto formatted = qlgIntlFormatParams(text, event->params);
  // A translation that does not fit the parameters says nothing reliable;
  // the caller's own text is the better record.
  return formatted ? *formatted : m.text;
}

void qlgIntlSetEventProp(QlgEvent *event, const std::string &name, const std::string &value) {
  event->properties[name] = value;
}

const std::string *qlgIntlGetEventProp(const QlgEvent *event, const std::string &name) {
  auto it = event->properties.find(name);
  return it == event->properties.end() ? nullptr : &it->second;
}

std::string qlgIntlRecogniseMsgId(std::string_view text) {
  auto isAlpha = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
  auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
  size_t n = std::min<size_t>(text.size(), 10);
  size_t letters = 0;
  while (letters < n && letters < 6 && isAlpha(text[letters])) ++letters;
  size_t digits = 0;
  while (letters + digits < n && isDigit(text[letters + digits])) ++digits;
  size_t end = letters + digits;
  if (end >= n) return {};
  char sev = text[end];
  if (sev != 'I' && sev != 'W' && sev != 'E') return {};
  bool ok = false;
  switch (letters) {
    case 3: ok = digits >= 3 && digits <= 6; break;
    case 4: ok = digits >= 3 && digits <= 5; break;
    case 5: ok = digits >= 2 && digits <= 4; break;
    case 6: ok = digits == 3; break;
    default: break;
  }
  return ok ? std::string(text.substr(0, end + 1)) : std::string();
}

}  // namespace velm
