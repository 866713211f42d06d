#include "platform/smb/tcp_reach.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kestrune::smb {
namespace {

ShareAnswer FromErrno(int error) {
    switch (error) {
    case ECONNREFUSED:
        return UnreachableAnswer(kConnectionRefused);
    case ETIMEDOUT:
        return UnreachableAnswer(kTimeout);
    case EHOSTUNREACH:
    case ENETUNREACH:
    case EHOSTDOWN:
    case ENETDOWN:
        return UnreachableAnswer(kNetworkUnreachable, std::strerror(error));
    default:
        return UnreachableAnswer(kUnexpectedNetworkError, std::strerror(error));
    }
}

// 0 when connected by deadline; the errno of the failure otherwise (ETIMEDOUT at the deadline).
int Connect(const addrinfo& address, std::chrono::steady_clock::time_point deadline) {
    int fd = ::socket(address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                      address.ai_protocol);
    if (fd < 0) return errno;
    int error = 0;
    if (::connect(fd, address.ai_addr, address.ai_addrlen) != 0) {
        error = errno;
        while (error == EINPROGRESS || error == EINTR) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                error = ETIMEDOUT;
                break;
            }
            pollfd waiting{fd, POLLOUT, 0};
            int ready = ::poll(&waiting, 1, static_cast<int>(left.count()));
            if (ready < 0 && errno == EINTR) continue;
            if (ready <= 0) {
                error = ready == 0 ? ETIMEDOUT : errno;
                break;
            }
            socklen_t size = sizeof error;
            if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0) error = errno;
        }
    }
    ::close(fd);
    return error;
}

} // namespace

std::optional<ShareAnswer> ReachPort(const std::string& host, int port,
                                     std::chrono::steady_clock::time_point deadline) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    int resolved = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
    if (resolved == EAI_AGAIN) return UnreachableAnswer(kHostNotFoundTryAgain);
    if (resolved != 0) return UnreachableAnswer(kHostNotFound);
    int error = ETIMEDOUT;
    for (const addrinfo* a = found; a; a = a->ai_next) {
        error = Connect(*a, deadline);
        if (error == 0 || std::chrono::steady_clock::now() >= deadline) break;
    }
    ::freeaddrinfo(found);
    if (error == 0) return std::nullopt;
    return FromErrno(error);
}

} // namespace kestrune::smb
