#include "platform/store/guid.h"

#include <cstdint>
#include <cstdio>
#include <random>

namespace kestrune::store {

std::string RandomGuid() {
    static std::mt19937_64 generator{std::random_device{}()};
    std::string guid(16, '\0');
    for (size_t i = 0; i < 16; i += 8) {
        uint64_t r = generator();
        for (size_t b = 0; b < 8; ++b)
            guid[i + b] = static_cast<char>(r >> (8 * b));
    }
    guid[7] = static_cast<char>((guid[7] & 0x0F) | 0x40); // version 4, little-endian field
    guid[8] = static_cast<char>((guid[8] & 0x3F) | 0x80);
    return guid;
}

std::string NameGuid(const std::string& name) {
    std::string guid(16, '\0');
    uint64_t a = 0xcbf29ce484222325ull, b = 0x84222325cbf29ce4ull;
    for (unsigned char c : name) {
        a = (a ^ c) * 0x100000001b3ull;
        b = (b ^ c) * 0x100000001b3ull + 0x9e3779b97f4a7c15ull;
    }
    for (int i = 0; i < 8; ++i) {
        guid[i] = static_cast<char>(a >> (8 * i));
        guid[8 + i] = static_cast<char>(b >> (8 * i));
    }
    return guid;
}

std::string GuidText(const std::string& g) {
    auto b = [&](int i) { return static_cast<unsigned>(static_cast<uint8_t>(g[i])); };
    char text[40];
    std::snprintf(text, sizeof text,
                  "%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x", b(3),
                  b(2), b(1), b(0), b(5), b(4), b(7), b(6), b(8), b(9), b(10), b(11), b(12), b(13),
                  b(14), b(15));
    return text;
}

} // namespace kestrune::store
