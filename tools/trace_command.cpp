// "hvzelta trace": renders a method trace as an HTML page with the trace
// stylesheet, so that a trace can be read without an XSLT-aware browser.

#include <filesystem>
#include <ostream>
#include <string>

#include "arguments.h"
#include "command.h"
#include "trace_page.h"

namespace hvzelta::cli {
namespace {

constexpr OptionRule kOptions[] = {{"output", true, 'o'}, {"stylesheet", true}};

constexpr std::string_view kUsage =
    "usage: hvzelta trace FILE.xml [-o|--output FILE.html] [--stylesheet FILE.xslt]\n"
    "\n"
    "Renders a method trace (DriverSetup \"Trace=true\") as an HTML page: one row per\n"
    "call, nested calls indented, failures highlighted with their message.\n"
    "\n"
    "  -o, --output FILE  the page to write (default: the trace's name with .html)\n"
    "  --stylesheet FILE  the stylesheet to render with (default: the installed trace.xslt)\n";

int Render(std::span<const std::string_view> words, Streams& streams) {
  Arguments arguments;
  std::string error;
  if (!arguments.Parse(words, kOptions, error) || arguments.Positional().size() != 1) {
    if (error.empty()) error = "give exactly one trace file";
    streams.err << "hvzelta trace: " << error << "\n";
    return kExitUsage;
  }
  const std::filesystem::path trace = arguments.Positional().front();
  const std::string output =
      arguments.Value("output").value_or(std::filesystem::path(trace).replace_extension(".html").string());
  const std::string stylesheet = arguments.Value("stylesheet").value_or(tracepage::FindStylesheet());
  if (stylesheet.empty()) {
    streams.err << "hvzelta trace: no trace.xslt installed; name one with --stylesheet\n";
    return kExitFailure;
  }
  if (const std::string failure = tracepage::Render(trace, stylesheet, output); !failure.empty()) {
    streams.err << "hvzelta trace: " << failure << "\n";
    return kExitFailure;
  }
  streams.out << output << "\n";
  return kExitSuccess;
}

}  // namespace

const Command kTraceCommand{"trace", "render a method trace as an HTML page", kUsage, &Render};

}  // namespace hvzelta::cli
