#include "platform/store/base64.h"

#include <array>

namespace kestrune::store {
namespace {
constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<int8_t, 256> DecodeTable() {
    std::array<int8_t, 256> table{};
    for (auto& v : table)
        v = -1;
    for (int i = 0; i < 64; ++i)
        table[static_cast<unsigned char>(kAlphabet[i])] = static_cast<int8_t>(i);
    return table;
}
constexpr auto kDecode = DecodeTable();
} // namespace

std::string Base64Encode(std::string_view bytes) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        uint32_t n =
            (uint8_t(bytes[i]) << 16) | (uint8_t(bytes[i + 1]) << 8) | uint8_t(bytes[i + 2]);
        out += kAlphabet[n >> 18];
        out += kAlphabet[(n >> 12) & 63];
        out += kAlphabet[(n >> 6) & 63];
        out += kAlphabet[n & 63];
    }
    if (i < bytes.size()) {
        uint32_t n = uint8_t(bytes[i]) << 16;
        if (i + 1 < bytes.size()) n |= uint8_t(bytes[i + 1]) << 8;
        out += kAlphabet[n >> 18];
        out += kAlphabet[(n >> 12) & 63];
        out += i + 1 < bytes.size() ? kAlphabet[(n >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

bool Base64Decode(std::string_view text, std::string& bytes) {
    // Written in place: a large value would otherwise be grown a byte at a time.
    bytes.resize(text.size() / 4 * 3 + 3);
    char* out = bytes.data();
    uint32_t bits = 0;
    int count = 0, padding = 0;
    const char* at = text.data();
    const char* end = at + text.size();
    while (at < end) {
        if (count == 0 && padding == 0 && end - at >= 4) {
            // Four characters of the alphabet together: one group at once.
            int8_t a = kDecode[static_cast<unsigned char>(at[0])];
            int8_t b = kDecode[static_cast<unsigned char>(at[1])];
            int8_t c = kDecode[static_cast<unsigned char>(at[2])];
            int8_t d = kDecode[static_cast<unsigned char>(at[3])];
            if ((a | b | c | d) >= 0) {
                uint32_t group = static_cast<uint32_t>(a) << 18 | static_cast<uint32_t>(b) << 12 |
                                 static_cast<uint32_t>(c) << 6 | static_cast<uint32_t>(d);
                *out++ = static_cast<char>(group >> 16);
                *out++ = static_cast<char>((group >> 8) & 0xFF);
                *out++ = static_cast<char>(group & 0xFF);
                at += 4;
                continue;
            }
        }
        char c = *at++;
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
        if (c == '=') {
            ++padding;
            continue;
        }
        int8_t v = kDecode[static_cast<unsigned char>(c)];
        if (v < 0 || padding > 0) {
            bytes.clear();
            return false;
        }
        bits = (bits << 6) | static_cast<uint32_t>(v);
        if (++count == 4) {
            *out++ = static_cast<char>(bits >> 16);
            *out++ = static_cast<char>((bits >> 8) & 0xFF);
            *out++ = static_cast<char>(bits & 0xFF);
            bits = 0;
            count = 0;
        }
    }
    if (count == 2) *out++ = static_cast<char>(bits >> 4);
    if (count == 3) {
        *out++ = static_cast<char>(bits >> 10);
        *out++ = static_cast<char>((bits >> 2) & 0xFF);
    }
    bytes.resize(static_cast<size_t>(out - bytes.data()));
    return count != 1 && padding <= 2;
}

} // namespace kestrune::store
