// --restore FILE [--dry-run] [--properties]: every line of a backup file restored without a window,
// or what a restore would do.
#pragma once

#include "backup/restore_destination.h"
#include "cli/command_line.h"

#include <string>

namespace kestrune {

struct RestoreCommand {
    std::string file; // bytes as given
    bool dryRun = false;
    bool quiet = false;
    bool checkTargets = false; // with dryRun: each target's share asked of its server
    // Links and targets already there get the recorded properties that differ.
    bool properties = false;
    // Another namespace and other server names for the lines (--as, --map-server).
    RestoreDestination destination;
};

int RunRestoreCommand(const RestoreCommand& command, Console console);

} // namespace kestrune
