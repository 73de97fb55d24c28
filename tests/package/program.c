/* Built against the unpacked packages through pkg-config: a context, an event
 * of a predefined type checked and turned into its XML, and a clean release. */
#define _XOPEN_SOURCE 700 /* mkdtemp */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <velm/qlg.h>
#include <velm/velm.h>

#define CHECK(cond)                                                            \
  do {                                                                         \
    if (!(cond)) {                                                             \
      fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
      return 1;                                                                \
    }                                                                          \
  } while (0)

int main(void) {
  char dir[] = "velm-program-XXXXXX";
  CHECK(mkdtemp(dir) != NULL);
  char errorFile[64];
  snprintf(errorFile, sizeof errorFile, "%s/error.log", dir);
  VELM_Property props[] = {
      {"serverURL", VELM_VT_STRING, "http://127.0.0.1:9/audit"},
      {"useDiskCache", VELM_VT_STRING, "never"},
      {"errorFilePath", VELM_VT_STRING, errorFile},
      {"elementCodeSet", VELM_VT_STRING, "UTF8"},
      {NULL, 0, NULL},
  };
  VELM_result r = {0, 0, NULL};
  CHECK(strcmp(getVELMCClientVersion(), "VELM_C_CLIENT_VERSION=6.0.0.1") == 0);
  VELM_AuditClientContext *ctx = VELM_AuditClientContext_Create(props, &r);
  CHECK(ctx != NULL);

  VELM_AuditEvent *ev = VELM_AuditEvent_Create(ctx, "AUDIT_AUTHN", &r);
  CHECK(ev != NULL);
  VELM_ComponentId *cid = VELM_ComponentId_Create(ctx, "host1.example.com", "FQHostname", "app", "env", "comp",
                                                  "type", "idType", "sub", "1", "2", "3", &r);
  CHECK(cid != NULL);
  CHECK(VELM_AuditEvent_AddComponentIdElement(ev, "sourceComponentId", cid, 0, &r) != NULL);
  VELM_Outcome *outcome = VELM_Outcome_Create(ctx, "SUCCESSFUL", 0, 0, NULL, &r);
  CHECK(outcome != NULL);
  CHECK(VELM_AuditEvent_AddOutcomeElement(ev, "outcome", outcome, 0, &r) != NULL);
  VELM_UserInfo *user = VELM_UserInfo_Create(ctx, "jdoe", "John", 7, NULL, "example.com", NULL, NULL, NULL,
                                             NULL, NULL, 0, &r);
  CHECK(user != NULL);
  CHECK(VELM_AuditEvent_AddUserInfoElement(ev, "userInfo", user, 0, &r) != NULL);
  CHECK(VELM_AuditEvent_AddStringElement(ev, "authnType", "password", 1, &r) != NULL);
  CHECK(VELM_AuditEvent_Validate(ev, &r) == 0);

  char *xml = VELM_AuditEvent_ToXML(ev, &r);
  CHECK(xml != NULL && strncmp(xml, "<CommonBaseEvent", 16) == 0);
  CHECK(VELM_Free(xml) == 0);
  CHECK(VELM_AuditEvent_Delete(ev, &r) == 0);
  CHECK(VELM_AuditClientContext_Delete(ctx, &r) == 0);
  CHECK(VELM_Result_Clean(&r) == 0);

  /* The logging toolkit comes with the library. */
  CHECK(QlgGetLevelFromString("WARN") == QLG_LEVEL_WARN);

  remove(errorFile);
  rmdir(dir);
  puts("program ok");
  return 0;
}
