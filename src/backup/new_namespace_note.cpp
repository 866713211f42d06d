#include "backup/new_namespace_note.h"

#include "backup/live_namespaces.h"
#include "base/case_fold.h"

namespace kestrune {

void CreatedNamespaces::Restored(const BackupLineParts& line, bool createdNamespace) {
    if (!IsNamespaceRootPath(line.entryPath)) return;
    const std::u16string root = CaseKey(line.entryPath);
    if (createdNamespace) {
        created_.push_back({line.entryPath, {line.target}});
        return;
    }
    for (CreatedNamespace& c : created_)
        if (CaseKey(c.root) == root) c.targets.push_back(line.target);
}

std::vector<AnsiString> NewNamespaceNotes(const std::vector<CreatedNamespace>& created) {
    std::vector<AnsiString> notes;
    for (const CreatedNamespace& c : created) {
        const AnsiString name = c.root.substr(c.root.rfind('\\') + 1);
        AnsiString servers;
        for (const TargetParts& t : c.targets)
            servers += (servers.empty() ? "" : ", ") + t.server + " the share " + t.share;
        // What a namespace server keeps of a domain namespace; C:\DFSRoots is where Windows puts
        // a namespace's folder by default.
        const AnsiString key = "HKLM\\SOFTWARE\\Microsoft\\Dfs\\Roots\\DomainV2\\" + name;
        AnsiString note = "The namespace " + c.root +
                          " was created in the directory, but no server serves it yet: each of "
                          "its namespace servers needs the share and its own record of the "
                          "namespace (" +
                          servers + ").";
        for (const TargetParts& t : c.targets)
            note += " On " + t.server + ", as an administrator: mkdir C:\\DFSRoots\\" + t.share +
                    " & net share " + t.share + "=C:\\DFSRoots\\" + t.share +
                    " /grant:Everyone,READ & reg add \"" + key + "\" /v RootShare /d " + t.share +
                    " /f & reg add \"" + key + "\" /v LogicalShare /d " + t.share +
                    " /f & net stop dfs & net start dfs.";
        note += " Where a server still holds the old namespace's record, clear it first "
                "(dfsutil diag clean); --check-targets with --dry-run or --verify tells whether "
                "the shares are there.";
        notes.push_back(std::move(note));
    }
    return notes;
}

} // namespace kestrune
