// Trace lines ("ENTRY", "EXIT", "FLOW:", "ERROR:", "WARNING:") written
// through the toolkit under the context's level tests.
//
// Each source unit names itself once:
//   VELM_TRACE_UNIT("element");
// and then, inside functions:
//   VELM_ENTRY_EXIT(ctx);                     // "ENTRY" now, "EXIT" at scope end
//   VELM_FLOW(ctx, "FLOW: process id = %s", pid);
//   VELM_TRACE_ERROR(ctx, "ERROR: cannot malloc");
//   VELM_TRACE_WARNING(ctx, "WARNING: ...%s", text);
//   VELM_TRACE_EXIT_VALUE(ctx, "EXIT: returning trace level = %d", level);
// Arguments are ints, longs, doubles and C strings; the format is the
// toolkit's printf style. ctx may be null (then nothing is written unless
// stated otherwise).
#pragma once

#include <cstdint>
#include <type_traits>

#include "capis/context.h"

namespace velm {

enum class TraceKind { Error, Entry, Flow };

// True when ctx has a trace logger and its traceLevel reaches the level of kind.
inline bool traceOn(const VELM_AuditClientContext *ctx, TraceKind kind) {
  if (ctx == nullptr || ctx->traceLogger == nullptr) return false;
  switch (kind) {
    case TraceKind::Error: return ctx->traceLevel >= ctx->errorTraceLevel;
    case TraceKind::Entry: return ctx->traceLevel >= ctx->entryTraceLevel;
    case TraceKind::Flow: return ctx->traceLevel >= ctx->flowTraceLevel;
  }
  return false;
}

// The process-wide loggers used when no context is at hand.
QlgObject *processTraceLogger();
QlgObject *processErrorLogger();
void setProcessTraceLogger(QlgObject *logger);
void setProcessErrorLogger(QlgObject *logger);

// One typed argument of the toolkit's parameter lists.
struct TraceArg {
  int tag;
  union {
    int i;
    long l;
    double d;
    const char *s;
  };
  TraceArg(int v) : tag(QLG_INT), i(v) {}
  TraceArg(unsigned v) : tag(QLG_INT), i(static_cast<int>(v)) {}
  TraceArg(long v) : tag(QLG_LONG), l(v) {}
  TraceArg(long long v) : tag(QLG_LONG), l(static_cast<long>(v)) {}
  TraceArg(unsigned long v) : tag(QLG_LONG), l(static_cast<long>(v)) {}
  TraceArg(double v) : tag(QLG_DOUBLE), d(v) {}
  TraceArg(const char *v) : tag(QLG_STRING), s(v) {}
  TraceArg(char *v) : tag(QLG_STRING), s(v) {}
};

// Writes one line to logger with no level test (null logger: nothing).
void traceWrite(QlgObject *logger, const char *unit, const char *function, int line, const char *format,
                const TraceArg *args, int count);

template <typename... A>
void traceLine(QlgObject *logger, const char *unit, const char *function, int line, const char *format,
               A... args) {
  if constexpr (sizeof...(A) == 0) {
    traceWrite(logger, unit, function, line, format, nullptr, 0);
  } else {
    const TraceArg list[] = {TraceArg(args)...};
    traceWrite(logger, unit, function, line, format, list, static_cast<int>(sizeof...(A)));
  }
}

// Writes "ENTRY" on construction and "EXIT" on destruction when entry
// tracing is on.
class ScopedTrace {
 public:
  ScopedTrace(const VELM_AuditClientContext *ctx, const char *unit, const char *function, int line);
  ~ScopedTrace();
  ScopedTrace(const ScopedTrace &) = delete;
  ScopedTrace &operator=(const ScopedTrace &) = delete;
  // Suppress the automatic "EXIT" (when the function wrote "EXIT: ..." itself).
  void dismiss() { ctx_ = nullptr; }

 private:
  const VELM_AuditClientContext *ctx_;
  const char *unit_;
  const char *function_;
  int line_;
};

}  // namespace velm

#define VELM_TRACE_UNIT(u) [[maybe_unused]] static constexpr const char *kVelmTraceUnit = u

#define VELM_TRACE_KIND_(ctx, kind, ...)                                                           \
  do {                                                                                             \
    if (::velm::traceOn((ctx), (kind)))                                                            \
      ::velm::traceLine((ctx)->traceLogger, kVelmTraceUnit, __func__, __LINE__, __VA_ARGS__);      \
  } while (0)

#define VELM_FLOW(ctx, ...) VELM_TRACE_KIND_(ctx, ::velm::TraceKind::Flow, __VA_ARGS__)
#define VELM_TRACE_ERROR(ctx, ...) VELM_TRACE_KIND_(ctx, ::velm::TraceKind::Error, __VA_ARGS__)
#define VELM_TRACE_WARNING(ctx, ...) VELM_TRACE_KIND_(ctx, ::velm::TraceKind::Error, __VA_ARGS__)
#define VELM_TRACE_ENTRY(ctx) VELM_TRACE_KIND_(ctx, ::velm::TraceKind::Entry, "ENTRY")
#define VELM_TRACE_EXIT(ctx) VELM_TRACE_KIND_(ctx, ::velm::TraceKind::Entry, "EXIT")
#define VELM_TRACE_EXIT_VALUE(ctx, ...) VELM_TRACE_KIND_(ctx, ::velm::TraceKind::Entry, __VA_ARGS__)
#define VELM_ENTRY_EXIT(ctx) ::velm::ScopedTrace velmScopedTrace_((ctx), kVelmTraceUnit, __func__, __LINE__)
