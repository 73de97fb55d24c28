// Reading one sendEvent request body.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velm::sink {

struct ReceivedEvent {
  std::string globalInstanceId;  // empty when the event has none
  std::string xml;               // the event element's content as it came on the wire
};

struct SendEventRequest {
  std::vector<ReceivedEvent> events;
  // The service probe: one event that is a bare <CommonBaseEvent/>.
  bool probe = false;
};

// Parses a SOAP 1.1 envelope whose Body holds one sendEvent element.
// Returns false with a reason in error for anything else; documents with a
// DOCTYPE are refused outright so no entity is ever expanded.
bool parseSendEvent(std::string_view body, SendEventRequest &request, std::string &error);

// Process-wide start and stop of the XML parser library.
void startXml();
void stopXml();

}  // namespace velm::sink
