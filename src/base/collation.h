// Comparing text the way the user's locale orders it, without regard to case.
#pragma once

#include "base/ansi_string.h"

namespace kestrune {

// < 0, 0 or > 0 as a sorts before, equal to or after b in the user's locale, case ignored.
int CompareText(std::string_view a, std::string_view b);

// A byte string whose plain byte order is the order CompareText gives. Cheaper than repeated
// comparisons when many strings are sorted or searched.
std::string CollationKey(std::string_view text);

} // namespace kestrune
