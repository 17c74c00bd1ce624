/* The C interface against the emulated instrument: raw I/O and the session
 * lock while a call waits (the examples measure through it). */
#include "c_test_support.h"
#include "emulator_fixture.h"

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

void TestEmulator(void) {
  char resource[128];
  ViSession vi = VI_NULL;
  if (StartEmulator(resource, sizeof resource) != 0) {
    CHECK(!"the emulator starts");
    return;
  }
  CHECK_STATUS(VI_SUCCESS, hvzelta_init(resource, VI_TRUE, VI_TRUE, &vi));
  RawIo(vi);
  TheSessionIsFoundWhileACallWaits(vi);
  CHECK_STATUS(VI_SUCCESS, hvzelta_close(vi));
  StopEmulator();
}
