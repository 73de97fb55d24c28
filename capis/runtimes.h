// Start and stop of the process-wide runtimes that the first context sets up
// and the last one tears down (under VELMCommon's mutex). Each is defined by
// its own subsystem; a subsystem left out of the link is a link error.
#pragma once

#include "velm.h"

namespace velm {

// XML library (cbe/element.cc). 0 on success.
int initializeXMLParser();
void terminateXMLParser();

// HTTP and TLS libraries of the transport (cbe/transport.cc). 0 on success.
int initializeAxis();
void terminateAxis();

// Builds the predefined event-type table once per process; defined by the
// event validation unit (capis/event_check.h declares it too).
int initEventTable(VELM_AuditClientContext *context, VELM_result *result);

// Test hook: how often context set-up and tear-down started and stopped each
// runtime in this process (counted by the caller, whatever the runtime does).
struct RuntimeCounters {
  int xmlStarts;
  int xmlStops;
  int axisStarts;
  int axisStops;
};
RuntimeCounters runtimeCounters();

}  // namespace velm
