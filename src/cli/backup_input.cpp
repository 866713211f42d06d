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
    std::vector<BackupRecord> records = ParseBackupRecords(std::move(input->lines));
    if (Expected<void> moved = Retarget(records, destination); !moved) {
        console.err << "kestrune: " << file << ": " << ConsoleText(moved.error().text) << "\n";
        return std::nullopt;
    }
    return records;
}

RestorePreparation ConsolePreparation(const std::string& file,
                                      const RestoreDestination& destination, Console console) {
    RestorePreparation preparation;
    preparation.input = PathFromUtf8(file);
    preparation.destination = destination;
    preparation.readDomainSids = ReadDomainSids;
    preparation.warn = [console](const AnsiString& warning) {
        console.err << "kestrune: warning: " << ConsoleText(warning) << "\n";
    };
    return preparation;
}

} // namespace kestrune
