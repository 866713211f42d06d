// Finding a domain controller the way a domain member does: the domain from the Kerberos
// default realm or the host's DNS domain, then the DNS SRV records of its DCs.
#pragma once

#include "base/expected.h"

#include <cstddef>
#include <string>
#include <vector>

namespace kestrune::ldap {

struct ServiceRecord {
    int priority = 0;
    int weight = 0;
    int port = 0;
    std::string host;
};

// The domain this computer belongs to, or why neither source names one.
Expected<std::string> LocalDomainName();

// The SRV records of name (for example "_ldap._tcp.dc._msdcs.example.com"), best first:
// lowest priority, then highest weight; or why DNS has none.
Expected<std::vector<ServiceRecord>> LookUpServices(const std::string& name);
// The SRV records of a DNS answer of length bytes to the question for name, in that order; or
// why it holds none.
Expected<std::vector<ServiceRecord>> ReadServiceRecords(const unsigned char* answer, size_t length,
                                                        const std::string& name);

// The default_realm of the Kerberos configuration (KRB5_CONFIG, else /etc/krb5.conf), or empty.
std::string KerberosDefaultRealm();

} // namespace kestrune::ldap
