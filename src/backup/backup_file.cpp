#include "backup/backup_file.h"

#include "base/file_io.h"
#include "base/message_table.h"
#include "base/win_errors.h"

#include <cerrno>

namespace kestrune {

AnsiString FormatBackupLine(const AnsiString& Path, const AnsiString& Share,
                            const AnsiString& Comment, int32_t Index) {
    AnsiString line;
    line.reserve(Path.size() + Share.size() + Comment.size() + 24);
    line += Index <= 0 ? "dfscmd /map" : "dfscmd /add";
    line += " \"";
    line += Path;
    line += "\" \"\\\\";
    line += Share;
    line += "\" \"";
    line += Comment;
    line += '"';
    return line;
}

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
    std::string reason = FormatSystemMessage(ERROR_INVALID_NAME);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r'))
        reason.pop_back();
    return EFileError("Cannot create file \"" + FullFileName(file) + "\". " + reason, EINVAL);
}

AnsiString BackupFileText(TStringList& lines) {
    lines.Sort();
    return lines.Text();
}

void WriteBackupFile(const std::filesystem::path& file, TStringList& lines) {
    ReplaceFileContents(file, BackupFileText(lines));
}

} // namespace kestrune
