// "hvzelta trace": renders a method trace as an HTML page with the trace
// stylesheet, so that a trace can be read without an XSLT-aware browser.

#include <libxml/parser.h>
#include <libxslt/security.h>
#include <libxslt/transform.h>
#include <libxslt/xsltutils.h>

#include <filesystem>
#include <memory>
#include <ostream>
#include <string>

#include "arguments.h"
#include "command.h"
#include "platform/ivi_directories.h"

#ifndef HVZELTA_DATA_DIR
#define HVZELTA_DATA_DIR "/usr/local/share/hvzelta"
#endif

namespace hvzelta::cli {
namespace {

constexpr OptionRule kOptions[] = {{"output", true}, {"stylesheet", true}};

constexpr std::string_view kUsage =
    "usage: hvzelta trace FILE.xml [--output FILE.html] [--stylesheet FILE.xslt]\n"
    "\n"
    "Renders a method trace (DriverSetup \"Trace=true\") as an HTML page: one row per\n"
    "call, nested calls indented, failures highlighted with their message.\n"
    "\n"
    "  --output FILE      the page to write (default: the trace's name with .html)\n"
    "  --stylesheet FILE  the stylesheet to render with (default: the installed trace.xslt)\n";

// The installed stylesheet: in the IVI component folder, else where the
// library installs its data.
std::string DefaultStylesheet() {
  for (const std::filesystem::path& folder :
       {std::filesystem::path(ComponentDirectory()), std::filesystem::path(HVZELTA_DATA_DIR)}) {
    std::error_code missing;
    if (!folder.empty() && std::filesystem::is_regular_file(folder / "trace.xslt", missing)) {
      return (folder / "trace.xslt").string();
    }
  }
  return {};
}

struct StylesheetDeleter {
  void operator()(xsltStylesheet* sheet) const { xsltFreeStylesheet(sheet); }
};
struct DocumentDeleter {
  void operator()(xmlDoc* document) const { xmlFreeDoc(document); }
};
struct PrefsDeleter {
  void operator()(xsltSecurityPrefs* prefs) const { xsltFreeSecurityPrefs(prefs); }
};

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
  const std::string stylesheet = arguments.Value("stylesheet").value_or(DefaultStylesheet());
  if (stylesheet.empty()) {
    streams.err << "hvzelta trace: no trace.xslt installed; name one with --stylesheet\n";
    return kExitFailure;
  }

  // The stylesheet may read nothing but its input and write nothing at all.
  std::unique_ptr<xsltSecurityPrefs, PrefsDeleter> prefs(xsltNewSecurityPrefs());
  for (xsltSecurityOption option : {XSLT_SECPREF_WRITE_FILE, XSLT_SECPREF_CREATE_DIRECTORY, XSLT_SECPREF_READ_NETWORK,
                                    XSLT_SECPREF_WRITE_NETWORK}) {
    xsltSetSecurityPrefs(prefs.get(), option, xsltSecurityForbid);
  }
  std::unique_ptr<xsltStylesheet, StylesheetDeleter> sheet(
      xsltParseStylesheetFile(reinterpret_cast<const xmlChar*>(stylesheet.c_str())));
  if (!sheet) {
    streams.err << "hvzelta trace: cannot read the stylesheet " << stylesheet << "\n";
    return kExitFailure;
  }
  // A trace cut short by a process that ended mid-call is still worth reading.
  std::unique_ptr<xmlDoc, DocumentDeleter> document(
      xmlReadFile(trace.c_str(), nullptr, XML_PARSE_NONET | XML_PARSE_RECOVER | XML_PARSE_NOWARNING | XML_PARSE_NOERROR));
  if (!document) {
    streams.err << "hvzelta trace: cannot read the trace " << trace.string() << "\n";
    return kExitFailure;
  }
  xsltTransformContextPtr context = xsltNewTransformContext(sheet.get(), document.get());
  xsltSetCtxtSecurityPrefs(prefs.get(), context);
  std::unique_ptr<xmlDoc, DocumentDeleter> page(
      xsltApplyStylesheetUser(sheet.get(), document.get(), nullptr, nullptr, nullptr, context));
  xsltFreeTransformContext(context);
  if (!page || xsltSaveResultToFilename(output.c_str(), page.get(), sheet.get(), 0) < 0) {
    streams.err << "hvzelta trace: cannot write " << output << "\n";
    return kExitFailure;
  }
  streams.out << output << "\n";
  return kExitSuccess;
}

}  // namespace

const Command kTraceCommand{"trace", "render a method trace as an HTML page", kUsage, &Render};

}  // namespace hvzelta::cli
