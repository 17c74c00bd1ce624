#include "hvzelta/io_log.h"

#include "visa/io_log_handler.h"

extern "C" HVZELTA_C_API void hvzelta_set_io_log_handler(hvzelta_io_log_handler handler, void* context) {
  hvzelta::visa::SetIoLogHandler(handler, context);
}
