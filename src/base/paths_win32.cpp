#include "base/paths.h"

#include "base/windows_sdk.h"

namespace kestrune {

AnsiString ProgramFolder() {
    std::wstring name(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
        if (n == 0)
            return IncludeTrailingPathDelimiter(AnsiFromPath(std::filesystem::current_path()));
        if (n < name.size()) {
            name.resize(n);
            break;
        }
        name.resize(name.size() * 2); // the name was cut: ask again with room for it
    }
    return IncludeTrailingPathDelimiter(AnsiFromPath(std::filesystem::path(name).parent_path()));
}

std::filesystem::path UserSettingsFolder() {
    std::wstring appData(MAX_PATH, L'\0');
    DWORD n =
        GetEnvironmentVariableW(L"APPDATA", appData.data(), static_cast<DWORD>(appData.size()));
    if (n > appData.size()) {
        appData.resize(n);
        n = GetEnvironmentVariableW(L"APPDATA", appData.data(), n);
    }
    appData.resize(n < appData.size() ? n : 0);
    if (appData.empty()) return {};
    return std::filesystem::path(appData) / L"Kestrune";
}

std::filesystem::path PathFromWide(const WideString& name) {
    return std::filesystem::path(std::wstring(name.begin(), name.end()));
}

std::filesystem::path PathFromUtf8(std::string_view name) {
    return PathFromWide(Utf8ToWide(name));
}

std::filesystem::path PathFromAnsi(const AnsiString& name) {
    return PathFromWide(AnsiToWide(name));
}

AnsiString AnsiFromPath(const std::filesystem::path& path) {
    const std::wstring& wide = path.native();
    return WideToAnsi(
        std::u16string_view(reinterpret_cast<const char16_t*>(wide.data()), wide.size()));
}

} // namespace kestrune
