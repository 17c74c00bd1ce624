/* Several threads on one session, several sessions at once, and the session
 * lock holding other threads back. */
#define _POSIX_C_SOURCE 200809L
#include <pthread.h>
#include <time.h>

#include "c_test_support.h"

enum { kThreads = 4, kRounds = 200 };

/* g_failures is not shared: each thread counts its own and the main thread adds them up. */
typedef struct {
  ViSession shared;
  int index;
  int failures;
} Worker;

static void* UseSharedSession(void* argument) {
  Worker* worker = (Worker*)argument;
  const ViReal64 mine = 100.0 + worker->index;
  ViReal64 level = 0;
  char name[16];
  int round;
  for (round = 0; round < kRounds; ++round) {
    worker->failures += hvzelta_SetVoltageOffset(worker->shared, "Output1", mine) != VI_SUCCESS;
    worker->failures += hvzelta_GetAttributeViReal64(worker->shared, "Output1", HVZELTA_ATTR_OUTPUT_VOLTAGE_OFFSET,
                                                     &level) != VI_SUCCESS;
    worker->failures += hvzelta_GetOutputName(worker->shared, 1, (ViInt32)sizeof name, name) != VI_SUCCESS;
    /* Errors are the session's: only their codes are certain here. */
    worker->failures +=
        hvzelta_GetVoltageLevel(worker->shared, "Output9", &level) != HVZELTA_ERROR_UNKNOWN_PHYSICAL_IDENTIFIER;
  }
  return NULL;
}

static void* UseOwnSessions(void* argument) {
  Worker* worker = (Worker*)argument;
  ViStatus code = 0;
  char text[8];
  int round;
  for (round = 0; round < kRounds / 10; ++round) {
    ViSession vi = VI_NULL;
    ViReal64 level = 0;
    worker->failures += hvzelta_InitWithOptions("TCPIP::127.0.0.1::5025::SOCKET", VI_FALSE, VI_FALSE, "Simulate=true",
                                                &vi) != VI_SUCCESS;
    worker->failures += hvzelta_SetVoltageLevel(vi, "Output1", 10.0 * worker->index) != VI_SUCCESS;
    worker->failures += hvzelta_GetVoltageLevel(vi, "Output1", &level) != VI_SUCCESS;
    worker->failures += level != 10.0 * worker->index;
    worker->failures += hvzelta_close(vi) != VI_SUCCESS;
    /* A failed open stores its text for this thread only. */
    worker->failures +=
        hvzelta_init("TCPIP::127.0.0.1::5025::SOCKET", VI_FALSE, VI_FALSE, NULL) != HVZELTA_ERROR_NULL_POINTER;
    worker->failures += hvzelta_GetError(VI_NULL, &code, (ViInt32)sizeof text, text) != VI_SUCCESS || code != 0;
  }
  return NULL;
}

static void RunWorkers(void* (*body)(void*), ViSession shared) {
  pthread_t threads[kThreads];
  Worker workers[kThreads];
  int i;
  for (i = 0; i < kThreads; ++i) {
    workers[i].shared = shared;
    workers[i].index = i + 1;
    workers[i].failures = 0;
    CHECK(pthread_create(&threads[i], NULL, body, &workers[i]) == 0);
  }
  for (i = 0; i < kThreads; ++i) {
    CHECK(pthread_join(threads[i], NULL) == 0);
    CHECK(workers[i].failures == 0);
  }
}

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

/* A thread that used a session finds it closed once another thread closed it. */
typedef struct {
  ViSession vi;
  pthread_barrier_t closed;
  ViStatus before;
  ViStatus after;
} CloseProbe;

static void* CallAroundClose(void* argument) {
  CloseProbe* probe = (CloseProbe*)argument;
  ViReal64 level = 0;
  probe->before = hvzelta_GetVoltageLevel(probe->vi, "Output1", &level);
  pthread_barrier_wait(&probe->closed);
  pthread_barrier_wait(&probe->closed);
  probe->after = hvzelta_GetVoltageLevel(probe->vi, "Output1", &level);
  return NULL;
}

static void CloseReachesEveryThread(void) {
  CloseProbe probe;
  pthread_t thread;
  probe.vi = OpenSimulated();
  probe.before = probe.after = 1;
  pthread_barrier_init(&probe.closed, NULL, 2);
  CHECK(pthread_create(&thread, NULL, CallAroundClose, &probe) == 0);
  pthread_barrier_wait(&probe.closed);
  CHECK_STATUS(VI_SUCCESS, hvzelta_close(probe.vi));
  pthread_barrier_wait(&probe.closed);
  CHECK(pthread_join(thread, NULL) == 0);
  CHECK_STATUS(VI_SUCCESS, probe.before);
  CHECK_STATUS(HVZELTA_ERROR_INVALID_SESSION_HANDLE, probe.after);
  pthread_barrier_destroy(&probe.closed);
}

void TestThreads(void) {
  ViSession vi = OpenSimulated();
  RunWorkers(UseSharedSession, vi);
  RunWorkers(UseOwnSessions, VI_NULL);
  LockHoldsOthersBack(vi);
  CHECK_STATUS(VI_SUCCESS, hvzelta_close(vi));
  CloseReachesEveryThread();
}
