// Windows INI ("private profile") files: read one value, write one value.
#pragma once

#include "base/ansi_string.h"

#include <filesystem>

namespace kestrune {

// The value of key in section, with surrounding blanks and one pair of matching surrounding
// quotes removed; defaultValue when the file, the section or the key is missing. Section and
// key names match without regard to case.
AnsiString ReadIniString(const std::filesystem::path& file, std::string_view section,
                         std::string_view key, std::string_view defaultValue);

// Sets key in section to value, creating the file, section or key as needed and keeping every
// other line byte for byte. The file is replaced in one step. False when it cannot be written
// (errno tells why).
bool WriteIniString(const std::filesystem::path& file, std::string_view section,
                    std::string_view key, std::string_view value);

} // namespace kestrune
