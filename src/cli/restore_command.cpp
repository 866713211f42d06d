#include "cli/restore_command.h"

#include "backup/live_namespaces.h"
#include "backup/new_namespace_note.h"
#include "backup/propagation_note.h"
#include "backup/restore_plan.h"
#include "backup/restore_properties.h"
#include "backup/run_report.h"
#include "backup/text_restore_log.h"
#include "base/paths.h"
#include "cli/backup_input.h"
#include "cli/progress.h"
#include "cli/target_check.h"
#include "platform/platform.h"

#include <ostream>

namespace kestrune {
namespace {

std::string Count(int n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// The recorded properties a restore would set for one planned line (see ChangesOfRestore);
// existing: --properties. Taken before the plan changes live.
std::vector<PropertyChange> PropertiesToSet(const BackupRecord& record,
                                            const RecordedProperties* recorded,
                                            const LiveNamespaces& live, bool existing) {
    if (!recorded) return {};
    const Expected<BackupLineParts> read = record.Parts();
    if (!read) return {};
    const BackupLineParts& parts = *read;
    const EntryProperties* link = recorded->Entry(parts.entryPath);
    if (!link) return {};
    return ChangesOfRestore(*link, live.PropertiesOf(parts.entryPath), parts.target,
                            live.HasTarget(parts.entryPath, parts.target), !record.FurtherTarget(),
                            existing, recorded->Domains());
}

// answers: each record's share as its server told it (--check-targets); empty without a check.
// recorded: the properties file's, when it belongs to the file; existing: --properties.
int DryRun(const std::vector<BackupRecord>& records, LiveNamespaces& live,
           const std::vector<std::optional<ShareAnswer>>& answers,
           const RecordedProperties* recorded, bool existing, bool quiet, Console console) {
    int namespaces = 0, links = 0, targets = 0, there = 0, failing = 0, checked = 0;
    int unreachable = 0;
    int propertiesToSet = 0;
    // The properties of each line, and whether its target is there, as the namespace is before
    // the plan adds anything.
    std::vector<std::vector<PropertyChange>> properties(records.size());
    std::vector<bool> wasLive(records.size());
    for (size_t i = 0; i < records.size(); ++i) {
        properties[i] = PropertiesToSet(records[i], recorded, live, existing);
        const Expected<BackupLineParts> parts = records[i].Parts();
        wasLive[i] = parts && live.HasTarget(parts->entryPath, parts->target);
    }
    for (const PlannedLine& planned : PlanRestore(records, live)) {
        std::string said;
        switch (planned.action) {
        case PlannedLine::Action::AddLink:
            ++links;
            said = "would add the link: ";
            break;
        case PlannedLine::Action::AddTarget:
            ++targets;
            said = "would add a target: ";
            break;
        case PlannedLine::Action::CreateNamespace: {
            ++namespaces;
            const BackupLineParts parts = *records[planned.index].Parts();
            said = "would create the namespace " + parts.entryPath + " with root target \\\\" +
                   TargetText(parts.target) + ": ";
            break;
        }
        case PlannedLine::Action::AddRootTarget:
            ++targets;
            said = "would add a root target: ";
            break;
        case PlannedLine::Action::AlreadyThere:
            ++there;
            said = "already there: ";
            break;
        case PlannedLine::Action::WouldFail:
            ++failing;
            said = "would fail (" + planned.reason + "): ";
            break;
        }
        if (!answers.empty() && answers[planned.index]) {
            const ShareAnswer& answer = *answers[planned.index];
            ++checked;
            if (!answer.Reached()) ++unreachable;
            said.insert(said.size() - 2, ", " + TargetOutcome(answer));
        }
        console.out << ConsoleText(said + records[planned.index].Text()) << '\n';
        if (planned.action == PlannedLine::Action::WouldFail) continue;
        const bool added = planned.action != PlannedLine::Action::AlreadyThere;
        // A line that repeats a target an earlier line adds finds it there, with defaults.
        if (added == wasLive[planned.index]) continue;
        for (const PropertyChange& c : properties[planned.index]) {
            ++propertiesToSet;
            console.out << ConsoleText(Utf8ToAnsi("would set " + c.property +
                                                  (c.target.empty() ? "" : " of the target") + " " +
                                                  c.recorded +
                                                  (c.nowIsDefault ? " (default " : " (now ") +
                                                  c.now + "): ") +
                                       records[planned.index].Text())
                        << '\n';
        }
    }
    if (!quiet || failing > 0 || unreachable > 0) {
        console.err << "kestrune: dry run, nothing was changed: "
                    << (namespaces > 0
                            ? Count(namespaces, "namespace", "namespaces") + " to create, "
                            : std::string())
                    << Count(links, "link", "links") << " and "
                    << Count(targets, "target", "targets") << " to add, " << there
                    << " already there, " << failing << " would fail";
        if (propertiesToSet > 0)
            console.err << ", " << Count(propertiesToSet, "property", "properties") << " to set";
        if (!answers.empty())
            console.err << "; " << unreachable << " of " << Count(checked, "target", "targets")
                        << " unreachable";
        console.err << "\n";
    }
    return failing > 0 || unreachable > 0 ? kExitFailure : kExitSuccess;
}

} // namespace

int RunRestoreCommand(const RestoreCommand& command, Console console) {
    std::optional<TargetCheck> check;
    if (command.checkTargets && !(check = TargetCheck::Prepare(console))) return kExitUsage;
    std::optional<std::vector<BackupRecord>> read =
        ReadBackupInput(command.file, console, command.destination);
    if (!read) return kExitUsage;
    // Blank lines (a hand-edited file) say nothing and are no failure. Taken out where they
    // are: a second vector of a hundred thousand records would be held for the whole run.
    std::erase_if(*read, [](const BackupRecord& record) { return IsBlankLine(record.Text()); });
    std::vector<BackupRecord> records = std::move(*read);

    // The properties the restore sets and what is live, read once for the dry run and the run.
    TOXLDFS dfs;
    PreparedRestore prepared(dfs, records,
                             ConsolePreparation(command.file, command.destination, console));
    const LoadedProperties& loaded = prepared.properties;
    LiveNamespaces& live = prepared.live;
    if (command.dryRun) {
        if (!loaded.warning.empty())
            console.err << "kestrune: warning: " << ConsoleText(loaded.warning)
                        << "; links would be restored with the platform's defaults\n";
        return DryRun(records, live,
                      check ? check->Check(records, command.quiet, console)
                            : std::vector<std::optional<ShareAnswer>>(),
                      loaded.recorded ? &*loaded.recorded : nullptr, command.properties,
                      command.quiet, console);
    }
    for (const LiveNamespaces::ReadFailure& failure : live.Failures())
        console.err << "kestrune: " << ConsoleText(failure.root)
                    << (IsNoSuchNamespace(failure.status) ? " is not there ("
                                                          : " could not be read (")
                    << ConsoleText(failure.error)
                    << (IsNoSuchNamespace(failure.status) ? "); a line of its root creates it\n"
                                                          : ")\n");

    // Where the changes go, said before any is made; a PDC emulator that is not used is said
    // even when quiet.
    if (PlatformWritesIntoDirectory() && (!command.quiet || !NamespaceWriter().pdcEmulator))
        console.err << "kestrune: namespace changes are written to " << NamespaceWriter().text
                    << "\n";

    // The log goes beside the backup file, and waits there in a scratch file.
    TextRestoreLog log(PathFromUtf8(command.file));
    const bool cancelRequested = false;
    RestoreRun run(dfs, log, cancelRequested);
    run.backupFile = PathFromUtf8(command.file);
    run.setExistingProperties = command.properties;
    run.keepLines = false; // each line is told and counted as it is done
    prepared.Equip(run);
    LineProgress progress(console, static_cast<int>(records.size()), "lines", !command.quiet);
    int restored = 0, there = 0, propertiesSet = 0, failed = 0;
    CreatedNamespaces created;
    std::string lostCharacters;  // the lines, each on a line of its own, console text
    std::vector<int> unrecorded; // the lines restored since live last recorded them
    run.lineDone = [&](const RestoredLine& done) {
        const BackupRecord& record = records[done.index];
        std::string said;
        switch (done.outcome) {
        case RestoredLine::Outcome::Restored: {
            ++restored;
            said = done.createdNamespace ? "created the namespace: " : "restored: ";
            const BackupLineParts parts = *record.Parts();
            // What is live explains a later line's failure, which only the paths decide (a
            // path above or below another link); a target's line that fails was no target of
            // the entry. The targets are not kept, and the paths are recorded only when a
            // failure needs them: a large restore that fails nowhere would hold them all.
            if (done.createdNamespace)
                live.RecordCreated(parts);
            else
                unrecorded.push_back(done.index);
            created.Restored(parts, done.createdNamespace);
            if (done.lostCharacters) lostCharacters += "    " + ConsoleText(record.Text()) + "\n";
            break;
        }
        case RestoredLine::Outcome::AlreadyThere:
            ++there;
            said = "already there: ";
            break;
        case RestoredLine::Outcome::PropertiesSet:
            ++propertiesSet;
            said = "set properties (" + Utf8ToAnsi(done.propertiesSet) + "): ";
            break;
        case RestoredLine::Outcome::Failed:
        case RestoredLine::Outcome::NotABackupLine: {
            ++failed;
            for (int index : unrecorded)
                live.RecordEntry(records[index].EntryPath());
            unrecorded = {};
            // The platform says what, the namespace as read says why: a dry run's note for
            // the same answer.
            PlannedLine foreseen = PlanLine(record, live);
            const bool explained =
                foreseen.action == PlannedLine::Action::WouldFail && foreseen.status == done.status;
            said = "failed (" + (explained ? foreseen.reason : std::string(done.reason)) + "): ";
            break;
        }
        }
        progress.Print(ConsoleText(said + record.Text()));
        progress.Step();
    };
    const RestoreRunResult result = run.Run(AllLines(records));
    progress.Finish();

    std::filesystem::path logFile = run.backupFile;
    logFile += "_restore.txt";
    if (!result.propertiesWarning.empty())
        console.err << "kestrune: warning: " << ConsoleText(result.propertiesWarning) << "\n";
    for (const RootServerAnswer& answer : result.rootServers)
        if (!command.quiet || answer.status != 0)
            console.err << "kestrune: " << ConsoleText(DescribeAnswer(answer)) << "\n";
    if (!result.logError.empty())
        console.err << "kestrune: the restore log was not written: " << result.logError << "\n";
    if (!command.quiet || failed > 0)
        console.err << "kestrune: " << Count(static_cast<int>(records.size()), "line", "lines")
                    << ": " << restored << " restored, " << there << " already there, "
                    << (command.properties
                            ? std::to_string(propertiesSet) + " with properties set, "
                            : std::string())
                    << failed << " failed"
                    << (result.logError.empty() ? "; the log is " + logFile.string() : "") << "\n";
    // As the backup says it of the lines it wrote: they cannot come back as they were.
    if (!lostCharacters.empty())
        console.err << "kestrune: Some lines lost characters that code page " << ActiveCodePage()
                    << " cannot hold, or a line break inside a comment, and were restored "
                       "without them (the properties file beside the backup holds the comments "
                       "in full but records another version of it):\n"
                    << lostCharacters
                    << "Set KESTRUNE_CODEPAGE=65001 to write backup files in UTF-8 and keep "
                       "every character.\n";
    const std::vector<AnsiString>& changedRoots = result.changedNamespaces;
    if (!command.quiet && !changedRoots.empty() && PlatformWritesIntoDirectory())
        console.err << "kestrune: " << ConsoleText(PropagationNote(changedRoots, &dfs)) << "\n";
    // The servers' part is never the directory's: said even with --quiet.
    if (PlatformWritesIntoDirectory())
        for (const AnsiString& note : NewNamespaceNotes(created.All()))
            console.err << "kestrune: " << ConsoleText(note) << "\n";
    return failed > 0 ? kExitFailure : !lostCharacters.empty() ? kExitCharactersLost : kExitSuccess;
}

} // namespace kestrune
