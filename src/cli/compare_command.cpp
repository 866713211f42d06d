#include "cli/compare_command.h"

#include "backup/live_namespaces.h"
#include "backup/namespace_compare.h"
#include "backup/run_report.h"
#include "cli/backup_input.h"

#include <optional>
#include <ostream>

namespace kestrune {
namespace {

std::string Count(int n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// The file held against the namespaces it names; nothing (and the reason on standard error)
// when the file or one of them cannot be read.
std::optional<NamespaceComparison> CompareFile(const std::string& file, Console console) {
    std::optional<std::vector<AnsiString>> lines = ReadBackupInput(file, console);
    if (!lines) return std::nullopt;
    TOXLDFS dfs;
    LiveNamespaces live;
    live.ReadNamespacesOf(dfs, *lines);
    for (const LiveNamespaces::ReadFailure& failure : live.Failures())
        console.err << "kestrune: " << ConsoleText(failure.root)
                    << " could not be read: " << ConsoleText(failure.error) << "\n";
    if (!live.Failures().empty()) return std::nullopt;
    if (live.Namespaces().empty()) {
        console.err << "kestrune: " << file << " names no namespace: it holds no backup line\n";
        return std::nullopt;
    }
    NamespaceComparison comparison = CompareWithLive(*lines, live);
    for (int index : comparison.notBackupLines)
        console.err << "kestrune: line " << index + 1
                    << " is not a backup line and was left out: " << ConsoleText((*lines)[index])
                    << "\n";
    return comparison;
}

} // namespace

int RunCompareCommand(const std::string& file, Console console) {
    std::optional<NamespaceComparison> comparison = CompareFile(file, console);
    if (!comparison) return kExitUsage;
    using Kind = NamespaceDifference::Kind;
    for (const NamespaceDifference& d : comparison->differences) {
        switch (d.kind) {
        case Kind::OnlyInFile:
            console.out << ConsoleText("- " + d.line) << '\n';
            break;
        case Kind::OnlyLive:
            console.out << ConsoleText("+ " + d.line) << '\n';
            break;
        case Kind::CommentChanged:
            console.out << ConsoleText("~ " + d.line + " (was \"" + d.fileComment + "\")") << '\n';
            break;
        }
    }
    if (comparison->differences.empty()) {
        console.out << "no differences: " << Count(comparison->fileTargets, "target", "targets")
                    << " in the file, all live\n";
        return kExitSuccess;
    }
    console.out << Count(static_cast<int>(comparison->differences.size()), "difference",
                         "differences")
                << ": " << comparison->Count(Kind::OnlyInFile)
                << " only in the file (a restore would add them), "
                << comparison->Count(Kind::OnlyLive) << " added since, "
                << Count(comparison->Count(Kind::CommentChanged), "comment", "comments")
                << " changed\n";
    return kExitFailure;
}

int RunVerifyCommand(const std::string& file, Console console) {
    std::optional<NamespaceComparison> comparison = CompareFile(file, console);
    if (!comparison) return kExitUsage;
    int missing = 0;
    for (const NamespaceDifference& d : comparison->differences)
        if (d.kind == NamespaceDifference::Kind::OnlyInFile) {
            ++missing;
            console.out << ConsoleText("missing: " + d.line) << '\n';
        }
    if (missing == 0) {
        console.out << "every target in the file is live (" << comparison->fileTargets << ")\n";
        return kExitSuccess;
    }
    console.out << missing << " of " << Count(comparison->fileTargets, "target", "targets")
                << (missing == 1 ? " is" : " are") << " missing\n";
    return kExitFailure;
}

} // namespace kestrune
