/* The C interface as a C program sees it. Run with one group name. */
#include <stdio.h>
#include <string.h>

#include "c_test_support.h"

int g_failures = 0;

const char* TakeError(ViSession vi, ViStatus* code) {
  static char description[1024];
  description[0] = '\0';
  if (hvzelta_GetError(vi, code, (ViInt32)sizeof description, description) != VI_SUCCESS) return "(no error)";
  return description;
}

ViSession OpenSimulated(void) {
  ViSession vi = VI_NULL;
  CHECK_STATUS(VI_SUCCESS,
               hvzelta_InitWithOptions("TCPIP::127.0.0.1::5025::SOCKET", VI_FALSE, VI_FALSE, "Simulate=true", &vi));
  CHECK(vi != VI_NULL);
  return vi;
}

static const struct {
  const char* name;
  void (*run)(void);
} kGroups[] = {{"sessions", TestSessions}, {"functions", TestFunctions}};

int main(int argc, char** argv) {
  size_t i;
  for (i = 0; argc == 2 && i < sizeof kGroups / sizeof kGroups[0]; ++i) {
    if (strcmp(argv[1], kGroups[i].name) != 0) continue;
    kGroups[i].run();
    if (g_failures) fprintf(stderr, "%d check(s) failed\n", g_failures);
    return g_failures ? 1 : 0;
  }
  fprintf(stderr, "usage: %s sessions|functions\n", argv[0]);
  return 2;
}
