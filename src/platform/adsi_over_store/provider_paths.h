// ADSI paths of the LDAP and GC providers: LDAP://[server/]DN, with "/" in the DN escaped.
#pragma once

#include <string>

namespace kestrune::adsi_store {

struct Path {
    std::u16string provider; // "LDAP" or "GC"
    std::u16string server;   // as written, possibly empty
    std::string dn;          // UTF-8, "/" unescaped
};

// False for anything that is not such a path, also for a DN holding an unescaped "/".
bool ParsePath(const std::u16string& text, Path& path);
// "LDAP://" or "LDAP://server/".
std::u16string Prefix(const Path& path);
// The path of dn under the provider and server of path.
std::u16string PathOf(const Path& path, const std::string& dn);
// LDAP://[server/]schema/<class>: the class name, or empty.
std::string SchemaClassName(const Path& path);

} // namespace kestrune::adsi_store
