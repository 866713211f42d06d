#include "base/paths.h"

#include <filesystem>

namespace kestrune {

AnsiString IncludeTrailingPathDelimiter(const AnsiString& folder) {
    if (folder.empty() || folder.back() == kPathDelim) return folder;
    return folder + kPathDelim;
}

AnsiString ProgramFolder() {
    std::error_code error;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) exe = std::filesystem::current_path(error) / "kestrune";
    return IncludeTrailingPathDelimiter(exe.parent_path().string());
}

} // namespace kestrune
