// The user, the computer account and the site of this session, found in the directory the
// way a domain member knows them: the logon identity, the host name, the host's addresses.
#pragma once

#include "platform/ldap/ldap_store.h"

#include <string>
#include <vector>

namespace kestrune::ldap {

// identity: the Kerberos principal or the bind user (a DN, user@REALM or DOMAIN\user).
// Each fact not found stays empty and adds a line to notes saying why.
SessionFacts FindSessionFacts(store::DirectoryStore& directory, const std::string& identity,
                              std::vector<std::string>& notes);

// The forest's subnet ("10.1.0.0/16", "2001:db8::/32") that holds one of the addresses with
// the longest prefix; -1 when none does. Exposed for tests.
int LongestMatchingSubnet(const std::vector<std::string>& subnets,
                          const std::vector<std::string>& addresses);

} // namespace kestrune::ldap
