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

// -o is the driver's option string in every other command, so the page's
// file has -O.
constexpr OptionRule kOptions[] = {{"output", true, 'O'}, {"stylesheet", true}};

constexpr std::string_view kUsage =
    "usage: hvzelta trace FILE.xml [-O|--output FILE.html] [--stylesheet FILE.xslt]\n"
    "\n"
    "Renders a method trace (DriverSetup \"Trace=true\") as an HTML page: one row per\n"
    "call, nested calls indented, failures highlighted with their message; a summary\n"
    "per member, filters by member, thread and failure, and a timeline by thread.\n"
    "A trace cut short by a program that ended without closing the driver is read\n"
    "as far as it goes; the command says where it ends and which calls were in flight.\n"
    "\n"
    "  -O, --output FILE  the page to write (default: the trace's name with .html)\n"
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
  std::string repairs;
  if (const std::string failure = tracepage::Render(trace, stylesheet, output, &repairs); !failure.empty()) {
    streams.err << "hvzelta trace: " << failure << "\n";
    return kExitFailure;
  }
  // Said on the error stream, so that the page's name stays alone on the output.
  for (std::size_t at = 0; at < repairs.size();) {
    const std::size_t end = repairs.find('\n', at);
    streams.err << "hvzelta trace: " << repairs.substr(at, end - at) << "\n";
    at = end == std::string::npos ? repairs.size() : end + 1;
  }
  streams.out << output << "\n";
  return kExitSuccess;
}

}  // namespace

const Command kTraceCommand{"trace", "render a method trace as an HTML page", kUsage, &Render};

}  // namespace hvzelta::cli
