// 8-bit text in the process ANSI code page and UTF-16 text, and the conversions between them.
#pragma once

#include <string>
#include <string_view>

namespace kestrune {

// Bytes in the process ANSI code page.
using AnsiString = std::string;
// UTF-16 code units.
using WideString = std::u16string;

constexpr unsigned kCodePageUtf8 = 65001;

// The process ANSI code page: the code page that KESTRUNE_CODEPAGE names, otherwise GetACP()
// on Windows and Windows-1252 on POSIX (so that backup files move between the two unchanged).
// Read once.
unsigned ActiveCodePage();

// The number KESTRUNE_CODEPAGE holds, or fallback when it is unset or not a number.
unsigned CodePageSetting(unsigned fallback);

// Characters the code page lacks become '?', as WideCharToMultiByte does by default.
AnsiString WideToAnsi(std::u16string_view text);
WideString AnsiToWide(std::string_view text);

// Whether every byte of text is part of a character of the code page: AnsiToWide then replaces
// nothing. Bytes the code page leaves undefined, and under 65001 anything that is not UTF-8,
// are not.
bool DecodesInCodePage(std::string_view text);

// UTF-8 <-> UTF-16, independent of the code page (directory values are UTF-8).
std::string WideToUtf8(std::u16string_view text);
// The same, appended to out: a string reused from call to call keeps its room.
void AppendWideAsUtf8(std::string& out, std::u16string_view text);
WideString Utf8ToWide(std::string_view text);
// UTF-8 <-> the ANSI code page, through UTF-16: directory values and properties-file text on
// their way to and from backup lines, logs and the console. Characters the code page lacks
// become '?' (WideToAnsi).
AnsiString Utf8ToAnsi(std::string_view text);
std::string AnsiToUtf8(std::string_view text);
// Whether text is well-formed UTF-8 (no overlong forms, surrogates or values above U+10FFFF).
bool IsUtf8(std::string_view text);

} // namespace kestrune
