// A reply of the audit service to sendEvent, read by the transport: the
// input picks the HTTP status and the size of the batch, the rest is the
// body. A client fault goes on to the detail's failed event and to the
// resends of the other events, which are answered with success.
#include <atomic>
#include <cstdint>
#include <cstring>
#include <string>

#include "capis/cache_internal.h"
#include "capis/context.h"
#include "cbe/sendEvent.h"
#include "cbe/transport.h"
#include "platform/http.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

constexpr long kStatuses[] = {200, 500, 202, 204, 400, 401, 404, 503, 299, 302, 100, 0};

class ReplayHttp final : public velm::HttpAdapter {
 public:
  velm::HttpResponse post(const velm::HttpRequest &request) override {
    // Read the request as a server would.
    requestBytes_ += request.body.size();
    velm::HttpResponse r;
    r.answered = true;
    if (first_) {
      first_ = false;
      r.status = status_;
      r.body = body_;
    } else {
      r.status = 200;
      r.body =
          "<soapenv:Envelope xmlns:soapenv=\"http://schemas.xmlsoap.org/soap/envelope/\"><soapenv:Body>"
          "<sendEventResponse xmlns=\"urn:kto:velm:10\"/></soapenv:Body></soapenv:Envelope>";
    }
    return r;
  }
  void script(long status, std::string body) {
    status_ = status;
    body_ = std::move(body);
    first_ = true;
  }

 private:
  long status_ = 200;
  std::string body_;
  bool first_ = true;
  std::size_t requestBytes_ = 0;
};

ReplayHttp http;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  VELM_AuditClientContext *context = velm_fuzz::sharedContext(true);
  // With the cache shut down a failed attempt returns at once instead of
  // waiting retryInterval and caching the batch.
  velm::storeFlag(context->cacheInfo->shutDown, 1);
  velm::setHttpAdapterForTesting(&http);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 2) return -1;
  VELM_AuditClientContext *context = velm_fuzz::sharedContext(true);
  const long status = kStatuses[data[0] % (sizeof kStatuses / sizeof kStatuses[0])];
  const int events = 1 + data[1] % 5;
  http.script(status, std::string(reinterpret_cast<const char *>(data) + 2, size - 2));

  velm::CommonBaseEventType_ArrayTag *batch = velm::newCommonBaseEvents(events);
  for (int i = 0; i < events; ++i) {
    std::string text = "<CommonBaseEvent globalInstanceId=\"ID" + std::to_string(i) + "\"/>";
    batch->entries[batch->count++] = velm::newCommonBaseEvent(strdup(text.c_str()));
  }
  VELM_result result{0, 0, nullptr};
  velm::sendEvent(context, batch, 0, &result);
  VELM_Result_Clean(&result);
  velm::freeCommonBaseEvents(batch);
  return 0;
}
