// Folder names as the program shows and stores them.
#pragma once

#include "base/ansi_string.h"

namespace kestrune {

// The separator that ends a folder name in the windows and the settings file.
#ifdef _WIN32
constexpr char kPathDelim = '\\';
#else
constexpr char kPathDelim = '/';
#endif

// folder with kPathDelim appended unless it already ends in one (an empty name stays empty).
AnsiString IncludeTrailingPathDelimiter(const AnsiString& folder);

// The folder of the running program file, ending in kPathDelim.
AnsiString ProgramFolder();

} // namespace kestrune
