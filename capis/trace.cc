// Trace lines through the toolkit and the process-wide logger slots.
#include "capis/trace.h"

#include <cstdio>
#include <cstring>

namespace velm {

namespace {

// One slot per process-wide logger. users counts the contexts that hold the
// slot's logger; guarded by processLoggerMutex().
struct LoggerSlot {
  QlgObject *logger = nullptr;
  int users = 0;
};

LoggerSlot traceSlot;
LoggerSlot errorSlot;

void setSlot(LoggerSlot &slot, QlgObject *logger) {
  std::scoped_lock lock(processLoggerMutex());
  if (slot.logger == logger) return;
  if (logger != nullptr) QlgAcquireObject(logger);
  if (slot.logger != nullptr) QlgReleaseObject(slot.logger);
  slot.logger = logger;
  slot.users = 0;
}

void attachSlot(LoggerSlot &slot, QlgObject *logger) {
  if (logger != nullptr && slot.logger == logger) ++slot.users;
}

void detachSlot(LoggerSlot &slot, QlgObject *logger) {
  if (logger == nullptr || slot.logger != logger) return;
  if (--slot.users > 0) return;
  QlgReleaseObject(slot.logger);
  slot.logger = nullptr;
  slot.users = 0;
}

// Calls QlgLogDebugMin with the typed arguments of args[0..n) appended to
// those already collected in done.
template <typename... Done>
void emit(QlgObject *logger, const char *unit, const char *fn, int line, const char *format,
          const TraceArg *args, int n, Done... done) {
  if constexpr (sizeof...(Done) >= 2 * kMaxTraceWriteArgs) {
    QlgLogDebugMin(logger, unit, fn, line, format, done..., QLG_END);
  } else {
    if (n <= 0) {
      QlgLogDebugMin(logger, unit, fn, line, format, done..., QLG_END);
      return;
    }
    switch (args->tag) {
      case QLG_LONG: emit(logger, unit, fn, line, format, args + 1, n - 1, done..., QLG_LONG, args->l); break;
      case QLG_DOUBLE: emit(logger, unit, fn, line, format, args + 1, n - 1, done..., QLG_DOUBLE, args->d); break;
      case QLG_STRING: emit(logger, unit, fn, line, format, args + 1, n - 1, done..., QLG_STRING, args->s); break;
      default: emit(logger, unit, fn, line, format, args + 1, n - 1, done..., QLG_INT, args->i); break;
    }
  }
}

}  // namespace

std::mutex &processLoggerMutex() {
  static std::mutex m;
  return m;
}

QlgObject *processTraceLogger() { return traceSlot.logger; }
QlgObject *processErrorLogger() { return errorSlot.logger; }
void setProcessTraceLogger(QlgObject *logger) { setSlot(traceSlot, logger); }
void setProcessErrorLogger(QlgObject *logger) { setSlot(errorSlot, logger); }

void attachProcessLoggers(QlgObject *traceLogger, QlgObject *errorLogger) {
  std::scoped_lock lock(processLoggerMutex());
  attachSlot(traceSlot, traceLogger);
  attachSlot(errorSlot, errorLogger);
}

void detachProcessLoggers(QlgObject *traceLogger, QlgObject *errorLogger) {
  std::scoped_lock lock(processLoggerMutex());
  detachSlot(traceSlot, traceLogger);
  detachSlot(errorSlot, errorLogger);
}

const char *bracketFunction(const char *function, char *buf, std::size_t size) {
  if (function == nullptr) return "[]";
  if (function[0] == '[') return function;
  std::snprintf(buf, size, "[%s]", function);
  return buf;
}

void traceWrite(QlgObject *logger, const char *unit, const char *function, int line, const char *format,
                const TraceArg *args, int count) {
  if (logger == nullptr) return;
  char buf[128];
  const char *fn = bracketFunction(function, buf, sizeof buf);
  emit(logger, unit, fn, line, format, args, args == nullptr ? 0 : count);
}

ScopedTrace::ScopedTrace(const VELM_AuditClientContext *ctx, const char *unit, const char *function, int line)
    : ctx_(ctx), unit_(unit), function_(function), line_(line) {
  if (traceOn(ctx_, TraceKind::Entry)) traceLine(ctx_->traceLogger, unit_, function_, line_, "ENTRY");
}

ScopedTrace::~ScopedTrace() {
  if (traceOn(ctx_, TraceKind::Entry)) traceLine(ctx_->traceLogger, unit_, function_, line_, "EXIT");
}

}  // namespace velm
