/* The session lock holding other threads back, seen from C; many threads at
 * once are the reliability suite's. */
#define _POSIX_C_SOURCE 200809L
#include <pthread.h>
#include <time.h>

#include "c_test_support.h"

/* The lock's holder sets `released` just before letting go; a thread blocked
 * in the lookup must see it set when its call returns. */
typedef struct {
  ViSession vi;
  pthread_mutex_t mutex;
  int released;
  int sawReleased;
} LockProbe;

static void* CallWhileLocked(void* argument) {
  LockProbe* probe = (LockProbe*)argument;
  ViReal64 level = 0;
  hvzelta_GetVoltageLevel(probe->vi, "Output1", &level);
  pthread_mutex_lock(&probe->mutex);
  probe->sawReleased = probe->released;
  pthread_mutex_unlock(&probe->mutex);
  return NULL;
}

static void LockHoldsOthersBack(ViSession vi) {
  LockProbe probe;
  pthread_t thread;
  const struct timespec pause = {0, 50 * 1000 * 1000};
  probe.vi = vi;
  probe.released = 0;
  probe.sawReleased = 0;
  pthread_mutex_init(&probe.mutex, NULL);
  CHECK_STATUS(VI_SUCCESS, hvzelta_LockSession(vi, NULL));
  CHECK(pthread_create(&thread, NULL, CallWhileLocked, &probe) == 0);
  nanosleep(&pause, NULL);
  pthread_mutex_lock(&probe.mutex);
  probe.released = 1;
  pthread_mutex_unlock(&probe.mutex);
  CHECK_STATUS(VI_SUCCESS, hvzelta_UnlockSession(vi, NULL));
  CHECK(pthread_join(thread, NULL) == 0);
  CHECK(probe.sawReleased == 1);
  pthread_mutex_destroy(&probe.mutex);
}

void TestThreads(void) {
  ViSession vi = OpenSimulated();
  LockHoldsOthersBack(vi);
  CHECK_STATUS(VI_SUCCESS, hvzelta_close(vi));
}
