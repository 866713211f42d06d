// The wall time of checking targets on servers that are gone, as --check-targets meets them
// after a disaster: names that no longer resolve, addresses that refuse, and servers that take
// the connection but never answer (listening sockets of this program on 127.0.0.x:445, so it
// runs as root, or in a network namespace of its own: unshare -rn share_check_bench).
// share_check_bench [SERVERS [TIMEOUT-SECONDS]]
#include "platform/smb/share_probes.h"
#include "platform/smb/smb_logon.h"
#include "shares/share_check.h"

#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace kestrune;

// A socket that takes connections on address:445 and never reads them.
int Listen(const std::string& address) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(445);
    ::inet_pton(AF_INET, address.c_str(), &where.sin_addr);
    int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0 || ::listen(fd, 16)) {
        std::perror(("listening on " + address + ":445").c_str());
        std::exit(2);
    }
    return fd;
}

double Seconds(const std::vector<ShareTarget>& targets, std::chrono::seconds timeout,
               int& unreachable) {
    ShareCheckSettings settings;
    settings.timeout = timeout;
    const auto started = std::chrono::steady_clock::now();
    const auto answers = CheckShares(smb::MakeLibSmbClientProbe({}), targets, settings);
    const double took =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    unreachable = 0;
    for (const ShareAnswer& answer : answers)
        unreachable += answer.Reached() ? 0 : 1;
    return took;
}

} // namespace

int main(int argc, char** argv) {
    const int servers = argc > 1 ? std::atoi(argv[1]) : 20;
    const std::chrono::seconds timeout(argc > 2 ? std::atoi(argv[2]) : 5);
    std::vector<int> listening;
    std::vector<ShareTarget> gone, refusing, silent;
    for (int i = 0; i < servers; ++i) {
        gone.push_back({"gone" + std::to_string(i) + ".invalid", "Data"});
        refusing.push_back({"127.0.1." + std::to_string(i + 1), "Data"});
        const std::string address = "127.0.2." + std::to_string(i + 1);
        listening.push_back(Listen(address));
        silent.push_back({address, "Data"});
    }
    std::printf("%d servers each, timeout %lld s\n", servers,
                static_cast<long long>(timeout.count()));
    for (auto [what, targets] : {std::pair{"names that do not resolve", &gone},
                                 std::pair{"addresses that refuse", &refusing},
                                 std::pair{"servers that never answer", &silent}}) {
        int unreachable = 0;
        const double took = Seconds(*targets, timeout, unreachable);
        std::printf("  %-26s %6.2f s  (%d unreachable)\n", what, took, unreachable);
    }
    for (int fd : listening)
        ::close(fd);
    return 0;
}
