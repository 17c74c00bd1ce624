#pragma once

// A line on standard error that says what a slow step is doing, so that a
// person at a terminal knows the program is not stuck. Nothing is shown when
// standard error is a pipe or a file: scripts and logs get no clutter.

#include <string_view>

namespace hvzelta::cli {

class Progress {
 public:
  explicit Progress(std::string_view doing);
  // Erases the line.
  ~Progress();
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

 private:
  bool shown_ = false;
};

}  // namespace hvzelta::cli
