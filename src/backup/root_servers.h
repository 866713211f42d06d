// Telling a namespace's root servers to read it now: after a restore changed a namespace, each
// of its root targets is asked to resynchronise (NetDfsSetInfo level 101 with the resynchronise
// state), so clients see the change without waiting for the servers' next poll.
#pragma once

#include "base/ansi_string.h"
#include "dfs/toxldfs.h"

#include <string>
#include <vector>

namespace kestrune {

struct RootServerAnswer {
    AnsiString root;   // \\domain\namespace
    AnsiString target; // \\server\share
    uint32_t status = 0;
    AnsiString reason; // the code and the system's text when it failed
};

// Asks every root target of each namespace (each named once, case ignored) to resynchronise.
// A platform without namespace servers to tell (the directory alone answers
// ERROR_NOT_SUPPORTED) gives no answers; a namespace whose root targets cannot be read gives
// one answer with an empty target. The component's DFSEntry, Servername and ShareName are
// changed.
std::vector<RootServerAnswer> TellRootServers(TOXLDFS& dfs, const std::vector<AnsiString>& roots);

// The servers of the namespace's root targets, each named once, as the platform lists them;
// none when they cannot be read.
std::vector<AnsiString> RootServersOf(TOXLDFS& dfs, const AnsiString& root);

// "Told \\DC1\Public to read \\example.com\Public now" or "\\DC1\Public was not told to read
// \\example.com\Public now: <code>: <text>".
AnsiString DescribeAnswer(const RootServerAnswer& answer);

} // namespace kestrune
