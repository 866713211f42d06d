// Windows INI ("private profile") files: read one value, write one value.
#pragma once

#include "base/ansi_string.h"
#include "base/expected.h"

#include <cstdint>
#include <filesystem>
#include <string>

namespace kestrune {

// The most a settings file may hold; a larger one is no settings file of this program's.
constexpr uint64_t kMaxIniFileBytes = uint64_t(1) << 20;

// The value of key in section, with surrounding blanks and one pair of matching surrounding
// quotes removed; defaultValue when the file, the section or the key is missing, or the file
// cannot be read. Section and key names match without regard to case. Only a regular file of
// at most kMaxIniFileBytes is read: a pipe or a device there is never waited on. problem, when
// given, receives why a file that is there was not read (empty when it was, or is missing).
AnsiString ReadIniString(const std::filesystem::path& file, std::string_view section,
                         std::string_view key, std::string_view defaultValue,
                         std::string* problem = nullptr);

// Sets key in section to value, creating the file, section or key as needed and keeping every
// other line byte for byte. The file is replaced in one step. An error when it cannot be
// written or what is there cannot be read as ReadIniString reads it.
Expected<void> WriteIniString(const std::filesystem::path& file, std::string_view section,
                              std::string_view key, std::string_view value);

} // namespace kestrune
