// Fault modes of the sink: what it does with the next sendEvent request.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace velm::sink {

enum class ModeKind {
  ok,              // success replies
  stopped,         // the service port refuses connections
  http500,         // HTTP 500 with a plain-text body, no SOAP
  clientfault,     // "soapenv:client" fault naming event arg, for requests of more than one event
  clientfaultAll,  // the same for every request; a request of one event names event 1
  secj,            // a fault whose fault string holds "SECJ0053E"
  slow,            // success after arg milliseconds
  drop,            // read the request, close the connection without a reply
  failfirst,       // the next arg requests get HTTP 503, then back to ok
};

struct Mode {
  ModeKind kind = ModeKind::ok;
  long arg = 0;
};

// Reads "name", "name:N", "name N" or "name=N"; nullopt for anything else.
std::optional<Mode> parseMode(std::string_view text);

// The canonical text of a mode, which parseMode reads back.
std::string modeText(const Mode &mode);

}  // namespace velm::sink
