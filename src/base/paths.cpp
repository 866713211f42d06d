#include "base/paths.h"

#include <fstream>
#include <string>

#ifdef _WIN32
#include "base/windows_sdk.h"
#else
#include <unistd.h>
#endif

namespace kestrune {

AnsiString IncludeTrailingPathDelimiter(const AnsiString& folder) {
    if (folder.empty() || folder.back() == kPathDelim) return folder;
    return folder + kPathDelim;
}

bool FolderIsWritable(const std::filesystem::path& folder) {
#ifdef _WIN32
    const std::string unique = std::to_string(GetCurrentProcessId());
#else
    const std::string unique = std::to_string(getpid());
#endif
    const std::filesystem::path probe = folder / (".kestrune-write-test-" + unique);
    bool created = false;
    {
        std::ofstream file(probe, std::ios::binary | std::ios::app);
        created = file.good();
    }
    std::error_code ignored;
    if (created) std::filesystem::remove(probe, ignored);
    return created;
}

} // namespace kestrune
