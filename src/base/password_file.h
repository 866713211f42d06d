// The password of a logon kept in a file (KESTRUNE_BIND_PASSWORD_FILE), for the directory's and
// the file servers' logons alike.
#pragma once

#include "base/expected.h"

#include <string>

namespace kestrune {

// The file's bytes without the line end an editor or echo puts after the password; the error
// names the variable and the file.
Expected<std::string> ReadPasswordFile(const std::string& file);

} // namespace kestrune
