#include "platform/smb/smb_url.h"

namespace kestrune::smb {
namespace {

std::string PercentEncoded(const std::string& utf8) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : utf8) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' || c == '~';
        if (plain)
            out += static_cast<char>(c);
        else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

} // namespace

std::string ShareUrl(const AnsiString& server, const AnsiString& share) {
    return "smb://" + PercentEncoded(AnsiToUtf8(server)) + "/" + PercentEncoded(AnsiToUtf8(share)) +
           "/";
}

} // namespace kestrune::smb
