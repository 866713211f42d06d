// The ANSI code page on POSIX, converted with ICU.
#include "base/ansi_string.h"

#include "base/ascii.h"

#include <cstdio>
#include <memory>
#include <unicode/ucnv.h>

namespace kestrune {
namespace {

struct ConverterCloser {
    void operator()(UConverter* c) const { ucnv_close(c); }
};
using ConverterPtr = std::unique_ptr<UConverter, ConverterCloser>;

ConverterPtr OpenConverter(unsigned codePage) {
    const std::string number = std::to_string(codePage);
    for (const std::string& name : {"windows-" + number, "cp" + number, "ibm-" + number}) {
        UErrorCode status = U_ZERO_ERROR;
        ConverterPtr converter(ucnv_open(name.c_str(), &status));
        if (U_SUCCESS(status) && converter) {
            status = U_ZERO_ERROR;
            ucnv_setSubstChars(converter.get(), "?", 1, &status);
            return converter;
        }
    }
    return nullptr;
}

// One converter per thread: ICU converters keep state and are not shareable.
UConverter* Converter() {
    thread_local ConverterPtr converter = [] {
        unsigned codePage = ActiveCodePage();
        ConverterPtr c = codePage == kCodePageUtf8 ? nullptr : OpenConverter(codePage);
        if (!c && codePage != kCodePageUtf8) {
            std::fprintf(stderr, "kestrune: code page %u is not available; using 1252\n", codePage);
            c = OpenConverter(1252);
        }
        return c;
    }();
    return converter.get();
}

// A second converter per thread that stops at the first byte sequence it cannot map, where
// the other substitutes.
UConverter* StrictConverter() {
    thread_local ConverterPtr converter = [] {
        ConverterPtr c;
        if (ActiveCodePage() == kCodePageUtf8 || !Converter()) return c;
        UErrorCode status = U_ZERO_ERROR;
        c.reset(ucnv_clone(Converter(), &status));
        if (U_FAILURE(status)) return ConverterPtr();
        status = U_ZERO_ERROR;
        ucnv_setToUCallBack(c.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
        return U_SUCCESS(status) ? std::move(c) : ConverterPtr();
    }();
    return converter.get();
}

} // namespace

unsigned ActiveCodePage() {
    static const unsigned codePage = CodePageSetting(1252);
    return codePage;
}

AnsiString WideToAnsi(std::u16string_view text) {
    if (IsAscii(text)) return AnsiString(text.begin(), text.end());
    UConverter* converter = Converter();
    if (!converter) return WideToUtf8(text);
    AnsiString out(text.size() * static_cast<size_t>(ucnv_getMaxCharSize(converter)) + 1, '\0');
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = ucnv_fromUChars(converter, out.data(), static_cast<int32_t>(out.size()),
                                     text.data(), static_cast<int32_t>(text.size()), &status);
    if (U_FAILURE(status)) return AnsiString();
    out.resize(static_cast<size_t>(length));
    return out;
}

WideString AnsiToWide(std::string_view text) {
    if (IsAscii(text)) return WideString(text.begin(), text.end());
    UConverter* converter = Converter();
    if (!converter) return Utf8ToWide(text);
    WideString out(text.size() * 2 + 1, u'\0');
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = ucnv_toUChars(converter, out.data(), static_cast<int32_t>(out.size()),
                                   text.data(), static_cast<int32_t>(text.size()), &status);
    if (U_FAILURE(status)) return WideString();
    out.resize(static_cast<size_t>(length));
    return out;
}

bool DecodesInCodePage(std::string_view text) {
    if (IsAscii(text)) return true;
    if (!Converter()) return IsUtf8(text);
    UConverter* converter = StrictConverter();
    if (!converter) return false;
    ucnv_resetToUnicode(converter);
    WideString out(text.size() * 2 + 1, u'\0');
    UErrorCode status = U_ZERO_ERROR;
    ucnv_toUChars(converter, out.data(), static_cast<int32_t>(out.size()), text.data(),
                  static_cast<int32_t>(text.size()), &status);
    return U_SUCCESS(status);
}

} // namespace kestrune
