#include "backup/live_namespaces.h"

#include "backup/management_permissions.h"
#include "base/case_fold.h"
#include "base/win_errors.h"
#include "dfs/borrowed_handlers.h"

#include <algorithm>

namespace kestrune {
namespace {

// Where the namespace part of a folded entry path ends: after \\domain\namespace.
size_t RootEnd(const std::u16string& path) {
    if (path.size() < 3 || path[0] != u'\\' || path[1] != u'\\') return std::u16string::npos;
    size_t domainEnd = path.find(u'\\', 2);
    if (domainEnd == std::u16string::npos || domainEnd == 2 || domainEnd + 1 == path.size())
        return std::u16string::npos;
    size_t end = path.find(u'\\', domainEnd + 1);
    if (end == domainEnd + 1) return std::u16string::npos;
    return end == std::u16string::npos ? path.size() : end;
}

} // namespace

AnsiString NamespaceOfEntry(const AnsiString& entryPath) {
    if (entryPath.size() < 3 || entryPath.compare(0, 2, "\\\\") != 0) return {};
    size_t domainEnd = entryPath.find('\\', 2);
    if (domainEnd == AnsiString::npos || domainEnd == 2) return {};
    size_t end = entryPath.find('\\', domainEnd + 1);
    if (end == domainEnd + 1 || domainEnd + 1 == entryPath.size()) return {};
    return entryPath.substr(0, end);
}

bool IsNoSuchNamespace(uint32_t status) {
    return status == ERROR_NOT_FOUND || status == NERR_DfsNoSuchVolume;
}

void LiveNamespaces::ReadNamespacesOf(TOXLDFS& dfs, const std::vector<BackupRecord>& records) {
    for (const BackupRecord& record : records) {
        AnsiString root = NamespaceOfEntry(record.EntryPath());
        if (!root.empty()) Read(dfs, root);
    }
}

void LiveNamespaces::Read(TOXLDFS& dfs, const AnsiString& root) {
    if (!tried_.insert(CaseKey(root)).second) return;
    struct Report {
        AnsiString path, share, comment;
    };
    std::vector<Report> reports;
    std::vector<EntryProperties> entries;
    std::string propertiesProblem;
    {
        BorrowedHandlers borrowed(dfs);
        dfs.ONDFSEnum2 = [&reports](TOXLDFS*, AnsiString Path, AnsiString Share, AnsiString Comment,
                                    int32_t, bool&) {
            reports.push_back({std::move(Path), std::move(Share), std::move(Comment)});
        };
        if (withProperties)
            dfs.ONDFSEntryProperties = [&](TOXLDFS*, const DFS_INFO_9& record) {
                Expected<EntryProperties> properties = EntryPropertiesOf(record);
                if (properties)
                    entries.push_back(std::move(*properties));
                else if (propertiesProblem.empty())
                    propertiesProblem = properties.error().text;
            };
        dfs.SetDFSEntry(AnsiToWide(root));
        const uint64_t swallowedBefore = dfs.SwallowedExceptions();
        if (withProperties)
            dfs.EnumLinksWithProperties();
        else
            dfs.EnumLinks();
        if (dfs.SwallowedExceptions() != swallowedBefore) {
            failures_.push_back(
                {root, dfs.LastError(), "some reports were lost to an error while it was read"});
            return;
        }
    }
    // The walk ends with ERROR_NO_MORE_ITEMS; a partial reading would pass targets off as
    // missing, so it counts as none.
    if (dfs.LastError() != ERROR_NO_MORE_ITEMS) {
        failures_.push_back({root, dfs.LastError(), dfs.LastErrorText()});
        return;
    }
    if (!propertiesProblem.empty()) {
        failures_.push_back({root, ERROR_INVALID_DATA, std::move(propertiesProblem)});
        return;
    }
    if (withProperties && !entries.empty()) {
        // The walk reports the root first; who may manage the namespace is the root's.
        dfs.SetDFSEntry(AnsiToWide(root));
        Expected<std::optional<std::string>> delegation = ReadDelegation(dfs, domains);
        if (!delegation) {
            failures_.push_back({root, delegation.error().code, delegation.error().text});
            return;
        }
        if (*delegation) entries.front().manageSddl = std::move(**delegation);
    }
    namespaces_.push_back(root);
    // A platform that cannot tell the mode has only the one it can change.
    DFS_INFO_50 mode{};
    if (!NetDfsChangesLegacyNamespaces() && dfs.GetNamespaceMode(mode) &&
        mode.NamespaceMajorVersion == 1)
        unchangeable_.insert(CaseKey(root));
    for (const Report& r : reports)
        Add(r.path, r.share, r.comment);
    for (EntryProperties& e : entries) {
        std::u16string key = FoldCase(Utf8ToWide(e.path));
        properties_.insert_or_assign(std::move(key), std::move(e));
    }
}

const EntryProperties* LiveNamespaces::PropertiesOf(const AnsiString& entryPath) const {
    auto found = properties_.find(CaseKey(entryPath));
    return found == properties_.end() ? nullptr : &found->second;
}

bool LiveNamespaces::IsUnchangeableLegacy(const AnsiString& entryPath) const {
    return unchangeable_.count(CaseKey(NamespaceOfEntry(entryPath))) != 0;
}

const LiveNamespaces::ReadFailure* LiveNamespaces::FailureFor(const AnsiString& entryPath) const {
    std::u16string root = CaseKey(NamespaceOfEntry(entryPath));
    for (const ReadFailure& f : failures_)
        if (CaseKey(f.root) == root) return &f;
    return nullptr;
}

size_t LiveNamespaces::EntryOf(const std::u16string& folded) const {
    return byPath_.Find(folded,
                        [&](size_t entry) { return CaseKey(entries_[entry].path) == folded; });
}

size_t LiveNamespaces::EntryBelow(const std::u16string& folded) const {
    return linkParents_.Find(folded, [&](size_t entry) {
        const std::u16string path = CaseKey(entries_[entry].path);
        return path.size() > folded.size() && path.starts_with(folded) &&
               path[folded.size()] == u'\\';
    });
}

const LiveEntry* LiveNamespaces::Find(const AnsiString& entryPath) const {
    const size_t entry = EntryOf(CaseKey(entryPath));
    return entry == HashedKeyIndex::npos ? nullptr : &entries_[entry];
}

bool LiveNamespaces::HasTarget(const AnsiString& entryPath, const TargetParts& target) const {
    const LiveEntry* entry = Find(entryPath);
    if (!entry) return false;
    const std::u16string wanted = CaseKey(TargetText(target));
    return std::any_of(entry->targets.begin(), entry->targets.end(),
                       [&](const AnsiString& t) { return CaseKey(t) == wanted; });
}

const LiveEntry* LiveNamespaces::Overlapping(const AnsiString& entryPath) const {
    std::u16string path = CaseKey(entryPath);
    size_t rootEnd = RootEnd(path);
    if (rootEnd == std::u16string::npos || rootEnd == path.size()) return nullptr;
    // A link above it...
    for (size_t slash = path.find(u'\\', rootEnd + 1); slash != std::u16string::npos;
         slash = path.find(u'\\', slash + 1)) {
        const size_t above = EntryOf(path.substr(0, slash));
        if (above != HashedKeyIndex::npos) return &entries_[above];
    }
    // ...or below it.
    const size_t below = EntryBelow(path);
    return below == HashedKeyIndex::npos ? nullptr : &entries_[below];
}

size_t LiveNamespaces::EntryFor(const AnsiString& entryPath, const AnsiString& comment) {
    const std::u16string path = CaseKey(entryPath);
    size_t entry = EntryOf(path);
    if (entry != HashedKeyIndex::npos) return entry;
    entry = entries_.size();
    entries_.push_back({entryPath, comment, {}});
    byPath_.Add(path, entry);
    size_t rootEnd = RootEnd(path);
    if (rootEnd != std::u16string::npos && rootEnd < path.size())
        for (size_t slash = path.find(u'\\', rootEnd + 1); slash != std::u16string::npos;
             slash = path.find(u'\\', slash + 1)) {
            const std::u16string parent = path.substr(0, slash);
            if (EntryBelow(parent) == HashedKeyIndex::npos) linkParents_.Add(parent, entry);
        }
    return entry;
}

void LiveNamespaces::RecordEntry(const AnsiString& entryPath) {
    EntryFor(entryPath, {});
}

void LiveNamespaces::Add(const AnsiString& entryPath, const AnsiString& target,
                         const AnsiString& comment) {
    const size_t entry = EntryFor(entryPath, comment);
    // An entry has a few targets: looked through, they need no index of their own.
    std::vector<AnsiString>& targets = entries_[entry].targets;
    const std::u16string key = CaseKey(target);
    if (std::any_of(targets.begin(), targets.end(),
                    [&](const AnsiString& t) { return CaseKey(t) == key; }))
        return;
    targets.push_back(target);
    ++targetCount_;
}

void LiveNamespaces::RecordRestored(const BackupLineParts& line) {
    Add(line.entryPath, TargetText(line.target), line.comment);
}

bool LiveNamespaces::IsGone(const AnsiString& entryPath) const {
    const ReadFailure* failure = FailureFor(entryPath);
    return failure && IsNoSuchNamespace(failure->status);
}

void LiveNamespaces::RecordCreated(const BackupLineParts& rootLine) {
    const std::u16string root = CaseKey(NamespaceOfEntry(rootLine.entryPath));
    std::erase_if(failures_, [&](const ReadFailure& f) { return CaseKey(f.root) == root; });
    namespaces_.push_back(rootLine.entryPath);
    RecordRestored(rootLine);
}

std::vector<int> LiveNamespaces::AddBackupLines(const std::vector<BackupRecord>& records) {
    std::vector<int> notBackupLines;
    for (int i : RestoreOrder(records)) {
        if (IsBlankLine(records[i].Text())) continue;
        if (const Expected<BackupLineParts> parts = records[i].Parts())
            RecordRestored(*parts);
        else
            notBackupLines.push_back(i);
    }
    std::sort(notBackupLines.begin(), notBackupLines.end());
    return notBackupLines;
}

} // namespace kestrune
