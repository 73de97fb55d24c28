// The client binding of the audit server's web service: one operation,
// sendEvent, which posts a batch of CBE XML texts as a SOAP 1.1 request and
// reads the reply. The binding never throws; the outcome of a call says
// which of the three cases happened.
#pragma once

#include <string>
#include <string_view>

#include "cbe/cbe_types.h"
#include "velm.h"

namespace velm {

class HttpAdapter;  // platform/http.h
struct SecureEnv;   // platform/tls.h

inline constexpr const char *kEmitterNamespace = "urn:kto:velm:10";
inline constexpr const char *kSoapEnvelopeNamespace = "http://schemas.xmlsoap.org/soap/envelope/";
// The endpoint of a default-constructed Emitter.
inline constexpr const char *kDefaultEmitterEndpoint = "http://localhost:9080/velmws/services/Emitter";

// What one sendEvent call came to.
struct EmitterOutcome {
  enum Kind {
    Sent,   // answered 2xx with sendEventResponse, or 2xx with an empty body
    Fault,  // the server answered with a SOAP Fault (any HTTP status)
    Other,  // no answer, an HTTP error without a Fault, or a reply we cannot read
  };
  Kind kind = Other;
  std::string faultCode;    // Fault: the faultcode text, as written
  std::string faultString;  // Fault: the faultstring text
  std::string faultDetail;  // Fault: the content of detail, or the whole Fault when detail is empty
  std::string error;        // Other: readable reason ("HTTP 503", the HTTP library's text, ...)
};

class Emitter {
 public:
  // protocol is kept for the binding's shape; only SOAP 1.1 over HTTP(S) exists.
  Emitter(const char *endpoint, int protocol);
  Emitter();

  void setUsername(const char *userName) { userName_ = userName; }
  void setPassword(const char *password) { password_ = password; }
  void setTransportTimeout(int seconds) { timeoutSeconds_ = seconds; }
  // The secure environment, in its text form (formatSecureEnvHandle).
  void SetSecure(const char *handleText);
  // Where requests go; without one, nothing can be sent.
  void setTransport(HttpAdapter *http) { http_ = http; }

  // Posts the batch (only read) as one request. Never throws.
  EmitterOutcome sendEvent(VELM_AuditClientContext *context, const CommonBaseEventType_ArrayTag *array);

 private:
  std::string endpoint_;
  const char *userName_ = nullptr;
  const char *password_ = nullptr;
  int timeoutSeconds_ = 0;
  const SecureEnv *secure_ = nullptr;
  bool secureRequested_ = false;
  HttpAdapter *http_ = nullptr;
};

// The SOAP request for a batch: envelope, Body, one sendEvent holding one
// event element per entry (a null entry as an xsi:nil one), each holding the
// entry's texts unchanged. Throws std::bad_alloc only.
std::string buildSendEventRequest(const CommonBaseEventType_ArrayTag *array);

// Reads a reply to sendEvent. context is only used for tracing.
EmitterOutcome parseSendEventReply(VELM_AuditClientContext *context, long httpStatus, std::string_view body);

}  // namespace velm
