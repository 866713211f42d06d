// What a backup run tells its user at the end, in the window's boxes or on standard error,
// and the status an unattended run ends with.
#pragma once

#include "backup/backup_run.h"

#include <string>

namespace kestrune {

// The statuses an unattended run ends with.
constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;        // something was not done: a file, a namespace, no directory
constexpr int kExitUsage = 2;          // bad arguments or an unreadable input file
constexpr int kExitCharactersLost = 3; // done, but some lines could not be written in full

// The graver of two statuses: a failure outranks lost characters, which outrank success.
int GraverExitStatus(int a, int b);

struct RunReport {
    std::string errors;   // UTF-8; empty when nothing failed
    std::string warnings; // UTF-8; empty when nothing was lost
    int exitStatus = kExitSuccess;
};

RunReport DescribeBackupRun(const BackupRunResult& result);

// What a namespace's file says against the one it replaced, as its progress line ends:
// "(unchanged)", "(new)", "(2 added, 0 removed, 1 changed)" counted in lines, or why the
// previous file could not be compared. UTF-8; empty when the run did not compare.
std::string DescribeChange(const BackupChange& change);

} // namespace kestrune
