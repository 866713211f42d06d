#include "base/paths.h"

#include <cstdlib>

namespace kestrune {

AnsiString ProgramFolder() {
    std::error_code error;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) exe = std::filesystem::current_path(error) / "kestrune";
    return IncludeTrailingPathDelimiter(exe.parent_path().string());
}

std::filesystem::path UserSettingsFolder() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && *config == '/') return std::filesystem::path(config) / "kestrune";
    // Never a shared folder such as /tmp, where another user could have made it first.
    const char* home = std::getenv("HOME");
    if (!home || *home != '/') return {};
    return std::filesystem::path(home) / ".config" / "kestrune";
}

std::filesystem::path PathFromAnsi(const AnsiString& name) {
    return std::filesystem::path(name);
}

AnsiString AnsiFromPath(const std::filesystem::path& path) {
    return path.string();
}

std::filesystem::path PathFromWide(const WideString& name) {
    return std::filesystem::path(WideToUtf8(name));
}

std::filesystem::path PathFromUtf8(std::string_view name) {
    return std::filesystem::path(name);
}

} // namespace kestrune
