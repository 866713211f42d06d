// How Active Directory types the values of its attributes, for the ones this program meets.
#pragma once

#include <string>
#include <string_view>

namespace kestrune {

enum class AttributeSyntax {
    String,
    Integer,
    Boolean,
    LargeInteger,
    OctetString,
    SecurityDescriptor,
    GeneralizedTime
};

AttributeSyntax SyntaxOf(std::string_view attribute);

// "20261201090000.0Z" as an OLE date (days since 30 December 1899); 0 when unreadable.
double OleDateFromGeneralizedTime(const std::string& text);

} // namespace kestrune
