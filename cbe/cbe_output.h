// Where the encoders of cbe/velmToCBE.h write: a small output interface
// with two implementations.
//
// DomOutput builds Xerces-C nodes through the helpers of cbe/element.h; it
// backs VELM_AuditEvent_ToXML and the DOM-level encoder functions.
// TextOutput writes the serialiser's exact bytes straight as UTF-8: the
// same attribute order (sorted by name), "/>" for elements without
// content, the same escaping, and the same failures with the same
// messages (text the UTF-8 transcoder refuses fails at the call that
// passes it; a character XML 1.0 cannot carry fails the whole event when
// it is finished, as the serialiser fails then, and only if the character
// ends up in the event).
//
// Elements are opened, filled (attributes first, then text and children)
// and closed. An element opened "loose" is not part of its opener: closing
// it hands it to one of the root's slots or, with no slot, drops it, which
// is what happens to nodes the DOM conversion creates but never attaches.
// Names are ASCII constants.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>
#include <deque>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cbe/element.h"
#include "velm.h"

namespace velm::cbe {

// The slots of the root's children that one top-level element fills, in
// the order they are appended to the root.
enum RootSlot : int {
  kSlotSource = 0,
  kSlotReporter = 1,
  kSlotMsgData = 2,
  kSlotExtended = 3,
  kSlotNone = -1,
};

class CbeOutput {
 public:
  CbeOutput(VELM_AuditClientContext *context, VELM_result *result) : context_(context), result_(result) {}
  virtual ~CbeOutput() = default;
  CbeOutput(const CbeOutput &) = delete;
  CbeOutput &operator=(const CbeOutput &) = delete;

  VELM_AuditClientContext *context() const { return context_; }
  VELM_result *result() const { return result_; }
  // Whether there is an element to write into.
  virtual bool hasCurrent() const = 0;

  // A new element; attached to the current element when closed, unless loose.
  virtual int open(const XMLCh *name, bool loose = false) = 0;
  // Ends the current element: attached, or for a loose one put into slot
  // (replacing what it held) or dropped (kSlotNone).
  virtual int close(int slot = kSlotNone) = 0;
  // Ends the current element and forgets it.
  virtual void drop() = 0;
  virtual int attr(const XMLCh *name, const char *value) = 0;
  virtual int attr(const XMLCh *name, const XMLCh *value) = 0;
  virtual int text(const char *value) = 0;
  virtual int text(const XMLCh *value) = 0;

  // The "CommonBaseEvent" root: attributes set at any time (the last value
  // of a name wins), and the slots appended to it in slot order, emptied.
  virtual int rootAttr(const XMLCh *name, const char *value) = 0;
  virtual int rootAttr(const XMLCh *name, const XMLCh *value) = 0;
  virtual int flushSlots() = 0;
  virtual bool slotFilled(int slot) const = 0;

  // A whole "children" element of name and type whose one "values" child
  // holds text (the commonest shape of an event); when it fails, nothing
  // of it stays. Composed of the calls above unless an output knows better.
  virtual int scalarField(const XMLCh *name, const XMLCh *type, const char *text);
  // A "values" child holding text; when it fails, nothing of it stays.
  virtual int values(const char *text);

 protected:
  void bind(VELM_AuditClientContext *context, VELM_result *result) {
    context_ = context;
    result_ = result;
  }

 private:
  VELM_AuditClientContext *context_;
  VELM_result *result_;
};

// ---- The DOM ---------------------------------------------------------------

class DomOutput final : public CbeOutput {
 public:
  // Writing into node of doc, which stays the caller's (the encoders that
  // fill a node made by their caller); node may be null when only loose
  // elements are written.
  DomOutput(VELM_AuditClientContext *context, VELM_result *result, XmlDocument *doc, XmlElement *node);
  // A new document with a "CommonBaseEvent" root; check root().
  DomOutput(VELM_AuditClientContext *context, VELM_result *result);
  ~DomOutput() override;

  XmlElement *root() const { return root_; }
  // Hands the document over (root() is then the caller's).
  XmlElement *release();

  int open(const XMLCh *name, bool loose = false) override;
  int close(int slot = kSlotNone) override;
  void drop() override;
  int attr(const XMLCh *name, const char *value) override;
  int attr(const XMLCh *name, const XMLCh *value) override;
  int text(const char *value) override;
  int text(const XMLCh *value) override;
  int rootAttr(const XMLCh *name, const char *value) override;
  int rootAttr(const XMLCh *name, const XMLCh *value) override;
  int flushSlots() override;
  bool slotFilled(int slot) const override { return slots_[slot] != nullptr; }
  XmlElement *slot(int slot) const { return slots_[slot]; }
  bool hasCurrent() const override { return current() != nullptr; }

 private:
  struct Frame {
    XmlElement *node;
    bool loose;
  };
  XmlElement *current() const { return frames_.empty() ? base_ : frames_.back().node; }

  XmlDocument *doc_ = nullptr;
  bool ownsDoc_ = false;
  XmlElement *root_ = nullptr;
  XmlElement *base_ = nullptr;  // what the outermost open element attaches to
  XmlElement *slots_[4] = {};
  std::vector<Frame> frames_;
};

// ---- The direct writer --------------------------------------------------------

// A growable byte buffer whose appends stay inline: the writer makes
// hundreds of small appends per event.
class Bytes {
 public:
  Bytes() = default;
  ~Bytes() { std::free(p_); }
  Bytes(Bytes &&o) noexcept : p_(o.p_), n_(o.n_), cap_(o.cap_) { o.p_ = nullptr, o.n_ = o.cap_ = 0; }
  Bytes &operator=(Bytes &&o) noexcept {
    std::swap(p_, o.p_);
    std::swap(n_, o.n_);
    std::swap(cap_, o.cap_);
    return *this;
  }
  Bytes(const Bytes &) = delete;
  Bytes &operator=(const Bytes &) = delete;

  std::size_t size() const { return n_; }
  bool empty() const { return n_ == 0; }
  const char *data() const { return p_; }
  char *begin() { return p_; }
  char *end() { return p_ + n_; }
  void clear() { n_ = 0; }
  void resize(std::size_t n) { n_ = n < n_ ? n : n_; }  // shrinks only
  Bytes &operator+=(char c) {
    if (n_ == cap_) grow(1);
    p_[n_++] = c;
    return *this;
  }
  // Most appends are short names and values: overlapping fixed-size
  // copies stay inline where a call to memcpy would not.
  static char *copy(char *d, const char *s, std::size_t len) {
    if (len >= 8 && len <= 16) {
      std::memcpy(d, s, 8);
      std::memcpy(d + len - 8, s + len - 8, 8);
    } else if (len >= 4 && len < 8) {
      std::memcpy(d, s, 4);
      std::memcpy(d + len - 4, s + len - 4, 4);
    } else if (len < 4) {
      for (std::size_t i = 0; i < len; ++i) d[i] = s[i];
    } else {
      std::memcpy(d, s, len);
    }
    return d + len;
  }
  void append(const char *s, std::size_t len) {
    if (cap_ - n_ < len) grow(len);
    copy(p_ + n_, s, len);
    n_ += len;
  }
  // Several pieces written with one capacity check: room for len bytes at
  // the end, then settle(past the last byte written).
  char *room(std::size_t len) {
    if (cap_ - n_ < len) grow(len);
    return p_ + n_;
  }
  void settle(const char *past) { n_ = static_cast<std::size_t>(past - p_); }
  Bytes &operator+=(std::string_view v) {
    append(v.data(), v.size());
    return *this;
  }
  Bytes &operator+=(const char *s) { return *this += std::string_view(s); }
  // Room for len more bytes, so that appending from inside the buffer is safe.
  void reserveMore(std::size_t len) {
    if (cap_ - n_ < len) grow(len);
  }
  void erase(std::size_t pos, std::size_t len) {
    std::memmove(p_ + pos, p_ + pos + len, n_ - pos - len);
    n_ -= len;
  }

 private:
  void grow(std::size_t more) {
    std::size_t cap = cap_ < 4096 ? 4096 : cap_ * 2;
    while (cap - n_ < more) cap *= 2;
    void *p = std::realloc(p_, cap);
    if (p == nullptr) throw std::bad_alloc();
    p_ = static_cast<char *>(p);
    cap_ = cap;
  }
  char *p_ = nullptr;
  std::size_t n_ = 0;
  std::size_t cap_ = 0;
};

class TextOutput final : public CbeOutput {
 public:
  TextOutput() : CbeOutput(nullptr, nullptr) {}
  // Starts an event for context and result; everything before is forgotten.
  void reset(VELM_AuditClientContext *context, VELM_result *result);
  // Appends the finished "CommonBaseEvent" element to out. -1 (recorded)
  // when a character of the event cannot be serialised; out is unchanged.
  int finish(std::string &out);

  int open(const XMLCh *name, bool loose = false) override;
  int close(int slot = kSlotNone) override;
  void drop() override;
  int attr(const XMLCh *name, const char *value) override;
  int attr(const XMLCh *name, const XMLCh *value) override;
  int text(const char *value) override;
  int text(const XMLCh *value) override;
  int rootAttr(const XMLCh *name, const char *value) override;
  int rootAttr(const XMLCh *name, const XMLCh *value) override;
  int flushSlots() override;
  bool slotFilled(int slot) const override { return slotSet_[slot]; }
  int scalarField(const XMLCh *name, const XMLCh *type, const char *text) override;
  int values(const char *text) override;
  bool hasCurrent() const override { return !frames_.empty(); }

 private:
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  // Text with the position of its first character that XML cannot carry.
  struct Buffer {
    Bytes s;
    std::size_t bad = kNone;
    void clear() {
      s.clear();
      bad = kNone;
    }
    void truncate(std::size_t to) {
      s.resize(to);
      if (bad != kNone && bad >= to) bad = kNone;
    }
    void append(const Buffer &from) {
      if (bad == kNone && from.bad != kNone) bad = s.size() + from.bad;
      s.append(from.s.data(), from.s.size());
    }
  };
  // An attribute of the open start tag: its text in the element's buffer.
  struct Attr {
    std::string_view name;
    uint64_t prefix;  // of name, see Name
    std::size_t begin, end;
  };
  // A root attribute, written when the event is finished.
  struct RootAttr {
    std::string_view name;
    std::size_t begin, end;  // escaped value in rootAttrText_
    bool bad;
  };
  struct Frame {
    std::string_view name;
    Buffer *buf;
    std::size_t mark;        // where the element starts in buf
    std::size_t firstAttr;   // its attributes in attrs_
    bool hasContent;         // the start tag is closed by '>'
    bool parentHadContent;   // the parent's state before this child, for drop
    int looseDepth;          // for a loose element: its pool buffer
  };

  int elementAttr(const XMLCh *name, const char *value, const XMLCh *value16);
  int rootAttrImpl(const XMLCh *name, const char *value, const XMLCh *value16);
  int closeComposed(Frame &parent, std::size_t mark, const char *text, std::string_view close);
  // A name with its first eight bytes as a big-endian number, so that most
  // comparisons of names are one integer comparison.
  struct Name {
    std::string_view text;
    uint64_t prefix;
  };
  // The ASCII form of one of the encoders' constant names, cached by address.
  Name lookupName(const XMLCh *name);
  std::string_view ascii(const XMLCh *text) { return lookupName(text).text; }
  Name cacheName(const XMLCh *name);
  struct CachedName {
    const XMLCh *key = nullptr;
    uint32_t length = 0;
    uint64_t prefix = 0;
    char text[60];
  };
  CachedName names_[256];
  std::deque<std::string> overflowNames_;
  Buffer *target();

  Buffer body_;  // the root's children
  Buffer slots_[4];
  bool slotSet_[4] = {};
  std::deque<Buffer> loose_;  // one per depth of loose elements; open frames point into it
  int looseDepth_ = 0;
  std::vector<Frame> frames_;
  std::vector<Attr> attrs_;
  std::vector<RootAttr> rootAttrs_;
  std::string rootAttrText_;

 public:
  // The calling thread's writer, its buffers reused from event to event.
  static TextOutput &forThread();
};

}  // namespace velm::cbe
