#include "base/case_fold.h"

#include "base/windows_sdk.h"

namespace kestrune {

std::u16string FoldCase(std::u16string_view text) {
    if (text.empty()) return std::u16string();
    const wchar_t* in = reinterpret_cast<const wchar_t*>(text.data());
    int length = static_cast<int>(text.size());
    int needed = LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_LOWERCASE, in, length, nullptr, 0,
                               nullptr, nullptr, 0);
    if (needed <= 0) return std::u16string(text);
    std::u16string folded(static_cast<size_t>(needed), u'\0');
    LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_LOWERCASE, in, length,
                  reinterpret_cast<wchar_t*>(folded.data()), needed, nullptr, nullptr, 0);
    return folded;
}

} // namespace kestrune
