// The server transport: moves batches of events to the audit server through
// the Emitter binding, retries and waits as configured, and hands batches to
// the disk cache when the server cannot be reached.
//
// Every function takes the client context first and the caller's result
// last, reports problems as numbered messages in the result and never
// throws. They run on queue threads, cache manager threads and application
// threads at once; they share only the context's settings, the cache flags
// and the queue's condition used for waiting.
#pragma once

#include "capis/runtimes.h"  // initializeAxis, terminateAxis
#include "cbe/cbe_types.h"
#include "velm.h"

namespace velm {

class HttpAdapter;  // platform/http.h

// Context creation, after the process-wide set-up: the secure environment
// of an https context (initializeZarvikEnvironment), the warning about a
// password sent over plain HTTP, and the per-context pool of connections.
// 0, or -1 with the reason in result.
int initializeTransport(VELM_AuditClientContext *context, VELM_result *result);
// Context deletion, before the process-wide tear-down: closes the pooled
// connections and releases the secure environment. No sender may still run.
void releaseTransport(VELM_AuditClientContext *context);

// Loads and checks the PKCS#12 store named by keyFilePath with the password
// in the first line of stashFilePath, and keeps it in context->secureEnv.
// 0, or -1 with message 19 naming the failed step.
int initializeZarvikEnvironment(VELM_AuditClientContext *context, VELM_result *result);
// Records message 19 with the failed step's name and the reason, writes it
// to the error log and traces it. Nothing when name or reason is null.
void logZarvikErrors(VELM_AuditClientContext *context, const char *reason, const char *name,
                     VELM_result *result);

// Sends an empty event to see whether the server answers: 0 it answers,
// -1 unreachable or failed (message 20), -3 the caller lacks the security
// role ("SECJ0053E" in the fault string).
int checkService(VELM_AuditClientContext *context, VELM_result *result);

// Converts the null-terminated events (only read; the caller deletes them)
// and sends or caches them as one batch. The result of sendEvent or of the
// cache hand-over; -1 for a null list.
int buildAndProcEvent(VELM_AuditClientContext *context, VELM_AuditEvent **events, VELM_result *result);

// Sends one batch (only read) with retries. 0 sent; -2 sent except the
// events the server rejected as invalid; -1 failed; or the result of the
// cache hand-over when cacheEvents is set and a disk cache exists.
int sendEvent(VELM_AuditClientContext *context, CommonBaseEventType_ArrayTag *batch, int cacheEvents,
              VELM_result *result);
// sendEvent of a batch of one, never cached.
int sendOneEvent(VELM_AuditClientContext *context, CommonBaseEventType *item, VELM_result *result);
// Joins the batch into one batch string and hands it to cacheMsg. 0 or -1
// (message 48).
int writeEventsToCache(VELM_AuditClientContext *context, CommonBaseEventType_ArrayTag *batch,
                       VELM_result *result);
// Hands a batch string of events events (text, borrowed) to cacheMsg. 0 or
// -1 (message 48; a null text is memory that ran out).
int cacheBatchText(VELM_AuditClientContext *context, const char *text, int events, VELM_result *result);
// Resends a batch string read from a cache file. 0 when done with it (sent,
// partly rejected, or unreadable and dropped with message 49), otherwise
// sendEvent's result. length is not used: text is NUL-terminated.
int sendMsg(VELM_AuditClientContext *context, int length, const char *text, VELM_result *result);

// Benchmark and test hook: with reuse off every request opens its own
// connection (and TLS session) and closes it afterwards. On by default.
void setConnectionReuse(bool on);
bool connectionReuse();

// Test hook: every context sends through adapter (borrowed; it must outlive
// its use) instead of its own connections. Null restores the real ones.
void setHttpAdapterForTesting(HttpAdapter *adapter);

}  // namespace velm
