// The backup file: one dfscmd-shaped line per target of each entry of a namespace.
#pragma once

#include "backup/backup_line.h"
#include "base/string_list.h"

#include <cstdint>
#include <filesystem>

namespace kestrune {

// Whether a namespace name can be a file name inside the output folder: no "/" or "\", not
// "." or "..", no control characters.
bool IsPlainFileName(std::string_view name);

// The file's bytes: the lines sorted (user's locale, case ignored), each followed by CR LF.
AnsiString BackupFileText(TStringList& lines);

// Writes BackupFileText in place of the file in one step. Throws EFileError naming the file.
void WriteBackupFile(const std::filesystem::path& file, TStringList& lines);

// Why a file-name prefix cannot be used, or empty when it can: a prefix begins the names of the
// backup files inside the output folder, so it holds no path separator ("/" or "\\"), which
// would put the files in another folder ("../x_" beside it). prefix is UTF-8.
std::string PrefixProblem(std::string_view prefix);

// The EFileError for a namespace name that is not a plain file name.
EFileError InvalidFileName(const std::filesystem::path& file);

} // namespace kestrune
