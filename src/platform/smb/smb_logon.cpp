#include "platform/smb/smb_logon.h"

#include "base/password_file.h"

#include <cstdlib>
#include <vector>

namespace kestrune::smb {
namespace {

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

bool StartsWithNoCase(const std::string& text, const char* prefix) {
    for (size_t i = 0; prefix[i]; ++i)
        if (i >= text.size() || (text[i] | 0x20) != (prefix[i] | 0x20)) return false;
    return true;
}

// The values of a distinguished name's RDNs, unescaped; names the caller cares about only.
std::string RdnValue(const std::string& rdn) {
    std::string value;
    for (size_t i = rdn.find('=') + 1; i < rdn.size(); ++i) {
        if (rdn[i] == '\\' && i + 1 < rdn.size()) ++i;
        value += rdn[i];
    }
    return value;
}

std::vector<std::string> SplitDn(const std::string& dn) {
    std::vector<std::string> rdns(1);
    for (size_t i = 0; i < dn.size(); ++i) {
        if (dn[i] == '\\' && i + 1 < dn.size()) {
            rdns.back() += dn.substr(i, 2);
            ++i;
        } else if (dn[i] == ',')
            rdns.emplace_back();
        else if (!(dn[i] == ' ' && rdns.back().empty()))
            rdns.back() += dn[i];
    }
    return rdns;
}

} // namespace

SmbLogon LogonAs(const std::string& bindUser, const std::string& password) {
    SmbLogon logon{{}, bindUser, password};
    if (size_t slash = bindUser.find('\\');
        slash != std::string::npos && bindUser.find('=') == std::string::npos) {
        logon.workgroup = bindUser.substr(0, slash);
        logon.user = bindUser.substr(slash + 1);
    } else if (bindUser.find('=') != std::string::npos) {
        std::vector<std::string> rdns = SplitDn(bindUser);
        logon.user = RdnValue(rdns.front());
        for (const std::string& rdn : rdns)
            if (StartsWithNoCase(rdn, "DC="))
                logon.workgroup += (logon.workgroup.empty() ? "" : ".") + RdnValue(rdn);
    }
    return logon;
}

Expected<SmbLogon> SmbLogonFromEnvironment() {
    const std::string user = Environment("KESTRUNE_BIND_USER");
    const std::string file = Environment("KESTRUNE_BIND_PASSWORD_FILE");
    if (user.empty() || file.empty()) return SmbLogon{};
    Expected<std::string> password = ReadPasswordFile(file);
    if (!password) return password.error();
    if (password->empty())
        return Error{0, "the password file KESTRUNE_BIND_PASSWORD_FILE=" + file + " is empty"};
    return LogonAs(user, *password);
}

} // namespace kestrune::smb
