/* The C interface against the emulated instrument: identification, settings
 * and measurements, raw I/O, the inherent functions and every attribute. */
#define _POSIX_C_SOURCE 200809L
#include <math.h>
#include <pthread.h>
#include <time.h>

#include "c_test_support.h"
#include "hvzelta_version.h"
#include "emulator_fixture.h"

static void Configure(ViSession vi) {
  ViInt32 val = -1;
  ViReal64 min = -1;
  ViReal64 max = -1;
  ViReal64 measured = 0;
  ViBoolean enabled = VI_FALSE;
  CHECK_STATUS(VI_SUCCESS, hvzelta_SetVoltageRange(vi, "Output1", 310.0));
  CHECK_STATUS(VI_SUCCESS, hvzelta_SetAttributeViReal64(vi, "Output1", HVZELTA_ATTR_OUTPUT_VOLTAGE_LEVEL, 230.0));
  CHECK_STATUS(VI_SUCCESS, hvzelta_ConfigureFrequency(vi, 50.0));
  CHECK_STATUS(VI_SUCCESS, hvzelta_SetCouplingMode(vi, "Output1", HVZELTA_VAL_COUPLING_MODE_AC));
  CHECK_STATUS(VI_SUCCESS, hvzelta_ConfigureOutputEnabled(vi, "OutputPhase1", VI_TRUE));
  CHECK_STATUS(VI_SUCCESS, hvzelta_GetEnabled(vi, "Output1", &enabled));
  CHECK(enabled == VI_TRUE);

  CHECK_STATUS(VI_SUCCESS, hvzelta_QueryVoltageLevelMinMax(vi, "Output1", &min, &max, &val));
  CHECK(min == 0.0 && max == 310.0 && val == 0);
  CHECK_STATUS(VI_SUCCESS, hvzelta_Measure(vi, "Output1", HVZELTA_VAL_MEASUREMENT_TYPE_VOLTAGE_AC, &measured, &val));
  CHECK(fabs(measured - 230.0) < 0.5);
  /* 230 V across the emulator's 46 ohm load. */
  CHECK_STATUS(VI_SUCCESS, hvzelta_Fetch(vi, "Output1", HVZELTA_VAL_MEASUREMENT_TYPE_CURRENT_AC, &measured, &val));
  CHECK(fabs(measured - 5.0) < 0.05);
}

static void RawIo(ViSession vi) {
  ViByte reply[16];
  ViInt64 count = -1;
  /* A negative size writes nothing. */
  CHECK_STATUS(VI_SUCCESS, hvzelta_viWrite(vi, -6, (ViConstBuf) "*IDN?\n", &count));
  CHECK(count == 0);
  CHECK_STATUS(VI_SUCCESS, hvzelta_viWrite(vi, 6, (ViConstBuf) "*IDN?\n", &count));
  CHECK(count == 6);
  /* Only what fits is handed out; the rest of the reply is dropped. */
  CHECK_STATUS(VI_SUCCESS, hvzelta_viRead(vi, 4, reply, &count));
  CHECK(count == 4 && memcmp(reply, "Halv", 4) == 0);
  CHECK_STATUS(VI_SUCCESS, hvzelta_viWrite(vi, 6, (ViConstBuf) "*OPC?\n", &count));
  CHECK_STATUS(VI_SUCCESS, hvzelta_viRead(vi, (ViInt64)sizeof reply, reply, &count));
  CHECK(count == 2 && memcmp(reply, "1\n", 2) == 0);
  /* No buffer: the reply is read and dropped, and the call fails. */
  CHECK_STATUS(VI_SUCCESS, hvzelta_viWrite(vi, 6, (ViConstBuf) "*OPC?\n", &count));
  CHECK_STATUS(_VI_ERROR, hvzelta_viRead(vi, 4, NULL, &count));
  CHECK(count == 0);
  /* A failing raw read returns the VISA library's own status (here its
     timeout); a typed call reports the driver's I/O timeout error. */
  CHECK_STATUS(VI_SUCCESS, hvzelta_SetAttributeViInt32(vi, "", HVZELTA_ATTR_IO_TIMEOUT, 100));
  CHECK_STATUS((ViStatus)0xBFFF0015, hvzelta_viRead(vi, 4, reply, &count));
  CHECK_STATUS(VI_SUCCESS, hvzelta_SetAttributeViInt32(vi, "", HVZELTA_ATTR_IO_TIMEOUT, 2000));
}

/* A read that waits out its timeout, then notes whether the other thread
 * had done its calls meanwhile. */
typedef struct {
  ViSession vi;
  pthread_mutex_t mutex;
  int othersDone;
  int othersDoneFirst;
} WaitingRead;

static void* ReadUntilTimeout(void* argument) {
  WaitingRead* read = (WaitingRead*)argument;
  ViByte reply[4];
  ViInt64 count = 0;
  hvzelta_viRead(read->vi, 4, reply, &count);
  pthread_mutex_lock(&read->mutex);
  read->othersDoneFirst = read->othersDone;
  pthread_mutex_unlock(&read->mutex);
  return NULL;
}

/* The session lock is taken for the lookup only: while one thread's call
 * waits on the instrument, another thread finds the session at once. */
static void TheSessionIsFoundWhileACallWaits(ViSession vi) {
  WaitingRead read;
  pthread_t thread;
  const struct timespec pause = {0, 100 * 1000 * 1000};
  ViStatus code = 0;
  read.vi = vi;
  read.othersDone = 0;
  read.othersDoneFirst = 0;
  pthread_mutex_init(&read.mutex, NULL);
  CHECK_STATUS(VI_SUCCESS, hvzelta_SetAttributeViInt32(vi, "", HVZELTA_ATTR_IO_TIMEOUT, 1500));
  CHECK(pthread_create(&thread, NULL, ReadUntilTimeout, &read) == 0);
  nanosleep(&pause, NULL);
  CHECK_STATUS(VI_SUCCESS, hvzelta_ClearError(vi));
  CHECK_TEXT("", TakeError(vi, &code));
  pthread_mutex_lock(&read.mutex);
  read.othersDone = 1;
  pthread_mutex_unlock(&read.mutex);
  CHECK(pthread_join(thread, NULL) == 0);
  CHECK(read.othersDoneFirst);
  pthread_mutex_destroy(&read.mutex);
  CHECK_STATUS(VI_SUCCESS, hvzelta_SetAttributeViInt32(vi, "", HVZELTA_ATTR_IO_TIMEOUT, 2000));
}

static void InherentFunctions(ViSession vi) {
  char message[256];
  char other[256];
  ViInt16 result = -1;
  ViInt32 code = -1;
  CHECK_STATUS(VI_SUCCESS, hvzelta_self_test(vi, &result, message));
  CHECK(result == 0);
  CHECK_STATUS(VI_SUCCESS, hvzelta_error_query(vi, &code, message));
  CHECK(code == 0);
  CHECK_TEXT("No error", message);
  CHECK_STATUS(VI_SUCCESS, hvzelta_revision_query(vi, message, other));
  CHECK_TEXT(HVZELTA_REVISION, message);
  CHECK(other[0] != '\0');
  CHECK_STATUS(VI_SUCCESS,
               hvzelta_GetAttributeViString(vi, "", HVZELTA_ATTR_INSTRUMENT_MODEL, (ViInt32)sizeof message, message));
  CHECK_TEXT("ZTA300", message);
  CHECK_STATUS(VI_SUCCESS, hvzelta_reset(vi));
}

/* Every attribute answers from the instrument, or says that the class
 * feature is not there. */
static void EveryAttribute(ViSession vi) {
  size_t i;
  for (i = 0; i < kAttributeCount; ++i) {
    const struct Attribute* a = &kAttributes[i];
    const char* channel = ChannelFor(a->channel);
    ViInt32 integer;
    ViReal64 real;
    ViBoolean flag;
    char text[256];
    ViStatus status = VI_SUCCESS;
    switch (a->type) {
      case INT32:
        status = hvzelta_GetAttributeViInt32(vi, channel, a->id, &integer);
        break;
      case REAL64:
        status = hvzelta_GetAttributeViReal64(vi, channel, a->id, &real);
        break;
      case BOOLEAN:
        status = hvzelta_GetAttributeViBoolean(vi, channel, a->id, &flag);
        break;
      case STRING:
        status = hvzelta_GetAttributeViString(vi, channel, a->id, (ViInt32)sizeof text, text);
        break;
    }
    if (status != VI_SUCCESS &&
        !(a->id >= HVZELTA_ATTR_ARB_NUM_WAVEFORMS_MAX && status == HVZELTA_ERROR_ATTRIBUTE_NOT_SUPPORTED)) {
      fprintf(stderr, "attribute %u: 0x%08X\n", (unsigned)a->id, (unsigned)status);
      ++g_failures;
    }
  }
}

void TestEmulator(void) {
  char resource[128];
  ViSession vi = VI_NULL;
  if (StartEmulator(resource, sizeof resource) != 0) {
    CHECK(!"the emulator starts");
    return;
  }
  CHECK_STATUS(VI_SUCCESS, hvzelta_init(resource, VI_TRUE, VI_TRUE, &vi));
  Configure(vi);
  RawIo(vi);
  TheSessionIsFoundWhileACallWaits(vi);
  InherentFunctions(vi);
  EveryAttribute(vi);
  CHECK_STATUS(VI_SUCCESS, hvzelta_close(vi));
  StopEmulator();
}
