/* Channel names as selectors on a simulated session: the status and text of
 * each kind of error (the grammar's every case is the selector's own test),
 * and names used again after many others. */
#include "c_test_support.h"

static const char kBadlyFormed[] = "The repeated capability selector is badly-formed.";
static const char kUnknown[] = "HalvornZelta: Unknown physical repeated capability selector.";

static void MalformedSelectors(void) {
  ViSession vi = OpenSimulated();
  ViReal64 level = 0;
  CHECK_ERROR(HVZELTA_ERROR_BADLY_FORMED_SELECTOR, kBadlyFormed, vi, hvzelta_SetVoltageLevel(vi, "Output1,Output1", 1));
  CHECK_ERROR(HVZELTA_ERROR_INVALID_NUMBER_OF_LEVELS_IN_SELECTOR,
              "Invalid or inconsistent number of levels specified in repeated capability selector.", vi,
              hvzelta_SetVoltageLevel(vi, "Output1:A,Output1", 1));
  CHECK_ERROR(HVZELTA_ERROR_INVALID_RANGE_IN_SELECTOR, "Invalid range specified in repeated capability selector.",
              vi, hvzelta_SetVoltageLevel(vi, "A3-A1", 1));
  /* A selector is checked before the session: a bad one on a dead session
     reports the session. */
  CHECK_STATUS(HVZELTA_ERROR_INVALID_SESSION_HANDLE, hvzelta_SetVoltageLevel(4242, "[", 1));
  /* Every name is resolved before any object changes. */
  CHECK_STATUS(VI_SUCCESS, hvzelta_SetVoltageLevel(vi, "Output1", 10.0));
  CHECK_STATUS(HVZELTA_ERROR_UNKNOWN_PHYSICAL_IDENTIFIER, hvzelta_SetVoltageLevel(vi, "Output1,Output2", 20.0));
  CHECK_STATUS(HVZELTA_ERROR_UNKNOWN_PHYSICAL_IDENTIFIER, hvzelta_GetVoltageLevel(vi, "Output1,Output2", &level));
  CHECK_STATUS(VI_SUCCESS, hvzelta_GetVoltageLevel(vi, "Output1", &level));
  CHECK(level == 10.0);
  CHECK_STATUS(VI_SUCCESS, hvzelta_close(vi));
}

/* A name used before answers as it did the first time, however many other
 * names came in between; a failing one fails the same way every time. */
static void RepeatedNames(void) {
  ViSession vi = OpenSimulated();
  ViReal64 level = 0;
  static const char* const kNames[] = {NULL, "", "Output1", "  output1\t", "OUTPUT1", "Output1,output1"};
  char name[40];
  int i;
  for (i = 0; i < 2 * (int)(sizeof kNames / sizeof kNames[0]); ++i) {
    const char* selected = kNames[i % (sizeof kNames / sizeof kNames[0])];
    CHECK_STATUS(VI_SUCCESS, hvzelta_SetVoltageLevel(vi, selected, 11.0 + i));
    CHECK_STATUS(VI_SUCCESS, hvzelta_GetVoltageLevel(vi, selected, &level));
    CHECK(level == 11.0 + i);
    CHECK_ERROR(HVZELTA_ERROR_UNKNOWN_PHYSICAL_IDENTIFIER, kUnknown, vi,
                hvzelta_GetVoltageLevel(vi, "Output2", &level));
    /* A range selects each of its names where writing, and is no name for a reader. */
    CHECK_STATUS(VI_SUCCESS, hvzelta_ConfigureVoltageLevel(vi, "OutputPhase1-OutputPhase1", 20.0 + i));
    CHECK_STATUS(VI_SUCCESS, hvzelta_GetAttributeViReal64(vi, "[OutputPhase1]", HVZELTA_ATTR_VOLTAGE_LEVEL, &level));
    CHECK(level == 20.0 + i);
    CHECK_ERROR(HVZELTA_ERROR_BADLY_FORMED_SELECTOR, kBadlyFormed, vi,
                hvzelta_GetAttributeViReal64(vi, "OutputPhase1-OutputPhase1", HVZELTA_ATTR_VOLTAGE_LEVEL, &level));
    /* An output's name is no phase's, and the other way round. */
    CHECK_STATUS(HVZELTA_ERROR_UNKNOWN_PHYSICAL_IDENTIFIER, hvzelta_ConfigureVoltageLevel(vi, "Output1", 1.0));
    CHECK_STATUS(HVZELTA_ERROR_UNKNOWN_PHYSICAL_IDENTIFIER, hvzelta_SetVoltageLevel(vi, "OutputPhase1", 1.0));
  }
  /* Many spellings of the one output, and a long one, all still select it. */
  for (i = 0; i < 40; ++i) {
    snprintf(name, sizeof name, "%*sOutput1", i % 30, "");
    CHECK_STATUS(VI_SUCCESS, hvzelta_SetVoltageLevel(vi, name, 30.0 + i));
    CHECK_STATUS(VI_SUCCESS, hvzelta_GetVoltageLevel(vi, "Output1", &level));
    CHECK(level == 30.0 + i);
  }
  CHECK_STATUS(VI_SUCCESS, hvzelta_close(vi));
  CHECK_STATUS(HVZELTA_ERROR_INVALID_SESSION_HANDLE, hvzelta_GetVoltageLevel(vi, "Output1", &level));
}

void TestSelectors(void) {
  MalformedSelectors();
  RepeatedNames();
}
