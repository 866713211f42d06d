// The platform a program starts with, as KESTRUNE_PLATFORM names it.
#pragma once

#include "base/expected.h"

#include <iosfwd>
#include <string>

namespace kestrune {

// Installs the platform. What the directory could not tell about this session goes to err, a
// line each; when nothing could be installed, the reason goes there too and into error.
Expected<void> InstallProgramPlatform(std::ostream& err);

} // namespace kestrune
