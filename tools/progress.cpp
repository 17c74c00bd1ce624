#include "progress.h"

#include <unistd.h>

#include <iostream>

namespace hvzelta::cli {

Progress::Progress(std::string_view doing) : shown_(isatty(STDERR_FILENO) == 1) {
  if (shown_) std::cerr << "hvzelta: " << doing << "..." << std::flush;
}

Progress::~Progress() {
  // Back to the start of the line and clear it, so that what follows
  // (a result or an error message) starts on a clean line.
  if (shown_) std::cerr << "\r\033[K" << std::flush;
}

}  // namespace hvzelta::cli
