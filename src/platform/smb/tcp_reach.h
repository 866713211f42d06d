// Whether a server's SMB port takes a connection, asked before the SMB library is: it tells a
// name that does not resolve, a port that refuses and a server that is silent apart, and a
// connection attempt never outlasts the deadline.
#pragma once

#include "shares/share_probe.h"

#include <chrono>
#include <optional>
#include <string>

namespace kestrune::smb {

constexpr int kSmbPort = 445;

// Nothing when some address of host (UTF-8) takes a connection on port by deadline; the
// reason otherwise (no such host, refused, unreachable, timed out).
std::optional<ShareAnswer> ReachPort(const std::string& host, int port,
                                     std::chrono::steady_clock::time_point deadline);

} // namespace kestrune::smb
