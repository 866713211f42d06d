// The backup file named on the command line, read as the restore window reads it.
#pragma once

#include "backup/backup_record.h"
#include "cli/command_line.h"

#include <optional>
#include <string>
#include <vector>

namespace kestrune {

// The file's lines, each parsed. Nothing when it cannot be read or is not 8-bit text; standard
// error then has the text the window would show in its box.
std::optional<std::vector<BackupRecord>> ReadBackupInput(const std::string& file, Console console);

} // namespace kestrune
