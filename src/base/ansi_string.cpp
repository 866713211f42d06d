#include "base/ansi_string.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <unicode/ucnv.h>
#include <unicode/ustring.h>

namespace kestrune {
namespace {

bool IsAscii(std::string_view text) {
    for (unsigned char c : text)
        if (c >= 0x80) return false;
    return true;
}

bool IsAscii(std::u16string_view text) {
    for (char16_t c : text)
        if (c >= 0x80) return false;
    return true;
}

unsigned ReadCodePage() {
    const char* env = std::getenv("KESTRUNE_CODEPAGE");
    if (!env || !*env) return 1252;
    char* end = nullptr;
    unsigned long value = std::strtoul(env, &end, 10);
    if (*end != '\0' || value == 0 || value > 65535) {
        std::fprintf(stderr,
                     "kestrune: KESTRUNE_CODEPAGE=%s is not a code page number; using 1252\n", env);
        return 1252;
    }
    return static_cast<unsigned>(value);
}

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

// Lone surrogates become '?' so that no invalid UTF-8 is produced.
std::string Utf16ToUtf8Lenient(std::u16string_view text) {
    std::string out;
    out.reserve(text.size() * 3);
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            out += '?';
            continue;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

} // namespace

unsigned ActiveCodePage() {
    static const unsigned codePage = ReadCodePage();
    return codePage;
}

std::string WideToUtf8(std::u16string_view text) {
    if (IsAscii(text)) return std::string(text.begin(), text.end());
    return Utf16ToUtf8Lenient(text);
}

WideString Utf8ToWide(std::string_view text) {
    if (IsAscii(text)) return WideString(text.begin(), text.end());
    WideString out(text.size(), u'\0');
    int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strFromUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &length, text.data(),
                         static_cast<int32_t>(text.size()), 0xFFFD, nullptr, &status);
    if (U_FAILURE(status)) return WideString();
    out.resize(static_cast<size_t>(length));
    return out;
}

AnsiString WideToAnsi(std::u16string_view text) {
    if (IsAscii(text)) return AnsiString(text.begin(), text.end());
    UConverter* converter = Converter();
    if (!converter) return Utf16ToUtf8Lenient(text);
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

} // namespace kestrune
