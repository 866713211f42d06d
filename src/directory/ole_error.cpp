#include "directory/ole_error.h"

#include "base/message_table.h"

#include <cstdio>

namespace kestrune {
namespace {

AnsiString TrimTail(AnsiString text) {
    while (!text.empty() && (static_cast<unsigned char>(text.back()) <= 32 || text.back() == '.'))
        text.pop_back();
    return text;
}

AnsiString CodeText(adsi::HRESULT hr) {
    char text[32];
    std::snprintf(text, sizeof text, "OLE error %.8x", static_cast<unsigned>(hr));
    return text;
}

} // namespace

AnsiString OleSystemText(adsi::HRESULT hr) {
    AnsiString text = TrimTail(FormatSystemMessage(static_cast<uint32_t>(hr)));
    return text.empty() ? CodeText(hr) : text;
}

AnsiString OleErrorText(adsi::HRESULT hr) {
    std::shared_ptr<adsi::IErrorInfo> info;
    if (adsi::GetErrorInfo(info) == adsi::S_OK && info) {
        AnsiString text = TrimTail(WideToAnsi(info->Description()));
        if (!text.empty()) return text;
    }
    return OleSystemText(hr);
}

void OleCheck(adsi::HRESULT hr) {
    if (adsi::FAILED(hr)) throw EOleError(OleErrorText(hr), hr);
}

void ThrowCreateError(adsi::HRESULT hr, const adsi::CLSID& clsid) {
    throw EOleError(OleSystemText(hr) + ", ClassID: " + clsid.ToString(), hr);
}

} // namespace kestrune
