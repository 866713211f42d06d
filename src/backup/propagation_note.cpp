#include "backup/propagation_note.h"

#include "backup/live_namespaces.h"
#include "backup/root_servers.h"
#include "base/case_fold.h"

#include <set>

namespace kestrune {

AnsiString PropagationNote(const std::vector<AnsiString>& roots, TOXLDFS* dfs) {
    AnsiString commands;
    std::set<std::u16string> named;
    for (const AnsiString& root : roots) {
        if (!named.insert(CaseKey(root)).second) continue;
        AnsiString servers;
        for (const AnsiString& server : dfs ? RootServersOf(*dfs, root) : std::vector<AnsiString>())
            servers += (servers.empty() ? "" : ", ") + server;
        commands += (commands.empty() ? "" : "; ") +
                    (servers.empty() ? "" : "on " + servers + ": ") + "dfsutil root forcesync " +
                    root;
    }
    return "The restore was written into the directory. Namespace servers read it at their next "
           "poll (hourly by default), so clients may not see what it changed until then. To "
           "apply it at once, run on the namespace servers: " +
           commands + " (or restart its DFS Namespace service).";
}

} // namespace kestrune
