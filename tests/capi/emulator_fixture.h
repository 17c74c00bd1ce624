/* An emulated ZTA300 on a loopback socket for the C tests (started and
 * stopped from C; the emulator itself is C++). */
#ifndef HVZELTA_TESTS_CAPI_EMULATOR_FIXTURE_H
#define HVZELTA_TESTS_CAPI_EMULATOR_FIXTURE_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Starts the emulator and writes its VISA resource string; 0 on success. */
int StartEmulator(char* resource, size_t size);
void StopEmulator(void);

#ifdef __cplusplus
}
#endif

#endif
