// Which links depend on which file server: backup lines grouped by the server and share their
// targets point at, for retiring or renaming a server, or for knowing what an outage took down.
#pragma once

#include "backup/backup_record.h"

#include <string>
#include <vector>

namespace kestrune {

struct ServerLink {
    AnsiString entryPath; // \\domain\namespace[\link]
    AnsiString target;    // \\server\share[\folder], as written
    // Servers other than this one that the entry's targets point at: none means the entry goes
    // dark with this server.
    int otherServers = 0;
};

struct ServerShare {
    AnsiString share; // the first component after the server, as the records first write it
    std::vector<ServerLink> links;
};

struct ServerUse {
    AnsiString server; // as the records first write it: short and DNS names stay apart
    std::vector<ServerShare> shares;
    int links = 0;        // entries with a target on this server
    int onlyOnServer = 0; // of those, entries with no target on another server
};

// The servers the records' targets name, case ignored, each with its shares and the entries
// that use them; servers, shares and entries ordered without regard to case. A target named
// more than once (history copies, two files of one namespace) counts once; an entry's targets
// are all those the records give it. Lines that are no backup lines are passed over.
std::vector<ServerUse> BuildServerReport(const std::vector<BackupRecord>& records);

// The report as text: a line per server, its shares indented below it and their entries below
// those. Each answer, when given (one per share, in order), follows its share and sums up the
// server.
struct ShareCheckText {
    std::vector<std::vector<std::string>> perShare; // [server][share]: "reachable", ...
    std::vector<std::string> perServer;
};
std::string FormatServerReport(const std::vector<ServerUse>& servers,
                               const ShareCheckText* check = nullptr);

// The report as CSV (RFC 4180, UTF-8, CR LF): one row per server, share and entry.
std::string FormatServerReportCsv(const std::vector<ServerUse>& servers,
                                  const ShareCheckText* check = nullptr);

} // namespace kestrune
