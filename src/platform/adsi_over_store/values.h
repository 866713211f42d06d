// Attribute values as ADSI hands them out, typed by the attribute's syntax.
#pragma once

#include "adsi/adsi.h"
#include "platform/store/attribute_syntax.h"

#include <string>

namespace kestrune::adsi_store {

adsi::Variant ValueOf(store::AttributeSyntax syntax, const std::string& raw);
// Bytes as lower-case hexadecimal digits (a GUID's text form here).
std::u16string HexOf(const std::string& bytes);

} // namespace kestrune::adsi_store
