// Folder and file names as the program shows and stores them.
#pragma once

#include "base/ansi_string.h"

#include <filesystem>

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

// The user's own folder for this program's settings: %APPDATA%\Kestrune on Windows,
// $XDG_CONFIG_HOME/kestrune (else ~/.config/kestrune) elsewhere. Not created here. Empty when
// the environment names no such folder: a shared folder is no fallback.
std::filesystem::path UserSettingsFolder();

// Whether a file can be created in folder (tried, not guessed from permissions: a folder
// under Program Files or /usr refuses a user whatever its attributes say).
bool FolderIsWritable(const std::filesystem::path& folder);

// A file name typed or stored as 8-bit text, and back. On POSIX the bytes are the name; on
// Windows names are UTF-16 and the text goes through the ANSI code page (building a path
// from narrow text directly would take each byte for one character).
std::filesystem::path PathFromAnsi(const AnsiString& name);
AnsiString AnsiFromPath(const std::filesystem::path& path);

// A file name from Unicode text, keeping every character: UTF-16 names on Windows, UTF-8
// bytes on POSIX.
std::filesystem::path PathFromWide(const WideString& name);
std::filesystem::path PathFromUtf8(std::string_view name);

} // namespace kestrune
