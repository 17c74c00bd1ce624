/* Channel names as selectors on a simulated session: lists, ranges and
 * brackets, and the status and text of each kind of error (the grammar's
 * every case is the selector's own test). */
#include "c_test_support.h"

static const char kBadlyFormed[] = "The repeated capability selector is badly-formed.";
static const char kBadRange[] = "Invalid range specified in repeated capability selector.";
static const char kBadLevels[] = "Invalid or inconsistent number of levels specified in repeated capability selector.";

static void NamesThatSelect(void) {
  ViSession vi = OpenSimulated();
  ViReal64 level = 0;
  static const char* const kNames[] = {NULL, "", "Output1", "  output1\t", "OUTPUT1", "Output1,output1"};
  size_t i;
  for (i = 0; i < sizeof kNames / sizeof kNames[0]; ++i) {
    CHECK_STATUS(VI_SUCCESS, hvzelta_SetVoltageLevel(vi, kNames[i], 10.0 + (double)i));
    CHECK_STATUS(VI_SUCCESS, hvzelta_GetVoltageLevel(vi, kNames[i], &level));
    CHECK(level == 10.0 + (double)i);
  }
  /* A range selects each of its names, where writing; the single phase is
     its own range. */
  CHECK_STATUS(VI_SUCCESS, hvzelta_ConfigureVoltageLevel(vi, "OutputPhase1-OutputPhase1", 42.0));
  CHECK_STATUS(VI_SUCCESS, hvzelta_GetAttributeViReal64(vi, "[OutputPhase1]", HVZELTA_ATTR_VOLTAGE_LEVEL, &level));
  CHECK(level == 42.0);
  CHECK_STATUS(VI_SUCCESS, hvzelta_close(vi));
}

static void MalformedSelectors(void) {
  ViSession vi = OpenSimulated();
  ViReal64 level = 0;
  CHECK_ERROR(HVZELTA_ERROR_BADLY_FORMED_SELECTOR, kBadlyFormed, vi, hvzelta_SetVoltageLevel(vi, "Output1,Output1", 1));
  CHECK_ERROR(HVZELTA_ERROR_INVALID_NUMBER_OF_LEVELS_IN_SELECTOR, kBadLevels, vi,
              hvzelta_SetVoltageLevel(vi, "Output1:A,Output1", 1));
  CHECK_ERROR(HVZELTA_ERROR_INVALID_RANGE_IN_SELECTOR, kBadRange, vi, hvzelta_SetVoltageLevel(vi, "A3-A1", 1));
  /* Readers take no ranges: refused before the driver is asked anything. */
  CHECK_ERROR(HVZELTA_ERROR_BADLY_FORMED_SELECTOR, kBadlyFormed, vi,
              hvzelta_GetAttributeViReal64(vi, "OutputPhase1-OutputPhase2", HVZELTA_ATTR_VOLTAGE_LEVEL, &level));
  /* Only names the driver knows resolve; its own text says so. */
  CHECK_ERROR(HVZELTA_ERROR_UNKNOWN_PHYSICAL_IDENTIFIER, "HalvornZelta: Unknown physical repeated capability selector.",
              vi, hvzelta_GetVoltageLevel(vi, "Output2", &level));
  CHECK_STATUS(HVZELTA_ERROR_UNKNOWN_PHYSICAL_IDENTIFIER, hvzelta_GetVoltageLevel(vi, "OutputPhase1", &level));
  /* A selector is checked before the session: a bad one on a dead session
     reports the session. */
  CHECK_STATUS(HVZELTA_ERROR_INVALID_SESSION_HANDLE, hvzelta_SetVoltageLevel(4242, "[", 1));
  CHECK_STATUS(VI_SUCCESS, hvzelta_close(vi));
}

/* Every name is resolved before any object changes. */
static void NothingChangesOnAnUnknownName(void) {
  ViSession vi = OpenSimulated();
  ViReal64 level = 0;
  CHECK_STATUS(VI_SUCCESS, hvzelta_SetVoltageLevel(vi, "Output1", 10.0));
  CHECK_STATUS(HVZELTA_ERROR_UNKNOWN_PHYSICAL_IDENTIFIER, hvzelta_SetVoltageLevel(vi, "Output1,Output2", 20.0));
  CHECK_STATUS(VI_SUCCESS, hvzelta_GetVoltageLevel(vi, "Output1", &level));
  CHECK(level == 10.0);
  CHECK_STATUS(HVZELTA_ERROR_UNKNOWN_PHYSICAL_IDENTIFIER, hvzelta_GetVoltageLevel(vi, "Output1,Output2", &level));
  CHECK_STATUS(VI_SUCCESS, hvzelta_close(vi));
}

/* A name used before answers as it did the first time, however many other
 * names came in between; a failing one fails the same way every time. */
static void RepeatedNames(void) {
  ViSession vi = OpenSimulated();
  ViReal64 level = 0;
  char name[40];
  int i;
  for (i = 0; i < 2; ++i) {
    CHECK_STATUS(VI_SUCCESS, hvzelta_SetVoltageLevel(vi, "Output1", 11.0 + i));
    CHECK_STATUS(VI_SUCCESS, hvzelta_GetVoltageLevel(vi, "Output1", &level));
    CHECK(level == 11.0 + i);
    CHECK_ERROR(HVZELTA_ERROR_UNKNOWN_PHYSICAL_IDENTIFIER,
                "HalvornZelta: Unknown physical repeated capability selector.", vi,
                hvzelta_GetVoltageLevel(vi, "Output2", &level));
    /* A range a writer took is still no name for a reader. */
    CHECK_STATUS(VI_SUCCESS, hvzelta_ConfigureVoltageLevel(vi, "OutputPhase1-OutputPhase1", 20.0 + i));
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
  CHECK_STATUS(HVZELTA_ERROR_INVALID_SESSION_HANDLE, hvzelta_SetVoltageLevel(vi, "Output1", 1.0));
  CHECK_STATUS(HVZELTA_ERROR_INVALID_SESSION_HANDLE, hvzelta_GetVoltageLevel(vi, "Output1", &level));
}

void TestSelectors(void) {
  NamesThatSelect();
  MalformedSelectors();
  NothingChangesOnAnUnknownName();
  RepeatedNames();
}
