// What to tell after a restore written straight into the directory (over LDAP): namespace
// servers read the directory at their next poll, not at once.
#pragma once

#include "base/ansi_string.h"

#include <string>
#include <vector>

namespace kestrune {

// One paragraph, without a line end, naming what the administrator can do to apply the restore
// at once in each namespace of roots (each named once, in the order given).
AnsiString PropagationNote(const std::vector<AnsiString>& roots);

} // namespace kestrune
