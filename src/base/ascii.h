// ASCII text, and names compared the way protocols compare them: ASCII letters without regard
// to case.
#pragma once

#include <string_view>

namespace kestrune {

inline char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

inline char16_t LowerAscii(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
}

inline bool IsAscii(std::string_view text) {
    for (unsigned char c : text)
        if (c >= 0x80) return false;
    return true;
}

inline bool IsAscii(std::u16string_view text) {
    for (char16_t c : text)
        if (c >= 0x80) return false;
    return true;
}

template <typename Char>
bool SameTextAscii(std::basic_string_view<Char> a, std::basic_string_view<Char> b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    return true;
}

inline bool SameTextAscii(std::string_view a, std::string_view b) {
    return SameTextAscii<char>(a, b);
}

inline bool SameTextAscii(std::u16string_view a, std::u16string_view b) {
    return SameTextAscii<char16_t>(a, b);
}

// The text without the blanks (by default any ASCII white space) it begins and ends with.
inline std::string_view Trim(std::string_view text, std::string_view blanks = " \t\r\n\v\f") {
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(blanks) + 1 - first);
}

// The text without the characters of codes 0 to 32 it begins and ends with: a system message's
// line end, a hand-edited line's tabs.
inline std::string_view TrimControls(std::string_view text) {
    size_t first = 0, last = text.size();
    while (first < last && static_cast<unsigned char>(text[first]) <= 32)
        ++first;
    while (last > first && static_cast<unsigned char>(text[last - 1]) <= 32)
        --last;
    return text.substr(first, last - first);
}

} // namespace kestrune
