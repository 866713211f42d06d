// SHA-256 (FIPS 180-4) of a byte string, as 64 lower-case hex digits.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace kestrune {

// The same of bytes given a piece at a time, so that a large file need not be held whole.
class Sha256 {
  public:
    void Add(std::string_view bytes);
    std::string Hex() &&;

  private:
    std::array<uint32_t, 8> h_ = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                  0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    unsigned char block_[64] = {};
    size_t blockSize_ = 0;
    uint64_t total_ = 0;
    bool hardware_ = true;
    friend std::string Sha256HexPortable(std::string_view bytes);
};

std::string Sha256Hex(std::string_view bytes);

// The same without the processor's SHA instructions, which Sha256Hex uses where it has them.
std::string Sha256HexPortable(std::string_view bytes);

} // namespace kestrune
