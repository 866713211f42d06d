// Numbers in byte strings, least significant byte first, as Windows' binary structures
// (security descriptors, access entries, SIDs) hold them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kestrune {

// The number in bytes (at most 4) at at; the caller has checked that they are there.
inline uint32_t ReadLittleEndian(std::string_view b, size_t at, size_t bytes) {
    uint32_t v = 0;
    for (size_t i = 0; i < bytes; ++i)
        v |= uint32_t(static_cast<uint8_t>(b[at + i])) << (8 * i);
    return v;
}

// v as bytes (at most 4) at the end of out.
inline void AppendLittleEndian(std::string& out, uint32_t v, size_t bytes) {
    for (size_t i = 0; i < bytes; ++i)
        out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

} // namespace kestrune
