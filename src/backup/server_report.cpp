#include "backup/server_report.h"

#include "base/case_fold.h"

#include <algorithm>
#include <map>
#include <set>
#include <tuple>

namespace kestrune {
namespace {

std::string Utf8(const AnsiString& ansi) {
    return AnsiToUtf8(ansi);
}

struct Use {
    AnsiString entryPath, target;
};

} // namespace

std::vector<ServerUse> BuildServerReport(const std::vector<BackupRecord>& records) {
    // Keyed by folded names, so that the order is case-blind and the first spelling is kept.
    using UseKey = std::tuple<std::u16string, std::u16string, std::u16string, std::u16string>;
    std::map<UseKey, Use> uses;
    std::map<std::u16string, std::set<std::u16string>> serversOfEntry;
    // Servers and shares keep the spelling the records first give them.
    std::map<std::u16string, AnsiString> serverSpelling;
    std::map<std::pair<std::u16string, std::u16string>, AnsiString> shareSpelling;
    for (const BackupRecord& record : records) {
        const Expected<BackupLineParts> read = record.Parts();
        if (!read) continue;
        const BackupLineParts& parts = *read;
        const AnsiString& server = parts.target.server;
        const AnsiString& rest = parts.target.share;
        const AnsiString share = rest.substr(0, rest.find('\\'));
        const AnsiString target = "\\\\" + server + "\\" + rest;
        serversOfEntry[CaseKey(parts.entryPath)].insert(CaseKey(server));
        serverSpelling.try_emplace(CaseKey(server), server);
        shareSpelling.try_emplace({CaseKey(server), CaseKey(share)}, share);
        uses.try_emplace({CaseKey(server), CaseKey(share), CaseKey(parts.entryPath), CaseKey(rest)},
                         Use{parts.entryPath, target});
    }
    std::vector<ServerUse> report;
    const UseKey* previous = nullptr;
    for (const auto& [key, use] : uses) {
        const bool newServer = !previous || std::get<0>(key) != std::get<0>(*previous);
        if (newServer) report.push_back({serverSpelling[std::get<0>(key)], {}, 0, 0});
        ServerUse& current = report.back();
        if (newServer || std::get<1>(key) != std::get<1>(*previous))
            current.shares.push_back({shareSpelling[{std::get<0>(key), std::get<1>(key)}], {}});
        const int others = static_cast<int>(serversOfEntry[std::get<2>(key)].size()) - 1;
        current.shares.back().links.push_back({use.entryPath, use.target, others});
        previous = &key;
    }
    // An entry counts once per server, however many of its shares or targets are there.
    for (ServerUse& server : report) {
        std::set<std::u16string> entries;
        for (const ServerShare& share : server.shares)
            for (const ServerLink& link : share.links)
                if (entries.insert(CaseKey(link.entryPath)).second) {
                    ++server.links;
                    if (link.otherServers == 0) ++server.onlyOnServer;
                }
    }
    return report;
}

namespace {

std::string Count(size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

} // namespace

std::string FormatServerReport(const std::vector<ServerUse>& servers, const ShareCheckText* check) {
    std::string text;
    for (size_t s = 0; s < servers.size(); ++s) {
        const ServerUse& server = servers[s];
        text += Utf8(server.server) + ": " + Count(server.shares.size(), "share", "shares") + ", " +
                Count(server.links, "link", "links") + ", " + std::to_string(server.onlyOnServer) +
                " with no target on another server";
        if (check) text += "; " + check->perServer[s];
        text += '\n';
        for (size_t h = 0; h < server.shares.size(); ++h) {
            const ServerShare& share = server.shares[h];
            text += "  \\\\" + Utf8(server.server) + "\\" + Utf8(share.share);
            if (check) text += ": " + check->perShare[s][h];
            text += '\n';
            for (const ServerLink& link : share.links) {
                text += "    " + Utf8(link.entryPath);
                const AnsiString shareItself = "\\\\" + server.server + "\\" + share.share;
                if (CaseKey(link.target) != CaseKey(shareItself))
                    text += " -> " + Utf8(link.target);
                text += link.otherServers == 0
                            ? " (no target on another server)"
                            : " (also on " +
                                  Count(link.otherServers, "other server", "other servers") + ")";
                text += '\n';
            }
        }
    }
    if (servers.empty()) text = "no targets: the files hold no backup line\n";
    return text;
}

namespace {

std::string CsvField(const std::string& value) {
    if (value.find_first_of(",\"\r\n") == std::string::npos) return value;
    std::string quoted = "\"";
    for (char c : value) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

} // namespace

std::string FormatServerReportCsv(const std::vector<ServerUse>& servers,
                                  const ShareCheckText* check) {
    std::string csv = "Server,Share,Link,Target,Other servers";
    csv += check ? ",Share check\r\n" : "\r\n";
    for (size_t s = 0; s < servers.size(); ++s)
        for (size_t h = 0; h < servers[s].shares.size(); ++h)
            for (const ServerLink& link : servers[s].shares[h].links) {
                csv += CsvField(Utf8(servers[s].server)) + "," +
                       CsvField(Utf8(servers[s].shares[h].share)) + "," +
                       CsvField(Utf8(link.entryPath)) + "," + CsvField(Utf8(link.target)) + "," +
                       std::to_string(link.otherServers);
                if (check) csv += "," + CsvField(check->perShare[s][h]);
                csv += "\r\n";
            }
    return csv;
}

} // namespace kestrune
