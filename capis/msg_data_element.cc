// VELM_MsgDataElement: a reference to a message in a message catalogue.
#include <cstdlib>

#include "capis/info_nested_common.h"

VELM_TRACE_UNIT("msg_data_element");

namespace {
constexpr const char *kHandle = "msgDataElement_Handle";
}

namespace velm {

VELM_MsgDataElement *msgDataElement_Create(VELM_AuditClientContext *context, const char *msgId,
                                           const char *msgIdType, const char *msgCatalogId,
                                           char *const *msgCatalogTokens, const char *msgCatalog,
                                           const char *msgCatalogType, const char *msgLocale, int convertFlag,
                                           VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  auto *rec = infoAllocRecord<VELM_MsgDataElement>(context, VELM_INFO_SITE, result);
  if (rec == nullptr) return nullptr;
  InfoFieldCopier copy{context, convertFlag, VELM_INFO_SITE, result};
  if (!copy(msgId, rec->msgId, "msgId") || !copy(msgIdType, rec->msgIdType, "msgIdType") ||
      !copy(msgCatalogId, rec->msgCatalogId, "msgCatalogId") ||
      !infoCopyStringArray(context, msgCatalogTokens, convertFlag, &rec->msgCatalogTokens, VELM_INFO_SITE,
                           result, "msgCatalogTokens") ||
      !copy(msgCatalog, rec->msgCatalog, "msgCatalog") ||
      !copy(msgCatalogType, rec->msgCatalogType, "msgCatalogType") ||
      !copy(msgLocale, rec->msgLocale, "msgLocale")) {
    msgDataElement_Delete(context, rec, result);
    return nullptr;
  }
  return rec;
}

// Always 0: nothing a message data element holds can fail to be released.
int msgDataElement_Delete(VELM_AuditClientContext *context, VELM_MsgDataElement *record,
                          VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  if (record == nullptr) return 0;
  int rc = 0;
  infoFreeString(record->msgId);
  infoFreeString(record->msgIdType);
  infoFreeString(record->msgCatalogId);
  infoReleaseStringArray(context, record->msgCatalogTokens, rc, result);
  infoFreeString(record->msgCatalog);
  infoFreeString(record->msgCatalogType);
  infoFreeString(record->msgLocale);
  releaseHandle(record);
  return 0;
}

}  // namespace velm

using namespace velm;

VELM_MsgDataElement *VELM_MsgDataElement_Create(VELM_AuditClientContext *context, const char *msgId,
                                                const char *msgIdType, const char *msgCatalogId,
                                                char *const *msgCatalogTokens, const char *msgCatalog,
                                                const char *msgCatalogType, const char *msgLocale,
                                                VELM_result *result) {
  return contextCall(context, result, nullptr, VELM_API_SITE, [&](ApiCall &) {
    return msgDataElement_Create(context, msgId, msgIdType, msgCatalogId, msgCatalogTokens, msgCatalog,
                                 msgCatalogType, msgLocale, 1, result);
  });
}

int VELM_MsgDataElement_Delete(VELM_AuditClientContext *context, VELM_MsgDataElement *msgDataElement,
                               VELM_result *result) {
  return infoPublicDelete(context, msgDataElement, kHandle, &msgDataElement_Delete, VELM_API_SITE, result);
}

char *VELM_MsgDataElement_GetMsgId(VELM_AuditClientContext *context,
                                   const VELM_MsgDataElement *msgDataElement, VELM_result *result) {
  return infoStringGetter(context, msgDataElement, &VELM_MsgDataElement::msgId, kHandle, VELM_API_SITE,
                          result);
}

char *VELM_MsgDataElement_GetMsgIdType(VELM_AuditClientContext *context,
                                       const VELM_MsgDataElement *msgDataElement, VELM_result *result) {
  return infoStringGetter(context, msgDataElement, &VELM_MsgDataElement::msgIdType, kHandle, VELM_API_SITE,
                          result);
}

char *VELM_MsgDataElement_GetMsgCatalogId(VELM_AuditClientContext *context,
                                          const VELM_MsgDataElement *msgDataElement, VELM_result *result) {
  return infoStringGetter(context, msgDataElement, &VELM_MsgDataElement::msgCatalogId, kHandle,
                          VELM_API_SITE, result);
}

char **VELM_MsgDataElement_GetMsgCatalogTokens(VELM_AuditClientContext *context,
                                               const VELM_MsgDataElement *msgDataElement,
                                               VELM_result *result) {
  return infoStringArrayGetter(context, msgDataElement, &VELM_MsgDataElement::msgCatalogTokens, kHandle,
                               VELM_API_SITE, result);
}

char *VELM_MsgDataElement_GetMsgCatalog(VELM_AuditClientContext *context,
                                        const VELM_MsgDataElement *msgDataElement, VELM_result *result) {
  return infoStringGetter(context, msgDataElement, &VELM_MsgDataElement::msgCatalog, kHandle, VELM_API_SITE,
                          result);
}

char *VELM_MsgDataElement_GetMsgCatalogType(VELM_AuditClientContext *context,
                                            const VELM_MsgDataElement *msgDataElement, VELM_result *result) {
  return infoStringGetter(context, msgDataElement, &VELM_MsgDataElement::msgCatalogType, kHandle,
                          VELM_API_SITE, result);
}

char *VELM_MsgDataElement_GetMsgLocale(VELM_AuditClientContext *context,
                                       const VELM_MsgDataElement *msgDataElement, VELM_result *result) {
  return infoStringGetter(context, msgDataElement, &VELM_MsgDataElement::msgLocale, kHandle, VELM_API_SITE,
                          result);
}
