// The backup file named on the command line, read as the restore window reads it.
#pragma once

#include "backup/backup_record.h"
#include "backup/restore_destination.h"
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

// The properties file beside it (LoadMatchingProperties), its paths moved to the destination.
LoadedProperties LoadPropertiesInput(const std::string& file,
                                     const RestoreDestination& destination = {});

// Gives the recorded properties the SIDs their view permissions name by alias (DA, EA, ...),
// read from the directory when some do; a warning on standard error when they cannot be read
// (such permissions then fail to be set, naming the alias).
void ResolveDomainGroups(RecordedProperties& recorded, Console console);

} // namespace kestrune
