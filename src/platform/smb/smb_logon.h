// Whom a share check logs on to file servers as (libsmbclient; Windows uses the logged-on user).
#pragma once

#include "base/expected.h"

#include <string>

namespace kestrune::smb {

struct SmbLogon {
    // No user: the Kerberos ticket of the session, else an anonymous logon.
    std::string workgroup;
    std::string user;
    std::string password;
};

// The directory's bind user, split for an SMB logon: DOMAIN\user gives the domain and the
// user; user@REALM and plain names stay whole; a distinguished name gives its first value
// (CN=Jo Admin,CN=Users,DC=example,DC=com: Jo Admin of example.com).
SmbLogon LogonAs(const std::string& bindUser, const std::string& password);

// The logon the program uses for the directory: KESTRUNE_BIND_USER with the password from
// KESTRUNE_BIND_PASSWORD_FILE; without both, the Kerberos ticket (or anonymous). An error
// when the password file cannot be read or is empty.
Expected<SmbLogon> SmbLogonFromEnvironment();

} // namespace kestrune::smb
