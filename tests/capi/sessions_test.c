/* Opening and closing sessions, stored errors, messages, the session lock, the inherent functions on a simulated
 * session, and a session opened from a configuration store. */
#define _POSIX_C_SOURCE 200809L
#include <pthread.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include "c_test_support.h"
#include "hvzelta_version.h"

static void OpeningAndClosing(void) {
  ViSession vi = 0, again = 0;
  ViStatus code = 0;

  /* No place for the handle: nothing is created and nothing stored. */
  CHECK_STATUS(HVZELTA_ERROR_NULL_POINTER, hvzelta_init("TCPIP::127.0.0.1::5025::SOCKET", VI_FALSE, VI_FALSE, NULL));
  CHECK_TEXT("", TakeError(VI_NULL, &code));

  /* A failed Initialize leaves the handle at 0 and its text for this thread. */
  vi = 77;
  CHECK_STATUS(HVZELTA_ERROR_BAD_OPTION_VALUE,
               hvzelta_InitWithOptions("TCPIP::127.0.0.1::5025::SOCKET", VI_FALSE, VI_FALSE, "Simulate=maybe", &vi));
  CHECK(vi == VI_NULL);
  CHECK(strstr(TakeError(VI_NULL, &code), "'maybe'") != NULL);
  CHECK_STATUS(HVZELTA_ERROR_BAD_OPTION_VALUE, code);

  vi = OpenSimulated();
  CHECK_STATUS(VI_SUCCESS, hvzelta_close(vi));
  /* Gone for good, and never handed out again. */
  CHECK_STATUS(HVZELTA_ERROR_INVALID_SESSION_HANDLE, hvzelta_close(vi));
  CHECK_STATUS(HVZELTA_ERROR_INVALID_SESSION_HANDLE, hvzelta_close(VI_NULL));
  again = OpenSimulated();
  CHECK(again != vi);
  CHECK_STATUS(VI_SUCCESS, hvzelta_close(again));
}

static void StoredErrors(void) {
  ViSession vi = OpenSimulated();
  ViStatus code = 0;
  char text[64];
  ViInt32 needed = 0;
  ViReal64 level = 0;

  CHECK_STATUS(HVZELTA_ERROR_NOT_INITIALIZED, hvzelta_GetTriggerSource(vi, "", (ViInt32*)&needed));
  /* Asking for the size leaves the error in place; reading it whole clears it. */
  needed = hvzelta_GetError(vi, &code, 0, NULL);
  CHECK_STATUS(HVZELTA_ERROR_NOT_INITIALIZED, code);
  CHECK(needed == (ViInt32)strlen("HalvornZelta: A connection to the instrument has not been established.") + 1);
  CHECK_STATUS(needed, hvzelta_GetError(vi, &code, 8, text));
  CHECK_TEXT("HalvornZelta: A connection to the instrument has not been established.", TakeError(vi, &code));
  CHECK_STATUS(HVZELTA_ERROR_NOT_INITIALIZED, code);
  CHECK_TEXT("", TakeError(vi, &code));
  CHECK_STATUS(VI_SUCCESS, code);

  /* Success does not replace an earlier description; ClearError does. */
  CHECK_STATUS(HVZELTA_ERROR_NULL_POINTER, hvzelta_GetVoltageLevel(vi, "", NULL));
  CHECK_STATUS(VI_SUCCESS, hvzelta_GetVoltageLevel(vi, "", &level));
  CHECK_STATUS(VI_SUCCESS, hvzelta_GetError(vi, &code, (ViInt32)sizeof text, text));
  CHECK_STATUS(HVZELTA_ERROR_NULL_POINTER, code);
  CHECK_STATUS(HVZELTA_ERROR_NULL_POINTER, hvzelta_GetVoltageLevel(vi, "", NULL));
  CHECK_STATUS(VI_SUCCESS, hvzelta_ClearError(vi));
  CHECK_TEXT("", TakeError(vi, &code));
  CHECK_STATUS(HVZELTA_ERROR_NULL_POINTER, hvzelta_GetError(vi, NULL, 0, NULL));
  CHECK_STATUS(VI_SUCCESS, hvzelta_close(vi));
  CHECK_STATUS(HVZELTA_ERROR_INVALID_SESSION_HANDLE, hvzelta_GetError(vi, &code, (ViInt32)sizeof text, text));
  CHECK_STATUS(HVZELTA_ERROR_INVALID_SESSION_HANDLE, hvzelta_ClearError(vi));
}

/* Any session, none at all too; codes of no one's have the empty text. The
 * copy-out rule (its own test has every size) reaches the getters, with any
 * handle for the driver's identity. */
static void Messages(void) {
  char text[256];
  CHECK_STATUS(VI_SUCCESS, hvzelta_error_message(12345, HVZELTA_ERROR_BADLY_FORMED_SELECTOR, text));
  CHECK_TEXT("The repeated capability selector is badly-formed.", text);
  CHECK_STATUS(VI_SUCCESS, hvzelta_error_message(VI_NULL, 0x12345, text));
  CHECK_TEXT("", text);
  CHECK_STATUS(1, hvzelta_error_message(VI_NULL, 0x12345, NULL));
  CHECK_STATUS(strlen("Invalid session handle.") + 1,
               hvzelta_error_message(VI_NULL, HVZELTA_ERROR_INVALID_SESSION_HANDLE, NULL));
  CHECK_STATUS(8, hvzelta_GetAttributeViString(99, "", HVZELTA_ATTR_SPECIFIC_DRIVER_PREFIX, 7, text));
  CHECK_TEXT("hvzelt", text);
}

/* Another thread's call on a locked session, and whether it returned after `unlocked` was set. */
typedef struct {
  ViSession vi;
  pthread_mutex_t mutex;
  int unlocked;
  int returnedAfterUnlock;
} LockProbe;

static void* GetLevelElsewhere(void* argument) {
  LockProbe* probe = (LockProbe*)argument;
  ViReal64 level = 0;
  hvzelta_GetVoltageLevel(probe->vi, "Output1", &level);
  pthread_mutex_lock(&probe->mutex);
  probe->returnedAfterUnlock = probe->unlocked;
  pthread_mutex_unlock(&probe->mutex);
  return NULL;
}

static void Locking(void) {
  ViSession vi = OpenSimulated();
  ViBoolean hasLock = VI_FALSE;
  ViReal64 level = 0;
  LockProbe probe = {vi, PTHREAD_MUTEX_INITIALIZER, 0, 0};
  const struct timespec pause = {0, 50000000L};
  pthread_t thread;

  CHECK_STATUS(VI_SUCCESS, hvzelta_LockSession(vi, &hasLock));
  CHECK(hasLock == VI_TRUE);
  /* Taken already: the flag says so and nothing more is taken. */
  CHECK_STATUS(VI_SUCCESS, hvzelta_LockSession(vi, &hasLock));
  /* The holder may still call in, and take the lock again without the flag. */
  CHECK_STATUS(VI_SUCCESS, hvzelta_GetVoltageLevel(vi, "Output1", &level));
  CHECK_STATUS(VI_SUCCESS, hvzelta_LockSession(vi, NULL));
  CHECK_STATUS(VI_SUCCESS, hvzelta_UnlockSession(vi, NULL));
  CHECK_STATUS(VI_SUCCESS, hvzelta_UnlockSession(vi, &hasLock));
  CHECK(hasLock == VI_FALSE);
  CHECK_STATUS(VI_SUCCESS, hvzelta_UnlockSession(vi, &hasLock));
  /* Another thread's call waits until the holder lets go. */
  CHECK_STATUS(VI_SUCCESS, hvzelta_LockSession(vi, NULL));
  CHECK(pthread_create(&thread, NULL, GetLevelElsewhere, &probe) == 0);
  nanosleep(&pause, NULL);
  pthread_mutex_lock(&probe.mutex);
  probe.unlocked = 1;
  pthread_mutex_unlock(&probe.mutex);
  CHECK_STATUS(VI_SUCCESS, hvzelta_UnlockSession(vi, NULL));
  CHECK(pthread_join(thread, NULL) == 0);
  CHECK(probe.returnedAfterUnlock);
  CHECK_STATUS(HVZELTA_ERROR_INVALID_SESSION_HANDLE, hvzelta_LockSession(VI_NULL, NULL));
  CHECK_STATUS(VI_SUCCESS, hvzelta_close(vi));
  CHECK_STATUS(HVZELTA_ERROR_INVALID_SESSION_HANDLE, hvzelta_UnlockSession(vi, NULL));
}

static void InherentFunctions(void) {
  ViSession vi = OpenSimulated();
  ViInt16 result = -1;
  ViInt32 code = -1;
  char message[256], other[256];

  CHECK_STATUS(VI_SUCCESS, hvzelta_self_test(vi, &result, message));
  CHECK(result == 0);
  CHECK_TEXT("Selftest passed", message);
  CHECK_STATUS(VI_SUCCESS, hvzelta_error_query(vi, &code, message));
  CHECK(code == 0);
  CHECK_STATUS(VI_SUCCESS, hvzelta_revision_query(vi, message, other));
  CHECK_TEXT(HVZELTA_REVISION, message);
  CHECK_TEXT("Sim" HVZELTA_REVISION, other);

  CHECK_STATUS(HVZELTA_ERROR_FUNCTION_NOT_SUPPORTED, hvzelta_ClearInterchangeWarnings(vi));
  CHECK_STATUS(HVZELTA_ERROR_FUNCTION_NOT_SUPPORTED, hvzelta_ResetInterchangeCheck(vi));
  CHECK_STATUS(HVZELTA_ERROR_FUNCTION_NOT_SUPPORTED, hvzelta_GetNextInterchangeWarning(vi, 256, message));
  /* An empty queue reads as the empty text. */
  CHECK_STATUS(VI_SUCCESS, hvzelta_GetNextCoercionRecord(vi, 5, message));
  CHECK_TEXT("", message);
  CHECK_STATUS(VI_SUCCESS, hvzelta_close(vi));
}

static const char kStore[] =
    "<?xml version='1.0'?>\n<IviConfigStore><SoftwareModules><IviSoftwareModule id='module1'>"
    "<Name>HalvornZelta</Name><PhysicalNames>"
    "<IviPhysicalName><Name>OutputPhase1</Name><RCName>HalvornZeltaOutputPhase</RCName></IviPhysicalName>"
    "</PhysicalNames></IviSoftwareModule></SoftwareModules><DriverSessions>"
    "<IviDriverSession id='bench'><Name>bench</Name><DataComponents><IviStructure>"
    "<Name>Configurable Initial Settings</Name><Type>Structure</Type><DataComponents/></IviStructure>"
    "</DataComponents><SoftwareModule idref='module1'/><VirtualNames>"
    "<IviVirtualName><Name>Main</Name><MapTo>HalvornZeltaOutputPhase!!OutputPhase1</MapTo></IviVirtualName>"
    "</VirtualNames><Cache>true</Cache><InterchangeCheck>false</InterchangeCheck><QueryInstrStatus>false"
    "</QueryInstrStatus><RangeCheck>true</RangeCheck><RecordCoercions>false</RecordCoercions><Simulate>true"
    "</Simulate><DriverSetup></DriverSetup></IviDriverSession></DriverSessions><LogicalNames>"
    "<IviLogicalName><Name>PS1</Name><Session idref='bench'/></IviLogicalName></LogicalNames></IviConfigStore>\n";

/* A logical name of a store, a virtual name of its session and a trace of
 * the calls, as a C program uses them. */
static void FromAStoreWithVirtualNamesAndTrace(void) {
  char folder[] = "/tmp/hvzelta-c-store-XXXXXX";
  char store[64], trace[64], options[128], name[16], text[4096];
  ViSession vi = VI_NULL;
  ViReal64 level = 0;
  FILE* file = NULL;
  size_t read = 0;
  if (!mkdtemp(folder)) {
    CHECK(!"a temporary folder");
    return;
  }
  snprintf(store, sizeof store, "%s/store.xml", folder);
  snprintf(trace, sizeof trace, "%s/calls.xml", folder);
  snprintf(options, sizeof options, "DriverSetup=Trace=true, TraceName=%s", trace);
  file = fopen(store, "w");
  CHECK(file && fputs(kStore, file) >= 0 && fclose(file) == 0);
  CHECK(setenv("IVI_CONFIG_STORE", store, 1) == 0);

  CHECK_STATUS(VI_SUCCESS, hvzelta_InitWithOptions("PS1", VI_FALSE, VI_FALSE, options, &vi));
  CHECK_STATUS(VI_SUCCESS, hvzelta_ConfigureVoltageLevel(vi, "Main", 42.0));
  CHECK_STATUS(VI_SUCCESS, hvzelta_GetAttributeViReal64(vi, "OutputPhase1", HVZELTA_ATTR_VOLTAGE_LEVEL, &level));
  CHECK(level == 42.0);
  CHECK_STATUS(VI_SUCCESS, hvzelta_GetOutputPhaseName(vi, 1, (ViInt32)sizeof name, name));
  CHECK_TEXT("Main", name);
  CHECK_STATUS(VI_SUCCESS, hvzelta_close(vi));

  file = fopen(trace, "r");
  CHECK(file != NULL);
  read = file ? fread(text, 1, sizeof text - 1, file) : 0;
  if (file) fclose(file);
  text[read] = '\0';
  /* The phase was asked for by its virtual name, then set. */
  CHECK(strstr(text, "<Parameter Name=\"Name\" Direction=\"In\" Value=\"Main\"") != NULL);
  CHECK(strstr(text, "<Method Name=\"put_VoltageLevel\"") != NULL);
  unsetenv("IVI_CONFIG_STORE");
  remove(store);
  remove(trace);
  rmdir(folder);
}

void TestSessions(void) {
  OpeningAndClosing();
  StoredErrors();
  Messages();
  Locking();
  InherentFunctions();
  FromAStoreWithVirtualNamesAndTrace();
}
