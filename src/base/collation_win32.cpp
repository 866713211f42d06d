// Locale comparison on Windows: the user's default locale, as CompareStringA orders text.
#include "base/collation.h"

#include "base/windows_sdk.h"

namespace kestrune {
namespace {

const wchar_t* Wide(const WideString& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

} // namespace

// Windows' word sort: hyphens and apostrophes weigh almost nothing ("co-op" beside "coop").
int CompareText(std::string_view a, std::string_view b) {
    WideString wa = AnsiToWide(a);
    WideString wb = AnsiToWide(b);
    int r = CompareStringEx(LOCALE_NAME_USER_DEFAULT, NORM_IGNORECASE, Wide(wa),
                            static_cast<int>(wa.size()), Wide(wb), static_cast<int>(wb.size()),
                            nullptr, nullptr, 0);
    if (r == 0) return wa.compare(wb); // the locale refused the text: code unit order
    return r - CSTR_EQUAL;
}

std::string CollationKey(std::string_view text) {
    WideString wide = AnsiToWide(text);
    const DWORD flags = LCMAP_SORTKEY | NORM_IGNORECASE;
    int needed = LCMapStringEx(LOCALE_NAME_USER_DEFAULT, flags, Wide(wide),
                               static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr, 0);
    if (needed <= 0) return std::string();
    std::string key(static_cast<size_t>(needed), '\0');
    // A sort key is a byte string, even though the call's output type is wide.
    LCMapStringEx(LOCALE_NAME_USER_DEFAULT, flags, Wide(wide), static_cast<int>(wide.size()),
                  reinterpret_cast<LPWSTR>(key.data()), needed, nullptr, nullptr, 0);
    if (!key.empty() && key.back() == '\0') key.pop_back(); // the final zero is not part of it
    return key;
}

} // namespace kestrune
