/* A scratch directory for a C test, removed with its contents when the
 * program exits, also through an early return of a failed check. */
#ifndef VELM_TEST_C_SCRATCH_H
#define VELM_TEST_C_SCRATCH_H

#include <ftw.h>
#include <stdio.h>
#include <stdlib.h>

static char scratch[] = "/tmp/velmc.XXXXXX";

static int scratchRemove(const char *path, const struct stat *st, int type, struct FTW *ftw) {
  (void)st, (void)type, (void)ftw;
  return remove(path);
}

static void scratchCleanUp(void) { nftw(scratch, scratchRemove, 16, FTW_DEPTH | FTW_PHYS); }

/* Makes the directory; null on failure. */
static const char *scratchDir(void) {
  if (mkdtemp(scratch) == NULL) return NULL;
  atexit(scratchCleanUp);
  return scratch;
}

#endif
