/* The C interface as a C program sees it. Run with one group name. */
#define _POSIX_C_SOURCE 200809L
#include <pthread.h>
#include <stdio.h>
#include <string.h>
#include <time.h>

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

typedef struct {
  ViSession vi;
  void (*call)(ViSession);
  pthread_mutex_t mutex;
  int marked;
  int returnedAfter;
} Probe;

static void* RunCall(void* argument) {
  Probe* probe = (Probe*)argument;
  probe->call(probe->vi);
  pthread_mutex_lock(&probe->mutex);
  probe->returnedAfter = probe->marked;
  pthread_mutex_unlock(&probe->mutex);
  return NULL;
}

int ReturnsAfter(ViSession vi, void (*call)(ViSession), void (*release)(ViSession), long pauseMs) {
  Probe probe = {vi, call, PTHREAD_MUTEX_INITIALIZER, 0, 0};
  pthread_t thread;
  const struct timespec pause = {pauseMs / 1000, pauseMs % 1000 * 1000000L};
  CHECK(pthread_create(&thread, NULL, RunCall, &probe) == 0);
  nanosleep(&pause, NULL);
  pthread_mutex_lock(&probe.mutex);
  probe.marked = 1;
  pthread_mutex_unlock(&probe.mutex);
  release(vi);
  CHECK(pthread_join(thread, NULL) == 0);
  return probe.returnedAfter;
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
