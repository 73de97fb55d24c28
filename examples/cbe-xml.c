/*
 * cbe-xml: builds one realistic audit event of each of the 17 predefined
 * event types through the public interface, validates it and prints the
 * Common Base Event XML that would go on the wire.
 *
 *   cbe-xml [-q]      -q prints only one summary line per event
 *
 * Logs go to a scratch directory under /tmp that is removed when the demo
 * ends.
 */
#define _XOPEN_SOURCE 700 /* nftw, mkdtemp */
#include <ftw.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/time.h>
#include <velm/velm.h>

#include "audit_events.h"

static char dir[] = "/tmp/velm-cbe-xml-XXXXXX";
static int failures;

static int removeEntry(const char *path, const struct stat *st, int type, struct FTW *ftw) {
  (void)st, (void)type, (void)ftw;
  return remove(path);
}
static void removeDir(void) { nftw(dir, removeEntry, 16, FTW_DEPTH | FTW_PHYS); }

int main(int argc, char **argv) {
  int quiet = argc > 1 && strcmp(argv[1], "-q") == 0;
  if (mkdtemp(dir) == NULL) {
    perror("mkdtemp");
    return 1;
  }
  atexit(removeDir); /* also on the early exits of need() */
  char errorFile[256];
  snprintf(errorFile, sizeof errorFile, "%s/error.log", dir);
  VELM_Property props[] = {
      {"serverURL", VELM_VT_STRING, "http://127.0.0.1:9/audit"},
      {"useDiskCache", VELM_VT_STRING, "never"},
      {"errorFilePath", VELM_VT_STRING, errorFile},
      {"elementCodeSet", VELM_VT_STRING, "UTF8"},
      {NULL, 0, NULL},
  };
  ctx = VELM_AuditClientContext_Create(props, &res);
  if (ctx == NULL) {
    report("context");
    return 1;
  }
  fprintf(stderr, "%s\n", getVELMCClientVersion());

  for (int i = 0; i < NUM_EVENT_TYPES; i++) {
    VELM_AuditEvent *ev = build(i);
    char *type = VELM_AuditEvent_GetType(ev, &res);
    if (VELM_AuditEvent_Validate(ev, &res) != 0) {
      failures++;
      report(type);
    } else {
      char *xml = VELM_AuditEvent_ToXML(ev, &res);
      if (xml == NULL) {
        failures++;
        report(type);
      } else if (quiet) {
        printf("%-26s valid, %zu bytes of XML\n", type, strlen(xml));
      } else {
        printf("<!-- %s -->\n%s\n\n", type, xml);
      }
      VELM_Free(xml);
    }
    VELM_Free(type);
    VELM_AuditEvent_Delete(ev, &res);
    VELM_Result_Clean(&res);
  }
  VELM_AuditClientContext_Delete(ctx, &res);
  VELM_Result_Clean(&res);
  fprintf(stderr, "%d of 17 events valid and converted\n", 17 - failures);
  return failures == 0 ? 0 : 1;
}
