#include "backup/backup_file.h"

#include "base/file_io.h"
#include "base/message_table.h"
#include "base/win_errors.h"

#include <cerrno>

namespace kestrune {

bool IsPlainFileName(std::string_view name) {
    if (name == "." || name == "..") return false;
    for (unsigned char c : name)
        if (c < 0x20 || c == 0x7F || c == '/' || c == '\\') return false;
    return true;
}

std::string PrefixProblem(std::string_view prefix) {
    if (prefix.find_first_of("/\\") == std::string_view::npos) return {};
    return "the prefix \"" + std::string(prefix) +
           "\" holds a path separator; a prefix begins the names of the backup files in the "
           "output folder and cannot name a folder";
}

EFileError InvalidFileName(const std::filesystem::path& file) {
    return EFileError("Cannot create file \"" + FullFileName(file) + "\". " +
                          SystemMessageText(ERROR_INVALID_NAME),
                      EINVAL);
}

AnsiString BackupFileText(TStringList& lines) {
    lines.Sort();
    return lines.Text();
}

void WriteBackupFile(const std::filesystem::path& file, TStringList& lines) {
    OrThrowFileError(ReplaceFileContents(file, BackupFileText(lines)));
}

} // namespace kestrune
