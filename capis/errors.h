// Recording numbered messages into a caller's result record.
#pragma once

#include "velm.h"

namespace velm {

// Number of built-in texts: entry 0 is the catalogue name, 1..67 messages.
inline constexpr int kNumMessages = 68;
// The built-in English texts, indexed by message number.
extern const char *const defaultText[kNumMessages];

}  // namespace velm

// Adds one entry to result: message msgNumber formatted with argCount
// arguments (ints and C strings, as the message's placeholders say).
// extraSize 0 uses the standard 8192-byte buffer; otherwise the buffer is the
// template length plus extraSize plus 10. Returns the recorded text, or null
// when memory ran out. context may be null.
void *errorHandler(VELM_AuditClientContext *context, int msgNumber, VELM_result *result, int extraSize,
                   int argCount, ...);

// Null context (or null result) of a public call. Always returns 0.
int nullParmHandler1(VELM_AuditClientContext *context, VELM_result *result, const char *sourceFile, int line,
                     const char *functionName);
// Null event (or null result) of a public call. Always returns 0.
int nullParmHandler2(VELM_AuditEvent *event, VELM_result *result, const char *sourceFile, int line,
                     const char *functionName);

namespace velm {

// Writes the last entry of result to the context's error logger (or the
// process-wide one when context is null), tagged with unit, function, line.
void logLastError(VELM_AuditClientContext *context, const VELM_result *result, const char *unit,
                  const char *function, int line);

}  // namespace velm

// Records message n with the given arguments (no arguments, or ints and C
// strings) and writes it to the error log. Evaluates to true on success.
// Needs VELM_TRACE_UNIT in scope (trace.h).
#define VELM_RECORD(ctx, result, n, ...)                                                           \
  ::velm::recordMessage((ctx), (result), (n), kVelmTraceUnit, __func__, __LINE__ __VA_OPT__(, ) \
                            __VA_ARGS__)

namespace velm {
template <typename... A>
bool recordMessage(VELM_AuditClientContext *ctx, VELM_result *result, int n, const char *unit,
                   const char *function, int line, A... args) {
  if (errorHandler(ctx, n, result, 0, static_cast<int>(sizeof...(A)), args...) == nullptr) return false;
  logLastError(ctx, result, unit, function, line);
  return true;
}
}  // namespace velm
