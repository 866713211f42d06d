#include "cli/backup_input.h"

#include "base/paths.h"
#include "directory/domain_sids.h"

#include <ostream>

namespace kestrune {

std::optional<std::vector<BackupRecord>> ReadBackupInput(const std::string& file, Console console) {
    Expected<std::vector<AnsiString>> lines = ReadBackupLines(PathFromUtf8(file));
    if (!lines) {
        console.err << "kestrune: " << lines.error().text << "\n";
        return std::nullopt;
    }
    return ParseBackupRecords(*lines);
}

void ResolveDomainGroups(RecordedProperties& recorded, Console console) {
    if (!recorded.NeedsDomains()) return;
    Expected<DomainSids> domains = ReadDomainSids(recorded.Domain());
    if (domains)
        recorded.SetDomains(std::move(*domains));
    else
        console.err << "kestrune: warning: the SIDs of " << ConsoleText(recorded.Domain())
                    << "'s groups cannot be read (" << domains.error().text
                    << "); view permissions that name them by alias are not set\n";
}

} // namespace kestrune
