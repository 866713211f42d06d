#include "base/ansi_string.h"

#include "base/ascii.h"

#include <cstdio>
#include <cstdlib>

namespace kestrune {
namespace {

void AppendUtf8(std::string& out, char32_t c) {
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

// The length of the well-formed UTF-8 sequence at text[i], or 0 when there is none there.
size_t Utf8SequenceLength(std::string_view text, size_t i, char32_t& c) {
    auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    unsigned char lead = byte(i);
    size_t length = lead < 0xC2 ? 0 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF5 ? 4 : 0;
    if (length == 0 || i + length > text.size()) return 0;
    // The second byte's range excludes overlong forms, surrogates and values above U+10FFFF.
    unsigned char second = byte(i + 1);
    unsigned char low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
    unsigned char high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
    if (second < low || second > high) return 0;
    c = lead & (0xFF >> (length + 1));
    for (size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        c = (c << 6) | (byte(i + k) & 0x3F);
    }
    return length;
}

} // namespace

unsigned CodePageSetting(unsigned fallback) {
    const char* env = std::getenv("KESTRUNE_CODEPAGE");
    if (!env || !*env) return fallback;
    char* end = nullptr;
    unsigned long value = std::strtoul(env, &end, 10);
    if (*end != '\0' || value == 0 || value > 65535) {
        std::fprintf(stderr, "kestrune: KESTRUNE_CODEPAGE=%s is not a code page number; using %u\n",
                     env, fallback);
        return fallback;
    }
    return static_cast<unsigned>(value);
}

// Lone surrogates become '?' so that no invalid UTF-8 is produced.
std::string WideToUtf8(std::u16string_view text) {
    std::string out;
    AppendWideAsUtf8(out, text);
    return out;
}

void AppendWideAsUtf8(std::string& out, std::u16string_view text) {
    out.reserve(out.size() + text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = '?';
        }
        AppendUtf8(out, c);
    }
}

// Each byte that does not start a well-formed sequence becomes U+FFFD.
WideString Utf8ToWide(std::string_view text) {
    if (IsAscii(text)) return WideString(text.begin(), text.end());
    WideString out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        char32_t c = static_cast<unsigned char>(text[i]);
        size_t length = c < 0x80 ? 1 : Utf8SequenceLength(text, i, c);
        if (length == 0) {
            c = 0xFFFD;
            length = 1;
        }
        if (c >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
        i += length;
    }
    return out;
}

AnsiString Utf8ToAnsi(std::string_view text) {
    return WideToAnsi(Utf8ToWide(text));
}

std::string AnsiToUtf8(std::string_view text) {
    return WideToUtf8(AnsiToWide(text));
}

bool IsUtf8(std::string_view text) {
    for (size_t i = 0; i < text.size();) {
        char32_t c = static_cast<unsigned char>(text[i]);
        size_t length = c < 0x80 ? 1 : Utf8SequenceLength(text, i, c);
        if (length == 0) return false;
        i += length;
    }
    return true;
}

} // namespace kestrune
