#include "cli/forest_command.h"

#include "backup/backup_file.h"
#include "backup/run_report.h"
#include "base/paths.h"
#include "directory/tntads.h"
#include "platform/platform.h"

#include <ostream>

namespace kestrune {

int RunForestCommand(const BackupCommand& command, Console console) {
    if (!CheckBackupArguments(command, console)) return kExitUsage;
    TNTADS ntads;
    ntads.DetectDirectory();
    if (ntads.LastError() == 999) {
        console.err << "kestrune: Active Directory is not available\n";
        return kExitFailure;
    }
    std::unique_ptr<TStringList> domains(ntads.GetDomains("", false));
    if (domains->Count() == 0) {
        console.err << "kestrune: the forest's domains could not be listed"
                    << (ntads.LastMessage().empty() ? "" : ": " + WideToUtf8(ntads.LastMessage()))
                    << "\n";
        return kExitFailure;
    }

    const std::filesystem::path folder = PathFromUtf8(command.folder);
    bool failed = false, lost = false;
    std::vector<std::string> notBackedUp;
    for (int i = 0; i < domains->Count(); ++i) {
        const AnsiString dn = (*domains)[i];
        const std::string name = ConsoleText(TNTADS::ToDotname(dn));
        if (!command.quiet) console.err << "kestrune: domain " << name << "\n";
        // Each domain's namespaces are read where that domain keeps them.
        if (Expected<void> used = UseDomainForNamespaces(AnsiToUtf8(dn)); !used) {
            console.err << "kestrune: " << name << " was not backed up: " << used.error().text
                        << "; its previous files were left unchanged\n";
            notBackedUp.push_back(name);
            failed = true;
            continue;
        }
        const int status =
            BackUpDomain(TNTADS::ToDotname(dn), folder / PathFromUtf8(name), command, console);
        if (status == kExitFailure) {
            notBackedUp.push_back(name);
            failed = true;
        }
        lost = lost || status == kExitCharactersLost;
    }
    if (!notBackedUp.empty()) {
        console.err << "kestrune: not every domain was backed up whole:";
        for (const std::string& name : notBackedUp)
            console.err << " " << name;
        console.err << "\n";
    }
    return failed ? kExitFailure : lost ? kExitCharactersLost : kExitSuccess;
}

} // namespace kestrune
