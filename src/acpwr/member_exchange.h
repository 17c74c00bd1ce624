#pragma once

#include <string>
#include <string_view>

#include "fmtio/format_args.h"
#include "hvzelta/com/types.h"

namespace hvzelta {

class CNode;

// How members of the instrument model reach the instrument. Each runs on the
// root's I/O session with its current timeout; without an open session (the
// driver simulates) each reports that no connection is established.

// The formatted-write engine into `text`, enumeration directives converted
// under the running member's context.
HRESULT FormatCommand(CNode& node, std::string_view format, FormatArgs& args, std::string& text);

// The default write: sends `command` as a complete message, then polls the
// instrument's errors.
HRESULT DefaultWrite(CNode& node, std::string_view command);

// The default query: sends `command` as a complete message and reads the
// reply with `responseFormat` into `out`, then polls the instrument's errors.
HRESULT DefaultQuery(CNode& node, std::string_view command, std::string_view responseFormat, FormatArgs& out);

// Sends `command` and reads one real number from its reply, then polls.
HRESULT QueryReal(CNode& node, std::string_view command, double& value);
// Sends `command` and reads its whole reply as text, then polls.
HRESULT QueryText(CNode& node, std::string_view command, std::string& reply);

}  // namespace hvzelta
