// The demo program: a tour of the driver.
//
//   demo                      the emulator, started in this process
//   demo RESOURCE [OPTIONS]   a real instrument, e.g. TCPIP::192.0.2.7::5025::SOCKET

#include <cstdio>

#include "hvzelta_demo/demo.h"

int main(int argc, char** argv) {
  hvzelta::demo::DemoRequest request;
  if (argc > 1) request.resource = argv[1];
  if (argc > 2) request.options = argv[2];
  return hvzelta::demo::RunDemo(request, stdout);
}
