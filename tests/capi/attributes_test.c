/* Every attribute by identifier, with its type, access and channel, and the
 * errors of the attribute dispatch. */
#include "c_test_support.h"

/* The value read through the attribute's own type, written back unchanged. */
static ViStatus ReadAndWriteBack(ViSession vi, const struct Attribute* a, ViStatus* written) {
  const char* channel = ChannelFor(a->channel);
  ViInt32 integer = 0;
  ViReal64 real = 0;
  ViBoolean flag = 0;
  char text[256];
  ViStatus read = VI_SUCCESS;
  *written = VI_SUCCESS;
  switch (a->type) {
    case INT32:
      read = hvzelta_GetAttributeViInt32(vi, channel, a->id, &integer);
      if (a->writable && read == VI_SUCCESS) *written = hvzelta_SetAttributeViInt32(vi, channel, a->id, integer);
      break;
    case REAL64:
      read = hvzelta_GetAttributeViReal64(vi, channel, a->id, &real);
      if (a->writable && read == VI_SUCCESS) *written = hvzelta_SetAttributeViReal64(vi, channel, a->id, real);
      break;
    case BOOLEAN:
      read = hvzelta_GetAttributeViBoolean(vi, channel, a->id, &flag);
      if (read == VI_SUCCESS) CHECK(flag == VI_TRUE || flag == VI_FALSE);
      if (a->writable && read == VI_SUCCESS) *written = hvzelta_SetAttributeViBoolean(vi, channel, a->id, flag);
      break;
    case STRING:
      read = hvzelta_GetAttributeViString(vi, channel, a->id, (ViInt32)sizeof text, text);
      if (a->writable && read == VI_SUCCESS) *written = hvzelta_SetAttributeViString(vi, channel, a->id, text);
      break;
  }
  return read;
}

/* The dispatch refuses every other type, and writes to read-only attributes. */
static void CheckRefusals(ViSession vi, const struct Attribute* a) {
  const char* channel = ChannelFor(a->channel);
  ViInt32 integer = 0;
  ViReal64 real = 0;
  ViBoolean flag = 0;
  ViSession session = 0;
  char text[8];
  ViStatus code = 0;
  if (a->type != INT32)
    CHECK_STATUS(HVZELTA_ERROR_TYPES_DO_NOT_MATCH, hvzelta_GetAttributeViInt32(vi, channel, a->id, &integer));
  if (a->type != REAL64)
    CHECK_STATUS(HVZELTA_ERROR_TYPES_DO_NOT_MATCH, hvzelta_SetAttributeViReal64(vi, channel, a->id, real));
  if (a->type != BOOLEAN)
    CHECK_STATUS(HVZELTA_ERROR_TYPES_DO_NOT_MATCH, hvzelta_GetAttributeViBoolean(vi, channel, a->id, &flag));
  if (a->type != STRING)
    CHECK_STATUS(HVZELTA_ERROR_TYPES_DO_NOT_MATCH, hvzelta_GetAttributeViString(vi, channel, a->id, 8, text));
  CHECK_STATUS(HVZELTA_ERROR_TYPES_DO_NOT_MATCH, hvzelta_GetAttributeViSession(vi, channel, a->id, &session));
  CHECK_STATUS(HVZELTA_ERROR_TYPES_DO_NOT_MATCH, hvzelta_SetAttributeViSession(vi, channel, a->id, session));
  if (!a->writable) {
    switch (a->type) {
      case INT32:
        CHECK_STATUS(HVZELTA_ERROR_ATTR_NOT_WRITABLE, hvzelta_SetAttributeViInt32(vi, channel, a->id, 1));
        break;
      case REAL64:
        CHECK_STATUS(HVZELTA_ERROR_ATTR_NOT_WRITABLE, hvzelta_SetAttributeViReal64(vi, channel, a->id, 1));
        break;
      case BOOLEAN:
        CHECK_STATUS(HVZELTA_ERROR_ATTR_NOT_WRITABLE, hvzelta_SetAttributeViBoolean(vi, channel, a->id, 1));
        break;
      case STRING:
        CHECK_STATUS(HVZELTA_ERROR_ATTR_NOT_WRITABLE, hvzelta_SetAttributeViString(vi, channel, a->id, ""));
        break;
    }
    CHECK_TEXT("Attribute '%1' is read-only.", TakeError(vi, &code));
  }
}

/* In simulation every attribute answers, except the I/O timeout (direct I/O,
 * refused while simulating) and the one that always talks to the instrument. */
static void EveryAttributeSimulated(void) {
  ViSession vi = OpenSimulated();
  size_t i;
  for (i = 0; i < kAttributeCount; ++i) {
    const struct Attribute* a = &kAttributes[i];
    const ViStatus expected = a->id == HVZELTA_ATTR_IO_TIMEOUT                ? HVZELTA_ERROR_IO_GENERAL
                              : a->id == HVZELTA_ATTR_OUTPUT_TRIGGER_SOURCE ? HVZELTA_ERROR_NOT_INITIALIZED
                                                                            : VI_SUCCESS;
    ViStatus written = VI_SUCCESS;
    const ViStatus read = ReadAndWriteBack(vi, a, &written);
    if (read != expected) {
      fprintf(stderr, "attribute %u: read gave 0x%08X\n", (unsigned)a->id, (unsigned)read);
      ++g_failures;
    }
    if (written != VI_SUCCESS) {
      fprintf(stderr, "attribute %u: write gave 0x%08X\n", (unsigned)a->id, (unsigned)written);
      ++g_failures;
    }
    CheckRefusals(vi, a);
  }
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

void TestAttributes(void) {
  CHECK(kAttributeCount == 78);
  EveryAttributeSimulated();
  DispatchErrors();
}
