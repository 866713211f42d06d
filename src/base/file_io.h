// Whole-file reads and writes that report failures with the file's full name.
#pragma once

#include "base/string_list.h"

#include <filesystem>
#include <string>

namespace kestrune {

// Throws EFileError ("Cannot open file "<full path>". <reason>").
std::string ReadWholeFile(const std::filesystem::path& file);
// Creates or truncates the file and writes bytes. Throws EFileError
// ("Cannot create file "<full path>". <reason>").
void WriteWholeFile(const std::filesystem::path& file, std::string_view bytes);

// The system's description of an errno value.
std::string SystemErrorText(int error);

} // namespace kestrune
