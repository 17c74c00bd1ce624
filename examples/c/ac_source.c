/* Sets up an AC power source through the C interface and measures what it
 * delivers: the usual start of a test program.
 *
 *   ac_source [resource]   without a resource: a simulated ZTA200
 *
 * Built against an installed driver:
 *   cc ac_source.c $(pkg-config --cflags --libs hvzelta) -o ac_source
 */
#include <hvzelta.h>
#include <stdio.h>

/* Prints the failure the driver described; true when `status` is an error. */
static int Failed(ViSession vi, ViStatus status, const char* what) {
  ViStatus code = VI_SUCCESS;
  char description[512];
  if (status >= VI_SUCCESS) return 0;
  hvzelta_GetError(vi, &code, (ViInt32)sizeof description, description);
  fprintf(stderr, "%s failed (0x%08X): %s\n", what, (unsigned)status, description);
  return 1;
}

int main(int argc, char** argv) {
  const char* resource = argc > 1 ? argv[1] : "TCPIP::127.0.0.1::5025::SOCKET";
  const char* options = argc > 1 ? "QueryInstrStatus=true" : "Simulate=true, DriverSetup=Model=ZTA200";
  ViSession vi = VI_NULL;
  char text[256];
  ViReal64 level = 0;
  ViInt32 val = 0;
  int failed = 0;

  /* A failed open has no session yet: its description is the thread's. */
  if (Failed(VI_NULL, hvzelta_InitWithOptions(resource, VI_TRUE, VI_TRUE, options, &vi), "Opening the session")) {
    return 1;
  }
  if (!Failed(vi, hvzelta_GetAttributeViString(vi, "", HVZELTA_ATTR_INSTRUMENT_MODEL, (ViInt32)sizeof text, text),
              "Reading the model")) {
    printf("instrument model      %s\n", text);
  }

  /* Settings of the output, by function and by attribute. */
  failed |= Failed(vi, hvzelta_SetVoltageRange(vi, "Output1", 155.0), "Setting the range");
  failed |= Failed(vi, hvzelta_SetVoltageLevel(vi, "Output1", 115.0), "Setting the level");
  failed |= Failed(vi, hvzelta_SetAttributeViReal64(vi, "Output1", HVZELTA_ATTR_OUTPUT_FREQUENCY, 60.0),
                   "Setting the frequency");
  if (!Failed(vi, hvzelta_GetVoltageLevel(vi, "Output1", &level), "Reading the level")) {
    printf("voltage level         %.1f V\n", level);
  }

  /* Measurements need an instrument; a simulated session has none. */
  if (argc > 1) {
    ViReal64 volts = 0;
    failed |= Failed(vi, hvzelta_SetEnabled(vi, "Output1", VI_TRUE), "Enabling the output");
    if (!Failed(vi, hvzelta_Measure(vi, "Output1", HVZELTA_VAL_MEASUREMENT_TYPE_VOLTAGE_AC, &volts, &val),
                "Measuring")) {
      printf("measured              %.2f V\n", volts);
    }
  }

  failed |= Failed(vi, hvzelta_close(vi), "Closing the session");
  return failed ? 1 : 0;
}
