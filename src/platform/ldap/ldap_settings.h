// Where the directory is and how to log on to it, from KESTRUNE_PLATFORM and the environment
// variables an administrator sets (KESTRUNE_BIND_USER, KESTRUNE_BIND_PASSWORD_FILE,
// KESTRUNE_STARTTLS, KESTRUNE_LDAP_TIMEOUT).
#pragma once

#include "base/expected.h"

#include <chrono>
#include <string>

namespace kestrune::ldap {

struct Endpoint {
    bool ldaps = false;
    std::string host;
    int port = 0;

    std::string Uri() const; // ldap://host:port
    std::string Key() const { return host + ":" + std::to_string(port); }
};

struct Settings {
    Endpoint domain;        // the domain controller's own port (389 / 636)
    Endpoint globalCatalog; // the same server's global catalog (3268 / 3269) unless found apart
    bool startTls = false;
    std::chrono::seconds timeout{30};
    // Empty: Kerberos (SASL GSSAPI) with the user's ticket. Otherwise a simple bind as this
    // name (a DN, user@REALM or DOMAIN\user) with the password.
    std::string bindUser;
    std::string password;
};

// ldap://HOST[:PORT] or ldaps://HOST[:PORT] (a trailing "/" is allowed); the global catalog
// on the same host. An error for anything else.
Expected<void> ParseServerUri(const std::string& uri, Settings& settings);

// The timeout, StartTLS and the bind user with its password: from the file that
// KESTRUNE_BIND_PASSWORD_FILE names, else asked for on the terminal. The password is never
// taken from the command line or the environment itself; an empty one is refused, since the
// server would take it as an anonymous bind.
Expected<void> ReadLogonSettings(Settings& settings);

} // namespace kestrune::ldap
