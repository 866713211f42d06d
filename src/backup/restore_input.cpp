#include "backup/restore_input.h"

#include "backup/backup_record.h"
#include "backup/dfsutil_export.h"
#include "base/file_io.h"

namespace kestrune {

Expected<RestoreInput> ReadRestoreInput(const std::filesystem::path& file) {
    Expected<std::string> bytes = ReadRegularFile(file, kMaxBackupFileBytes);
    if (!bytes) return bytes.error();
    if (IsDfsutilExport(*bytes)) {
        Expected<DfsutilExport> parsed = ParseDfsutilExport(*bytes);
        if (!parsed) return parsed.error();
        return RestoreInput{std::move(parsed->lines), std::move(parsed->properties)};
    }
    Expected<std::vector<AnsiString>> lines = BackupLinesOf(*bytes);
    if (!lines) return lines.error();
    return RestoreInput{std::move(*lines), std::nullopt};
}

LoadedProperties LoadRestoreProperties(const std::filesystem::path& file) {
    {
        // Only an export carries its properties. A backup file's text goes before the
        // properties beside it are read: a large one is not held twice.
        Expected<std::string> bytes = ReadRegularFile(file, kMaxBackupFileBytes);
        if (bytes && IsDfsutilExport(*bytes)) {
            if (Expected<DfsutilExport> parsed = ParseDfsutilExport(*bytes)) {
                LoadedProperties loaded;
                loaded.recorded.emplace(std::move(parsed->properties));
                return loaded;
            }
        }
    }
    return LoadMatchingProperties(file);
}

} // namespace kestrune
