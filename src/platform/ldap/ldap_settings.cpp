#include "platform/ldap/ldap_settings.h"

#include "base/file_io.h"
#include "base/password_file.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace kestrune::ldap {
namespace {

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// Reads one line from the controlling terminal without echoing it; false without a terminal.
bool AskPassword(const std::string& prompt, std::string& out) {
    Expected<FileDescriptor> opened = OpenFileDescriptor("/dev/tty", O_RDWR | O_NOCTTY);
    if (!opened) return false;
    const int tty = opened->Get();
    termios saved{};
    bool restore = tcgetattr(tty, &saved) == 0;
    if (restore) {
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        tcsetattr(tty, TCSAFLUSH, &quiet);
    }
    (void)!::write(tty, prompt.data(), prompt.size());
    out.clear();
    char c;
    while (::read(tty, &c, 1) == 1 && c != '\n')
        out += c;
    (void)!::write(tty, "\n", 1);
    if (restore) tcsetattr(tty, TCSAFLUSH, &saved);
    return true;
}

} // namespace

std::string Endpoint::Uri() const {
    std::string h = host.find(':') != std::string::npos ? "[" + host + "]" : host;
    return std::string(ldaps ? "ldaps://" : "ldap://") + h + ":" + std::to_string(port);
}

Expected<void> ParseServerUri(const std::string& uri, Settings& settings) {
    std::string rest;
    bool ldaps = false;
    if (uri.rfind("ldap://", 0) == 0) {
        rest = uri.substr(7);
    } else if (uri.rfind("ldaps://", 0) == 0) {
        rest = uri.substr(8);
        ldaps = true;
    } else {
        return Error{0,
                     uri + " is not an LDAP address (ldap://HOST[:PORT] or ldaps://HOST[:PORT])"};
    }
    if (!rest.empty() && rest.back() == '/') rest.pop_back();
    std::string host = rest, port;
    if (!rest.empty() && rest.front() == '[') { // [IPv6]:port
        size_t close = rest.find(']');
        if (close == std::string::npos)
            host.clear();
        else {
            host = rest.substr(1, close - 1);
            if (close + 1 < rest.size() && rest[close + 1] == ':')
                port = rest.substr(close + 2);
            else if (close + 1 != rest.size())
                host.clear();
        }
    } else if (size_t colon = rest.rfind(':'); colon != std::string::npos) {
        host = rest.substr(0, colon);
        port = rest.substr(colon + 1);
    }
    int number = ldaps ? 636 : 389;
    if (!port.empty()) {
        char* end = nullptr;
        long value = std::strtol(port.c_str(), &end, 10);
        if (*end || value <= 0 || value > 65535) host.clear();
        number = static_cast<int>(value);
    }
    if (host.empty() || host.find_first_of("/?@ ") != std::string::npos) {
        return Error{0,
                     uri + " does not name a server (ldap://HOST[:PORT] or ldaps://HOST[:PORT])"};
    }
    settings.domain = {ldaps, host, number};
    settings.globalCatalog = {ldaps, host, ldaps ? 3269 : 3268};
    return {};
}

Expected<void> ReadLogonSettings(Settings& settings) {
    if (std::string t = Environment("KESTRUNE_LDAP_TIMEOUT"); !t.empty()) {
        char* end = nullptr;
        long seconds = std::strtol(t.c_str(), &end, 10);
        if (*end || seconds <= 0 || seconds > 86400) {
            return Error{0,
                         "KESTRUNE_LDAP_TIMEOUT=" + t + " is not a number of seconds (1 to 86400)"};
        }
        settings.timeout = std::chrono::seconds(seconds);
    }
    std::string tls = Environment("KESTRUNE_STARTTLS");
    settings.startTls = tls == "1" || tls == "yes" || tls == "true";
    if (settings.startTls && settings.domain.ldaps) {
        return Error{
            0, "KESTRUNE_STARTTLS=1 and an ldaps:// address both ask for TLS; use one of them"};
    }
    settings.bindUser = Environment("KESTRUNE_BIND_USER");
    if (settings.bindUser.empty()) return {};
    std::string file = Environment("KESTRUNE_BIND_PASSWORD_FILE");
    if (!file.empty()) {
        Expected<std::string> password = ReadPasswordFile(file);
        if (!password) return password.error();
        settings.password = std::move(*password);
    } else if (!AskPassword("Password for " + settings.bindUser + ": ", settings.password)) {
        return Error{
            0, "KESTRUNE_BIND_USER is set, but there is no password: name a file holding it in "
               "KESTRUNE_BIND_PASSWORD_FILE, or run on a terminal to be asked for it"};
    }
    if (settings.password.empty()) {
        return Error{0, "the password for " + settings.bindUser +
                            " is empty; the directory would take that as an anonymous logon"};
    }
    return {};
}

} // namespace kestrune::ldap
