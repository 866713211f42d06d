#include "platform/ldap/dc_locator.h"

#include "base/ascii.h"

#include <algorithm>
#include <arpa/nameser.h>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <netdb.h>
#include <netinet/in.h>
#include <resolv.h>
#include <sstream>
#include <unistd.h>

namespace kestrune::ldap {
namespace {

std::string Lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

} // namespace

std::string KerberosDefaultRealm() {
    const char* env = std::getenv("KRB5_CONFIG");
    std::string files = env && *env ? env : "/etc/krb5.conf";
    std::stringstream list(files);
    std::string file;
    while (std::getline(list, file, ':')) {
        std::ifstream in(file);
        std::string line, section;
        while (std::getline(in, line)) {
            line = std::string(Trim(line, " \t\r"));
            if (line.empty() || line[0] == '#' || line[0] == ';') continue;
            if (line.front() == '[') {
                section = Lower(line);
                continue;
            }
            size_t eq = line.find('=');
            if (section == "[libdefaults]" && eq != std::string::npos &&
                Lower(std::string(Trim(std::string_view(line).substr(0, eq)))) == "default_realm")
                return std::string(Trim(std::string_view(line).substr(eq + 1)));
        }
    }
    return std::string();
}

Expected<std::string> LocalDomainName() {
    if (std::string realm = KerberosDefaultRealm(); !realm.empty()) return Lower(realm);
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    addrinfo hints{};
    hints.ai_flags = AI_CANONNAME;
    addrinfo* info = nullptr;
    std::string fqdn = host;
    if (getaddrinfo(host, nullptr, &hints, &info) == 0 && info) {
        if (info->ai_canonname) fqdn = info->ai_canonname;
        freeaddrinfo(info);
    }
    if (size_t dot = fqdn.find('.'); dot != std::string::npos && dot + 1 < fqdn.size())
        return Lower(fqdn.substr(dot + 1));
    return Error{0, "no Kerberos default realm (krb5.conf) and the host name " + fqdn +
                        " has no DNS domain"};
}

Expected<std::vector<ServiceRecord>> LookUpServices(const std::string& name) {
    unsigned char answer[8192];
    int length = res_query(name.c_str(), ns_c_in, ns_t_srv, answer, sizeof answer);
    if (length < 0) return Error{0, "DNS has no SRV record " + name};
    return ReadServiceRecords(answer, static_cast<size_t>(length), name);
}

Expected<std::vector<ServiceRecord>> ReadServiceRecords(const unsigned char* answer, size_t length,
                                                        const std::string& name) {
    std::vector<ServiceRecord> records;
    ns_msg message;
    if (ns_initparse(answer, static_cast<int>(length), &message) != 0)
        return Error{0, "the DNS answer for " + name + " cannot be read"};
    for (int i = 0; i < ns_msg_count(message, ns_s_an); ++i) {
        ns_rr rr;
        if (ns_parserr(&message, ns_s_an, i, &rr) != 0 || ns_rr_type(rr) != ns_t_srv ||
            ns_rr_rdlen(rr) < 7)
            continue;
        const unsigned char* data = ns_rr_rdata(rr);
        ServiceRecord record;
        record.priority = ns_get16(data);
        record.weight = ns_get16(data + 2);
        record.port = ns_get16(data + 4);
        char target[NS_MAXDNAME];
        if (dn_expand(ns_msg_base(message), ns_msg_end(message), data + 6, target, sizeof target) <
            0)
            continue;
        record.host = target;
        if (record.host.empty() || record.host == ".") continue; // "service not offered"
        records.push_back(record);
    }
    std::stable_sort(records.begin(), records.end(), [](const auto& a, const auto& b) {
        return a.priority != b.priority ? a.priority < b.priority : a.weight > b.weight;
    });
    if (records.empty()) return Error{0, "DNS has no usable SRV record " + name};
    return records;
}

} // namespace kestrune::ldap
