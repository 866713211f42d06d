// Asking a file server whether a share is there, as a client that opens \\server\share would.
#pragma once

#include "base/ansi_string.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace kestrune {

// What a server said about one share. Codes are Windows status codes on every platform, so
// that a check reads the same wherever it ran; text is the system's text for the code.
struct ShareAnswer {
    enum class State {
        Reachable,
        AccessDenied, // the server refused us: the share exists, whether we may use it or not
        Unreachable,
    };
    State state = State::Reachable;
    uint32_t code = 0;
    std::string text; // UTF-8, without a line end

    bool Reached() const { return state != State::Unreachable; }
};

// An answer for a code, with the system's text for it.
ShareAnswer UnreachableAnswer(uint32_t code, const std::string& detail = {});
ShareAnswer AccessDeniedAnswer();

// Windows status codes a share check ends in.
constexpr uint32_t kAccessDenied = 5;             // ERROR_ACCESS_DENIED
constexpr uint32_t kBadNetPath = 53;              // ERROR_BAD_NETPATH
constexpr uint32_t kUnexpectedNetworkError = 59;  // ERROR_UNEXP_NET_ERR
constexpr uint32_t kBadNetName = 67;              // ERROR_BAD_NET_NAME
constexpr uint32_t kConnectionRefused = 1225;     // ERROR_CONNECTION_REFUSED
constexpr uint32_t kNetworkUnreachable = 1231;    // ERROR_NETWORK_UNREACHABLE
constexpr uint32_t kLogonFailure = 1326;          // ERROR_LOGON_FAILURE
constexpr uint32_t kTimeout = 1460;               // ERROR_TIMEOUT
constexpr uint32_t kShareNotFound = 2310;         // NERR_NetNameNotFound
constexpr uint32_t kHostNotFound = 11001;         // WSAHOST_NOT_FOUND
constexpr uint32_t kHostNotFoundTryAgain = 11002; // WSATRY_AGAIN

// Asks servers about their shares. One object serves many threads at once, each asking a
// different server.
class ShareProbe {
  public:
    virtual ~ShareProbe() = default;
    // One answer per share of server, in their order. Names are in the ANSI code page, the
    // server without backslashes, each share without its folders. The check stops waiting at
    // deadline; a probe should give up by then too.
    virtual std::vector<ShareAnswer>
    ProbeServer(const AnsiString& server, const std::vector<AnsiString>& shares,
                std::chrono::steady_clock::time_point deadline) const = 0;
};

} // namespace kestrune
