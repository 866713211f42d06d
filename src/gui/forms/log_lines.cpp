#include "gui/forms/log_lines.h"

#include <algorithm>
#include <cwctype>

namespace kestrune {

WideString TextBetween(const std::vector<LogLine>& lines, LogPosition a, LogPosition b,
                       std::u16string_view lineBreak) {
    const LogPosition from = std::min(a, b);
    const LogPosition to = std::max(a, b);
    WideString text;
    for (size_t i = from.line; i <= to.line && i < lines.size(); ++i) {
        const WideString& line = lines[i].text;
        const size_t start = std::min(i == from.line ? from.column : 0, line.size());
        const size_t end = std::min(i == to.line ? to.column : line.size(), line.size());
        if (i > from.line) text += lineBreak;
        if (end > start) text.append(line, start, end - start);
    }
    return text;
}

namespace {
bool IsWordCharacter(char16_t c) {
    return c == u'_' || std::iswalnum(static_cast<wint_t>(c));
}
} // namespace

std::pair<size_t, size_t> WordAround(const WideString& text, size_t column) {
    size_t start = std::min(column, text.size());
    size_t end = start;
    while (start > 0 && IsWordCharacter(text[start - 1]))
        --start;
    while (end < text.size() && IsWordCharacter(text[end]))
        ++end;
    return {start, end};
}

} // namespace kestrune
