#include "backup/restore_destination.h"

#include "backup/backup_file.h"
#include "backup/live_namespaces.h"
#include "base/case_fold.h"

#include <set>

namespace kestrune {
namespace {

bool IsPlainName(std::string_view name) {
    if (name.empty()) return false;
    for (unsigned char c : name)
        if (c < 0x20 || c == '\\' || c == '/' || c == '"') return false;
    return true;
}

// The rename of a server (folded), or null when none names it.
const ServerRename* RenameOf(const std::u16string& server,
                             const std::vector<ServerRename>& renames) {
    for (const ServerRename& r : renames)
        if (CaseKey(r.from) == server) return &r;
    return nullptr;
}

// An entry path moved from one namespace root to another: what follows the root stays. Only
// backslashes are looked at, so the path may be 8-bit text or UTF-8.
std::string Moved(const std::string& path, const std::string& asNamespace) {
    const AnsiString root = NamespaceOfEntry(path);
    if (asNamespace.empty() || root.empty()) return path;
    return asNamespace + path.substr(root.size());
}

} // namespace

Expected<AnsiString> ParseNamespacePath(std::string_view text) {
    const AnsiString path(text);
    const AnsiString root = NamespaceOfEntry(path);
    if (root.empty() || root.size() != path.size())
        return Error{0, "\"" + path + "\" is not a namespace: write it as \\\\domain\\namespace"};
    const size_t domainEnd = path.find('\\', 2);
    if (!IsPlainName(std::string_view(path).substr(2, domainEnd - 2)) ||
        !IsPlainName(std::string_view(path).substr(domainEnd + 1)))
        return Error{0, "\"" + path + "\" is not a namespace: write it as \\\\domain\\namespace"};
    return path;
}

Expected<ServerRename> ParseServerRename(std::string_view text) {
    const size_t equals = text.find('=');
    if (equals == std::string_view::npos)
        return Error{0, "\"" + std::string(text) + "\" is not OLD=NEW"};
    ServerRename rename{AnsiString(text.substr(0, equals)), AnsiString(text.substr(equals + 1))};
    for (const AnsiString* name : {&rename.from, &rename.to})
        if (!IsPlainName(*name) || name->find('=') != AnsiString::npos)
            return Error{0, "\"" + std::string(text) +
                                "\" is not OLD=NEW with two server names (no backslashes)"};
    return rename;
}

Expected<std::vector<ServerRename>> ParseServerRenames(const std::vector<AnsiString>& pairs) {
    std::vector<ServerRename> renames;
    std::set<std::u16string> seen;
    for (const AnsiString& pair : pairs) {
        Expected<ServerRename> rename = ParseServerRename(pair);
        if (!rename) return rename.error();
        if (!seen.insert(CaseKey(rename->from)).second)
            return Error{0, "the server " + rename->from + " is renamed twice"};
        renames.push_back(std::move(*rename));
    }
    return renames;
}

Expected<void> Retarget(std::vector<BackupRecord>& records, const RestoreDestination& destination) {
    if (destination.Empty()) return {};
    if (!destination.asNamespace.empty()) {
        AnsiString first;
        for (const BackupRecord& r : records) {
            const AnsiString root = NamespaceOfEntry(r.EntryPath());
            if (root.empty()) continue;
            if (first.empty()) first = root;
            if (CaseKey(root) != CaseKey(first))
                return Error{0, "the lines name two namespaces, " + first + " and " + root +
                                    "; a restore into another namespace takes one"};
        }
    }
    for (BackupRecord& r : records) {
        Expected<BackupLineParts> parts = r.Parts();
        if (!parts) continue;
        parts->entryPath = Moved(parts->entryPath, destination.asNamespace);
        if (const ServerRename* r = RenameOf(CaseKey(parts->target.server), destination.servers))
            parts->target.server = r->to;
        r = BackupRecord(FormatBackupLine(parts->entryPath, TargetText(parts->target),
                                          parts->comment, parts->furtherTarget ? 1 : 0));
    }
    return {};
}

void Retarget(NamespaceProperties& properties, const RestoreDestination& destination) {
    if (destination.Empty()) return;
    // The file's paths are UTF-8: they are moved as they are, never through the code page.
    const std::string asNamespace = AnsiToUtf8(destination.asNamespace);
    auto moveEntry = [&](EntryProperties& entry) {
        entry.path = Moved(entry.path, asNamespace);
        for (TargetProperties& t : entry.targets) {
            TargetParts target = SplitTargetField(t.targetPath);
            if (const ServerRename* r =
                    RenameOf(FoldCase(Utf8ToWide(target.server)), destination.servers))
                t.targetPath = "\\\\" + AnsiToUtf8(r->to) + "\\" + target.share;
        }
    };
    moveEntry(properties.root);
    for (EntryProperties& link : properties.links)
        moveEntry(link);
}

void Retarget(LoadedProperties& loaded, const RestoreDestination& destination) {
    if (!loaded.recorded || destination.Empty()) return;
    NamespaceProperties moved = std::move(*loaded.recorded).TakeAll();
    Retarget(moved, destination);
    loaded.recorded.emplace(std::move(moved));
}

} // namespace kestrune
