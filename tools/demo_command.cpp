// "hvzelta demo": the driver's guided tour, on the emulator started
// in-process or on the instrument the command line names.

#include <cstdio>
#include <ostream>

#include "arguments.h"
#include "command.h"
#include "hvzelta_demo/demo.h"
#include "instrument_command.h"

namespace hvzelta::cli {
namespace {

constexpr OptionRule kOptions[] = {
    {"resource", true, 'r'}, {"options", true, 'o'}, {"trace", true}, {"no-status-check", false}};

int Demo(std::span<const std::string_view> words, Streams& streams) {
  Arguments arguments;
  std::string error;
  if (!arguments.Parse(words, kOptions, error) || arguments.Positional().size() > 2 ||
      (arguments.Has("resource") && !arguments.Positional().empty())) {
    if (error.empty()) error = "give at most a resource and an option string, once";
    streams.err << "hvzelta demo: " << error << " (see 'hvzelta help demo')\n";
    return kExitUsage;
  }
  const std::vector<std::string>& positional = arguments.Positional();
  demo::DemoRequest request;
  request.resource = arguments.Value("resource").value_or(positional.empty() ? "" : positional[0]);
  request.options = arguments.Value("options").value_or(positional.size() < 2 ? "" : positional[1]);
  if (arguments.Has("no-status-check")) request.options = SessionOptions(request.options, false);
  request.tracePath = arguments.Value("trace").value_or("");
  streams.out.flush();
  const int status = demo::RunDemo(request, stdout);
  std::fflush(stdout);
  return status == 0 ? kExitSuccess : kExitFailure;
}

}  // namespace

const Command kDemoCommand{"demo", "run the guided tour of the driver",
                           "usage: hvzelta demo [RESOURCE [OPTIONS]] [--trace FILE] [--no-status-check]\n"
                           "       hvzelta -r RESOURCE [-o OPTIONS] demo\n"
                           "\n"
                           "Runs the driver's guided tour: opens a session, shows what the driver and the\n"
                           "instrument say about themselves, configures and switches on the output,\n"
                           "measures, reads the error queue and closes. Without a resource it starts the\n"
                           "built-in emulator in this process and tours that.\n"
                           "  --trace FILE        where the tour's method trace goes\n"
                           "  --no-status-check   QueryInstrStatus=false unless OPTIONS name it (default: true)\n",
                           &Demo, true};

}  // namespace hvzelta::cli
