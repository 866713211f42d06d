#include "platform/ldap/session_facts.h"

#include "platform/store/dn.h"
#include "platform/store/filter.h"

#include <arpa/inet.h>
#include <array>
#include <cctype>
#include <cstdlib>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <unistd.h>

namespace kestrune::ldap {
namespace {

using store::Entry;
using store::Scope;

// An address as 16 bytes (IPv4 mapped into IPv6) and its bit count offset.
bool ParseAddress(const std::string& text, std::array<unsigned char, 16>& out, int& offset) {
    in_addr v4{};
    in6_addr v6{};
    if (inet_pton(AF_INET, text.c_str(), &v4) == 1) {
        out.fill(0);
        out[10] = out[11] = 0xff;
        std::copy_n(reinterpret_cast<unsigned char*>(&v4), 4, out.begin() + 12);
        offset = 96;
        return true;
    }
    if (inet_pton(AF_INET6, text.c_str(), &v6) == 1) {
        std::copy_n(reinterpret_cast<unsigned char*>(&v6), 16, out.begin());
        offset = 0;
        return true;
    }
    return false;
}

bool SamePrefix(const std::array<unsigned char, 16>& a, const std::array<unsigned char, 16>& b,
                int bits) {
    for (int i = 0; i < bits; ++i) {
        int mask = 0x80 >> (i % 8);
        if ((a[i / 8] & mask) != (b[i / 8] & mask)) return false;
    }
    return true;
}

std::vector<std::string> HostAddresses() {
    std::vector<std::string> out;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return out;
    for (ifaddrs* a = list; a; a = a->ifa_next) {
        if (!a->ifa_addr) continue;
        char text[INET6_ADDRSTRLEN] = {};
        if (a->ifa_addr->sa_family == AF_INET)
            inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(a->ifa_addr)->sin_addr, text,
                      sizeof text);
        else if (a->ifa_addr->sa_family == AF_INET6)
            inet_ntop(AF_INET6, &reinterpret_cast<sockaddr_in6*>(a->ifa_addr)->sin6_addr, text,
                      sizeof text);
        else
            continue;
        out.push_back(text);
    }
    freeifaddrs(list);
    return out;
}

std::string FirstDn(store::DirectoryStore& directory, const std::string& base,
                    const std::string& filter) {
    std::vector<Entry> found;
    if (!store::SearchAll(directory, {base, Scope::Subtree, filter, {"1.1"}, 0}, found).ok() ||
        found.empty())
        return std::string();
    return found.front().dn;
}

std::string FindUser(store::DirectoryStore& directory, const std::string& domain,
                     const std::string& identity) {
    if (identity.find('=') != std::string::npos) {
        std::vector<Entry> found;
        if (store::SearchAll(directory, {identity, Scope::Base, "(objectClass=*)", {"1.1"}, 0},
                             found)
                .ok() &&
            !found.empty())
            return found.front().dn;
        return std::string();
    }
    std::string account = identity;
    if (size_t slash = identity.find('\\'); slash != std::string::npos)
        account = identity.substr(slash + 1);
    if (size_t at = identity.find('@'); at != std::string::npos) {
        std::string dn = FirstDn(
            directory, domain,
            "(&(objectClass=user)(userPrincipalName=" + store::EscapeFilterValue(identity) + "))");
        if (!dn.empty()) return dn;
        account = identity.substr(0, at);
    }
    return FirstDn(directory, domain,
                   "(&(objectClass=user)(sAMAccountName=" + store::EscapeFilterValue(account) +
                       "))");
}

} // namespace

int LongestMatchingSubnet(const std::vector<std::string>& subnets,
                          const std::vector<std::string>& addresses) {
    int best = -1, bestBits = -1;
    for (size_t i = 0; i < subnets.size(); ++i) {
        size_t slash = subnets[i].find('/');
        if (slash == std::string::npos) continue;
        std::array<unsigned char, 16> network{};
        int offset = 0;
        if (!ParseAddress(subnets[i].substr(0, slash), network, offset)) continue;
        char* end = nullptr;
        long bits = std::strtol(subnets[i].c_str() + slash + 1, &end, 10);
        if (*end || bits < 0 || bits + offset > 128) continue;
        for (const std::string& text : addresses) {
            std::array<unsigned char, 16> address{};
            int addressOffset = 0;
            if (!ParseAddress(text, address, addressOffset) || addressOffset != offset) continue;
            if (SamePrefix(network, address, offset + static_cast<int>(bits)) && bits > bestBits) {
                best = static_cast<int>(i);
                bestBits = static_cast<int>(bits);
            }
        }
    }
    return best;
}

SessionFacts FindSessionFacts(store::DirectoryStore& directory, const std::string& identity,
                              std::vector<std::string>& notes) {
    SessionFacts facts;
    std::vector<Entry> root;
    store::Status read =
        store::SearchAll(directory, {"", Scope::Base, "(objectClass=*)", {}, 0}, root);
    if (!read.ok()) {
        notes.push_back("user, computer and site: the rootDSE could not be read: " + read.message);
        return facts;
    }
    std::string domain = root.empty() ? std::string() : root.front().First("defaultNamingContext");
    std::string configuration =
        root.empty() ? std::string() : root.front().First("configurationNamingContext");

    facts.user = FindUser(directory, domain, identity);
    if (facts.user.empty())
        notes.push_back("user: no account in " + domain + " matches the logon name " +
                        (identity.empty() ? std::string("(none)") : identity) +
                        " by userPrincipalName or sAMAccountName");

    char host[256] = {};
    gethostname(host, sizeof host - 1);
    std::string name(host);
    name = name.substr(0, name.find('.'));
    for (char& c : name)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    facts.computer = FirstDn(
        directory, domain,
        "(&(objectClass=computer)(sAMAccountName=" + store::EscapeFilterValue(name + "$") + "))");
    if (facts.computer.empty())
        notes.push_back("computer: no computer account " + name + "$ in " + domain);

    std::vector<Entry> subnets;
    store::Status searched = store::SearchAll(directory,
                                              {"CN=Subnets,CN=Sites," + configuration,
                                               Scope::OneLevel,
                                               "(objectClass=subnet)",
                                               {"cn", "siteObject"},
                                               0},
                                              subnets);
    if (!searched.ok()) {
        notes.push_back("site: the forest's subnets could not be read: " + searched.message);
        return facts;
    }
    std::vector<std::string> names;
    for (const Entry& s : subnets)
        names.push_back(s.First("cn"));
    std::vector<std::string> addresses = HostAddresses();
    int match = LongestMatchingSubnet(names, addresses);
    if (match >= 0)
        facts.site = store::RdnValue(store::FirstRdn(subnets[match].First("siteObject")));
    if (facts.site.empty()) {
        std::string list;
        for (const std::string& a : addresses)
            list += (list.empty() ? "" : ", ") + a;
        notes.push_back("site: none of this computer's addresses (" + list +
                        ") lies in a subnet of the forest's sites");
    }
    return facts;
}

} // namespace kestrune::ldap
