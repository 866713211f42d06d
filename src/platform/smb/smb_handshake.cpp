#include "platform/smb/smb_handshake.h"

#include "base/file_io.h"

#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kestrune::smb {
namespace {

using Clock = std::chrono::steady_clock;

// An SMB2 NEGOTIATE offering the dialects 2.0.2 to 3.0.2, in its NetBIOS session frame: any
// SMB2 server answers it, whatever it then lets us do.
constexpr unsigned char kNegotiate[] = {
    0x00, 0x00, 0x00, 0x6C,                         // session message, 108 bytes
    0xFE, 'S',  'M',  'B',  0x40, 0x00, 0x00, 0x00, // protocol, header size 64, credit charge
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, // status, NEGOTIATE, one credit
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, // flags, next command
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, // message id
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, // process id, tree id
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, // session id
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, // signature
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, //
    0x24, 0x00, 0x04, 0x00, 0x01, 0x00, 0x00, 0x00, // size 36, 4 dialects, signing enabled
    0x00, 0x00, 0x00, 0x00,                         // capabilities
    0x4B, 0x65, 0x73, 0x74, 0x72, 0x75, 0x6E, 0x65, // client GUID
    0x53, 0x68, 0x61, 0x72, 0x65, 0x73, 0x00, 0x01, //
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, // start time
    0x02, 0x02, 0x10, 0x02, 0x00, 0x03, 0x02, 0x03, // 2.0.2, 2.1, 3.0, 3.0.2
};
static_assert(sizeof kNegotiate == 4 + 108);

// Waits for events on fd until deadline: 0 when they came, the errno otherwise (ETIMEDOUT).
int Await(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return ETIMEDOUT;
        pollfd waiting{fd, events, 0};
        const int ready = ::poll(&waiting, 1, static_cast<int>(left.count()));
        if (ready > 0) return 0;
        if (ready == 0) return ETIMEDOUT;
        if (errno != EINTR) return errno;
    }
}

class Socket {
  public:
    explicit Socket(const addrinfo& a)
        : fd_(::socket(a.ai_family, a.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a.ai_protocol)) {}
    int fd() const { return fd_.Get(); }

  private:
    FileDescriptor fd_; // a socket is closed as a file is
};

// 0 when connected by deadline; the errno of the failure otherwise.
int Connect(const Socket& socket, const addrinfo& address, Clock::time_point deadline) {
    if (socket.fd() < 0) return errno;
    if (::connect(socket.fd(), address.ai_addr, address.ai_addrlen) == 0) return 0;
    if (errno != EINPROGRESS && errno != EINTR) return errno;
    if (int waited = Await(socket.fd(), POLLOUT, deadline)) return waited;
    int error = 0;
    socklen_t size = sizeof error;
    if (::getsockopt(socket.fd(), SOL_SOCKET, SO_ERROR, &error, &size) != 0) return errno;
    return error;
}

// Nothing when the server answers the NEGOTIATE by deadline.
std::optional<ShareAnswer> Negotiate(const Socket& socket, Clock::time_point deadline) {
    // A fresh connection's buffer takes the whole request at once.
    if (::send(socket.fd(), kNegotiate, sizeof kNegotiate, MSG_NOSIGNAL) !=
        static_cast<ssize_t>(sizeof kNegotiate))
        return ConnectionFailure(errno);
    if (int waited = Await(socket.fd(), POLLIN, deadline)) {
        if (waited == ETIMEDOUT)
            return UnreachableAnswer(kTimeout, "the server took the connection but did not "
                                               "answer");
        return ConnectionFailure(waited);
    }
    unsigned char answer[4];
    const ssize_t got = ::recv(socket.fd(), answer, sizeof answer, 0);
    if (got > 0) return std::nullopt;
    if (got == 0)
        return UnreachableAnswer(kUnexpectedNetworkError, "the server closed the connection");
    return ConnectionFailure(errno);
}

} // namespace

std::optional<ShareAnswer> Handshake(const std::string& host, int port,
                                     Clock::time_point deadline) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    const int resolved = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
    if (resolved == EAI_AGAIN) return UnreachableAnswer(kHostNotFoundTryAgain);
    if (resolved != 0) return UnreachableAnswer(kHostNotFound);
    std::optional<ShareAnswer> failure = UnreachableAnswer(kTimeout);
    // Each address in turn, as a client does, until one answers or time is up.
    for (const addrinfo* a = found; a && Clock::now() < deadline; a = a->ai_next) {
        Socket socket(*a);
        if (int error = Connect(socket, *a, deadline)) {
            failure = ConnectionFailure(error);
            continue;
        }
        failure = Negotiate(socket, deadline);
        if (!failure) break;
    }
    ::freeaddrinfo(found);
    return failure;
}

ShareAnswer ConnectionFailure(int error) {
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

} // namespace kestrune::smb
