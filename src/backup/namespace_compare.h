// A backup file held against the namespaces it names: what a restore would bring back, what
// was added since, which comments changed.
#pragma once

#include "backup/live_namespaces.h"

#include <vector>

namespace kestrune {

struct NamespaceDifference {
    enum class Kind {
        OnlyInFile,    // a target the namespace lacks: a restore would add it
        OnlyLive,      // a target added since the file was written
        CommentChanged // an entry in both whose comment differs
    };
    Kind kind = Kind::OnlyInFile;
    // As a backup line: the file's own line for OnlyInFile; the live target as the backup
    // would write it for OnlyLive; the entry's first live target, with the live comment, for
    // CommentChanged.
    AnsiString line;
    AnsiString fileComment; // CommentChanged: the comment in the file
};

struct NamespaceComparison {
    // By entry path (the user's locale, case ignored), then the comment change, the file's
    // targets and the live ones, then by target: the same input gives the same order.
    std::vector<NamespaceDifference> differences;
    int fileTargets = 0;             // distinct targets in the file
    std::vector<int> notBackupLines; // indexes of lines that are neither blank nor backup lines

    int Count(NamespaceDifference::Kind kind) const;
};

// Entries match by path and targets by server and share, case ignored. Only the namespaces
// in live take part; live should hold every namespace the lines name.
NamespaceComparison CompareWithLive(const std::vector<BackupRecord>& records,
                                    const LiveNamespaces& live);

// How a backup file's lines changed against an earlier file's, counted in lines. A line matches
// the earlier file's line with the same entry path and target, case ignored as the comparison
// matches them; a matched line whose text differs (its comment, mostly) is changed. A line that
// is no backup line matches only the same text. Blank lines count for nothing, a line that
// repeats a target of its file for nothing more.
struct LineChanges {
    int added = 0;
    int removed = 0;
    int changed = 0;

    bool operator==(const LineChanges&) const = default;
};
LineChanges CountChangedLines(const std::vector<AnsiString>& before,
                              const std::vector<AnsiString>& after);

} // namespace kestrune
