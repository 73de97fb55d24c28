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
  bool hasCurrent() const override { return !frames_.empty(); }

 private:
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  // Text with the position of its first character that XML cannot carry.
  struct Buffer {
    std::string s;
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
      s += from.s;
    }
  };
  // An attribute of the open start tag: its text in the element's buffer.
  struct Attr {
    std::string_view name;
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
  // The ASCII form of one of the encoders' constant names, cached by address.
  std::string_view ascii(const XMLCh *name);
  struct CachedName {
    const XMLCh *key = nullptr;
    uint32_t length = 0;
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
