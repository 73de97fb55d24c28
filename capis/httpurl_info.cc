// VELM_HTTPURLInfo: an HTTP request.
#include "capis/info_common.h"
#include "capis/info_simple.h"

VELM_TRACE_UNIT("httpurl_info");

namespace {
constexpr const char *kHandle = "HTTPURLInfo_Handle";
}

namespace velm {

VELM_HTTPURLInfo *HTTPURLInfo_Create(VELM_AuditClientContext *context, const char *url, const char *method,
                                     int32_t responseCode, const char *requestHeaders,
                                     const char *responseHeaders, int convertFlag, VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  if (!infoRequire(context, url, "url", VELM_INFO_SITE, result) ||
      !infoRequire(context, method, "method", VELM_INFO_SITE, result))
    return nullptr;
  auto *rec = infoAllocRecord<VELM_HTTPURLInfo>(context, VELM_INFO_SITE, result);
  if (rec == nullptr) return nullptr;
  const InfoFieldCopier copy{context, convertFlag, VELM_INFO_SITE, result};
  rec->responseCode = responseCode;
  if (copy(url, rec->url, "url") && copy(method, rec->method, "method") &&
      copy(requestHeaders, rec->requestHeaders, "requestHeaders") &&
      copy(responseHeaders, rec->responseHeaders, "responseHeaders"))
    return rec;
  HTTPURLInfo_Delete(context, rec, result);
  return nullptr;
}

int HTTPURLInfo_Delete(VELM_AuditClientContext *context, VELM_HTTPURLInfo *HTTPURLInfo, VELM_result *) {
  VELM_ENTRY_EXIT(context);
  if (HTTPURLInfo == nullptr) return 0;
  for (char **field : {&HTTPURLInfo->url, &HTTPURLInfo->method, &HTTPURLInfo->requestHeaders,
                       &HTTPURLInfo->responseHeaders})
    infoFreeString(*field);
  releaseHandle(HTTPURLInfo);
  return 0;
}

}  // namespace velm

extern "C" {

VELM_HTTPURLInfo *VELM_HTTPURLInfo_Create(VELM_AuditClientContext *context, const char *url, const char *method,
                                          int32_t responseCode, const char *requestHeaders,
                                          const char *responseHeaders, VELM_result *result) {
  return velm::contextCall(context, result, nullptr, VELM_API_SITE, [&](velm::ApiCall &) {
    return velm::HTTPURLInfo_Create(context, url, method, responseCode, requestHeaders, responseHeaders, 1, result);
  });
}

int VELM_HTTPURLInfo_Delete(VELM_AuditClientContext *context, VELM_HTTPURLInfo *HTTPURLInfo, VELM_result *result) {
  return velm::infoPublicDelete(context, HTTPURLInfo, kHandle, velm::HTTPURLInfo_Delete, VELM_API_SITE, result);
}

VELM_INFO_STRING_GETTER(HTTPURLInfo, GetUrl, url, kHandle)
VELM_INFO_STRING_GETTER(HTTPURLInfo, GetMethod, method, kHandle)
VELM_INFO_INT_GETTER(HTTPURLInfo, GetResponseCode, int32_t, responseCode, kHandle)
VELM_INFO_STRING_GETTER(HTTPURLInfo, GetRequestHeaders, requestHeaders, kHandle)
VELM_INFO_STRING_GETTER(HTTPURLInfo, GetResponseHeaders, responseHeaders, kHandle)

}  // extern "C"
