// --servers FILE|FOLDER...: which links depend on each file server, from backup files.
#pragma once

#include "cli/command_line.h"

#include <string>
#include <vector>

namespace kestrune {

struct ServersCommand {
    std::vector<std::string> inputs; // backup files, or folders read recursively
    bool history = false;            // also the copies in history/ folders
    bool csv = false;
    bool checkTargets = false;
    bool quiet = false;
};

// The report on standard output. 0, or 2 when an input cannot be read (the rest is still
// reported) or the targets cannot be checked.
int RunServersCommand(const ServersCommand& command, Console console);

} // namespace kestrune
