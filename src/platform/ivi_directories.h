#pragma once

// Where the IVI installation lives on this machine, and where this library's
// own components (the trace style sheet, ...) are installed below it.

#include <string>
#include <string_view>

namespace hvzelta {

// The company name of the library's version information; the component
// directory is named after it.
inline constexpr std::string_view kCompanyName = "Halvorn";

// The folder that holds components of tool vendors when the library's own
// folder is missing.
inline constexpr std::string_view kFallbackComponentFolder = "Quillfern Tools";

// The IVI root directory: the environment variable IVI_STANDARD_ROOT_DIR
// stands for the system's registry value. Empty when unset or empty.
std::string IviRootDirectory();

// <root>/Components/<company name> when that directory exists, else
// <root>/Components/Quillfern Tools. Empty when there is no root directory.
std::string ComponentDirectory();

}  // namespace hvzelta
