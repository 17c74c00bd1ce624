// The driver's guided tour, shared by the demo program and "hvzelta demo".
#pragma once

#include <cstdio>
#include <string>

namespace hvzelta::demo {

struct DemoRequest {
  std::string resource;   // empty: start the emulator in this process and use it
  std::string options;    // option string for Initialize
  std::string tracePath;  // where the trace goes; empty: a file in the working directory
};

// Runs the tour, writing what it does to `out`; returns a process exit status.
int RunDemo(const DemoRequest& request, std::FILE* out);

}  // namespace hvzelta::demo
