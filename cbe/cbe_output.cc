// The two outputs of the encoders: Xerces-C nodes, and the serialiser's
// bytes written directly.
#include "cbe/cbe_output.h"

#include <algorithm>
#include <cstring>

#include "cbe/cbe_names.h"

namespace velm::cbe {

int CbeOutput::scalarField(const XMLCh *name, const XMLCh *type, const char *text) {
  if (open(kChildren) != 0) return -1;
  if (attr(kName, name) != 0 || attr(kType, type) != 0) {
    drop();
    return -1;
  }
  if (open(kValues) != 0) {
    drop();
    return -1;
  }
  if (this->text(text) != 0) {
    drop();
    drop();
    return -1;
  }
  if (close() != 0) {
    drop();
    return -1;
  }
  return close();
}

int CbeOutput::values(const char *text) {
  if (open(kValues) != 0) return -1;
  if (this->text(text) != 0) {
    drop();
    return -1;
  }
  return close();
}

// ---- The DOM ---------------------------------------------------------------

DomOutput::DomOutput(VELM_AuditClientContext *context, VELM_result *result, XmlDocument *doc, XmlElement *node)
    : CbeOutput(context, result), doc_(doc), base_(node) {}

DomOutput::DomOutput(VELM_AuditClientContext *context, VELM_result *result) : CbeOutput(context, result) {
  doc_ = createDocument(context, kCommonBaseEvent, result);
  if (doc_ == nullptr) return;
  ownsDoc_ = true;
  root_ = getRootElement(context, doc_, result);
  base_ = root_;
}

DomOutput::~DomOutput() {
  if (ownsDoc_) deleteDocument(context(), doc_, result());
}

XmlElement *DomOutput::release() {
  ownsDoc_ = false;
  return root_;
}

int DomOutput::open(const XMLCh *name, bool loose) {
  XmlElement *e = createElement(context(), doc_, name, result());
  if (e == nullptr) return -1;
  frames_.push_back({e, loose});
  return 0;
}

int DomOutput::close(int slot) {
  const Frame f = frames_.back();
  frames_.pop_back();
  if (f.loose) {
    if (slot != kSlotNone) slots_[slot] = f.node;
    return 0;  // otherwise it stays in the document, attached nowhere
  }
  XmlElement *parent = current();
  if (parent == nullptr) return 0;
  return addElementToElement(context(), parent, f.node, result());
}

void DomOutput::drop() { frames_.pop_back(); }

int DomOutput::attr(const XMLCh *name, const char *value) {
  return setAttribute(context(), current(), name, value, result());
}
int DomOutput::attr(const XMLCh *name, const XMLCh *value) {
  return setAttribute(context(), current(), name, value, result());
}
int DomOutput::text(const char *value) { return setElementData(context(), doc_, current(), value, result()); }
int DomOutput::text(const XMLCh *value) { return setElementData(context(), doc_, current(), value, result()); }
int DomOutput::rootAttr(const XMLCh *name, const char *value) {
  return setAttribute(context(), root_, name, value, result());
}
int DomOutput::rootAttr(const XMLCh *name, const XMLCh *value) {
  return setAttribute(context(), root_, name, value, result());
}

int DomOutput::flushSlots() {
  for (XmlElement *&e : slots_) {
    if (e != nullptr && addElementToElement(context(), root_, e, result()) != 0) return -1;
    e = nullptr;
  }
  return 0;
}

// ---- The direct writer --------------------------------------------------------

namespace {

// What an ASCII byte needs in text (T) and in attribute values (A):
// 0 as it is, 1 an escape, 2 it cannot be serialised.
struct Classes {
  unsigned char text[128];
  unsigned char attr[128];
  constexpr Classes() : text(), attr() {
    for (int c = 0; c < 32; ++c) text[c] = attr[c] = 2;
    text['\t'] = text['\n'] = 0;
    text['\r'] = text['&'] = text['<'] = text['>'] = 1;
    attr['\t'] = attr['\n'] = attr['\r'] = attr['&'] = attr['<'] = attr['"'] = 1;
  }
};
constexpr Classes kClasses;

const char *escapeOf(unsigned char c) {
  switch (c) {
    case '&': return "&amp;";
    case '<': return "&lt;";
    case '>': return "&gt;";
    case '"': return "&quot;";
    case '\t': return "&#x9;";
    case '\n': return "&#xA;";
    default: return "&#xD;";
  }
}

// Whether any of the 8 bytes of w is below 0x20, at or above 0x80, or
// equal to a, b or c.
inline bool anySpecial(uint64_t w, uint64_t a, uint64_t b, uint64_t c) {
  constexpr uint64_t kOnes = 0x0101010101010101ULL;
  constexpr uint64_t kHigh = 0x8080808080808080ULL;
  auto zeroByte = [](uint64_t x) { return (x - kOnes) & ~x & kHigh; };
  return ((w | ((w - 0x2020202020202020ULL) & ~w)) & kHigh) != 0 || zeroByte(w ^ (a * kOnes)) != 0 ||
         zeroByte(w ^ (b * kOnes)) != 0 || zeroByte(w ^ (c * kOnes)) != 0;
}

// Appends value escaped to out. Returns false for text that is not strict
// UTF-8; bad tells whether it holds a character XML cannot carry (written
// as it is: the event fails anyway).
template <typename Out>
bool appendEscaped(Out &out, const char *value, bool inAttr, bool &bad) {
  const unsigned char *table = inAttr ? kClasses.attr : kClasses.text;
  const auto *p = reinterpret_cast<const unsigned char *>(value);
  const unsigned char *end = p + std::strlen(value);
  const unsigned char *run = p;
  const uint64_t third = inAttr ? '"' : '>';
  for (;;) {
    // Plain ASCII eight bytes at a time.
    while (end - p >= 8) {
      uint64_t w;
      std::memcpy(&w, p, 8);
      if (anySpecial(w, '&', '<', third)) break;
      p += 8;
    }
    if (p == end) break;
    const unsigned char c = *p;
    if (c < 0x80) {
      if (table[c] == 0) {
        ++p;
        continue;
      }
      out.append(reinterpret_cast<const char *>(run), static_cast<std::size_t>(p - run));
      if (table[c] == 1) {
        out += escapeOf(c);
      } else {
        bad = true;
        out += static_cast<char>(c);
      }
      run = ++p;
      continue;
    }
    // A multi-byte sequence: the shortest form only, no surrogates, nothing
    // past U+10FFFF.
    int n;
    uint32_t cp;
    if (c >= 0xC2 && c <= 0xDF) {
      n = 2;
      cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      n = 3;
      cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      n = 4;
      cp = c & 0x07;
    } else {
      return false;
    }
    if (end - p < n) return false;
    for (int i = 1; i < n; ++i) {
      if ((p[i] & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (p[i] & 0x3F);
    }
    if ((n == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)))
      return false;
    if (cp == 0xFFFE || cp == 0xFFFF) bad = true;
    p += n;
  }
  out.append(reinterpret_cast<const char *>(run), static_cast<std::size_t>(p - run));
  return true;
}

// The encoders' names and fixed values are ASCII.
void appendAscii(std::string &out, const XMLCh *text) {
  for (; *text != 0; ++text) out += static_cast<char>(*text);
}

}  // namespace

TextOutput &TextOutput::forThread() {
  thread_local TextOutput out;
  return out;
}

void TextOutput::reset(VELM_AuditClientContext *context, VELM_result *result) {
  bind(context, result);
  body_.clear();
  for (Buffer &b : slots_) b.clear();
  std::fill(std::begin(slotSet_), std::end(slotSet_), false);
  looseDepth_ = 0;
  frames_.clear();
  attrs_.clear();
  rootAttrs_.clear();
  rootAttrText_.clear();
}

namespace {

uint64_t prefixOf(std::string_view text) {
  uint64_t p = 0;
  for (std::size_t i = 0; i < 8; ++i) p = p << 8 | (i < text.size() ? static_cast<unsigned char>(text[i]) : 0U);
  return p;
}

// Names hold no NUL, so unequal prefixes order names as their text does.
inline bool nameLess(std::string_view a, uint64_t pa, std::string_view b, uint64_t pb) {
  return pa != pb ? pa < pb : a < b;
}
inline bool nameEqual(std::string_view a, uint64_t pa, std::string_view b, uint64_t pb) {
  return a.data() == b.data() ? a.size() == b.size() : pa == pb && a == b;
}

inline std::size_t nameSlot(const XMLCh *name) {
  return static_cast<std::size_t>((reinterpret_cast<std::uintptr_t>(name) * 0x9E3779B97F4A7C15ULL) >> 56);
}

}  // namespace

inline TextOutput::Name TextOutput::lookupName(const XMLCh *name) {
  const CachedName &c = names_[nameSlot(name)];
  if (c.key == name) return {{c.text, c.length}, c.prefix};
  return cacheName(name);
}

TextOutput::Name TextOutput::cacheName(const XMLCh *name) {
  // Entries are never replaced: open elements and pending attributes hold
  // views of them. The constants are far fewer than the slots.
  for (std::size_t probe = 0, i = nameSlot(name); probe < 256; ++probe, i = (i + 1) & 255) {
    CachedName &c = names_[i];
    if (c.key == name) return {{c.text, c.length}, c.prefix};
    if (c.key != nullptr) continue;
    std::size_t n = 0;
    while (name[n] != 0) ++n;
    if (n > sizeof c.text) break;
    for (std::size_t j = 0; j < n; ++j) c.text[j] = static_cast<char>(name[j]);
    c.length = static_cast<uint32_t>(n);
    c.prefix = prefixOf({c.text, n});
    c.key = name;
    return {{c.text, c.length}, c.prefix};
  }
  // Not cacheable: kept for the writer's life (never reached by the encoders).
  std::string &kept = overflowNames_.emplace_back();
  appendAscii(kept, name);
  return {kept, prefixOf(kept)};
}

TextOutput::Buffer *TextOutput::target() { return frames_.empty() ? &body_ : frames_.back().buf; }

int TextOutput::open(const XMLCh *name, bool loose) {
  Buffer *buf;
  int depth = 0;
  bool parentHadContent = false;
  std::size_t mark;
  if (loose) {
    if (static_cast<std::size_t>(looseDepth_) >= loose_.size()) loose_.emplace_back();
    buf = &loose_[static_cast<std::size_t>(looseDepth_)];
    buf->clear();
    depth = ++looseDepth_;
    mark = 0;
  } else {
    buf = target();
    mark = buf->s.size();
    if (!frames_.empty()) {
      // A dropped child takes the parent's '>' with it, so that a parent
      // left without content still ends in "/>".
      Frame &parent = frames_.back();
      parentHadContent = parent.hasContent;
      if (!parent.hasContent) buf->s += '>';
      parent.hasContent = true;
    }
  }
  const std::string_view n = ascii(name);
  char *d = buf->s.room(n.size() + 1);
  *d++ = '<';
  buf->s.settle(Bytes::copy(d, n.data(), n.size()));
  frames_.push_back({n, buf, mark, attrs_.size(), false, parentHadContent, depth});
  return 0;
}

int TextOutput::close(int slot) {
  Frame &f = frames_.back();
  Buffer &b = *f.buf;
  if (f.hasContent) {
    char *d = b.s.room(f.name.size() + 3);
    *d++ = '<';
    *d++ = '/';
    d = Bytes::copy(d, f.name.data(), f.name.size());
    *d++ = '>';
    b.s.settle(d);
  } else {
    b.s += "/>";
  }
  attrs_.resize(f.firstAttr);
  const bool loose = f.looseDepth != 0;
  frames_.pop_back();
  if (loose) {
    --looseDepth_;
    if (slot != kSlotNone) {
      std::swap(slots_[slot], loose_[static_cast<std::size_t>(looseDepth_)]);
      slotSet_[slot] = true;
    }
  }
  return 0;
}

void TextOutput::drop() {
  const Frame f = frames_.back();
  f.buf->truncate(f.mark);
  attrs_.resize(f.firstAttr);
  frames_.pop_back();
  if (f.looseDepth != 0) {
    --looseDepth_;
  } else if (!frames_.empty()) {
    frames_.back().hasContent = f.parentHadContent;
  }
}

// Attributes go straight into the start tag; the serialiser writes them
// sorted by name, so one that arrives out of order is moved into place.
// The encoders give every attribute before any content.
int TextOutput::elementAttr(const XMLCh *name, const char *value, const XMLCh *value16) {
  Frame &f = frames_.back();
  if (f.hasContent) return -1;
  Buffer &b = *f.buf;
  const Name keyName = lookupName(name);
  const std::string_view key = keyName.text;
  const uint64_t prefix = keyName.prefix;
  const std::size_t begin = b.s.size();
  char *d = b.s.room(key.size() + 3);
  *d++ = ' ';
  d = Bytes::copy(d, key.data(), key.size());
  *d++ = '=';
  *d++ = '"';
  b.s.settle(d);
  bool bad = false;
  if (value16 != nullptr) {
    b.s += ascii(value16);
  } else if (!appendEscaped(b.s, value, true, bad)) {
    b.s.resize(begin);
    recordRefusedText(context(), result(), "setAttribute()", utf8Refusal(value));
    return -1;
  }
  b.s += '"';
  if (bad && b.bad == kNone) b.bad = begin;
  const std::size_t length = b.s.size() - begin;
  // A second value for a name replaces the first.
  for (std::size_t i = f.firstAttr; i < attrs_.size(); ++i) {
    if (!nameEqual(attrs_[i].name, attrs_[i].prefix, key, prefix)) continue;
    const std::size_t from = attrs_[i].begin, gone = attrs_[i].end - from;
    b.s.erase(from, gone);
    attrs_.erase(attrs_.begin() + static_cast<std::ptrdiff_t>(i));
    for (std::size_t j = i; j < attrs_.size(); ++j) {
      attrs_[j].begin -= gone;
      attrs_[j].end -= gone;
    }
    break;
  }
  const std::size_t at = b.s.size() - length;
  std::size_t k = attrs_.size();
  while (k > f.firstAttr && nameLess(key, prefix, attrs_[k - 1].name, attrs_[k - 1].prefix)) --k;
  if (k == attrs_.size()) {
    attrs_.push_back({key, prefix, at, at + length});
    return 0;
  }
  const std::size_t to = attrs_[k].begin;
  // Moved into place by whole-block copies through scratch room past the
  // end (a byte-wise rotate was a fifth of the writer's time).
  b.s.reserveMore(length);
  char *p = b.s.begin();
  std::memcpy(p + at + length, p + at, length);
  std::memmove(p + to + length, p + to, at - to);
  std::memcpy(p + to, p + at + length, length);
  for (std::size_t j = k; j < attrs_.size(); ++j) {
    attrs_[j].begin += length;
    attrs_[j].end += length;
  }
  attrs_.insert(attrs_.begin() + static_cast<std::ptrdiff_t>(k), Attr{key, prefix, to, to + length});
  return 0;
}

int TextOutput::attr(const XMLCh *name, const char *value) {
  if (value == nullptr) return -1;
  return elementAttr(name, value, nullptr);
}

int TextOutput::attr(const XMLCh *name, const XMLCh *value) { return elementAttr(name, nullptr, value); }

int TextOutput::text(const char *value) {
  if (value == nullptr) return -1;
  Frame &f = frames_.back();
  Buffer &b = *f.buf;
  const bool hadContent = f.hasContent;
  if (!hadContent) b.s += '>';
  bool bad = false;
  const std::size_t at = b.s.size();
  if (!appendEscaped(b.s, value, false, bad)) {
    // Nothing of the refused text stays.
    b.s.resize(hadContent ? at : at - 1);
    recordRefusedText(context(), result(), "setElementData()", utf8Refusal(value));
    return -1;
  }
  if (bad && b.bad == kNone) b.bad = at;
  f.hasContent = true;
  return 0;
}

int TextOutput::text(const XMLCh *value) {
  Frame &f = frames_.back();
  Buffer &b = *f.buf;
  if (!f.hasContent) b.s += '>';
  b.s += ascii(value);
  f.hasContent = true;
  return 0;
}

// The escaped text and closing tags of a composed call; a refused text takes
// the whole composed element back to mark.
int TextOutput::closeComposed(Frame &parent, std::size_t mark, const char *text, std::string_view close) {
  Buffer &b = *parent.buf;
  bool bad = false;
  const std::size_t at = b.s.size();
  if (!appendEscaped(b.s, text, false, bad)) {
    b.truncate(mark);
    recordRefusedText(context(), result(), "setElementData()", utf8Refusal(text));
    return -1;
  }
  if (bad && b.bad == kNone) b.bad = at;
  b.s += close;
  parent.hasContent = true;
  return 0;
}

// The composed calls' exact bytes in one go: name sorts before type, and
// the constant name and type need no escaping.
int TextOutput::scalarField(const XMLCh *name, const XMLCh *type, const char *text) {
  if (text == nullptr || frames_.empty()) return CbeOutput::scalarField(name, type, text);
  Frame &parent = frames_.back();
  Buffer &b = *parent.buf;
  const std::size_t mark = b.s.size();
  const std::string_view n = ascii(name), t = ascii(type);
  static constexpr std::string_view kOpen = "<children name=\"", kMid = "\" type=\"", kValuesOpen = "\"><values>",
                                    kClose = "</values></children>";
  char *d = b.s.room(1 + kOpen.size() + n.size() + kMid.size() + t.size() + kValuesOpen.size());
  if (!parent.hasContent) *d++ = '>';
  d = Bytes::copy(d, kOpen.data(), kOpen.size());
  d = Bytes::copy(d, n.data(), n.size());
  d = Bytes::copy(d, kMid.data(), kMid.size());
  d = Bytes::copy(d, t.data(), t.size());
  d = Bytes::copy(d, kValuesOpen.data(), kValuesOpen.size());
  b.s.settle(d);
  return closeComposed(parent, mark, text, kClose);
}

int TextOutput::values(const char *text) {
  if (text == nullptr || frames_.empty()) return CbeOutput::values(text);
  Frame &parent = frames_.back();
  Buffer &b = *parent.buf;
  const std::size_t mark = b.s.size();
  static constexpr std::string_view kOpen = "<values>", kClose = "</values>";
  char *d = b.s.room(1 + kOpen.size());
  if (!parent.hasContent) *d++ = '>';
  b.s.settle(Bytes::copy(d, kOpen.data(), kOpen.size()));
  return closeComposed(parent, mark, text, kClose);
}

int TextOutput::rootAttrImpl(const XMLCh *name, const char *value, const XMLCh *value16) {
  const std::size_t begin = rootAttrText_.size();
  bool bad = false;
  const std::string_view key = ascii(name);
  if (value16 != nullptr) {
    rootAttrText_ += ascii(value16);
  } else if (!appendEscaped(rootAttrText_, value, true, bad)) {
    rootAttrText_.resize(begin);
    recordRefusedText(context(), result(), "setAttribute()", utf8Refusal(value));
    return -1;
  }
  // A second value for a name replaces the first.
  for (RootAttr &a : rootAttrs_) {
    if (a.name == key) {
      a = {key, begin, rootAttrText_.size(), bad};
      return 0;
    }
  }
  rootAttrs_.push_back({key, begin, rootAttrText_.size(), bad});
  return 0;
}

int TextOutput::rootAttr(const XMLCh *name, const char *value) {
  if (value == nullptr) return -1;
  return rootAttrImpl(name, value, nullptr);
}

int TextOutput::rootAttr(const XMLCh *name, const XMLCh *value) { return rootAttrImpl(name, nullptr, value); }

int TextOutput::flushSlots() {
  for (int i = 0; i < 4; ++i) {
    if (!slotSet_[i]) continue;
    body_.append(slots_[i]);
    slots_[i].clear();
    slotSet_[i] = false;
  }
  return 0;
}

int TextOutput::finish(std::string &out) {
  bool bad = body_.bad != kNone;
  for (const RootAttr &a : rootAttrs_) bad = bad || a.bad;
  if (bad) {
    recordNotSerializable(context(), result());
    return -1;
  }
  std::sort(rootAttrs_.begin(), rootAttrs_.end(), [](const RootAttr &x, const RootAttr &y) { return x.name < y.name; });
  out.reserve(out.size() + body_.s.size() + rootAttrText_.size() + 64 + rootAttrs_.size() * 20);
  out += "<CommonBaseEvent";
  for (const RootAttr &a : rootAttrs_) {
    out += ' ';
    out += a.name;
    out += "=\"";
    out.append(rootAttrText_, a.begin, a.end - a.begin);
    out += '"';
  }
  if (body_.s.empty()) {
    out += "/>";
  } else {
    out += '>';
    out.append(body_.s.data(), body_.s.size());
    out += "</CommonBaseEvent>";
  }
  return 0;
}

}  // namespace velm::cbe
