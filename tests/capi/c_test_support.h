/* A small harness for the C tests: checks that report and count failures,
 * and helpers that open sessions and read back stored errors. */
#ifndef HVZELTA_TESTS_CAPI_C_TEST_SUPPORT_H
#define HVZELTA_TESTS_CAPI_C_TEST_SUPPORT_H

#include <stddef.h>
#include <stdio.h>
#include <string.h>

#include "hvzelta.h"

extern int g_failures;

/* The description stored for vi (cleared by reading it), in a static buffer. */
const char* TakeError(ViSession vi, ViStatus* code);
/* A simulated ZTA100 session; the test fails when it cannot be opened. */
ViSession OpenSimulated(void);

#define CHECK(condition)                                                            \
  do {                                                                              \
    if (!(condition)) {                                                             \
      fprintf(stderr, "%s:%d: CHECK(%s) failed\n", __FILE__, __LINE__, #condition); \
      ++g_failures;                                                                 \
    }                                                                               \
  } while (0)

#define CHECK_STATUS(expected, call)                                                                            \
  do {                                                                                                          \
    const ViStatus actual_ = (call);                                                                            \
    if (actual_ != (ViStatus)(expected)) {                                                                      \
      fprintf(stderr, "%s:%d: %s gave 0x%08X, expected 0x%08X\n", __FILE__, __LINE__, #call, (unsigned)actual_, \
              (unsigned)(ViStatus)(expected));                                                                  \
      ++g_failures;                                                                                             \
    }                                                                                                           \
  } while (0)

#define CHECK_TEXT(expected, actual)                                                                    \
  do {                                                                                                  \
    const char* actualText_ = (actual);                                                                 \
    if (strcmp((expected), actualText_) != 0) {                                                         \
      fprintf(stderr, "%s:%d: \"%s\", expected \"%s\"\n", __FILE__, __LINE__, actualText_, (expected)); \
      ++g_failures;                                                                                     \
    }                                                                                                   \
  } while (0)

/* The status and the stored description of a failing call together. */
#define CHECK_ERROR(expectedStatus, expectedText, vi, call) \
  do {                                                      \
    ViStatus stored_ = 0;                                   \
    CHECK_STATUS(expectedStatus, call);                     \
    CHECK_TEXT(expectedText, TakeError((vi), &stored_));    \
    CHECK_STATUS(expectedStatus, stored_);                  \
  } while (0)

/* The groups of tests, one per source file. */
void TestSessions(void);
void TestFunctions(void);

#endif
