// Case folding for comparisons that ignore case the way the directory and the DFS service do:
// Unicode case folding, independent of the locale (ICU's default folding on POSIX; the invariant
// locale's lower case on Windows).
#pragma once

#include <string>
#include <string_view>

namespace kestrune {

std::u16string FoldCase(std::u16string_view text);

} // namespace kestrune
