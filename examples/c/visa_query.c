/* Asks an instrument who it is and sets a voltage through the VISA library
 * alone, as any VISA program does: no driver, only visa.h.
 *
 *   visa_query RESOURCE      e.g. TCPIP::192.0.2.7::5025::SOCKET
 *
 * Built against an installation:
 *   cc visa_query.c $(pkg-config --cflags --libs hvzvisa) -o visa_query
 */
#include <stdio.h>
#include <string.h>
#include <visa.h>

/* Prints what failed with the library's description; true on an error. */
static int Failed(ViSession vi, ViStatus status, const char* what) {
  char description[256];
  if (status >= VI_SUCCESS) return 0;
  viStatusDesc(vi, status, description);
  fprintf(stderr, "%s failed (0x%08X): %s\n", what, (unsigned)status, description);
  return 1;
}

int main(int argc, char** argv) {
  ViSession rm = VI_NULL;
  ViSession vi = VI_NULL;
  ViChar identity[256] = "";
  ViReal64 volts = 0;
  ViUInt32 count = 0;
  ViByte reply[64];
  int failed = 0;

  if (argc != 2) {
    fprintf(stderr, "usage: visa_query RESOURCE\n");
    return 2;
  }
  if (Failed(VI_NULL, viOpenDefaultRM(&rm), "viOpenDefaultRM")) return 1;
  if (Failed(rm, viOpen(rm, argv[1], VI_NULL, VI_NULL, &vi), "viOpen")) {
    viClose(rm);
    return 1;
  }
  viSetAttribute(vi, VI_ATTR_TMO_VALUE, 2000);
  viSetAttribute(vi, VI_ATTR_TERMCHAR, '\n');
  viSetAttribute(vi, VI_ATTR_TERMCHAR_EN, VI_TRUE);

  failed = Failed(vi, viQueryf(vi, "*IDN?\n", "%255[^\n]", identity), "viQueryf *IDN?") ||
           Failed(vi, viPrintf(vi, "VOLT %.1f\n", 115.5), "viPrintf VOLT") ||
           Failed(vi, viQueryf(vi, "VOLT?\n", "%lf", &volts), "viQueryf VOLT?") ||
           Failed(vi, viWrite(vi, (ViConstBuf) "FREQ?\n", 6, &count), "viWrite FREQ?") ||
           Failed(vi, viRead(vi, reply, sizeof reply - 1, &count), "viRead");
  if (!failed) {
    reply[count] = '\0';
    printf("identity: %s\nvoltage: %.1f V\nfrequency: %s", identity, volts, (const char*)reply);
  }
  viClose(vi);
  viClose(rm);
  return failed;
}
