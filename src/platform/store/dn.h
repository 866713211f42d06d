// Distinguished names (RFC 4514): splitting, comparing and joining.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kestrune::store {

// The RDNs of dn, outermost last, as written (surrounding blanks removed). False when dn is
// not a DN: an RDN without "=" or with an empty type.
bool SplitDn(std::string_view dn, std::vector<std::string>& rdns);

// A key equal for DNs that name the same entry: types and values compared without regard to
// case, blanks around separators ignored. Empty for the empty DN and for malformed DNs.
std::string NormalizeDn(std::string_view dn);

// Where the first RDN of dn ends: its first unescaped separator, or npos for a single RDN.
size_t FirstRdnEnd(std::string_view dn);
// The DN of the parent ("" for a single RDN).
std::string ParentDn(std::string_view dn);
// The first RDN as written ("CN=Users").
std::string FirstRdn(std::string_view dn);
// The value of an RDN, unescaped ("CN=a\,b" gives "a,b").
std::string RdnValue(std::string_view rdn);
// The type of an RDN ("CN").
std::string RdnType(std::string_view rdn);
// rdn + "," + parent, or rdn alone under the empty DN.
std::string JoinDn(std::string_view rdn, std::string_view parent);
// A value escaped for use in an RDN.
std::string EscapeDnValue(std::string_view value);

// Case folding for comparisons: ASCII letters directly, anything else through Unicode folding.
std::string FoldCase(std::string_view utf8);

} // namespace kestrune::store
