#include "trace_page.h"

#include <libxml/parser.h>
#include <libxslt/security.h>
#include <libxslt/transform.h>
#include <libxslt/xsltutils.h>

#include <fstream>
#include <memory>
#include <sstream>

#include "platform/ivi_directories.h"
#include "trace_repair.h"

#ifndef HVZELTA_DATA_DIR
#define HVZELTA_DATA_DIR "/usr/local/share/hvzelta"
#endif
#ifndef HVZELTA_SOURCE_STYLESHEET
#define HVZELTA_SOURCE_STYLESHEET ""
#endif

namespace hvzelta::tracepage {
namespace {

struct StylesheetDeleter {
  void operator()(xsltStylesheet* sheet) const { xsltFreeStylesheet(sheet); }
};
struct DocumentDeleter {
  void operator()(xmlDoc* document) const { xmlFreeDoc(document); }
};
struct PrefsDeleter {
  void operator()(xsltSecurityPrefs* prefs) const { xsltFreeSecurityPrefs(prefs); }
};

}  // namespace

std::string FindStylesheet() {
  std::error_code missing;
  for (const std::filesystem::path& folder :
       {std::filesystem::path(ComponentDirectory()), std::filesystem::path(HVZELTA_DATA_DIR)}) {
    if (!folder.empty() && std::filesystem::is_regular_file(folder / "trace.xslt", missing)) {
      return (folder / "trace.xslt").string();
    }
  }
  if (std::filesystem::is_regular_file(HVZELTA_SOURCE_STYLESHEET, missing)) return HVZELTA_SOURCE_STYLESHEET;
  return {};
}

std::string Render(const std::filesystem::path& trace, const std::string& stylesheet, const std::string& page,
                   std::string* repairs) {
  // The stylesheet may read nothing but its input and write nothing at all.
  std::unique_ptr<xsltSecurityPrefs, PrefsDeleter> prefs(xsltNewSecurityPrefs());
  for (xsltSecurityOption option : {XSLT_SECPREF_WRITE_FILE, XSLT_SECPREF_CREATE_DIRECTORY, XSLT_SECPREF_READ_NETWORK,
                                    XSLT_SECPREF_WRITE_NETWORK}) {
    xsltSetSecurityPrefs(prefs.get(), option, xsltSecurityForbid);
  }
  std::unique_ptr<xsltStylesheet, StylesheetDeleter> sheet(
      xsltParseStylesheetFile(reinterpret_cast<const xmlChar*>(stylesheet.c_str())));
  if (!sheet) return "cannot read the stylesheet " + stylesheet;
  std::ifstream file(trace, std::ios::binary);
  std::stringstream text;
  if (!file || !(text << file.rdbuf())) return "cannot read the trace " + trace.string();
  // A trace cut short by a process that ended mid-call is still worth reading.
  const RepairedTrace repaired = RepairTrace(text.str());
  if (repairs) *repairs = DescribeRepair(repaired);
  // The file's own folder is the base, so that its stylesheet line resolves as before.
  std::unique_ptr<xmlDoc, DocumentDeleter> document(
      xmlReadMemory(repaired.xml.data(), static_cast<int>(repaired.xml.size()), trace.c_str(), nullptr,
                    XML_PARSE_NONET | XML_PARSE_RECOVER | XML_PARSE_NOWARNING | XML_PARSE_NOERROR | XML_PARSE_HUGE));
  if (!document) return "cannot read the trace " + trace.string();
  xsltTransformContextPtr context = xsltNewTransformContext(sheet.get(), document.get());
  xsltSetCtxtSecurityPrefs(prefs.get(), context);
  std::unique_ptr<xmlDoc, DocumentDeleter> rendered(
      xsltApplyStylesheetUser(sheet.get(), document.get(), nullptr, nullptr, nullptr, context));
  xsltFreeTransformContext(context);
  if (!rendered || xsltSaveResultToFilename(page.c_str(), rendered.get(), sheet.get(), 0) < 0) {
    return "cannot write " + page;
  }
  return {};
}

}  // namespace hvzelta::tracepage
