// What a link's name may be: each part of a link's path below its namespace.
#pragma once

#include <string_view>

namespace kestrune {

// Not empty, "." or "..", and none of the characters a DFS path refuses (control characters and
// " * / : < > ? |).
bool IsValidLinkName(std::u16string_view name);

} // namespace kestrune
