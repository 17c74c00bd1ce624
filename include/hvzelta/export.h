#pragma once

// Marks the functions and classes that libhvzelta.so exports; everything else
// stays hidden so that the library's internals never clash with a test program.
#if defined(HVZELTA_BUILDING_LIBRARY)
#define HVZELTA_API __attribute__((visibility("default")))
#else
#define HVZELTA_API
#endif
