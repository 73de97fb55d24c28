// Event strings and batch strings: the XML text of one event, the plain
// concatenation of a batch's texts that the disk cache stores, and the way
// back from a batch string to a batch.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "cbe/cbe_types.h"
#include "velm.h"

namespace velm {

// The event's CBE XML as a new heap string (free with VELM_Free), or null
// with the reasons in result. The event is only read.
char *velmAuditEventToXMLString(VELM_AuditClientContext *context, VELM_AuditEvent *event, VELM_result *result);

// The same text written directly, for the send and cache paths (a new heap
// string, or null with the reasons in result).
char *velmAuditEventToText(VELM_AuditClientContext *context, VELM_AuditEvent *event, VELM_result *result);
// The same text appended to out. 0, or -1 with out unchanged.
int appendEventText(VELM_AuditClientContext *context, VELM_AuditEvent *event, std::string &out,
                    VELM_result *result);
// Benchmark hook: the two functions above go through the DOM and its
// serialiser instead of the direct writer. Off by default.
void setDomConversion(bool on);

// Test hooks: one event converted by each output, with a null context,
// and whether conversions of the process are checked that way, every n-th
// of each thread (0: none); a difference aborts the process with both
// outcomes on stderr.
struct ConversionOutcome {
  bool ok = false;
  std::string text;
  std::vector<std::pair<int, std::string>> messages;  // (number, text) in order
  bool operator==(const ConversionOutcome &) const = default;
};
ConversionOutcome convertWithDom(VELM_AuditEvent *event);
ConversionOutcome convertWithWriter(VELM_AuditEvent *event);
void setConversionCheck(int every);

// The texts of the batch joined in order with nothing between them, a new
// heap string (empty for an empty batch), or null (message 9 "events" for a
// null batch, message 1 when memory ran out).
char *velmCommonBaseEventsToString(VELM_AuditClientContext *context, const CommonBaseEventType_ArrayTag *batch,
                                   VELM_result *result);

// One entry per "CommonBaseEvent" element of the batch string, in order, as
// a new batch the caller releases with freeCommonBaseEvents. A text without
// events gives an empty batch; null when the text does not parse or memory
// ran out.
CommonBaseEventType_ArrayTag *velmStringToCommonBaseEvents(VELM_AuditClientContext *context, const char *text,
                                                           VELM_result *result);

// The position (from 1) named by the first "failedevent" element of a SOAP
// fault detail, or 0 when there is none.
int getFailedEvent(VELM_AuditClientContext *context, const char *faultDetail, VELM_result *result);

}  // namespace velm
