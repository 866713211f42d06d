#include "base/environment.h"

#include <cstdlib>

#ifdef _WIN32
#include "base/windows_sdk.h"
#else
extern char** environ;
#endif

namespace kestrune {

#ifdef _WIN32

std::vector<AnsiString> EnvironmentStrings() {
    std::vector<AnsiString> strings;
    char* block = GetEnvironmentStringsA();
    if (!block) return strings;
    for (const char* entry = block; *entry; entry += strings.back().size() + 1)
        strings.emplace_back(entry);
    FreeEnvironmentStringsA(block);
    return strings;
}

void SetProcessEnvironment(const char* name, const AnsiString& value) {
    _putenv_s(name, value.c_str());
}

void RemoveProcessEnvironment(const char* name) {
    _putenv_s(name, "");
}

#else

std::vector<AnsiString> EnvironmentStrings() {
    std::vector<AnsiString> strings;
    if (!environ) return strings;
    for (char** entry = environ; *entry; ++entry)
        strings.emplace_back(*entry);
    return strings;
}

void SetProcessEnvironment(const char* name, const AnsiString& value) {
    setenv(name, value.c_str(), 1);
}

void RemoveProcessEnvironment(const char* name) {
    unsetenv(name);
}

#endif

} // namespace kestrune
