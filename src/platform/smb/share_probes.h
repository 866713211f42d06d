// The system's way of asking a file server for a share: libsmbclient on Linux, netapi32's
// NetShareGetInfo on Windows.
#pragma once

#include "base/expected.h"
#include "shares/share_probe.h"

#include <memory>

namespace kestrune::smb {

#ifndef _WIN32
struct SmbLogon;
// Each server through a libsmbclient context of its own, after a handshake of ours that runs
// in parallel (see smb_handshake.h); the library itself serves one thread at a time. A share
// opens as its root folder would; a share the server refuses us counts as there.
std::shared_ptr<const ShareProbe> MakeLibSmbClientProbe(const SmbLogon& logon);
#endif

// The probe of this system, logged on as the program is: on Linux with SmbLogonFromEnvironment
// (an error when its password file cannot be read), on Windows as the logged-on user.
Expected<std::shared_ptr<const ShareProbe>> MakeSystemShareProbe();

} // namespace kestrune::smb
