/* The function families, the attribute dispatch and channel names as
 * selectors on a simulated session: what only the C interface does with them
 * (every null pointer, attribute and selector case has a test of its own). */
#include "c_test_support.h"

typedef ViStatus (*RealGetter)(ViSession, ViConstString, ViReal64*);
typedef ViStatus (*RealSetter)(ViSession, ViConstString, ViReal64);

static const struct {
  const char* name;
  RealGetter get;
  RealSetter set;
} kRealSettings[] = {
    {"CurrentLimit", hvzelta_GetCurrentLimit, hvzelta_SetCurrentLimit},
    {"CurrentOffset", hvzelta_GetCurrentOffset, hvzelta_SetCurrentOffset},
    {"Frequency", hvzelta_GetFrequency, hvzelta_SetFrequency},
    {"SyncPhase", hvzelta_GetSyncPhase, hvzelta_SetSyncPhase},
    {"TriggeredFrequency", hvzelta_GetTriggeredFrequency, hvzelta_SetTriggeredFrequency},
    {"TriggeredVoltageLevel", hvzelta_GetTriggeredVoltageLevel, hvzelta_SetTriggeredVoltageLevel},
    {"TriggeredVoltageOffset", hvzelta_GetTriggeredVoltageOffset, hvzelta_SetTriggeredVoltageOffset},
    {"VoltageLevel", hvzelta_GetVoltageLevel, hvzelta_SetVoltageLevel},
    {"VoltageOffset", hvzelta_GetVoltageOffset, hvzelta_SetVoltageOffset},
    {"VoltageRange", hvzelta_GetVoltageRange, hvzelta_SetVoltageRange},
};

static void CheckNullText(ViSession vi, ViStatus status, const char* parameter) {
  char expected[96];
  ViStatus code = 0;
  snprintf(expected, sizeof expected, "Parameter %s is VI_NULL.", parameter);
  CHECK_STATUS(HVZELTA_ERROR_NULL_POINTER, status);
  CHECK_TEXT(expected, TakeError(vi, &code));
}

static void OutputSettings(void) {
  ViSession vi = OpenSimulated();
  ViReal64 value = 0;
  size_t i;
  for (i = 0; i < sizeof kRealSettings / sizeof kRealSettings[0]; ++i) {
    CHECK_STATUS(VI_SUCCESS, kRealSettings[i].set(vi, "Output1", 1.5 + (double)i));
    CHECK_STATUS(VI_SUCCESS, kRealSettings[i].get(vi, "Output1", &value));
    CHECK(value == 1.5 + (double)i);
    CheckNullText(vi, kRealSettings[i].get(vi, "Output1", NULL), kRealSettings[i].name);
  }
  /* Settings without a simulated value always talk to the instrument. */
  CHECK_STATUS(HVZELTA_ERROR_NOT_INITIALIZED, hvzelta_SetCouplingMode(vi, "Output1", HVZELTA_VAL_COUPLING_MODE_AC));
  CHECK_STATUS(VI_SUCCESS, hvzelta_SetAverage(vi, "Output1", HVZELTA_VAL_AVERAGE_8));
  {
    ViInt32 average = 0;
    CHECK_STATUS(VI_SUCCESS, hvzelta_GetAverage(vi, "Output1", &average));
    CHECK(average == HVZELTA_VAL_AVERAGE_8);
  }
  CHECK_STATUS(VI_SUCCESS, hvzelta_close(vi));
}

static void Operations(void) {
  ViSession vi = OpenSimulated();
  char name[16];
  ViInt64 count = -1;
  ViByte bytes[4];
  ViReal64 min = 0, max = 0, measured = 0, values[4];
  ViInt32 val = -1, size = -1;
  /* Outputs are checked in parameter order before anything else. */
  CheckNullText(vi, hvzelta_Fetch(vi, "Output1", HVZELTA_VAL_MEASUREMENT_TYPE_VOLTAGE_AC, &measured, NULL), "Val");
  CheckNullText(vi, hvzelta_Fetch(vi, "Output1", HVZELTA_VAL_MEASUREMENT_TYPE_VOLTAGE_AC, NULL, &val),
                "MeasurementVal");
  /* The methods talk to the instrument even in simulation. */
  CHECK_STATUS(HVZELTA_ERROR_NOT_INITIALIZED,
               hvzelta_Measure(vi, "Output1", HVZELTA_VAL_MEASUREMENT_TYPE_VOLTAGE_AC, &measured, &val));
  CHECK_STATUS(HVZELTA_ERROR_BADLY_FORMED_SELECTOR,
               hvzelta_QueryVoltageLevelMinMax(vi, "Output1-Output1", &min, &max, &val));
  CheckNullText(vi, hvzelta_FetchMeasurementArray(vi, "", 0, 4, values, NULL), "MeasurementActualSize");
  /* The class features the instrument lacks say so, also for every phase of a list. */
  CHECK_STATUS(HVZELTA_ERROR_FUNCTION_NOT_SUPPORTED,
               hvzelta_FetchMeasurementArray(vi, "", HVZELTA_VAL_MEASURE_ARRAY_VOLTAGE_CYCLE, 4, values, &size));
  CHECK(size == -1);
  CHECK_STATUS(HVZELTA_ERROR_FUNCTION_NOT_SUPPORTED,
               hvzelta_ConfigureDC(vi, "OutputPhase1-OutputPhase1", HVZELTA_VAL_MODE_AC_ONLY, 0.0));

  /* The instrument's own functions. */
  CHECK_STATUS(VI_SUCCESS, hvzelta_GetOutputName(vi, 1, (ViInt32)sizeof name, name));
  CHECK_TEXT("Output1", name);
  /* Too small: cut short, and the size it needs. */
  CHECK_STATUS(13, hvzelta_GetOutputPhaseName(vi, 1, 6, name));
  CHECK_TEXT("Outpu", name);
  CHECK_STATUS(HVZELTA_ERROR_INVALID_VALUE, hvzelta_GetOutputName(vi, 2, (ViInt32)sizeof name, name));
  CheckNullText(vi, hvzelta_viWrite(vi, 4, bytes, NULL), "ReturnCount");
  /* Raw I/O needs an instrument. */
  CHECK_STATUS(HVZELTA_ERROR_IO_GENERAL, hvzelta_viWrite(vi, 6, (ViConstBuf) "*IDN?\n", &count));
  CHECK(count == -1);
  CHECK_STATUS(HVZELTA_ERROR_NOT_INITIALIZED, hvzelta_Store(vi, 1));
  /* Not supported before any value is touched, however many the caller claims. */
  CHECK_STATUS(HVZELTA_ERROR_FUNCTION_NOT_SUPPORTED,
               hvzelta_WriteArbWaveform(vi, "Ramp", 0x7FFFFFFF, (const ViReal64[]){0.0, 1.0}));
  CHECK_STATUS(VI_SUCCESS, hvzelta_close(vi));
}

static void DispatchErrors(void) {
  ViSession vi = OpenSimulated();
  ViReal64 real = 0;
  ViBoolean flag = 0;
  ViSession session = 0;
  char text[64];

  CHECK_ERROR(HVZELTA_ERROR_INVALID_ATTRIBUTE, "Attribute ID '%1' not recognized.", vi,
              hvzelta_GetAttributeViReal64(vi, "", 1250034, &real));
  CHECK_ERROR(HVZELTA_ERROR_INVALID_ATTRIBUTE, "Attribute ID '%1' not recognized.", vi,
              hvzelta_SetAttributeViSession(vi, "", 0, session));
  CHECK_ERROR(HVZELTA_ERROR_TYPES_DO_NOT_MATCH, "%1Attribute%2 called for attribute '%3' of type '%4'.", vi,
              hvzelta_GetAttributeViSession(vi, "", HVZELTA_ATTR_VOLTAGE_LEVEL, &session));
  CHECK_ERROR(HVZELTA_ERROR_ATTR_NOT_WRITABLE, "Attribute '%1' is read-only.", vi,
              hvzelta_SetAttributeViInt32(vi, "", HVZELTA_ATTR_NUM_PHASES, 3));
  CHECK_ERROR(HVZELTA_ERROR_NULL_POINTER, "Parameter AttributeValue is VI_NULL.", vi,
              hvzelta_GetAttributeViReal64(vi, "Output1", HVZELTA_ATTR_OUTPUT_VOLTAGE_LEVEL, NULL));
  CHECK_ERROR(HVZELTA_ERROR_CANNOT_CHANGE_SIMULATION_STATE, "HalvornZelta: The simulation state cannot be changed.", vi,
              hvzelta_SetAttributeViBoolean(vi, "", HVZELTA_ATTR_SIMULATE, VI_FALSE));

  /* A C boolean is true when not 0, and reads back as 1. */
  CHECK_STATUS(VI_SUCCESS, hvzelta_SetAttributeViBoolean(vi, "Output1", HVZELTA_ATTR_OUTPUT_SYNC_ENABLED, 7));
  CHECK_STATUS(VI_SUCCESS, hvzelta_GetAttributeViBoolean(vi, "Output1", HVZELTA_ATTR_OUTPUT_SYNC_ENABLED, &flag));
  CHECK(flag == VI_TRUE);

  /* A value written through the attribute is the one the family function reads. */
  CHECK_STATUS(VI_SUCCESS, hvzelta_SetAttributeViReal64(vi, "Output1", HVZELTA_ATTR_OUTPUT_VOLTAGE_LEVEL, 123.25));
  CHECK_STATUS(VI_SUCCESS, hvzelta_GetVoltageLevel(vi, "Output1", &real));
  CHECK(real == 123.25);
  CHECK_STATUS(VI_SUCCESS, hvzelta_SetAttributeViString(vi, "OutputPhase1", HVZELTA_ATTR_WAVEFORM, NULL));

  /* The identity of the driver needs no session; the instrument's does. */
  CHECK_STATUS(VI_SUCCESS, hvzelta_GetAttributeViString(VI_NULL, "", HVZELTA_ATTR_SPECIFIC_DRIVER_DESCRIPTION,
                                                        (ViInt32)sizeof text, text));
  CHECK_TEXT("IVI Driver for HalvornZelta", text);
  CHECK_STATUS(HVZELTA_ERROR_INVALID_SESSION_HANDLE,
               hvzelta_GetAttributeViString(VI_NULL, "", HVZELTA_ATTR_INSTRUMENT_MODEL, (ViInt32)sizeof text, text));
  CHECK_STATUS(VI_SUCCESS,
               hvzelta_GetAttributeViString(vi, "", HVZELTA_ATTR_INSTRUMENT_MODEL, (ViInt32)sizeof text, text));
  CHECK_TEXT("ZTA100", text);
  CHECK_STATUS(VI_SUCCESS, hvzelta_close(vi));
}

/* Selectors: the status and text of each kind of error, and names used again after many others. */
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
  CHECK_STATUS(HVZELTA_ERROR_INVALID_SESSION_HANDLE, hvzelta_SetVoltageLevel(vi, "Output1", 1.0));
  CHECK_STATUS(HVZELTA_ERROR_INVALID_SESSION_HANDLE, hvzelta_GetVoltageLevel(vi, "Output1", &level));
}

void TestFunctions(void) {
  MalformedSelectors();
  RepeatedNames();
  DispatchErrors();
  OutputSettings();
  Operations();
}
