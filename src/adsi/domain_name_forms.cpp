#include "adsi/domain_name_forms.h"

namespace kestrune {

AnsiString DomainNameToDn(const AnsiString& name) {
    if (name.find('.') == AnsiString::npos) return name;
    AnsiString result;
    result.reserve(name.size() * 2 + 3);
    result = "DC=";
    for (char c : name) {
        if (c == '.')
            result += ",DC=";
        else
            result += c;
    }
    return result;
}

AnsiString DnToDomainName(const AnsiString& name) {
    size_t first = name.find('=');
    if (first == AnsiString::npos) return name;
    AnsiString copy = name.substr(first + 1);
    // Each "," and the attribute type after it, up to its "=", become one ".". An "=" with no
    // "," before it belongs to a value (DC=a=b) and is kept, so the loop always ends.
    size_t from = 0;
    for (;;) {
        size_t comma = copy.find(',', from);
        if (comma == AnsiString::npos) break;
        size_t equals = copy.find('=', comma);
        if (equals == AnsiString::npos) break;
        copy.replace(comma, equals - comma + 1, ".");
        from = comma + 1;
    }
    return copy;
}

} // namespace kestrune
