// Case folding for comparisons that ignore case the way the directory and the DFS service do:
// Unicode case folding, independent of the locale (ICU's default folding on POSIX; the invariant
// locale's lower case on Windows).
#pragma once

#include "base/ansi_string.h"

#include <string>
#include <string_view>

namespace kestrune {

std::u16string FoldCase(std::u16string_view text);

// What 8-bit text in the code page (an entry path, a target, a server's name) is compared by
// when case does not count.
inline std::u16string CaseKey(std::string_view ansiText) {
    return FoldCase(AnsiToWide(ansiText));
}

} // namespace kestrune
