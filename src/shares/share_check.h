// Checking the shares that link targets point at: each server asked once for all its shares,
// many servers at once, none waited for longer than the timeout.
#pragma once

#include "base/expected.h"
#include "shares/share_probe.h"

#include <chrono>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

namespace kestrune {

// A link target: \\server\share, where share may go on into folders (share\sub).
struct ShareTarget {
    AnsiString server;
    AnsiString share;
};

// Asking a server is waiting on the network, not work for the processor: enough servers at
// once that a backup full of retired servers costs about one timeout.
constexpr int kParallelServers = 32;

// How long a server may take to answer when KESTRUNE_SMB_TIMEOUT does not say.
constexpr std::chrono::seconds kDefaultSmbTimeout{5};

struct ShareCheckSettings {
    std::chrono::milliseconds timeout = kDefaultSmbTimeout; // per server
    int parallelServers = kParallelServers;
    // On the calling thread: once with 0 before the first server is asked, then after each
    // server: servers answered (or given up), of how many.
    std::function<void(int done, int servers)> serverDone;
    // Starts a worker; std::thread's own unless set (tests refuse some, as a system out of
    // threads does, with std::system_error).
    std::function<std::thread(std::function<void()>)> startThread;
};

// The answer for each target, in their order. Each server is asked once, for all its shares
// (names compared without regard to case), by probe on a thread of its own. A server that has
// not answered by its timeout is reported as timed out and no longer waited for; its thread
// is left to end on its own, and holds its place among the parallelServers threads alive
// until it does. When such threads hold every place for another timeout, the servers still to
// ask are reported as timed out without being asked. When no thread can be started, the check
// goes on with those it has; a server asked by none is reported with the system's reason. A
// target without a server or a share is answered without asking.
std::vector<ShareAnswer> CheckShares(const std::shared_ptr<const ShareProbe>& probe,
                                     const std::vector<ShareTarget>& targets,
                                     const ShareCheckSettings& settings);

// The timeout KESTRUNE_SMB_TIMEOUT gives in whole seconds (1 to 3600), kDefaultSmbTimeout
// when it is unset or empty; an error saying what is wrong otherwise.
Expected<std::chrono::seconds> SmbTimeoutFromEnvironment();

} // namespace kestrune
