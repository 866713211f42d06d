#include "backup/namespace_compare.h"

#include "backup/backup_file.h"
#include "base/case_fold.h"
#include "base/collation.h"

#include <algorithm>
#include <tuple>

namespace kestrune {
namespace {

struct FileEntry {
    AnsiString comment; // of the entry's first line
    std::unordered_set<std::u16string> targets;
};

struct Sortable {
    std::string pathKey;
    int kindOrder;
    std::string targetKey;
    NamespaceDifference difference;

    bool operator<(const Sortable& other) const {
        return std::tie(pathKey, kindOrder, targetKey, difference.line) <
               std::tie(other.pathKey, other.kindOrder, other.targetKey, other.difference.line);
    }
};

int KindOrder(NamespaceDifference::Kind kind) {
    switch (kind) {
    case NamespaceDifference::Kind::CommentChanged:
        return 0;
    case NamespaceDifference::Kind::OnlyInFile:
        return 1;
    case NamespaceDifference::Kind::OnlyLive:
        return 2;
    }
    return 3;
}

// What a line matches in another file: its entry path and target, or its whole text when it is
// no backup line. Empty for a blank line.
std::u16string LineKey(const AnsiString& line) {
    if (IsBlankLine(line)) return {};
    Expected<BackupLineParts> parts = ParseBackupLine(line);
    if (!parts) return u'\1' + AnsiToWide(line);
    return TargetKey(*parts);
}

} // namespace

int NamespaceComparison::Count(NamespaceDifference::Kind kind) const {
    return static_cast<int>(std::count_if(differences.begin(), differences.end(),
                                          [kind](const auto& d) { return d.kind == kind; }));
}

NamespaceComparison CompareWithLive(const std::vector<BackupRecord>& records,
                                    const LiveNamespaces& live) {
    NamespaceComparison result;
    std::unordered_map<std::u16string, FileEntry> file;
    std::vector<Sortable> found;
    auto note = [&](const AnsiString& path, const AnsiString& target,
                    NamespaceDifference difference) {
        found.push_back({CollationKey(path), KindOrder(difference.kind), CollationKey(target),
                         std::move(difference)});
    };

    for (size_t i = 0; i < records.size(); ++i) {
        if (IsBlankLine(records[i].Text())) continue;
        const Expected<BackupLineParts> parts = records[i].Parts();
        if (!parts) {
            result.notBackupLines.push_back(static_cast<int>(i));
            continue;
        }
        const AnsiString target = TargetText(parts->target);
        auto [entry, isNew] = file.try_emplace(CaseKey(parts->entryPath));
        if (isNew) entry->second.comment = parts->comment;
        if (!entry->second.targets.insert(CaseKey(target)).second)
            continue; // the same target again
        ++result.fileTargets;
        if (!live.HasTarget(parts->entryPath, parts->target))
            note(parts->entryPath, target,
                 {NamespaceDifference::Kind::OnlyInFile, records[i].Text(), {}});
    }

    for (const LiveEntry& entry : live.Entries()) {
        auto inFile = file.find(CaseKey(entry.path));
        for (size_t t = 0; t < entry.targets.size(); ++t) {
            if (inFile != file.end() && inFile->second.targets.count(CaseKey(entry.targets[t])))
                continue;
            note(entry.path, entry.targets[t],
                 {NamespaceDifference::Kind::OnlyLive,
                  FormatBackupLine(entry.path, entry.targets[t], entry.comment,
                                   static_cast<int32_t>(t)),
                  {}});
        }
        if (inFile != file.end() && inFile->second.comment != entry.comment &&
            !entry.targets.empty())
            note(entry.path, {},
                 {NamespaceDifference::Kind::CommentChanged,
                  FormatBackupLine(entry.path, entry.targets.front(), entry.comment, 0),
                  inFile->second.comment});
    }

    std::sort(found.begin(), found.end());
    result.differences.reserve(found.size());
    for (Sortable& s : found)
        result.differences.push_back(std::move(s.difference));
    return result;
}

LineChanges CountChangedLines(const std::vector<AnsiString>& before,
                              const std::vector<AnsiString>& after) {
    std::unordered_map<std::u16string, const AnsiString*> earlier;
    for (const AnsiString& line : before)
        if (std::u16string key = LineKey(line); !key.empty()) earlier.try_emplace(key, &line);
    LineChanges changes;
    std::unordered_set<std::u16string> seen;
    for (const AnsiString& line : after) {
        std::u16string key = LineKey(line);
        if (key.empty() || !seen.insert(key).second) continue;
        auto found = earlier.find(key);
        if (found == earlier.end())
            ++changes.added;
        else if (*found->second != line)
            ++changes.changed;
    }
    for (const auto& [key, line] : earlier)
        if (!seen.count(key)) ++changes.removed;
    return changes;
}

} // namespace kestrune
