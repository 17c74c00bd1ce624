#pragma once

// The I/O log's process-wide handler, apart from the VISA types so that the
// C interface (which has its own) can install it.

namespace hvzelta::visa {

// Called with each line of the I/O log (without the time) from the thread
// doing the I/O, one call at a time. Null removes it; once the call returns
// the previous handler is called no more.
using IoLogHandler = void (*)(const char* line, void* context);
void SetIoLogHandler(IoLogHandler handler, void* context);

}  // namespace hvzelta::visa
