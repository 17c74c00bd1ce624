#pragma once

// The I/O log: one line for every message written to or read from an
// instrument (and for opening, closing, status byte, device clear and
// trigger), with the time, the session, the direction, the byte count and
// the bytes as readable text. It is a VISA library wrapped around the one a
// session uses, so a session without a log runs exactly as before.
//
// Lines go to the destination that DriverSetup's IoLog names, else the one
// HVZELTA_IO_LOG names ("stderr", "stdout" or a file, appended to), and to
// the process-wide handler when one is installed (how language bindings pass
// lines on to their own logging). Writing a line never fails the operation
// it records: a full disk loses the line, not the exchange.

#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "visa/io_log_handler.h"
#include "visa/unique_fd.h"
#include "visa/visa_library.h"

namespace hvzelta::visa {

// The bytes as a log shows them: a quoted text with \\, \", \n, \r, \t and
// \xNN for other bytes outside printable ASCII; a definite-length block
// ("#<digits><length><data>") as <block of N bytes>; past the first 200
// characters the rest is left out and counted.
std::string DescribeBytes(std::span<const ViByte> bytes);

// Where lines are written: each gets the time in front and is written
// whole, so lines of concurrent sessions never mix.
class IoLogSink {
 public:
  // "stderr", "stdout" (in any case) or the path of a file to append to.
  // Null, with `error` saying why and what is accepted, for an empty
  // destination or a file that cannot be opened.
  static std::shared_ptr<IoLogSink> Open(std::string_view destination, std::string& error);
  ~IoLogSink() = default;
  IoLogSink(const IoLogSink&) = delete;
  IoLogSink& operator=(const IoLogSink&) = delete;

  void Write(std::string_view message);

 private:
  IoLogSink(int fd, UniqueFd owned) : fd_(fd), owned_(std::move(owned)) {}
  int fd_;
  UniqueFd owned_;  // the file; none for stderr and stdout
};

// Takes each line of one session's log (without the time) on the thread
// doing the I/O: how the method trace puts a call's I/O inside its record.
using IoLogObserver = std::function<void(std::string_view line)>;

// Wraps `library` in the I/O log when `configured` (DriverSetup's IoLog,
// empty when not given) or else HVZELTA_IO_LOG names a destination, when a
// handler is installed, or when `observer` is given; leaves it as it is
// otherwise. False with `error` set when the destination cannot be used.
bool AttachIoLog(std::shared_ptr<IVisaLibrary>& library, std::string_view configured, std::string& error,
                 IoLogObserver observer = {});

}  // namespace hvzelta::visa
