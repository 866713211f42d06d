// The ANSI code page on Windows, converted by the system.
#include "base/ansi_string.h"

#include "base/ascii.h"

#include <cstdio>

#include "base/windows_sdk.h"

namespace kestrune {
namespace {

unsigned UsableCodePage() {
    unsigned codePage = CodePageSetting(GetACP());
    if (codePage == kCodePageUtf8 || IsValidCodePage(codePage)) return codePage;
    std::fprintf(stderr, "kestrune: code page %u is not available; using 1252\n", codePage);
    return 1252;
}

} // namespace

unsigned ActiveCodePage() {
    static const unsigned codePage = UsableCodePage();
    return codePage;
}

// Without WC_NO_BEST_FIT_CHARS Windows writes look-alikes for missing characters (U+FF02 as a
// double quote, U+2215 as a slash), which would change the meaning of a backup line.
AnsiString WideToAnsi(std::u16string_view text) {
    if (IsAscii(text)) return AnsiString(text.begin(), text.end());
    unsigned codePage = ActiveCodePage();
    if (codePage == kCodePageUtf8) return WideToUtf8(text);
    const wchar_t* wide = reinterpret_cast<const wchar_t*>(text.data());
    int length = static_cast<int>(text.size());
    DWORD flags = WC_NO_BEST_FIT_CHARS;
    const char* missing = "?";
    int needed = WideCharToMultiByte(codePage, flags, wide, length, nullptr, 0, missing, nullptr);
    if (needed == 0) {
        // Code pages such as GB18030 take neither flags nor a replacement character; they hold
        // every character anyway.
        flags = 0;
        missing = nullptr;
        needed = WideCharToMultiByte(codePage, flags, wide, length, nullptr, 0, missing, nullptr);
    }
    if (needed <= 0) return AnsiString();
    AnsiString out(static_cast<size_t>(needed), '\0');
    WideCharToMultiByte(codePage, flags, wide, length, out.data(), needed, missing, nullptr);
    return out;
}

WideString AnsiToWide(std::string_view text) {
    if (IsAscii(text)) return WideString(text.begin(), text.end());
    unsigned codePage = ActiveCodePage();
    if (codePage == kCodePageUtf8) return Utf8ToWide(text);
    int length = static_cast<int>(text.size());
    int needed = MultiByteToWideChar(codePage, 0, text.data(), length, nullptr, 0);
    if (needed <= 0) return WideString();
    WideString out(static_cast<size_t>(needed), u'\0');
    MultiByteToWideChar(codePage, 0, text.data(), length, reinterpret_cast<wchar_t*>(out.data()),
                        needed);
    return out;
}

bool DecodesInCodePage(std::string_view text) {
    if (IsAscii(text)) return true;
    unsigned codePage = ActiveCodePage();
    if (codePage == kCodePageUtf8) return IsUtf8(text);
    // Code pages that take no flags (GB18030 and the like) map every byte sequence.
    int length = static_cast<int>(text.size());
    if (MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), length, nullptr, 0) > 0)
        return true;
    return GetLastError() == ERROR_INVALID_FLAGS &&
           MultiByteToWideChar(codePage, 0, text.data(), length, nullptr, 0) > 0;
}

} // namespace kestrune
