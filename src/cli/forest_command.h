// --forest PREFIX FOLDER: every domain of the forest in one run, each into a folder of its own.
#pragma once

#include "cli/backup_command.h"

namespace kestrune {

// The domains the main window lists, each backed up as PREFIX FOLDER DOMAIN would be into
// FOLDER/<domain's DNS name>/; a line per domain on standard error. A domain that cannot be
// reached or listed keeps its previous files and the others still run. 0 every domain backed
// up; 1 one was not (or a file, a namespace); 3 backed up, but some lines lost characters.
int RunForestCommand(const BackupCommand& command, Console console);

} // namespace kestrune
