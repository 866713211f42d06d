#include "cli/backup_input.h"

#include "base/paths.h"

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

} // namespace kestrune
