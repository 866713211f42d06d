// Asking for shares with netapi32's NetShareGetInfo, as the logged-on user (Windows only).
#pragma once

#include "shares/share_probe.h"

#include <memory>

namespace kestrune::smb {

// The netapi32 entry points the probe calls, with their Windows types; tests put recorded
// answers in their place.
struct NetShareApi {
    unsigned long (*NetShareGetInfo)(wchar_t* ServerName, wchar_t* NetName, unsigned long Level,
                                     unsigned char** Buffer);
    unsigned long (*NetApiBufferFree)(void* Buffer);
};

NetShareApi SystemNetShareApi();

// Level 1 for each share of \\server; access denied means the share is there. The system
// bounds its own waits; the check's timeout stops waiting for it sooner.
std::shared_ptr<const ShareProbe>
MakeNetApiShareProbe(const NetShareApi& api = SystemNetShareApi());

} // namespace kestrune::smb
