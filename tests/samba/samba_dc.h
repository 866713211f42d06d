// The domain controller that tests/samba/dc.sh started for this test program.
#pragma once

#include "platform/ldap/ldap_settings.h"

#include <string>

namespace kestrune::testing {

// Settings for a simple bind as the domain's Administrator at address (ldap://127.0.0.1 by
// default); the test fails when the program was not started through dc.sh.
ldap::Settings SambaSettings(const std::string& address = "ldap://127.0.0.1");

// The folder dc.sh keeps the DC in.
std::string SambaState();

} // namespace kestrune::testing
