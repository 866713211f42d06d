#include "support/scoped_environment.h"

#include <cstdlib>
#ifdef _WIN32
#include <windows.h>

#include <vector>
#endif

namespace kestrune::testing {
namespace {

#ifdef _WIN32
// The program reads its variables with GetEnvironmentVariableW: the C library's copy alone
// would not be seen, so both are set.
std::wstring Wide(const std::string& text) {
    std::wstring wide(text.size() + 1, L'\0');
    int n = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide.data(),
                                static_cast<int>(wide.size()));
    wide.resize(n > 0 ? n - 1 : 0);
    return wide;
}
void Set(const std::string& name, const std::optional<std::string>& value) {
    _putenv_s(name.c_str(), value ? value->c_str() : "");
    SetEnvironmentVariableW(Wide(name).c_str(), value ? Wide(*value).c_str() : nullptr);
}
#else
void Set(const std::string& name, const std::optional<std::string>& value) {
    if (value)
        ::setenv(name.c_str(), value->c_str(), 1);
    else
        ::unsetenv(name.c_str());
}
#endif

} // namespace

ScopedEnvironment::ScopedEnvironment(std::string name, const std::optional<std::string>& value)
    : name_(std::move(name)) {
    if (const char* old = std::getenv(name_.c_str())) before_ = old;
    Set(name_, value);
}

ScopedEnvironment::~ScopedEnvironment() {
    Set(name_, before_);
}

} // namespace kestrune::testing
