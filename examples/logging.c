/*
 * logging: the logging toolkit on its own. Opens the toolkit, hangs a
 * rotating file handler on a logger, writes enough records to roll the file
 * over twice and prints what landed in each file. The files live in a scratch
 * directory that is removed when the program ends.
 */
#define _XOPEN_SOURCE 700 /* nftw, mkdtemp */
#include <ftw.h>
#include <stdio.h>
#include <stdlib.h>
#include <velm/qlg.h>

static char dir[] = "/tmp/velm-logging-XXXXXX";

static int removeEntry(const char *path, const struct stat *st, int type, struct FTW *ftw) {
  (void)st, (void)type, (void)ftw;
  return remove(path);
}
static void removeDir(void) { nftw(dir, removeEntry, 16, FTW_DEPTH | FTW_PHYS); }

static void show(const char *path) {
  FILE *f = fopen(path, "r");
  if (f == NULL) return;
  printf("== %s\n", path);
  char line[1024];
  while (fgets(line, sizeof line, f) != NULL) fputs(line, stdout);
  fclose(f);
}

int main(void) {
  if (mkdtemp(dir) == NULL) return 1;
  atexit(removeDir);
  char file[256], name[300];
  snprintf(file, sizeof file, "%s/app.log", dir);

  if (!QlgOpenToolkit(NULL)) return 1;
  QlgObject *logger = QlgGetObject("demo.logger", "qlg_basiclogger");
  QlgObject *handler = QlgGetObject("demo.file", "qlg_filehandler");
  if (logger == NULL || handler == NULL) return 1;
  QlgSetObjPropInt(logger, "level", QLG_LEVEL_DEBUG_MAX);
  QlgSetObjProp(handler, "fileName", file);
  QlgSetObjPropInt(handler, "maxFileSize", 600);
  QlgSetObjPropInt(handler, "maxFiles", 3);
  QlgSetObjProp(handler, "filePermission", "0640");
  QlgAddListener(logger, handler);

  for (int i = 1; i <= 12; i++)
    QlgLogDebugMin(logger, "logging", "[main]", __LINE__, "record %d of %s", QLG_INT, i, QLG_STRING, "12",
                   QLG_END);

  QlgReleaseObject(handler);
  QlgReleaseObject(logger);
  QlgCloseToolkit();

  /* The active file and its numbered backups. */
  show(file);
  for (int i = 1; i <= 3; i++) {
    snprintf(name, sizeof name, "%s/app%d.log", dir, i);
    show(name);
  }
  return 0;
}
