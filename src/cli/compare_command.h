// --compare FILE and --verify FILE: a backup file held against the live namespaces it names;
// --diff OLD NEW: two backup files held against each other.
#pragma once

#include "backup/restore_destination.h"
#include "cli/command_line.h"

#include <string>

namespace kestrune {

// "-" lines: targets only in the file (a restore would add them); "+": added since; "~": a
// changed comment; a summary last. 0 identical, 1 differences, 2 the file or a namespace could
// not be read.
// With a destination, the file's lines as a restore there would have them (--as, --map-server).
int RunCompareCommand(const std::string& file, Console console,
                      const RestoreDestination& destination = {});

// The file's targets that are not live, then a summary. With checkTargets, then every target
// line with whether its share answered, and a second summary. 0 all live (and reachable), 1
// some missing (or unreachable), 2 the file or a namespace could not be read, or the check
// cannot be made.
int RunVerifyCommand(const std::string& file, bool checkTargets, bool quiet, Console console,
                     const RestoreDestination& destination = {});

// The same lines and summary as --compare, for two backup files: "-" a target only in the old
// file, "+" one only in the new, "~" an entry whose comment changed (the new file's line, then
// the old comment). 0 identical, 1 differences, 2 a file could not be read or holds lines but
// no backup line.
int RunDiffCommand(const std::string& oldFile, const std::string& newFile, Console console);

} // namespace kestrune
