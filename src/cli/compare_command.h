// --compare FILE and --verify FILE: a backup file held against the live namespaces it names.
#pragma once

#include "cli/command_line.h"

#include <string>

namespace kestrune {

// "-" lines: targets only in the file (a restore would add them); "+": added since; "~": a
// changed comment; a summary last. 0 identical, 1 differences, 2 the file or a namespace could
// not be read.
int RunCompareCommand(const std::string& file, Console console);

// The file's targets that are not live, then a summary. 0 all live, 1 some missing, 2 the file
// or a namespace could not be read.
int RunVerifyCommand(const std::string& file, Console console);

} // namespace kestrune
