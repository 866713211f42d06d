// Whether a server speaks SMB at all, asked before the SMB library is: a name that does not
// resolve, a port that refuses and a server that takes the connection but never answers are
// told apart, and none of them outlasts the deadline (the library bounds neither its connection
// attempt nor its first exchange by its own timeout).
#pragma once

#include "shares/share_probe.h"

#include <chrono>
#include <optional>
#include <string>

namespace kestrune::smb {

constexpr int kSmbPort = 445;

// Nothing when some address of host (UTF-8) takes a connection on port and answers an SMB2
// NEGOTIATE by deadline; the reason otherwise (no such host, refused, unreachable, timed out,
// connection closed).
std::optional<ShareAnswer> Handshake(const std::string& host, int port,
                                     std::chrono::steady_clock::time_point deadline);

// The answer for a connection that failed with the errno value error: refused, timed out,
// unreachable, or unexpected with the system's text.
ShareAnswer ConnectionFailure(int error);

} // namespace kestrune::smb
