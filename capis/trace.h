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

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <tuple>
#include <type_traits>

#include "capis/context.h"

namespace velm {

enum class TraceKind { Error, Entry, Flow };

// True when ctx has a trace logger and its traceLevel reaches the level of kind.
inline bool traceOn(const VELM_AuditClientContext *ctx, TraceKind kind) {
  if (ctx == nullptr || ctx->traceLogger == nullptr) return false;
  // The trace level may be changed by another thread at any time.
  const int level = __atomic_load_n(&ctx->traceLevel, __ATOMIC_RELAXED);
  switch (kind) {
    case TraceKind::Error: return level >= ctx->errorTraceLevel;
    case TraceKind::Entry: return level >= ctx->entryTraceLevel;
    case TraceKind::Flow: return level >= ctx->flowTraceLevel;
  }
  return false;
}

// The process-wide loggers used when no context is at hand. Each slot holds
// its own toolkit reference, so a logger stays valid while it is in a slot;
// write through processTraceLine/processErrorLine, or hold
// processLoggerMutex() while using the returned pointer.
QlgObject *processTraceLogger();
QlgObject *processErrorLogger();
// Puts logger into the slot (acquiring it, releasing the previous one).
void setProcessTraceLogger(QlgObject *logger);
void setProcessErrorLogger(QlgObject *logger);
// A context starts or stops using logger. When the last context that uses
// the slot's logger stops, the slot is emptied, so that the logger (and its
// file) goes away with its last context.
void attachProcessLoggers(QlgObject *traceLogger, QlgObject *errorLogger);
void detachProcessLoggers(QlgObject *traceLogger, QlgObject *errorLogger);
std::mutex &processLoggerMutex();

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
// Takes at most kMaxTraceWriteArgs arguments; traceLine has no such limit.
inline constexpr int kMaxTraceWriteArgs = 4;
void traceWrite(QlgObject *logger, const char *unit, const char *function, int line, const char *format,
                const TraceArg *args, int count);

// The function name as the trace lines show it: "[name]". A name that is
// already bracketed is kept. Cut to fit buf.
const char *bracketFunction(const char *function, char *buf, std::size_t size);

// (type tag, value) pairs of the toolkit's typed parameter lists.
inline std::tuple<int, int> typedArg(int v) { return {QLG_INT, v}; }
inline std::tuple<int, int> typedArg(unsigned v) { return {QLG_INT, static_cast<int>(v)}; }
inline std::tuple<int, long> typedArg(long v) { return {QLG_LONG, v}; }
inline std::tuple<int, long> typedArg(long long v) { return {QLG_LONG, static_cast<long>(v)}; }
inline std::tuple<int, long> typedArg(unsigned long v) { return {QLG_LONG, static_cast<long>(v)}; }
inline std::tuple<int, long> typedArg(unsigned long long v) { return {QLG_LONG, static_cast<long>(v)}; }
inline std::tuple<int, double> typedArg(double v) { return {QLG_DOUBLE, v}; }
inline std::tuple<int, const char *> typedArg(const char *v) { return {QLG_STRING, v}; }

// Writes one line to logger with no level test (null logger: nothing):
// QlgLogDebugMin(logger, unit, "[function]", line, format, tag, value, ..., 0).
template <typename... A>
void traceLine(QlgObject *logger, const char *unit, const char *function, int line, const char *format,
               A... args) {
  if (logger == nullptr) return;
  char buf[128];
  const char *fn = bracketFunction(function, buf, sizeof buf);
  std::apply([&](auto... flat) { QlgLogDebugMin(logger, unit, fn, line, format, flat..., QLG_END); },
             std::tuple_cat(typedArg(args)...));
}

// The same on the process-wide trace or error logger, holding the lock that
// keeps the logger alive while it is written to.
template <typename... A>
void processTraceLine(const char *unit, const char *function, int line, const char *format, A... args) {
  std::scoped_lock lock(processLoggerMutex());
  traceLine(processTraceLogger(), unit, function, line, format, args...);
}
template <typename... A>
void processErrorLine(const char *unit, const char *function, int line, const char *format, A... args) {
  std::scoped_lock lock(processLoggerMutex());
  traceLine(processErrorLogger(), unit, function, line, format, args...);
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
