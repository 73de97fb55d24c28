/* Built against the installed tree: the headers compile as C and the
 * library links and answers. */
#include <stdio.h>
#include <string.h>
#include <velm/qlg.h>
#include <velm/velm.h>

int main(void) {
  if (QlgGetLevelFromString("DEBUG_MAX") != 1000) {
    fprintf(stderr, "unexpected level\n");
    return 1;
  }
  puts("consumer ok");
  return 0;
}
