#include "backup/root_servers.h"

#include "backup/backup_line.h"
#include "base/case_fold.h"
#include "base/win_errors.h"
#include "dfs/borrowed_handlers.h"

#include <set>

namespace kestrune {
namespace {

// The root's targets as server and share, read from the platform.
bool RootTargets(TOXLDFS& dfs, const AnsiString& root,
                 std::vector<std::pair<WideString, WideString>>& targets) {
    BorrowedHandlers borrowed(dfs);
    dfs.ONDFSEntryProperties = [&](TOXLDFS*, const DFS_INFO_9& entry) {
        for (uint32_t i = 0; i < entry.NumberOfStorages; ++i)
            targets.emplace_back(entry.Storage[i].ServerName ? entry.Storage[i].ServerName : u"",
                                 entry.Storage[i].ShareName ? entry.Storage[i].ShareName : u"");
    };
    dfs.SetDFSEntry(AnsiToWide(root));
    return dfs.GetEntryProperties();
}

} // namespace

std::vector<RootServerAnswer> TellRootServers(TOXLDFS& dfs, const std::vector<AnsiString>& roots) {
    std::vector<RootServerAnswer> answers;
    std::set<std::u16string> told;
    for (const AnsiString& root : roots) {
        if (!told.insert(CaseKey(root)).second) continue;
        std::vector<std::pair<WideString, WideString>> targets;
        if (!RootTargets(dfs, root, targets)) {
            if (dfs.LastError() != ERROR_NOT_SUPPORTED)
                answers.push_back({root, "", dfs.LastError(), dfs.LastErrorText()});
            continue;
        }
        for (const auto& [server, share] : targets) {
            dfs.SetDFSEntry(AnsiToWide(root));
            dfs.SetServername(server);
            dfs.SetShareName(share);
            DFS_INFO_101 resynchronise{DFS_VOLUME_STATE_RESYNCHRONIZE};
            const bool done = dfs.SetInfo(101, &resynchronise, true);
            // The directory alone has no server to tell.
            if (!done && dfs.LastError() == ERROR_NOT_SUPPORTED) break;
            answers.push_back({root, WideToAnsi(u"\\\\" + server + u"\\" + share),
                               done ? 0 : dfs.LastError(),
                               done ? AnsiString() : dfs.LastErrorText()});
        }
    }
    return answers;
}

std::vector<AnsiString> RootServersOf(TOXLDFS& dfs, const AnsiString& root) {
    std::vector<std::pair<WideString, WideString>> targets;
    std::vector<AnsiString> servers;
    if (!RootTargets(dfs, root, targets)) return servers;
    std::set<std::u16string> named;
    for (const auto& target : targets)
        if (named.insert(FoldCase(target.first)).second)
            servers.push_back(WideToAnsi(target.first));
    return servers;
}

AnsiString DescribeAnswer(const RootServerAnswer& answer) {
    if (answer.target.empty())
        return "The root servers of " + answer.root +
               " were not told to read it now: their "
               "list could not be read (" +
               answer.reason + ")";
    if (answer.status == 0) return "Told " + answer.target + " to read " + answer.root + " now";
    return answer.target + " was not told to read " + answer.root + " now: " + answer.reason;
}

} // namespace kestrune
