// The real Windows interfaces as the process's DFS and directory backends.
#pragma once

#include "base/expected.h"

#include <string>

namespace kestrune::win32 {

// Installs netapi32's DFS calls and ADSI over COM. False with error, and nothing installed,
// under Wine: it lacks these calls (calling one would end the program).
Expected<void> InstallNativePlatform();

// Whether the program runs under Wine rather than Windows.
bool RunningUnderWine();

} // namespace kestrune::win32
