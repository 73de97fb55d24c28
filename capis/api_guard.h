// The C boundary: checked handles and the one guard every public VELM_ and
// Qlg function runs its body in.
//
// Checked handles. Every handle the interface hands out (context, client,
// event, element, info record) is a struct whose first member is
//   uint32_t magic;
// set to its kind's constant when the handle is made and overwritten with
// kDeadMagic just before it is freed. A public call reads the word (memcpy of
// the first four bytes, so any pointer is safe to test) and treats a handle
// of another kind, a stray pointer or one already deleted like a null handle
// of its kind. A new handle type adopts the scheme by putting the word first,
// setting it with setHandleMagic on creation, releasing with releaseHandle
// (or poisonHandle before its own free) and checking with handleOk.
//
// The guard. A public call names its site with VELM_API_SITE (so trace
// lines carry the public name) and runs its body through contextCall,
// eventCall or apiCall. The guard checks the context or event the way the
// interface says (nullParmHandler1 / nullParmHandler2: messages 10 and 12),
// resets the result record, writes "ENTRY" and "EXIT", and turns anything
// thrown into a failure return: std::bad_alloc becomes message 1, anything
// else message 64 naming the public function.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>
#include <type_traits>
#include <utility>

#include "capis/context.h"
#include "capis/errors.h"
#include "capis/event.h"
#include "capis/trace.h"
#include "velm.h"

namespace velm {

// ---- Handle magic -----------------------------------------------------------

constexpr uint32_t fourCC(const char (&s)[5]) {
  return static_cast<uint32_t>(static_cast<unsigned char>(s[0])) << 24 |
         static_cast<uint32_t>(static_cast<unsigned char>(s[1])) << 16 |
         static_cast<uint32_t>(static_cast<unsigned char>(s[2])) << 8 |
         static_cast<uint32_t>(static_cast<unsigned char>(s[3]));
}

inline constexpr uint32_t kContextMagic = fourCC("VCTX");
inline constexpr uint32_t kClientMagic = fourCC("VCLI");
inline constexpr uint32_t kEventMagic = fourCC("VEVT");
inline constexpr uint32_t kElementMagic = fourCC("VELT");
// Info records: one word per family, "VI" followed by the family's value type,
// so a record of one family is refused where another is expected.
inline constexpr uint32_t infoMagic(int valueType) {
  return fourCC("VI\0\0") | static_cast<uint32_t>(valueType & 0xffff);
}
// What a deleted handle holds until its memory is reused.
inline constexpr uint32_t kDeadMagic = fourCC("DEAD");

template <typename R>
constexpr uint32_t recordMagic() {
  if constexpr (std::is_same_v<R, VELM_Attribute>)
    return infoMagic(VELM_VT_ATTRIBUTE);
  else if constexpr (std::is_same_v<R, VELM_AttributePermissionInfo>)
    return infoMagic(VELM_VT_ATTRIBUTE_PERMISSION_INFO);
  else if constexpr (std::is_same_v<R, VELM_ComponentId>)
    return infoMagic(VELM_VT_COMPONENT_ID);
  else if constexpr (std::is_same_v<R, VELM_HTTPURLInfo>)
    return infoMagic(VELM_VT_HTTPURL_INFO);
  else if constexpr (std::is_same_v<R, VELM_MembershipInfo>)
    return infoMagic(VELM_VT_MEMBERSHIP_INFO);
  else if constexpr (std::is_same_v<R, VELM_MgmtInfo>)
    return infoMagic(VELM_VT_MGMT_INFO);
  else if constexpr (std::is_same_v<R, VELM_MsgDataElement>)
    return infoMagic(VELM_VT_MSG_DATA_ELEMENT);
  else if constexpr (std::is_same_v<R, VELM_Outcome>)
    return infoMagic(VELM_VT_OUTCOME);
  else if constexpr (std::is_same_v<R, VELM_PerfInfo>)
    return infoMagic(VELM_VT_PERF_INFO);
  else if constexpr (std::is_same_v<R, VELM_PolicyInfo>)
    return infoMagic(VELM_VT_POLICY_INFO);
  else if constexpr (std::is_same_v<R, VELM_PermissionInfo>)
    return infoMagic(VELM_VT_PERMISSION_INFO);
  else if constexpr (std::is_same_v<R, VELM_ProvisioningInfo>)
    return infoMagic(VELM_VT_PROVISIONING_INFO);
  else if constexpr (std::is_same_v<R, VELM_RegistryInfo>)
    return infoMagic(VELM_VT_REGISTRY_INFO);
  else if constexpr (std::is_same_v<R, VELM_RegistryObjectInfo>)
    return infoMagic(VELM_VT_REGISTRY_OBJECT_INFO);
  else if constexpr (std::is_same_v<R, VELM_ResourceInfo>)
    return infoMagic(VELM_VT_RESOURCE_INFO);
  else if constexpr (std::is_same_v<R, VELM_TargetInfo>)
    return infoMagic(VELM_VT_TARGET_INFO);
  else if constexpr (std::is_same_v<R, VELM_UserInfo>)
    return infoMagic(VELM_VT_USER_INFO);
  else if constexpr (std::is_same_v<R, VELM_WorkItemInfo>)
    return infoMagic(VELM_VT_WORK_ITEM_INFO);
  else if constexpr (std::is_same_v<R, VELM_AuditEvent>)
    return kEventMagic;
  else if constexpr (std::is_same_v<R, VELM_AuditElement>)
    return kElementMagic;
  else if constexpr (std::is_same_v<R, VELM_AuditClientContext>)
    return kContextMagic;
  else if constexpr (std::is_same_v<R, VELM_AuditClient>)
    return kClientMagic;
  else
    static_assert(sizeof(R) == 0, "not a handle type");
}

// The magic word of a handle (its first four bytes).
inline uint32_t handleMagic(const void *handle) {
  uint32_t word;
  std::memcpy(&word, handle, sizeof word);
  return word;
}
// True when handle is non-null and of the kind magic names.
inline bool handleOk(const void *handle, uint32_t magic) {
  return handle != nullptr && handleMagic(handle) == magic;
}
template <typename R>
bool handleOk(const R *handle) {
  return handleOk(handle, recordMagic<R>());
}
inline void setHandleMagic(void *handle, uint32_t magic) { std::memcpy(handle, &magic, sizeof magic); }
// Marks a handle as deleted (also the test hook for a stale handle).
inline void poisonHandle(void *handle) { setHandleMagic(handle, kDeadMagic); }
// Poisons and frees a malloc'ed handle; null is a no-op.
inline void releaseHandle(void *handle) {
  if (handle == nullptr) return;
  poisonHandle(handle);
  std::free(handle);
}

// ---- Keeping exceptions inside ---------------------------------------------

enum class Escape { OutOfMemory, Other };

// Runs body and returns its value; whatever it throws stays here: onEscape
// is told what kind of failure it was and failure is returned.
template <typename R, typename F, typename E>
R shielded(R failure, F &&body, E &&onEscape) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc &) {
    try {
      onEscape(Escape::OutOfMemory);
    } catch (...) {
    }
  } catch (...) {
    try {
      onEscape(Escape::Other);
    } catch (...) {
    }
  }
  return failure;
}

// Runs undo when the scope is left by an exception (and only then): the
// clean-up of something half built that the failure path would release.
template <typename F>
class OnUnwind {
 public:
  explicit OnUnwind(F undo) : undo_(std::move(undo)), depth_(std::uncaught_exceptions()) {}
  ~OnUnwind() {
    if (std::uncaught_exceptions() <= depth_) return;
    try {
      undo_();
    } catch (...) {  // a second throw here would end the process
    }
  }
  OnUnwind(const OnUnwind &) = delete;
  OnUnwind &operator=(const OnUnwind &) = delete;

 private:
  F undo_;
  int depth_;
};

// The same for a body without a value.
template <typename F, typename E>
void shieldedVoid(F &&body, E &&onEscape) noexcept {
  shielded(
      0,
      [&] {
        body();
        return 0;
      },
      onEscape);
}

// ---- The VELM_ side: result records, traces and messages ---------------------

// Where a public call is: its unit and its public name (as __func__ gives it
// inside the extern "C" function). ownEntry: the body writes its own "ENTRY"
// line (one that carries a value).
struct ApiSite {
  const char *unit;
  const char *function;
  int line;
  bool ownEntry = false;
};

}  // namespace velm

#define VELM_API_SITE (::velm::ApiSite{kVelmTraceUnit, __func__, __LINE__})
#define VELM_API_SITE_OWN_ENTRY (::velm::ApiSite{kVelmTraceUnit, __func__, __LINE__, true})

namespace velm {

// One public call in progress, handed to the body: traces and messages are
// tagged with the public name. Writes "EXIT" when it ends, unless the body
// wrote an "EXIT: ..." line itself or ended the context.
class ApiCall {
 public:
  ApiCall(VELM_AuditClientContext *context, VELM_result *result, const ApiSite &site)
      : context_(context), result_(result), site_(site) {
    if (!site.ownEntry) trace(TraceKind::Entry, "ENTRY");
  }
  ~ApiCall() {
    if (exitPending_) trace(TraceKind::Entry, "EXIT");
  }
  ApiCall(const ApiCall &) = delete;
  ApiCall &operator=(const ApiCall &) = delete;

  VELM_AuditClientContext *context() const { return context_; }
  VELM_result *result() const { return result_; }
  const ApiSite &site() const { return site_; }

  // Records message n with its arguments and writes it to the error log.
  template <typename... A>
  bool record(int n, A... args) {
    return recordMessage(context_, result_, n, site_.unit, site_.function, site_.line, args...);
  }
  template <typename... A>
  void entry(const char *format, A... args) {
    trace(TraceKind::Entry, format, args...);
  }
  template <typename... A>
  void error(const char *format, A... args) {
    trace(TraceKind::Error, format, args...);
  }
  template <typename... A>
  void flow(const char *format, A... args) {
    trace(TraceKind::Flow, format, args...);
  }
  // An "EXIT: ..." line in place of the plain "EXIT".
  template <typename... A>
  void exitWith(const char *format, A... args) {
    exitPending_ = false;
    trace(TraceKind::Entry, format, args...);
  }
  // The body is about to free the context: nothing may be traced after.
  void contextGone() {
    exitPending_ = false;
    context_ = nullptr;
  }

  // A required parameter: message 9 naming it when null.
  bool require(const void *value, const char *name) {
    if (value != nullptr) return true;
    record(9, name);
    error("ERROR: The %s parameter is missing", name);
    return false;
  }
  // A handle parameter of a given kind: null, stray, deleted or of another
  // kind are all reported as a missing parameter (message 9 naming it).
  // nullTrace is the trace line of a null handle.
  bool requireHandle(const void *handle, uint32_t magic, const char *name,
                     const char *nullTrace = "ERROR: The %s parameter is missing") {
    if (handleOk(handle, magic)) return true;
    record(9, name);
    error(handle == nullptr ? nullTrace : "ERROR: The %s parameter is not a valid handle", name);
    return false;
  }
  template <typename R>
  bool requireHandle(const R *handle, const char *name) {
    return requireHandle(handle, recordMagic<R>(), name);
  }

  // What an escaped exception leaves in the result record.
  void escaped(Escape kind) {
    if (kind == Escape::OutOfMemory) {
      record(1);
      error("ERROR: cannot malloc");
    } else {
      record(64, site_.function);
      error("ERROR: unexpected failure in %s", site_.function);
    }
  }

 private:
  template <typename... A>
  void trace(TraceKind kind, const char *format, A... args) {
    if (traceOn(context_, kind))
      traceLine(context_->traceLogger, site_.unit, site_.function, site_.line, format, args...);
  }

  VELM_AuditClientContext *context_;
  VELM_result *result_;
  ApiSite site_;
  bool exitPending_ = true;
};

// Runs body(call) with the record reset and "ENTRY"/"EXIT" traced, keeping
// everything thrown inside. context may be null only for calls that make one.
template <typename F, typename R = std::invoke_result_t<F &, ApiCall &>>
R apiCall(VELM_AuditClientContext *context, VELM_result *result, std::type_identity_t<R> failure,
          const ApiSite &site, F &&body) {
  result->numErrors = 0;
  result->maxErrors = 0;
  ApiCall call(context, result, site);
  return shielded(
      failure, [&]() -> R { return body(call); }, [&](Escape kind) { call.escaped(kind); });
}

// The check of contextCall and eventCall: an unusable handle (passed on as
// null) or a null result goes to nullParm and gives failure; otherwise body
// runs with the context that contextOf finds from the handle.
template <typename H, typename R, typename C, typename F>
R checkedCall(H *handle, uint32_t magic, int (*nullParm)(H *, VELM_result *, const char *, int, const char *),
              C contextOf, VELM_result *result, R failure, const ApiSite &site, F &body) {
  const bool usable = handleOk(handle, magic);
  if (!usable || result == nullptr) {
    shieldedVoid([&] { nullParm(usable ? handle : nullptr, result, site.unit, site.line, site.function); },
                 [](Escape) {});
    return failure;
  }
  return apiCall<F &, R>(contextOf(handle), result, failure, site, body);
}

// A public call that takes a context: a null or unusable context or a null
// result goes to nullParmHandler1 (message 10) and gives failure.
template <typename F, typename R = std::invoke_result_t<F &, ApiCall &>>
R contextCall(VELM_AuditClientContext *context, VELM_result *result, std::type_identity_t<R> failure,
              const ApiSite &site, F &&body) {
  return checkedCall<VELM_AuditClientContext, R>(
      context, kContextMagic, &nullParmHandler1, [](VELM_AuditClientContext *c) { return c; }, result, failure,
      site, body);
}

// A public call that takes an event: a null or unusable event or a null
// result goes to nullParmHandler2 (message 12); the event's context traces.
template <typename F, typename R = std::invoke_result_t<F &, ApiCall &>>
R eventCall(VELM_AuditEvent *event, VELM_result *result, std::type_identity_t<R> failure, const ApiSite &site,
            F &&body) {
  return checkedCall<VELM_AuditEvent, R>(
      event, kEventMagic, &nullParmHandler2, [](VELM_AuditEvent *e) { return e->context; }, result, failure, site,
      body);
}

// A null or unusable client handle (message 13, taken from context's
// catalogue when one is known): "ERROR: client parameter is NULL" is traced
// and the message written to the error log. For the client's public calls.
inline void reportBadClient(VELM_AuditClientContext *context, VELM_result *result, const ApiSite &site) {
  shieldedVoid(
      [&] {
        if (result == nullptr) return;
        result->numErrors = 0;
        result->maxErrors = 0;
        if (context != nullptr) {
          if (traceOn(context, TraceKind::Error))
            traceLine(context->traceLogger, site.unit, site.function, site.line,
                      "ERROR: client parameter is NULL");
        } else {
          processTraceLine(site.unit, site.function, site.line, "ERROR: client parameter is NULL");
        }
        recordMessage(context, result, 13, site.unit, site.function, site.line);
      },
      [](Escape) {});
}

}  // namespace velm
