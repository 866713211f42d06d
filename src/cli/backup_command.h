// The unattended backup: every namespace of a domain into a folder.
#pragma once

#include "cli/command_line.h"

#include <filesystem>
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

// Whether command names a folder and a usable prefix; when not, says why on standard error
// (the exit status is then kExitUsage).
bool CheckBackupArguments(const BackupCommand& command, Console console);

// Every namespace of domain (dotted, 8-bit) into folder, with command's prefix, history and
// quietness; the exit status of a backup.
int BackUpDomain(const std::string& domain, const std::filesystem::path& folder,
                 const BackupCommand& command, Console console);

} // namespace kestrune
