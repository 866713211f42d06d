#include "backup/restore_input.h"

#include "backup/backup_record.h"
#include "backup/dfsutil_export.h"
#include "base/file_io.h"

namespace kestrune {

Expected<RestoreInput> ReadRestoreInput(const std::filesystem::path& file) {
    std::string bytes;
    try {
        bytes = ReadRegularFile(file, kMaxBackupFileBytes);
    } catch (const EFileError& e) {
        return Error{static_cast<uint32_t>(e.Code()), e.what()};
    }
    if (IsDfsutilExport(bytes)) {
        Expected<DfsutilExport> parsed = ParseDfsutilExport(bytes);
        if (!parsed) return parsed.error();
        return RestoreInput{std::move(parsed->lines), std::move(parsed->properties)};
    }
    std::string_view text(bytes);
    if (text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF"))
        return Error{0, "The file is not 8-bit text: it begins with a UTF-16 byte-order mark."};
    if (text.starts_with("\xEF\xBB\xBF"))
        return Error{0, "The file is not 8-bit text: it begins with a UTF-8 byte-order mark."};
    return RestoreInput{SplitBackupText(text), std::nullopt};
}

LoadedProperties LoadRestoreProperties(const std::filesystem::path& file) {
    Expected<RestoreInput> input = ReadRestoreInput(file);
    if (input && input->exported) {
        LoadedProperties loaded;
        loaded.recorded.emplace(std::move(*input->exported));
        return loaded;
    }
    return LoadMatchingProperties(file);
}

} // namespace kestrune
