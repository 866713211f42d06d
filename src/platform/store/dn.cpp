#include "platform/store/dn.h"

#include "base/ansi_string.h"
#include "base/case_fold.h"

namespace kestrune::store {
namespace {

std::string_view TrimBlanks(std::string_view s) {
    size_t first = s.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    size_t last = s.find_last_not_of(' ');
    // A blank escaped with a backslash belongs to the value.
    if (last + 1 < s.size() && last > 0 && s[last] == '\\') ++last;
    return s.substr(first, last - first + 1);
}

} // namespace

std::string FoldCase(std::string_view utf8) {
    bool ascii = true;
    std::string out(utf8);
    for (char& c : out) {
        if (static_cast<unsigned char>(c) >= 0x80) ascii = false;
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    }
    if (ascii) return out;
    return WideToUtf8(kestrune::FoldCase(Utf8ToWide(utf8)));
}

bool SplitDn(std::string_view dn, std::vector<std::string>& rdns) {
    rdns.clear();
    if (TrimBlanks(dn).empty()) return true;
    size_t start = 0;
    for (size_t i = 0; i <= dn.size(); ++i) {
        if (i < dn.size() && dn[i] == '\\') {
            ++i; // the escaped character (or the first of two hex digits) is part of the value
            continue;
        }
        if (i == dn.size() || dn[i] == ',' || dn[i] == ';') {
            std::string_view rdn = TrimBlanks(dn.substr(start, i - start));
            size_t eq = rdn.find('=');
            if (eq == std::string_view::npos || TrimBlanks(rdn.substr(0, eq)).empty()) return false;
            std::string_view type = TrimBlanks(rdn.substr(0, eq));
            std::string_view value = TrimBlanks(rdn.substr(eq + 1));
            rdns.push_back(std::string(type) + "=" + std::string(value));
            start = i + 1;
        }
    }
    return true;
}

std::string RdnType(std::string_view rdn) {
    return std::string(TrimBlanks(rdn.substr(0, rdn.find('='))));
}

std::string RdnValue(std::string_view rdn) {
    size_t eq = rdn.find('=');
    if (eq == std::string_view::npos) return std::string();
    std::string_view value = TrimBlanks(rdn.substr(eq + 1));
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 >= value.size()) {
            out += value[i];
            continue;
        }
        auto hex = [](char c) {
            return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        };
        if (i + 2 < value.size() && hex(value[i + 1]) && hex(value[i + 2])) {
            out += static_cast<char>(std::stoi(std::string(value.substr(i + 1, 2)), nullptr, 16));
            i += 2;
        } else {
            out += value[++i];
        }
    }
    return out;
}

std::string NormalizeDn(std::string_view dn) {
    std::vector<std::string> rdns;
    if (!SplitDn(dn, rdns)) return std::string();
    std::string key;
    for (const std::string& rdn : rdns) {
        if (!key.empty()) key += ',';
        key += FoldCase(RdnType(rdn));
        key += '=';
        key += FoldCase(EscapeDnValue(RdnValue(rdn)));
    }
    return key;
}

std::string ParentDn(std::string_view dn) {
    std::vector<std::string> rdns;
    if (!SplitDn(dn, rdns) || rdns.size() < 2) return std::string();
    std::string parent;
    for (size_t i = 1; i < rdns.size(); ++i) {
        if (i > 1) parent += ',';
        parent += rdns[i];
    }
    return parent;
}

size_t FirstRdnEnd(std::string_view dn) {
    for (size_t i = 0; i < dn.size(); ++i) {
        if (dn[i] == '\\')
            ++i;
        else if (dn[i] == ',' || dn[i] == ';')
            return i;
    }
    return std::string_view::npos;
}

std::string FirstRdn(std::string_view dn) {
    std::vector<std::string> rdns;
    if (!SplitDn(dn, rdns) || rdns.empty()) return std::string();
    return rdns.front();
}

std::string JoinDn(std::string_view rdn, std::string_view parent) {
    if (parent.empty()) return std::string(rdn);
    return std::string(rdn) + "," + std::string(parent);
}

std::string EscapeDnValue(std::string_view value) {
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        char c = value[i];
        bool special = c == ',' || c == '+' || c == '"' || c == '\\' || c == '<' || c == '>' ||
                       c == ';' || c == '=' || (c == '#' && i == 0) ||
                       (c == ' ' && (i == 0 || i + 1 == value.size()));
        if (special) out += '\\';
        out += c;
    }
    return out;
}

} // namespace kestrune::store
