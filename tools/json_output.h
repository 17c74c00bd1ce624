#pragma once

// The program's --json output: one document, ended by a newline. Text that
// is not valid UTF-8 (a reply of an instrument, a resource name) has its bad
// bytes replaced by U+FFFD, so the document stays valid; NaN and the
// infinities, which JSON cannot spell, come out as null.

#include <nlohmann/json.hpp>
#include <ostream>

namespace hvzelta::cli {

// Members keep the order they were added in.
using Json = nlohmann::ordered_json;

inline void PrintJson(std::ostream& out, const Json& document) {
  out << document.dump(-1, ' ', false, Json::error_handler_t::replace) << "\n";
}

}  // namespace hvzelta::cli
