#pragma once

// Small files of sysfs, as the USB-TMC finder and discovery read them.

#include <filesystem>
#include <optional>
#include <string>

namespace hvzelta::visa {

// The first line of a small sysfs file (at most 256 characters), without
// surrounding white space; empty when the file cannot be read.
std::string ReadSysfsValue(const std::filesystem::path& file);

// The file's value as a hexadecimal number of up to 8 digits ("0957"), or
// nothing when it holds anything else.
std::optional<unsigned long> ReadSysfsHex(const std::filesystem::path& file);

}  // namespace hvzelta::visa
