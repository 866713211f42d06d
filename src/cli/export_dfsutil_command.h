// --export-dfsutil FILE OUT: a backup file pair as an export that "dfsutil root import" reads.
#pragma once

#include "cli/command_line.h"

#include <string>

namespace kestrune {

// 0 written; 1 OUT could not be written; 2 FILE cannot be read or is no backup of one namespace.
int RunExportDfsutilCommand(const std::string& file, const std::string& out, Console console);

} // namespace kestrune
