// How Active Directory types attribute values: from the schema's attributeSchema objects when
// the directory has them, from AD's standard attributes otherwise.
#pragma once

#include "platform/store/directory_store.h"

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace kestrune::store {

enum class AttributeSyntax {
    String,
    DistinguishedName,
    Integer,
    Boolean,
    LargeInteger,
    OctetString,
    SecurityDescriptor,
    GeneralizedTime
};

// The syntax that an attributeSchema object's attributeSyntax (an OID such as 2.5.5.9) and
// oMSyntax (a number) give; nothing when neither is known.
std::optional<AttributeSyntax> SyntaxFromSchema(std::string_view attributeSyntax,
                                                std::string_view oMSyntax);

// The syntax of one of Active Directory's standard attributes; nothing for other names.
std::optional<AttributeSyntax> StandardSyntax(std::string_view attribute);

// Values compared byte for byte, never case-folded.
inline bool IsBinary(AttributeSyntax s) {
    return s == AttributeSyntax::OctetString || s == AttributeSyntax::SecurityDescriptor;
}

// The syntaxes of one directory: its attributeSchema objects first, then the standard ones;
// any other attribute is a string.
class AttributeSyntaxes {
  public:
    // Takes the syntax of an attributeSchema entry (ignored without lDAPDisplayName or syntax).
    void Learn(const Entry& attributeSchema);
    void Clear() { bySchema_.clear(); }
    AttributeSyntax Of(std::string_view attribute) const;
    bool Empty() const { return bySchema_.empty(); }

  private:
    std::unordered_map<std::string, AttributeSyntax> bySchema_; // by lower-case name
};

} // namespace kestrune::store
