#include "cli/backup_input.h"

#include "backup/restore_input.h"
#include "base/paths.h"
#include "directory/domain_sids.h"

#include <ostream>

namespace kestrune {

std::optional<std::vector<BackupRecord>> ReadBackupInput(const std::string& file, Console console,
                                                         const RestoreDestination& destination) {
    Expected<RestoreInput> input = ReadRestoreInput(PathFromUtf8(file));
    if (!input) {
        console.err << "kestrune: " << input.error().text << "\n";
        return std::nullopt;
    }
    std::vector<BackupRecord> records = ParseBackupRecords(input->lines);
    if (Expected<void> moved = Retarget(records, destination); !moved) {
        console.err << "kestrune: " << file << ": " << ConsoleText(moved.error().text) << "\n";
        return std::nullopt;
    }
    return records;
}

LoadedProperties LoadPropertiesInput(const std::string& file,
                                     const RestoreDestination& destination) {
    LoadedProperties loaded = LoadRestoreProperties(PathFromUtf8(file));
    Retarget(loaded, destination);
    return loaded;
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
