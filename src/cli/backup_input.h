// The backup file named on the command line, read as the restore window reads it.
#pragma once

#include "base/ansi_string.h"
#include "cli/command_line.h"

#include <optional>
#include <string>
#include <vector>

namespace kestrune {

// The file's lines. Nothing when it cannot be read or is not 8-bit text; standard error then
// has the text the window would show in its box.
std::optional<std::vector<AnsiString>> ReadBackupInput(const std::string& file, Console console);

} // namespace kestrune
