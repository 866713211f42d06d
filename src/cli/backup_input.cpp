#include "cli/backup_input.h"

#include "backup/restore_run.h"
#include "base/paths.h"
#include "base/string_list.h"

#include <ostream>

namespace kestrune {

std::optional<std::vector<AnsiString>> ReadBackupInput(const std::string& file, Console console) {
    std::string problem;
    std::optional<std::vector<AnsiString>> lines;
    try {
        lines = ReadBackupLines(PathFromUtf8(file), problem);
    } catch (const EFileError& e) {
        problem = e.what();
    }
    if (!lines) console.err << "kestrune: " << problem << "\n";
    return lines;
}

} // namespace kestrune
