#pragma once

// A method trace rendered as an HTML page with the trace stylesheet, so that
// a trace can be read without an XSLT-aware browser. Used by "hvzelta trace"
// and by the demo.

#include <filesystem>
#include <string>

namespace hvzelta::tracepage {

// The installed trace.xslt (in the IVI component folder, else where the
// library installs its data), else the one in the sources for programs run
// from the build tree; empty when there is none.
std::string FindStylesheet();

// Renders `trace` with `stylesheet` into the file `page`, repairing a trace
// that was cut short or holds values that are not valid XML first; what the
// repair did goes to `repairs` (empty when nothing). Empty on success, else
// what went wrong, as a sentence for the user.
std::string Render(const std::filesystem::path& trace, const std::string& stylesheet, const std::string& page,
                   std::string* repairs = nullptr);

}  // namespace hvzelta::tracepage
