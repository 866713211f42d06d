// The lines of the Status window's log and places in them, apart from any drawing.
#pragma once

#include "base/ansi_string.h"

#include <compare>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

namespace kestrune {

struct LogLine {
    WideString text;
    uint32_t color = 0; // 0x00BBGGRR
};

// A place between two characters of the log.
struct LogPosition {
    size_t line = 0;
    size_t column = 0;
    auto operator<=>(const LogPosition&) const = default;
};

// The text between two places, in either order, its lines joined by the line break: CR LF
// unless told otherwise, as the Windows clipboard holds text.
WideString TextBetween(const std::vector<LogLine>& lines, LogPosition a, LogPosition b,
                       std::u16string_view lineBreak = u"\r\n");

// The word around a column of the text (letters, digits and underscores): its start and end.
// Between two words, or beside none, the start equals the end.
std::pair<size_t, size_t> WordAround(const WideString& text, size_t column);

} // namespace kestrune
