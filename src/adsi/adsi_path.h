// ADSI paths: the DN inside "LDAP://[server/]DN" has its "/" escaped as "\/", since an
// unescaped "/" would end the server part (ADS_ESCAPEDMODE).
#pragma once

#include <string>
#include <string_view>

namespace kestrune::adsi {

// The DN with every "/" escaped; characters that are already escaped stay as they are, so
// escaping twice changes nothing.
template <typename Char> std::basic_string<Char> EscapePathDn(std::basic_string_view<Char> dn) {
    std::basic_string<Char> out;
    out.reserve(dn.size());
    for (size_t i = 0; i < dn.size(); ++i) {
        if (dn[i] == Char('\\') && i + 1 < dn.size()) {
            out += dn[i];
            out += dn[++i];
        } else {
            if (dn[i] == Char('/')) out += Char('\\');
            out += dn[i];
        }
    }
    return out;
}
inline std::u16string EscapePathDn(const std::u16string& dn) {
    return EscapePathDn(std::u16string_view(dn));
}
inline std::string EscapePathDn(const std::string& dn) {
    return EscapePathDn(std::string_view(dn));
}

// The DN of a path's DN part: "\/" becomes "/"; other escapes belong to the DN and stay.
template <typename Char> std::basic_string<Char> UnescapePathDn(std::basic_string_view<Char> text) {
    std::basic_string<Char> out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == Char('\\') && i + 1 < text.size()) {
            if (text[i + 1] != Char('/')) out += text[i];
            out += text[++i];
        } else {
            out += text[i];
        }
    }
    return out;
}

// The first c at or after from that no backslash escapes, or npos.
template <typename Char>
size_t FindUnescaped(std::basic_string_view<Char> text, Char c, size_t from = 0) {
    for (size_t i = from; i < text.size(); ++i) {
        if (text[i] == Char('\\'))
            ++i;
        else if (text[i] == c)
            return i;
    }
    return std::basic_string_view<Char>::npos;
}

} // namespace kestrune::adsi
