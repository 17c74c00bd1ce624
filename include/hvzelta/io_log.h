#ifndef HVZELTA_IO_LOG_H
#define HVZELTA_IO_LOG_H

/* The I/O log's lines handed to the program instead of a file: for language
   bindings that pass them on to their own logging. Sessions opened while a
   handler is installed log every message they exchange with the instrument
   ("session 3 write 6 bytes \"VOLT?\\n\""); each line is one call to the
   handler, from the thread that did the I/O, never two calls at once. A null
   handler removes it; once the call returns the previous one is not called
   again, so its context may be freed. */

#include "hvzelta.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef void (*hvzelta_io_log_handler)(const char* line, void* context);

HVZELTA_C_API void hvzelta_set_io_log_handler(hvzelta_io_log_handler handler, void* context);

#ifdef __cplusplus
}
#endif

#endif
