/* The context calls from C: create, provoke an error, clean, delete. */
#define _XOPEN_SOURCE 700 /* nftw, mkdtemp */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "scratch.h"
#include "velm.h"

#define CHECK(cond)                                                   \
  do {                                                                \
    if (!(cond)) {                                                    \
      fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
      return 1;                                                       \
    }                                                                 \
  } while (0)

int main(void) {
  char errorFile[256];
  const char *dir = scratchDir();
  CHECK(dir != NULL);
  snprintf(errorFile, sizeof errorFile, "%s/error.log", dir);

  int32_t queueSize = 40;
  VELM_Property props[] = {
      {"serverURL", VELM_VT_STRING, "http://localhost:9/audit"},
      {"useDiskCache", VELM_VT_STRING, "never"},
      {"errorFilePath", VELM_VT_STRING, errorFile},
      {"queueSize", VELM_VT_INTEGER, &queueSize},
      {NULL, 0, NULL},
  };
  VELM_result result = {0, 0, NULL};
  VELM_AuditClientContext *context = VELM_AuditClientContext_Create(props, &result);
  CHECK(context != NULL);
  CHECK(result.numErrors == 0);
  CHECK(VELM_AuditClientContext_GetTraceLevel(context, &result) == 0);

  /* A null context is reported with message 10. */
  CHECK(VELM_AuditClientContext_SetTraceLevel(NULL, 2, &result) == -1);
  CHECK(result.numErrors == 1);
  CHECK(result.errors[0].code == 10);
  CHECK(strncmp(result.errors[0].message, "DXACC0010E ", 11) == 0);
  CHECK(VELM_Result_Clean(&result) == 0);
  CHECK(result.numErrors == 0 && result.maxErrors == 0 && result.errors == NULL);

  CHECK(VELM_AuditClientContext_Delete(context, &result) == 0);
  CHECK(strcmp(getVELMCClientVersion(), "VELM_C_CLIENT_VERSION=6.0.0.1") == 0);

  void *p = VELM_Malloc(8);
  CHECK(p != NULL);
  CHECK(VELM_Free(p) == 0);
  CHECK(VELM_Sleep(0) == 0);

  puts("context_c_test ok");
  return 0;
}
