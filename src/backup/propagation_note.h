// What to tell after a restore written straight into the directory (over LDAP): namespace
// servers read the directory at their next poll, not at once.
#pragma once

#include "backup/restore_run.h"
#include "base/ansi_string.h"

#include <span>
#include <string>
#include <vector>

namespace kestrune {

// One paragraph, without a line end, naming what the administrator can do to apply the restore
// at once in each namespace of roots (each named once, in the order given). With dfs, each
// namespace's root servers are read through it and named.
AnsiString PropagationNote(const std::vector<AnsiString>& roots, TOXLDFS* dfs = nullptr);

} // namespace kestrune
