#include "cli/compare_command.h"

#include "backup/live_namespaces.h"
#include "backup/namespace_compare.h"
#include "backup/restore_properties.h"
#include "backup/run_report.h"
#include "base/paths.h"
#include "cli/backup_input.h"
#include "cli/target_check.h"

#include <algorithm>
#include <optional>
#include <ostream>

namespace kestrune {
namespace {

std::string Count(int n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// "~ <entry> [<target>] <property> <live value> (was <recorded value>)" for every property of
// the recorded entries that differs live, in the properties file's order, UTF-8. A comment
// that the backup line cannot tell apart (both the same in the code page) is told here by its
// Description: "~ <entry> Description "<live>" (was "<recorded>")".
std::vector<std::string> PropertyDrift(const RecordedProperties& recorded,
                                       const LiveNamespaces& live) {
    std::vector<std::string> lines;
    auto compare = [&](const EntryProperties& entry) {
        const EntryProperties* now = live.PropertiesOf(Utf8ToAnsi(entry.path));
        if (!now) return;
        const std::string nowText = now->description.value_or(std::string());
        const std::string wasText = entry.description.value_or(std::string());
        if (nowText != wasText && Utf8ToAnsi(nowText) == Utf8ToAnsi(wasText))
            lines.push_back("~ " + entry.path + " Description \"" + nowText + "\" (was \"" +
                            wasText + "\")");
        for (const PropertyChange& c : ChangedProperties(*now, entry, recorded.Domains()))
            lines.push_back("~ " + entry.path + " " + (c.target.empty() ? "" : c.target + " ") +
                            c.property + " " + c.now + " (was " + c.recorded + ")");
    };
    compare(recorded.All().root);
    for (const EntryProperties& link : recorded.All().links)
        compare(link);
    return lines;
}

// The file held against the namespaces it names; nothing (and the reason on standard error)
// when the file or one of them cannot be read.
// read, when given, receives the file's records. drift, when given, receives the properties
// that changed since the properties file beside the file was written, when it belongs to it.
std::optional<NamespaceComparison> CompareFile(const std::string& file, Console console,
                                               const RestoreDestination& destination,
                                               std::vector<BackupRecord>* read = nullptr,
                                               std::vector<std::string>* drift = nullptr) {
    std::optional<std::vector<BackupRecord>> records = ReadBackupInput(file, console, destination);
    if (!records) return std::nullopt;
    if (read) *read = *records;
    LoadedProperties properties;
    if (drift) properties = LoadRecordedProperties(ConsolePreparation(file, destination, console));
    if (!properties.warning.empty())
        console.err << "kestrune: warning: " << ConsoleText(properties.warning)
                    << "; properties are not compared\n";
    TOXLDFS dfs;
    LiveNamespaces live;
    live.withProperties = properties.recorded.has_value();
    if (properties.recorded) live.domains = properties.recorded->Domains();
    live.ReadNamespacesOf(dfs, *records);
    for (const LiveNamespaces::ReadFailure& failure : live.Failures())
        console.err << "kestrune: " << ConsoleText(failure.root)
                    << " could not be read: " << ConsoleText(failure.error) << "\n";
    if (!live.Failures().empty()) return std::nullopt;
    if (live.Namespaces().empty()) {
        console.err << "kestrune: " << file << " names no namespace: it holds no backup line\n";
        return std::nullopt;
    }
    NamespaceComparison comparison = CompareWithLive(*records, live);
    for (int index : comparison.notBackupLines)
        console.err << "kestrune: line " << index + 1 << " is not a backup line and was left out: "
                    << ConsoleText((*records)[index].Text()) << "\n";
    if (properties.recorded) *drift = PropertyDrift(*properties.recorded, live);
    return comparison;
}

// What the differences are called: the first file's (or the only file's) side and the other.
struct DifferenceWords {
    std::string identical; // the whole output when there are no differences
    const char* onlyFirst;
    const char* onlySecond;
};

// The lines "- ", "+ " and "~ " of the differences and of the properties that changed
// (drift, UTF-8), then a summary; the exit status.
int PrintDifferences(const NamespaceComparison& comparison, const DifferenceWords& words,
                     Console console, const std::vector<std::string>& drift = {}) {
    using Kind = NamespaceDifference::Kind;
    for (const NamespaceDifference& d : comparison.differences) {
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
    for (const std::string& line : drift)
        console.out << line << '\n';
    if (comparison.differences.empty() && drift.empty()) {
        console.out << words.identical << "\n";
        return kExitSuccess;
    }
    console.out << Count(static_cast<int>(comparison.differences.size() + drift.size()),
                         "difference", "differences")
                << ": " << comparison.Count(Kind::OnlyInFile) << " " << words.onlyFirst << ", "
                << comparison.Count(Kind::OnlyLive) << " " << words.onlySecond << ", "
                << Count(comparison.Count(Kind::CommentChanged), "comment", "comments")
                << " changed";
    if (!drift.empty())
        console.out << ", " << Count(static_cast<int>(drift.size()), "property", "properties")
                    << " changed";
    console.out << "\n";
    return kExitFailure;
}

// Says on standard error which lines of a file are left out; false (a file that is no backup
// file) when every line that is not blank is left out, or there is none: an empty file holds
// no backup, not a namespace without targets.
bool ReportNotBackupLines(const std::string& file, const std::vector<BackupRecord>& records,
                          const std::vector<int>& notBackupLines, Console console) {
    for (int index : notBackupLines)
        console.err << "kestrune: " << file << ": line " << index + 1
                    << " is not a backup line and was left out: "
                    << ConsoleText(records[index].Text()) << "\n";
    const auto blank =
        std::count_if(records.begin(), records.end(),
                      [](const BackupRecord& record) { return IsBlankLine(record.Text()); });
    const bool allLeftOut = notBackupLines.size() + static_cast<size_t>(blank) == records.size();
    if (allLeftOut)
        console.err << "kestrune: " << file << " is not a backup file"
                    << (notBackupLines.empty() ? ": it holds no backup line\n" : "\n");
    return !allLeftOut;
}

} // namespace

int RunCompareCommand(const std::string& file, Console console,
                      const RestoreDestination& destination) {
    std::vector<std::string> drift;
    std::optional<NamespaceComparison> comparison =
        CompareFile(file, console, destination, nullptr, &drift);
    if (!comparison) return kExitUsage;
    return PrintDifferences(
        *comparison,
        {"no differences: " + Count(comparison->fileTargets, "target", "targets") +
             " in the file, all live",
         "only in the file (a restore would add them)", "added since"},
        console, drift);
}

int RunDiffCommand(const std::string& oldFile, const std::string& newFile, Console console) {
    std::optional<std::vector<BackupRecord>> oldLines = ReadBackupInput(oldFile, console);
    if (!oldLines) return kExitUsage;
    std::optional<std::vector<BackupRecord>> newLines = ReadBackupInput(newFile, console);
    if (!newLines) return kExitUsage;
    LiveNamespaces newer;
    const std::vector<int> newNotBackupLines = newer.AddBackupLines(*newLines);
    NamespaceComparison comparison = CompareWithLive(*oldLines, newer);
    if (!ReportNotBackupLines(oldFile, *oldLines, comparison.notBackupLines, console) ||
        !ReportNotBackupLines(newFile, *newLines, newNotBackupLines, console))
        return kExitUsage;
    return PrintDifferences(
        comparison,
        {"no differences: " + Count(comparison.fileTargets, "target", "targets") + " in both files",
         "only in the old file", "added since"},
        console);
}

namespace {

// Every target line with whether its share answered, then how many did not; false when some
// did not.
bool PrintTargetCheck(const TargetCheck& check, const std::vector<BackupRecord>& records,
                      bool quiet, Console console) {
    const std::vector<std::optional<ShareAnswer>> answers = check.Check(records, quiet, console);
    int checked = 0, unreachable = 0;
    for (size_t i = 0; i < records.size(); ++i) {
        if (!answers[i]) continue;
        ++checked;
        if (!answers[i]->Reached()) ++unreachable;
        console.out << ConsoleText(TargetOutcome(*answers[i]) + ": " + records[i].Text()) << '\n';
    }
    if (unreachable == 0)
        console.out << "every target's share answered (" << checked << ")\n";
    else
        console.out << unreachable << " of " << Count(checked, "target", "targets")
                    << (unreachable == 1 ? " is" : " are") << " unreachable\n";
    return unreachable == 0;
}

} // namespace

int RunVerifyCommand(const std::string& file, bool checkTargets, bool quiet, Console console,
                     const RestoreDestination& destination) {
    std::optional<TargetCheck> check;
    if (checkTargets && !(check = TargetCheck::Prepare(console))) return kExitUsage;
    std::vector<BackupRecord> records;
    std::optional<NamespaceComparison> comparison =
        CompareFile(file, console, destination, &records);
    if (!comparison) return kExitUsage;
    int missing = 0;
    for (const NamespaceDifference& d : comparison->differences)
        if (d.kind == NamespaceDifference::Kind::OnlyInFile) {
            ++missing;
            console.out << ConsoleText("missing: " + d.line) << '\n';
        }
    if (missing == 0)
        console.out << "every target in the file is live (" << comparison->fileTargets << ")\n";
    else
        console.out << missing << " of " << Count(comparison->fileTargets, "target", "targets")
                    << (missing == 1 ? " is" : " are") << " missing\n";
    const bool reachable = !check || PrintTargetCheck(*check, records, quiet, console);
    return missing == 0 && reachable ? kExitSuccess : kExitFailure;
}

} // namespace kestrune
