// National-language services over glibc.
#include "platform/nls.h"

#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#include <nl_types.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

struct cvx_codeset {
  std::string name;  // as iconv knows it
  bool utf8 = false;
  bool singleByte = false;
  // iconv descriptors keep shift state, so one conversion at a time.
  std::mutex mutex;
  iconv_t toUtf8 = reinterpret_cast<iconv_t>(-1);
  iconv_t fromUtf8 = reinterpret_cast<iconv_t>(-1);
};

struct cvx_locale_rec {
  std::string name;
  locale_t loc = nullptr;
};

struct cvx_catalog {
  nl_catd cat;
};

namespace {

const iconv_t kNoIconv = reinterpret_cast<iconv_t>(-1);

struct NlsState {
  std::mutex mutex;
  // Guarded by mutex:
  std::string dir;
  std::vector<std::string> templates;  // ours, most recently prepended first
};

NlsState &state() {
  static auto *s = new NlsState;
  return *s;
}

std::string upper(std::string_view s) {
  std::string out(s);
  for (char &c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

bool isUtf8Name(std::string_view name) {
  std::string u = upper(name);
  return u == "UTF8" || u == "UTF-8";
}

bool isSingleByteName(std::string_view name) {
  std::string u = upper(name);
  static constexpr const char *kPrefixes[] = {"ISO-8859", "ISO8859", "ISO_8859", "LATIN", "ASCII", "US-ASCII",
                                              "ANSI_X3.4", "CP125",  "WINDOWS-125", "IBM037", "IBM1047",
                                              "CP037", "CP1047", "KOI8"};
  for (const char *p : kPrefixes)
    if (u.rfind(p, 0) == 0) return true;
  return false;
}

// Length of the UTF-8 sequence led by b (1 for stray bytes, so stepping
// always advances).
size_t utf8Length(unsigned char b) {
  if (b < 0x80) return 1;
  if ((b & 0xE0) == 0xC0) return 2;
  if ((b & 0xF0) == 0xE0) return 3;
  if ((b & 0xF8) == 0xF0) return 4;
  return 1;
}

size_t boundedLength(size_t len, size_t n) { return n > len ? len : n; }

// Length of the character at s in cs (never 0 for a non-empty rest).
size_t charLength(cvx_cs cs, const char *s, size_t rest) {
  if (rest == 0) return 0;
  if (cs == nullptr || cs->singleByte) return 1;
  if (cs->utf8) return boundedLength(rest, utf8Length(static_cast<unsigned char>(*s)));
  // Other multibyte code sets: the shortest prefix iconv takes as a whole
  // character.
  std::scoped_lock lock(cs->mutex);
  for (size_t n = 1; n <= 4 && n <= rest; ++n) {
    iconv(cs->toUtf8, nullptr, nullptr, nullptr, nullptr);
    char out[16];
    char *in = const_cast<char *>(s);
    size_t inLeft = n;
    char *o = out;
    size_t outLeft = sizeof out;
    if (iconv(cs->toUtf8, &in, &inLeft, &o, &outLeft) != static_cast<size_t>(-1) && inLeft == 0) return n;
    if (errno != EINVAL) return 1;
  }
  return 1;
}

cvx_cs makeCs(const char *name) {
  if (name == nullptr || *name == '\0') return nullptr;
  auto *cs = new cvx_codeset;
  cs->utf8 = isUtf8Name(name);
  cs->name = cs->utf8 ? "UTF-8" : name;
  cs->singleByte = !cs->utf8 && isSingleByteName(name);
  if (!cs->utf8) {
    cs->toUtf8 = iconv_open("UTF-8", cs->name.c_str());
    cs->fromUtf8 = iconv_open(cs->name.c_str(), "UTF-8");
    if (cs->toUtf8 == kNoIconv || cs->fromUtf8 == kNoIconv) {
      cvx_cs_free(cs);
      return nullptr;
    }
  }
  return cs;
}

// Converts with cd; -1 on a conversion error or a destination too small.
int convert(cvx_cs cs, iconv_t cd, const char *src, int srclen, char *dst, int dstsize) {
  if (dst == nullptr || dstsize <= 0) return -1;
  dst[0] = '\0';
  if (src == nullptr) return -1;
  size_t len = srclen < 0 ? std::strlen(src) : static_cast<size_t>(srclen);
  if (cs == nullptr || cs->utf8) {
    if (len + 1 > static_cast<size_t>(dstsize)) return -1;
    std::memcpy(dst, src, len);
    dst[len] = '\0';
    return static_cast<int>(len);
  }
  std::scoped_lock lock(cs->mutex);
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char *in = const_cast<char *>(src);
  size_t inLeft = len;
  char *out = dst;
  size_t outLeft = static_cast<size_t>(dstsize) - 1;  // room for the NUL
  size_t rc = iconv(cd, &in, &inLeft, &out, &outLeft);
  if (rc != static_cast<size_t>(-1)) rc = iconv(cd, nullptr, nullptr, &out, &outLeft);
  *out = '\0';
  if (rc == static_cast<size_t>(-1)) {
    dst[0] = '\0';
    return -1;
  }
  return static_cast<int>(out - dst);
}

// The locale name for %L when no handle is given: LC_ALL, LC_MESSAGES,
// LANG, as the C library resolves message catalogues.
std::string currentMessagesLocale() {
  for (const char *var : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char *v = std::getenv(var);
    if (v != nullptr && *v != '\0') return v;
  }
  return "C";
}

// "de_DE.UTF-8" -> {"de_DE.UTF-8", "de_DE", "de"}.
std::vector<std::string> localeVariants(const std::string &name) {
  std::vector<std::string> out{name};
  auto dot = name.find_first_of(".@");
  if (dot != std::string::npos) out.push_back(name.substr(0, dot));
  auto us = name.find('_');
  if (us != std::string::npos) out.push_back(name.substr(0, us));
  return out;
}

std::string expand(const std::string &tmpl, const std::string &locale, const std::string &name) {
  std::string out;
  for (size_t i = 0; i < tmpl.size(); ++i) {
    if (tmpl[i] != '%' || i + 1 == tmpl.size()) {
      out += tmpl[i];
      continue;
    }
    char c = tmpl[++i];
    switch (c) {
      case 'N': out += name; break;
      case 'L': out += locale; break;
      case 'l': out += locale.substr(0, locale.find_first_of("_.@")); break;
      case 't': {
        auto us = locale.find('_');
        if (us != std::string::npos) out += locale.substr(us + 1, locale.find_first_of(".@", us) - us - 1);
        break;
      }
      case 'c': {
        auto dot = locale.find('.');
        if (dot != std::string::npos) out += locale.substr(dot + 1, locale.find('@', dot) - dot - 1);
        break;
      }
      case '%': out += '%'; break;
      default: out += '%'; out += c; break;
    }
  }
  return out;
}

std::vector<std::string> searchTemplates() {
  std::vector<std::string> out;
  {
    std::scoped_lock lock(state().mutex);
    out = state().templates;
  }
  if (const char *env = std::getenv("NLSPATH")) {
    std::string_view rest = env;
    while (!rest.empty()) {
      auto colon = rest.find(':');
      std::string_view part = rest.substr(0, colon);
      if (!part.empty()) out.emplace_back(part);
      if (colon == std::string_view::npos) break;
      rest.remove_prefix(colon + 1);
    }
  }
  return out;
}

bool isRegularFile(const std::string &path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

int cvx_init() { return 0; }

void cvx_uninit() {}

int cvx_set_dir(const char *dir) {
  if (dir == nullptr) return -1;
  std::scoped_lock lock(state().mutex);
  state().dir = dir;
  return 0;
}

char *cvx_get_nlspath() {
  std::string path;
  for (const auto &t : searchTemplates()) {
    if (!path.empty()) path += ':';
    path += t;
  }
  return strdup(path.c_str());
}

int cvx_prepend_nlspath(const char *tmpl) {
  if (tmpl == nullptr || *tmpl == '\0') return -1;
  std::scoped_lock lock(state().mutex);
  auto &t = state().templates;
  for (auto it = t.begin(); it != t.end(); ++it) {
    if (*it == tmpl) {
      t.erase(it);
      break;
    }
  }
  t.insert(t.begin(), tmpl);
  return 0;
}

cvx_loc cvx_loc_new(const char *name) {
  if (name == nullptr) return nullptr;
  locale_t l = newlocale(LC_ALL_MASK, name, static_cast<locale_t>(nullptr));
  if (l == static_cast<locale_t>(nullptr)) return nullptr;
  auto *loc = new cvx_locale_rec;
  loc->name = name;
  loc->loc = l;
  return loc;
}

void cvx_loc_free(cvx_loc loc) {
  if (loc == nullptr) return;
  if (loc->loc) freelocale(loc->loc);
  delete loc;
}

cvx_catd cvx_catopen(const char *name, int flag, cvx_loc loc) {
  if (name == nullptr || *name == '\0') return nullptr;
  std::string locale = flag == 1 && loc != nullptr ? loc->name : currentMessagesLocale();
  std::vector<std::string> candidates;
  if (std::strchr(name, '/') != nullptr) {
    candidates.emplace_back(name);
  } else {
    for (const auto &t : searchTemplates())
      for (const auto &variant : localeVariants(locale)) candidates.push_back(expand(t, variant, name));
  }
  for (const auto &path : candidates) {
    if (!isRegularFile(path)) continue;
    nl_catd cat = catopen(path.c_str(), 0);
    if (cat == reinterpret_cast<nl_catd>(-1)) continue;
    return new cvx_catalog{cat};
  }
  return nullptr;
}

int cvx_catclose(cvx_catd cat) {
  if (cat == nullptr) return -1;
  int rc = catclose(cat->cat);
  delete cat;
  return rc;
}

char *cvx_catgets(cvx_catd cat, int set, int num, const char *deftext, cvx_cs cs) {
  if (cat == nullptr) return const_cast<char *>(deftext);
  static const char kMissing[] = "";
  const char *text = catgets(cat->cat, set, num, kMissing);
  if (text == nullptr || text == kMissing) return const_cast<char *>(deftext);
  if (cs == nullptr) cs = cvx_get_def_cs();
  if (cs == nullptr || cs->utf8) return strdup(text);
  size_t len = std::strlen(text);
  size_t size = len * 4 + 16;
  char *out = static_cast<char *>(std::malloc(size));
  if (out == nullptr) return const_cast<char *>(deftext);
  if (cvx_from_utf8(cs, text, static_cast<int>(len), out, static_cast<int>(size)) < 0) {
    std::free(out);
    return const_cast<char *>(deftext);
  }
  return out;
}

int cvx_vsprintf(cvx_cs, cvx_loc, char *buf, size_t size, const char *fmt, va_list args) {
  if (buf == nullptr || size == 0 || fmt == nullptr) return -1;
  va_list ap;
  va_copy(ap, args);
  int n = std::vsnprintf(buf, size, fmt, ap);
  va_end(ap);
  if (n < 0) {
    buf[0] = '\0';
    return -1;
  }
  return static_cast<size_t>(n) >= size ? static_cast<int>(size - 1) : n;
}

cvx_cs cvx_cs_new(const char *name) {
  try {
    return makeCs(name);
  } catch (...) {
    return nullptr;
  }
}

void cvx_cs_free(cvx_cs cs) {
  if (cs == nullptr || cs == cvx_get_def_cs()) return;
  if (cs->toUtf8 != kNoIconv) iconv_close(cs->toUtf8);
  if (cs->fromUtf8 != kNoIconv) iconv_close(cs->fromUtf8);
  delete cs;
}

cvx_cs cvx_get_def_cs() {
  static cvx_cs def = [] {
    const char *name = nl_langinfo(CODESET);
    cvx_cs cs = makeCs(name && *name ? name : "ANSI_X3.4-1968");
    return cs ? cs : makeCs("UTF8");
  }();
  return def;
}

const char *cvx_cs_name(cvx_cs cs) { return cs ? cs->name.c_str() : nullptr; }

int cvx_to_utf8(cvx_cs cs, const char *src, int srclen, char *dst, int dstsize) {
  if (cs == nullptr) cs = cvx_get_def_cs();
  return convert(cs, cs ? cs->toUtf8 : kNoIconv, src, srclen, dst, dstsize);
}

int cvx_from_utf8(cvx_cs cs, const char *src, int srclen, char *dst, int dstsize) {
  if (cs == nullptr) cs = cvx_get_def_cs();
  return convert(cs, cs ? cs->fromUtf8 : kNoIconv, src, srclen, dst, dstsize);
}

char *cvx_strchr(cvx_cs cs, const char *s, int c) {
  if (s == nullptr) return nullptr;
  if (cs == nullptr) cs = cvx_get_def_cs();
  size_t len = std::strlen(s);
  for (size_t i = 0; i <= len;) {
    size_t n = i == len ? 1 : charLength(cs, s + i, len - i);
    if (n == 1 && static_cast<unsigned char>(s[i]) == static_cast<unsigned char>(c)) return const_cast<char *>(s + i);
    i += n;
  }
  return nullptr;
}

char *cvx_strrchr(cvx_cs cs, const char *s, int c) {
  if (s == nullptr) return nullptr;
  if (cs == nullptr) cs = cvx_get_def_cs();
  size_t len = std::strlen(s);
  const char *found = nullptr;
  for (size_t i = 0; i <= len;) {
    size_t n = i == len ? 1 : charLength(cs, s + i, len - i);
    if (n == 1 && static_cast<unsigned char>(s[i]) == static_cast<unsigned char>(c)) found = s + i;
    i += n;
  }
  return const_cast<char *>(found);
}

char *cvx_strstr(cvx_cs cs, const char *s, const char *sub) {
  if (s == nullptr || sub == nullptr) return nullptr;
  if (*sub == '\0') return const_cast<char *>(s);
  if (cs == nullptr) cs = cvx_get_def_cs();
  size_t len = std::strlen(s);
  size_t subLen = std::strlen(sub);
  for (size_t i = 0; i + subLen <= len;) {
    if (std::memcmp(s + i, sub, subLen) == 0) {
      // The match must also end on a character boundary.
      size_t j = i;
      while (j < i + subLen) j += charLength(cs, s + j, len - j);
      if (j == i + subLen) return const_cast<char *>(s + i);
    }
    i += charLength(cs, s + i, len - i);
  }
  return nullptr;
}

size_t cvx_strftime(cvx_cs, cvx_loc loc, char *buf, size_t size, const char *fmt, const struct tm *tm) {
  if (buf == nullptr || size == 0 || fmt == nullptr || tm == nullptr) return 0;
  size_t n = loc != nullptr ? strftime_l(buf, size, fmt, tm, loc->loc) : std::strftime(buf, size, fmt, tm);
  if (n == 0) buf[0] = '\0';
  return n;
}

char *cvx_strptime(cvx_cs, cvx_loc loc, const char *s, const char *fmt, struct tm *tm) {
  if (s == nullptr || fmt == nullptr || tm == nullptr) return nullptr;
  return loc != nullptr ? strptime_l(s, fmt, tm, loc->loc) : strptime(s, fmt, tm);
}
