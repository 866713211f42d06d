#include "platform/ldap/pdc_emulator.h"

#include "platform/store/dn.h"

namespace kestrune::ldap {
namespace {

Expected<store::Entry> ReadOne(store::DirectoryStore& directory, const std::string& dn,
                               const std::vector<std::string>& attributes) {
    std::vector<store::Entry> found;
    store::Status status = store::SearchAll(
        directory, {dn, store::Scope::Base, "(objectClass=*)", attributes, 0}, found);
    if (!status.ok()) return Error{0, (dn.empty() ? "the rootDSE" : dn) + ": " + status.message};
    if (found.empty()) return Error{0, (dn.empty() ? "the rootDSE" : dn) + " was not found"};
    return std::move(found.front());
}

} // namespace

Expected<PdcEmulator> FindPdcEmulator(store::DirectoryStore& directory) {
    Expected<store::Entry> root = ReadOne(directory, "", {"defaultNamingContext", "dsServiceName"});
    if (!root) return root.error();
    PdcEmulator pdc;
    pdc.domain = root->First("defaultNamingContext");
    if (pdc.domain.empty()) return Error{0, "the rootDSE names no domain"};
    Expected<store::Entry> head = ReadOne(directory, pdc.domain, {"fSMORoleOwner"});
    if (!head) return head.error();
    pdc.dsa = head->First("fSMORoleOwner");
    if (pdc.dsa.empty()) return Error{0, pdc.domain + " has no fSMORoleOwner"};
    Expected<store::Entry> server = ReadOne(directory, store::ParentDn(pdc.dsa), {"dNSHostName"});
    if (!server) return server.error();
    pdc.host = server->First("dNSHostName");
    if (pdc.host.empty()) return Error{0, store::ParentDn(pdc.dsa) + " has no dNSHostName"};
    pdc.connected = store::NormalizeDn(pdc.dsa) == store::NormalizeDn(root->First("dsServiceName"));
    return pdc;
}

} // namespace kestrune::ldap
