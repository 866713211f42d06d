// The backup file named on the command line, read as the restore window reads it.
#pragma once

#include "backup/backup_record.h"
#include "backup/restore_destination.h"
#include "backup/restore_preparation.h"
#include "backup/restore_properties.h"
#include "cli/command_line.h"

#include <optional>
#include <string>
#include <vector>

namespace kestrune {

// The file's lines, each parsed. Nothing when it cannot be read or is not 8-bit text; standard
// error then has the text the window would show in its box.
// With a destination (--as, --map-server) the lines are those it restores; lines that name two
// namespaces cannot go into one (the reason on standard error, and nothing).
std::optional<std::vector<BackupRecord>>
ReadBackupInput(const std::string& file, Console console,
                const RestoreDestination& destination = {});

// How the command line reads the properties recorded for the file (see RestorePreparation): the
// SIDs of groups named by alias (DA, EA, ...) from the directory, a warning on standard error
// when they cannot be read (such permissions then fail to be set, naming the alias).
RestorePreparation ConsolePreparation(const std::string& file,
                                      const RestoreDestination& destination, Console console);

} // namespace kestrune
