/* An audit event from C: records, elements, validation, XML and release,
 * with the failures a C caller meets on the way. */
#define _XOPEN_SOURCE 700 /* nftw, mkdtemp */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <velm/velm.h>

#include "scratch.h"

#define CHECK(cond)                                                            \
  do {                                                                         \
    if (!(cond)) {                                                             \
      fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
      return 1;                                                                \
    }                                                                          \
  } while (0)

int main(void) {
  char errorFile[256];
  const char *dir = scratchDir();
  CHECK(dir != NULL);
  snprintf(errorFile, sizeof errorFile, "%s/error.log", dir);
  VELM_Property props[] = {
      {"serverURL", VELM_VT_STRING, "http://localhost:9/audit"},
      {"useDiskCache", VELM_VT_STRING, "never"},
      {"errorFilePath", VELM_VT_STRING, errorFile},
      {"elementCodeSet", VELM_VT_STRING, "UTF8"},
      {NULL, 0, NULL},
  };
  VELM_result r = {0, 0, NULL};
  VELM_AuditClientContext *ctx = VELM_AuditClientContext_Create(props, &r);
  CHECK(ctx != NULL);

  VELM_AuditEvent *ev = VELM_AuditEvent_Create(ctx, "AUDIT_AUTHN", &r);
  CHECK(ev != NULL);

  /* Records adopted by the event (copyFlag 0) are released with it. */
  VELM_ComponentId *cid = VELM_ComponentId_Create(ctx, "host1.example.com", "FQHostname", "app", "env", "comp",
                                                  "type", "idType", "sub", "1", "2", "3", &r);
  CHECK(cid != NULL);
  CHECK(VELM_AuditEvent_AddComponentIdElement(ev, "sourceComponentId", cid, 0, &r) != NULL);
  VELM_Outcome *outcome = VELM_Outcome_Create(ctx, "SUCCESSFUL", 0, 0, NULL, &r);
  CHECK(outcome != NULL);
  CHECK(VELM_AuditEvent_AddOutcomeElement(ev, "outcome", outcome, 0, &r) != NULL);

  /* A record copied into the event (copyFlag 1) stays the caller's. */
  VELM_UserInfo *user = VELM_UserInfo_Create(ctx, "jdoe", "John", 7, NULL, "example.com", NULL, NULL, NULL,
                                             NULL, NULL, 1, &r);
  CHECK(user != NULL);
  CHECK(VELM_AuditEvent_AddUserInfoElement(ev, "userInfo", user, 1, &r) != NULL);
  CHECK(VELM_UserInfo_Delete(ctx, user, &r) == 0);

  /* Validation names the first missing element. */
  CHECK(VELM_AuditEvent_Validate(ev, &r) == -1);
  CHECK(r.numErrors == 1 && r.errors[0].code == 15);
  CHECK(strstr(r.errors[0].message, "'authnType'") != NULL);
  VELM_Result_Clean(&r);

  CHECK(VELM_AuditEvent_AddStringElement(ev, "authnType", "password", 1, &r) != NULL);
  /* A second element of the same name is refused with message 2. */
  CHECK(VELM_AuditEvent_AddStringElement(ev, "authnType", "token", 1, &r) == NULL);
  CHECK(r.numErrors == 1 && r.errors[0].code == 2);
  VELM_Result_Clean(&r);
  CHECK(VELM_AuditEvent_Validate(ev, &r) == 0);
  CHECK(VELM_AuditEvent_GetElement(ev, "timestamp", &r) != NULL);

  /* Getters hand out copies the caller frees. */
  VELM_AuditElement *e = VELM_AuditEvent_GetElement(ev, "authnType", &r);
  CHECK(e != NULL);
  char *value = VELM_AuditElement_GetValue(ctx, e, &r);
  CHECK(value != NULL && strcmp(value, "password") == 0);
  CHECK(VELM_Free(value) == 0);

  char *xml = VELM_AuditEvent_ToXML(ev, &r);
  CHECK(xml != NULL);
  CHECK(strncmp(xml, "<CommonBaseEvent", 16) == 0);
  CHECK(strstr(xml, "extensionName=\"KTO_DXA_AUDIT_AUTHN\"") != NULL);
  CHECK(VELM_Free(xml) == 0);

  CHECK(VELM_AuditEvent_Delete(ev, &r) == 0);
  /* A null event is reported with message 12. */
  CHECK(VELM_AuditEvent_Delete(NULL, &r) == -1);
  CHECK(r.numErrors == 1 && r.errors[0].code == 12);
  VELM_Result_Clean(&r);

  CHECK(VELM_AuditClientContext_Delete(ctx, &r) == 0);
  puts("event_c_test ok");
  return 0;
}
