/*
 * hello: records one audit event and delivers it to an audit service.
 *
 *   hello SERVICE_URL CACHE_PATH ERROR_LOG
 *
 * CACHE_PATH is a directory plus a file-name prefix, /var/spool/app/audit/batch
 * say: while the service cannot be reached the event waits in a file there.
 */
#include <stdio.h>
#include <velm/velm.h>

static int fail(const char *what, VELM_result *r) {
  fprintf(stderr, "%s failed\n", what);
  for (int i = 0; i < r->numErrors; i++) fprintf(stderr, "  %s\n", r->errors[i].message);
  VELM_Result_Clean(r);
  return 1;
}

/* Builds an AUDIT_RUNTIME_KEY event; NULL (with the reasons in r) on failure. */
static VELM_AuditEvent *keyRotated(VELM_AuditClientContext *ctx, VELM_result *r) {
  VELM_AuditEvent *ev = VELM_AuditEvent_Create(ctx, "AUDIT_RUNTIME_KEY", r);
  if (ev == NULL) return NULL;
  VELM_ComponentId *source =
      VELM_ComponentId_Create(ctx, "app01.example.com", "FQHostname", "PayrollApp", NULL, "keys", "Service",
                              "ProductName", "rotation", NULL, NULL, NULL, r);
  VELM_Outcome *outcome = source != NULL ? VELM_Outcome_Create(ctx, "SUCCESSFUL", 0, 0, NULL, r) : NULL;
  /* Each step runs only when the ones before it worked, so r holds the reasons of the failed one. */
  int ok = outcome != NULL &&
           VELM_AuditEvent_AddComponentIdElement(ev, "sourceComponentId", source, 1, r) != NULL &&
           VELM_AuditEvent_AddOutcomeElement(ev, "outcome", outcome, 1, r) != NULL &&
           VELM_AuditEvent_AddStringElement(ev, "keyLabel", "payroll-signing-2026", 1, r) != NULL &&
           VELM_AuditEvent_AddStringElement(ev, "location", "keys.example.com", 1, r) != NULL &&
           VELM_AuditEvent_AddStringElement(ev, "locationType", "FQHostname", 1, r) != NULL &&
           VELM_AuditEvent_AddStringElement(ev, "action", "rotate", 1, r) != NULL;
  /* copyFlag 1: the event keeps copies of the records, so ours go now. */
  VELM_result ignored = {0, 0, NULL};
  if (source != NULL) VELM_ComponentId_Delete(ctx, source, &ignored);
  if (outcome != NULL) VELM_Outcome_Delete(ctx, outcome, &ignored);
  if (!ok) VELM_AuditEvent_Delete(ev, &ignored);
  VELM_Result_Clean(&ignored);
  return ok ? ev : NULL;
}

/* Prints what a call that worked still had to say, and clears the record:
 * every call resets it on entry without releasing what it held. */
static void notes(VELM_result *r) {
  for (int i = 0; i < r->numErrors; i++) fprintf(stderr, "note: %s\n", r->errors[i].message);
  VELM_Result_Clean(r);
}

int main(int argc, char **argv) {
  if (argc != 4) {
    fprintf(stderr, "usage: hello SERVICE_URL CACHE_PATH ERROR_LOG\n");
    return 2;
  }
  VELM_result r = {0, 0, NULL};
  /* For an https URL add a PKCS#12 store of the CAs to trust (and a client
   * identity) and a file whose first line is its password:
   *   {"keyFilePath", VELM_VT_STRING, "/etc/app/audit-trust.p12"},
   *   {"stashFilePath", VELM_VT_STRING, "/etc/app/audit-trust.pass"}, */
  VELM_Property props[] = {
      {"serverURL", VELM_VT_STRING, argv[1]},
      {"diskCachePath", VELM_VT_STRING, argv[2]},
      {"errorFilePath", VELM_VT_STRING, argv[3]},
      {NULL, 0, NULL},
  };
  VELM_AuditClientContext *ctx = VELM_AuditClientContext_Create(props, &r);
  if (ctx == NULL) return fail("context", &r);
  notes(&r);
  VELM_AuditClient *client = VELM_AuditClient_Create(ctx, &r);
  if (client == NULL) {
    int rc = fail("client", &r);
    VELM_AuditClientContext_Delete(ctx, &r);
    VELM_Result_Clean(&r);
    return rc;
  }
  notes(&r); /* say, the service did not answer yet: events wait in the cache */

  int rc = 0;
  VELM_AuditEvent *ev = keyRotated(ctx, &r);
  if (ev == NULL) {
    rc = fail("event", &r);
  } else if (VELM_AuditClient_SendEvent(client, ev, &r) != 0) {
    rc = fail("send", &r); /* not taken: the event is still ours */
    VELM_AuditEvent_Delete(ev, &r);
  } /* taken: the event belongs to the library now */
  VELM_Result_Clean(&r);

  /* Delivers (or caches) what is queued, then stops the client's threads. */
  if (VELM_AuditClient_Delete(client, &r) != 0) rc = fail("client deletion", &r);
  notes(&r);
  VELM_AuditClientContext_Delete(ctx, &r);
  VELM_Result_Clean(&r);
  return rc;
}
