// Code-page conversion: any bytes and any UTF-16 convert without harm; a conversion that went
// through once goes through again unchanged, and UTF-8 round trips keep every character.
#include "base/ansi_string.h"
#include "fuzz_input.h"

using namespace kestrune;

namespace {

bool IsSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDFFF;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);

    // 8-bit text in the active code page.
    AnsiString ansi = WideToAnsi(AnsiToWide(bytes));
    if (WideToAnsi(AnsiToWide(ansi)) != ansi) fuzz::Broken("the code page round trip is unstable");

    // UTF-8, valid or not.
    std::string utf8 = WideToUtf8(Utf8ToWide(bytes));
    if (WideToUtf8(Utf8ToWide(utf8)) != utf8) fuzz::Broken("the UTF-8 round trip is unstable");

    // UTF-16, lone surrogates included: each unit survives, or becomes one '?'.
    std::u16string wide(size / 2, u'\0');
    for (size_t i = 0; i < wide.size(); ++i)
        wide[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    std::u16string back = Utf8ToWide(WideToUtf8(wide));
    if (back.size() != wide.size()) fuzz::Broken("UTF-16 -> UTF-8 -> UTF-16 changed the length");
    for (size_t i = 0; i < wide.size(); ++i)
        if (back[i] != wide[i] && !(IsSurrogate(wide[i]) && back[i] == u'?'))
            fuzz::Broken("UTF-16 -> UTF-8 -> UTF-16 changed a character");
    WideToAnsi(wide);
    return 0;
}
