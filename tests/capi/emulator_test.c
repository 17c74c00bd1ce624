/* The C interface against the emulated instrument: settings and
 * measurements, raw I/O, the session lock while a call waits and the
 * inherent functions. */
#include <math.h>

#include "c_test_support.h"
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

static void ReadOnce(ViSession vi) {
  ViByte reply[4];
  ViInt64 count = 0;
  hvzelta_viRead(vi, 4, reply, &count);
}

static void ClearAndTakeError(ViSession vi) {
  ViStatus code = 0;
  CHECK_STATUS(VI_SUCCESS, hvzelta_ClearError(vi));
  CHECK_TEXT("", TakeError(vi, &code));
}

/* The session lock is taken for the lookup only: while one thread's read
 * waits out its timeout, another thread finds the session at once. */
static void TheSessionIsFoundWhileACallWaits(ViSession vi) {
  CHECK_STATUS(VI_SUCCESS, hvzelta_SetAttributeViInt32(vi, "", HVZELTA_ATTR_IO_TIMEOUT, 1500));
  CHECK(ReturnsAfter(vi, ReadOnce, ClearAndTakeError, NULL, 100));
  CHECK_STATUS(VI_SUCCESS, hvzelta_SetAttributeViInt32(vi, "", HVZELTA_ATTR_IO_TIMEOUT, 2000));
}

/* The inherent functions' instrument side (their simulated side is the sessions test's). */
static void InherentFunctions(ViSession vi) {
  char message[256];
  ViInt32 code = -1;
  CHECK_STATUS(VI_SUCCESS, hvzelta_error_query(vi, &code, message));
  CHECK(code == 0);
  CHECK_TEXT("No error", message);
  CHECK_STATUS(VI_SUCCESS,
               hvzelta_GetAttributeViString(vi, "", HVZELTA_ATTR_INSTRUMENT_MODEL, (ViInt32)sizeof message, message));
  CHECK_TEXT("ZTA300", message);
  CHECK_STATUS(VI_SUCCESS, hvzelta_reset(vi));
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
  CHECK_STATUS(VI_SUCCESS, hvzelta_close(vi));
  StopEmulator();
}
