/* The errors of the attribute dispatch and the values it carries (every
 * attribute is walked by the table's own test). */
#include "c_test_support.h"

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
  CHECK_STATUS(VI_SUCCESS, hvzelta_GetAttributeViString(VI_NULL, "", HVZELTA_ATTR_SUPPORTED_INSTRUMENT_MODELS,
                                                        (ViInt32)sizeof text, text));
  CHECK_TEXT("ZTA100,ZTA200,ZTA300,ZTA400", text);
  CHECK_STATUS(HVZELTA_ERROR_INVALID_SESSION_HANDLE,
               hvzelta_GetAttributeViString(VI_NULL, "", HVZELTA_ATTR_INSTRUMENT_MODEL, (ViInt32)sizeof text, text));
  CHECK_STATUS(VI_SUCCESS,
               hvzelta_GetAttributeViString(vi, "", HVZELTA_ATTR_INSTRUMENT_MODEL, (ViInt32)sizeof text, text));
  CHECK_TEXT("ZTA100", text);
  CHECK_STATUS(VI_SUCCESS, hvzelta_close(vi));
}

void TestAttributes(void) { DispatchErrors(); }
