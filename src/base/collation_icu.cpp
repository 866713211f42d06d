#include "base/collation.h"

#include <cstring>
#include <memory>
#include <unicode/ucol.h>
#include <unicode/uloc.h>
#include <vector>

namespace kestrune {
namespace {

struct CollatorCloser {
    void operator()(UCollator* c) const { ucol_close(c); }
};

// The POSIX locale's tailoring orders every capital before every small letter, which would
// make case matter; a program started with LANG=C gets the root order instead.
std::string UserLocale() {
    std::string locale = uloc_getDefault();
    if (locale.rfind("en_US_POSIX", 0) == 0 || locale == "c" || locale == "posix") return "";
    return locale;
}

// Collators are not safe to share between threads; each thread opens its own.
UCollator* Collator() {
    thread_local std::unique_ptr<UCollator, CollatorCloser> collator = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<UCollator, CollatorCloser> c(ucol_open(UserLocale().c_str(), &status));
        if (U_FAILURE(status)) {
            status = U_ZERO_ERROR;
            c.reset(ucol_open("", &status));
        }
        // Secondary strength: accents matter, case does not.
        ucol_setStrength(c.get(), UCOL_SECONDARY);
        return c;
    }();
    return collator.get();
}

} // namespace

int CompareText(std::string_view a, std::string_view b) {
    WideString wa = AnsiToWide(a);
    WideString wb = AnsiToWide(b);
    UCollationResult r = ucol_strcoll(Collator(), wa.data(), static_cast<int32_t>(wa.size()),
                                      wb.data(), static_cast<int32_t>(wb.size()));
    return r == UCOL_LESS ? -1 : (r == UCOL_GREATER ? 1 : 0);
}

std::string CollationKey(std::string_view text) {
    WideString wide = AnsiToWide(text);
    // One buffer per thread, grown as needed: a key is made for every line of a large sort,
    // and each is kept at its own size.
    thread_local std::vector<uint8_t> scratch(256);
    for (;;) {
        int32_t needed = ucol_getSortKey(Collator(), wide.data(), static_cast<int32_t>(wide.size()),
                                         scratch.data(), static_cast<int32_t>(scratch.size()));
        if (needed <= static_cast<int32_t>(scratch.size())) {
            // The final zero is not part of the key.
            size_t size = needed > 0 ? static_cast<size_t>(needed - 1) : 0;
            return std::string(reinterpret_cast<const char*>(scratch.data()), size);
        }
        scratch.resize(static_cast<size_t>(needed));
    }
}

} // namespace kestrune
