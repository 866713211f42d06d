#include "platform/ldap/domain_controllers.h"

#include "platform/store/dn.h"
#include "platform/store/filter.h"

namespace kestrune::ldap {

Expected<std::vector<std::string>> FindDomainControllers(store::DirectoryStore& directory,
                                                         const std::string& domainDn) {
    std::vector<store::Entry> root;
    store::Status status = store::SearchAll(
        directory, {"", store::Scope::Base, "(objectClass=*)", {"configurationNamingContext"}, 0},
        root);
    if (!status.ok() || root.empty())
        return Error{0, "the rootDSE cannot be read: " + status.message};
    const std::string dn = store::EscapeFilterValue(domainDn);
    std::vector<store::Entry> dsas;
    status = store::SearchAll(
        directory,
        {"CN=Sites," + root.front().First("configurationNamingContext"),
         store::Scope::Subtree,
         "(&(objectClass=nTDSDSA)(|(msDS-hasDomainNCs=" + dn + ")(hasMasterNCs=" + dn + ")))",
         {"1.1"},
         0},
        dsas);
    if (!status.ok()) return Error{0, "the domain controllers cannot be listed: " + status.message};
    std::vector<std::string> hosts;
    for (const store::Entry& dsa : dsas) {
        std::vector<store::Entry> server;
        if (!store::SearchAll(directory,
                              {store::ParentDn(dsa.dn),
                               store::Scope::Base,
                               "(objectClass=*)",
                               {"dNSHostName"},
                               0},
                              server)
                 .ok() ||
            server.empty() || server.front().First("dNSHostName").empty())
            continue;
        hosts.push_back(server.front().First("dNSHostName"));
    }
    if (hosts.empty()) return Error{0, "no domain controller of " + domainDn + " is listed"};
    return hosts;
}

} // namespace kestrune::ldap
