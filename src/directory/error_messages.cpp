// The thread's last error as the component's error pair.
#include "base/last_error.h"
#include "base/message_table.h"
#include "directory/tntads.h"

#include <array>

namespace kestrune {
namespace {

// ADSI's first failure codes (0x80005000 and on, bit 31 cleared) by their names; the rest of
// the block are numbered placeholders.
constexpr std::array<const char*, 8> kAdsiNames = {
    "E_ADS_BAD_PATHNAME",          "E_ADS_INVALID_DOMAIN_OBJECT",
    "E_ADS_INVALID_USER_OBJECT",   "E_ADS_INVALID_COMPUTER_OBJECT",
    "E_ADS_UNKNOWN_OBJECT",        "E_ADS_PROPERTY_NOT_SET",
    "E_ADS_PROPERT_NOT_SUPPORTED", "E_ADS_PROPERTY_INVALID",
};

} // namespace

void TNTADS::GetErrorMessage() {
    uint32_t code = kestrune::GetLastError() & 0x7FFFFFFFu;
    FLastError = code;
    if (code == 0) {
        FLastMessage.clear();
    } else if (code >= 0x5000 && code < 0x5000 + kAdsiNames.size()) {
        FLastMessage = AnsiToWide(kAdsiNames[code - 0x5000]);
    } else if (code >= 0x5000 && code <= 0x5014) {
        static const char hex[] = "0123456789abcdef";
        FLastMessage = u"Not Defined";
        FLastMessage += static_cast<char16_t>(hex[code & 0xF]);
    } else {
        std::string text = FormatSystemMessage(code);
        if (text.size() > 255) text.resize(255); // the system's buffer holds 255 characters
        FLastMessage = text.empty() ? AnsiToWide("Unknown error (" + std::to_string(code) + ")")
                                    : AnsiToWide(text);
    }
}

} // namespace kestrune
