// SHA-256 (FIPS 180-4) of a byte string, as 64 lower-case hex digits.
#pragma once

#include <string>
#include <string_view>

namespace kestrune {

std::string Sha256Hex(std::string_view bytes);

// The same without the processor's SHA instructions, which Sha256Hex uses where it has them.
std::string Sha256HexPortable(std::string_view bytes);

} // namespace kestrune
