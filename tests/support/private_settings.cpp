#include "support/private_settings.h"

namespace kestrune::testing {

PrivateSettings::PrivateSettings() {
    const std::string home = home_.path().string();
#ifdef _WIN32
    variables_.push_back(std::make_unique<ScopedEnvironment>("APPDATA", home));
#else
    variables_.push_back(std::make_unique<ScopedEnvironment>("HOME", home));
    variables_.push_back(std::make_unique<ScopedEnvironment>("XDG_CONFIG_HOME", home));
#endif
}

} // namespace kestrune::testing
