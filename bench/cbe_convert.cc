// Cost of the CBE encoding, which bounds the library's throughput: one
// realistic authorisation event to its event string, and the drain path,
// a batch string of 10 such events back to a batch ready to send. Reports
// events per second on one thread and bytes per event.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "authz_event.h"
#include "cbe/sendEvent.h"
#include "velm.h"

namespace {

using velm_bench::buildAuthzEvent;
using velm_bench::context;
using velm_bench::fail;

// The event as the transport sees it: validated, so it carries its time stamp.
VELM_AuditEvent *buildValidatedEvent(VELM_AuditClientContext *ctx, VELM_result *r) {
  VELM_AuditEvent *event = buildAuthzEvent(ctx, r);
  if (event != nullptr && VELM_AuditEvent_Validate(event, r) != 0) {
    VELM_AuditEvent_Delete(event, r);
    return nullptr;
  }
  return event;
}

void BM_EventToXMLString(benchmark::State &state) {
  VELM_AuditClientContext *ctx = context();
  VELM_result r{};
  VELM_AuditEvent *event = ctx != nullptr ? buildValidatedEvent(ctx, &r) : nullptr;
  if (event == nullptr) {
    fail(state, &r, "set-up");
    VELM_Result_Clean(&r);
    return;
  }
  std::size_t bytes = 0;
  for (auto _ : state) {
    char *text = velm::velmAuditEventToXMLString(ctx, event, &r);
    if (text == nullptr) {
      fail(state, &r, "convert");
      break;
    }
    bytes = std::strlen(text);
    std::free(text);
  }
  VELM_AuditEvent_Delete(event, &r);
  VELM_Result_Clean(&r);
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
  state.counters["bytes_per_event"] = static_cast<double>(bytes);
}
BENCHMARK(BM_EventToXMLString);

// The drain path: a cached batch string of 10 events parsed and every event
// serialised again.
void BM_BatchStringToBatch(benchmark::State &state) {
  constexpr int kEvents = 10;
  VELM_AuditClientContext *ctx = context();
  VELM_result r{};
  VELM_AuditEvent *event = ctx != nullptr ? buildValidatedEvent(ctx, &r) : nullptr;
  char *one = event != nullptr ? velm::velmAuditEventToXMLString(ctx, event, &r) : nullptr;
  if (one == nullptr) {
    fail(state, &r, "set-up");
    if (event != nullptr) VELM_AuditEvent_Delete(event, &r);
    VELM_Result_Clean(&r);
    return;
  }
  std::string batchString;
  for (int i = 0; i < kEvents; ++i) batchString += one;
  std::free(one);
  VELM_AuditEvent_Delete(event, &r);

  for (auto _ : state) {
    velm::CommonBaseEventType_ArrayTag *batch = velm::velmStringToCommonBaseEvents(ctx, batchString.c_str(), &r);
    if (batch == nullptr || batch->count != kEvents) {
      fail(state, &r, "parse");
      velm::freeCommonBaseEvents(batch);
      break;
    }
    velm::freeCommonBaseEvents(batch);
  }
  VELM_Result_Clean(&r);
  state.SetItemsProcessed(state.iterations() * kEvents);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * batchString.size()));
  state.counters["bytes_per_event"] = static_cast<double>(batchString.size()) / kEvents;
}
BENCHMARK(BM_BatchStringToBatch);

}  // namespace

BENCHMARK_MAIN();
