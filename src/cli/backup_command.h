// The unattended backup: every namespace of a domain into a folder.
#pragma once

#include "cli/command_line.h"

#include <string>

namespace kestrune {

struct BackupCommand {
    std::string prefix; // bytes as given: file names keep every character
    std::string folder;
    std::string domain; // dotted or DC= form; empty for the computer's own domain
    bool quiet = false;
    int keep = 0; // copies per namespace kept in FOLDER/history; 0 keeps none
};

int RunBackupCommand(const BackupCommand& command, Console console);

} // namespace kestrune
