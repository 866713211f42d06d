// Every test program's settings folder and home in a temporary folder of its own: a test run
// never reads or writes the settings of the user who runs it (XDG_CONFIG_HOME and HOME on
// POSIX, %APPDATA% on Windows).
#pragma once

#include "support/scoped_environment.h"
#include "support/temp_folder.h"

#include <memory>
#include <vector>

namespace kestrune::testing {

class PrivateSettings {
  public:
    PrivateSettings();
    const std::filesystem::path& folder() const { return home_.path(); }

  private:
    TempFolder home_;
    std::vector<std::unique_ptr<ScopedEnvironment>> variables_;
};

} // namespace kestrune::testing
