#pragma once

#include <string>
#include <string_view>

namespace kestrune::store {

std::string Base64Encode(std::string_view bytes);
// False for text that is not base64 (blanks are skipped).
bool Base64Decode(std::string_view text, std::string& bytes);

} // namespace kestrune::store
