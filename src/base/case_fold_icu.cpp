#include "base/case_fold.h"

#include <unicode/uchar.h>
#include <unicode/ustring.h>

namespace kestrune {

std::u16string FoldCase(std::u16string_view text) {
    std::u16string out(text);
    bool ascii = true;
    for (char16_t& c : out) {
        if (c >= 0x80) ascii = false;
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
    }
    if (ascii) return out;
    // Full folding may lengthen the text (ß becomes ss); three units per unit is enough.
    std::u16string folded(text.size() * 3 + 1, u'\0');
    UErrorCode status = U_ZERO_ERROR;
    int32_t n = u_strFoldCase(folded.data(), static_cast<int32_t>(folded.size()), text.data(),
                              static_cast<int32_t>(text.size()), U_FOLD_CASE_DEFAULT, &status);
    if (U_FAILURE(status)) return out;
    folded.resize(static_cast<size_t>(n));
    return folded;
}

} // namespace kestrune
