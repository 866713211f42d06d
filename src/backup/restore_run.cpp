#include "backup/restore_run.h"

#include "backup/backup_line.h"
#include "backup/live_namespaces.h"
#include "backup/restore_group.h"
#include "backup/restore_plan.h"
#include "base/case_fold.h"
#include "base/file_io.h"
#include "base/message_table.h"
#include "base/win_errors.h"

#include <chrono>
#include <set>
#include <utility>

namespace kestrune {
namespace {

// Puts the component's flags back however the run ends.
class FlagsGuard {
  public:
    FlagsGuard(TOXLDFS& dfs, uint32_t flags) : dfs_(dfs), saved_(dfs.Flags()) {
        dfs.SetFlags(flags);
    }
    ~FlagsGuard() { dfs_.SetFlags(saved_); }
    FlagsGuard(const FlagsGuard&) = delete;
    FlagsGuard& operator=(const FlagsGuard&) = delete;

  private:
    TOXLDFS& dfs_;
    uint32_t saved_;
};

// Adds a namespace root's target: to the namespace when it is there, else as the first target
// of the namespace created anew (Windows Server 2008 mode).
bool AddRootTarget(TOXLDFS& dfs, bool& created) {
    created = false;
    if (dfs.AddRootTarget(0)) return true;
    const uint32_t status = dfs.LastError();
    if (!IsNoSuchNamespace(status)) return false;
    created = dfs.AddRootTarget(2);
    return created;
}

// The backup run's words for lost characters, said of one restored line.
AnsiString LostCharactersNote() {
    return "The comment lost characters that code page " + std::to_string(ActiveCodePage()) +
           " cannot hold, or a line break, and was restored without them: the properties file "
           "beside the backup holds it in full but records another version of the backup file";
}

} // namespace

RestoredLine RestoreBackupLine(const BackupRecord& record, TOXLDFS& dfs, RestoreLog& log,
                               const RestoreLineOptions& options) {
    const RecordedProperties* recorded = options.recorded;
    RestoredLine result;
    const Expected<BackupLineParts> parts = record.Parts();
    if (!parts) {
        AnsiString shown = record.Text().substr(0, record.Text().find('\0'));
        log.AddLine("Skipped, " + parts.error().text + ": " + shown, clRed);
        result.outcome = RestoredLine::Outcome::NotABackupLine;
        result.reason = parts.error().text;
        return result;
    }
    const TargetParts& target = parts->target;
    const AnsiString servername = options.noSlashes ? target.server : "\\\\" + target.server;
    dfs.SetDFSEntry(AnsiToWide(parts->entryPath));
    dfs.SetServername(AnsiToWide(servername));
    dfs.SetShareName(AnsiToWide(target.share));
    const EntryProperties* link = recorded ? recorded->Entry(parts->entryPath) : nullptr;
    // The line holds the comment in the code page; the properties file holds all of it.
    dfs.SetComment(link ? Utf8ToWide(link->description.value_or(std::string()))
                        : AnsiToWide(parts->comment));
    log.AddLine("Restoring " + parts->entryPath + (options.noSlashes ? " to " : " to \\\\") +
                    target.server + "\\" + target.share + "  " + parts->comment,
                clYellow);
    if (options.processMessages) options.processMessages();
    std::string failedProperty;
    // The entry as it was before this line: a link already there keeps its own properties
    // unless they are asked for. Without live properties every link counts as created.
    const EntryProperties* before =
        link && options.liveProperties ? options.liveProperties(parts->entryPath) : nullptr;
    const bool rootLine = IsNamespaceRootPath(parts->entryPath);
    const DomainSids& domains = recorded ? recorded->Domains() : DomainSids{};
    auto changesOf = [&](bool targetWasLive) {
        // A namespace created by an "/add" line gets its own properties all the same.
        std::vector<PropertyChange> changes =
            ChangesOfRestore(*link, before, target, targetWasLive,
                             !record.FurtherTarget() || result.createdNamespace,
                             options.setExistingProperties, domains);
        // Who may manage a namespace is given back only to one this line created.
        if (!result.createdNamespace)
            std::erase_if(changes, [](const PropertyChange& c) {
                return c.kind == PropertyChange::Kind::ManagementPermissions;
            });
        return changes;
    };
    if (rootLine ? AddRootTarget(dfs, result.createdNamespace) : dfs.AddLink()) {
        result.changedNamespace = true;
        const AnsiString done = result.createdNamespace
                                    ? "Created the namespace " + parts->entryPath
                                    : AnsiString("Restored");
        if (!link) {
            log.AddLine(done, clLime);
            if (options.otherVersion &&
                CommentLostCharacters(parts->comment,
                                      options.otherVersion->Entry(parts->entryPath))) {
                result.lostCharacters = true;
                log.AddLine(LostCharactersNote(), clYellow);
            }
            return result;
        }
        result.status =
            SetRecordedProperties(dfs, changesOf(false), *link, domains, failedProperty);
        if (result.status == NERR_Success) {
            log.AddLine(done, clLime);
            return result;
        }
    } else {
        result.status = dfs.LastError();
    }
    bool targetWasThere = false;
    if (failedProperty.empty() && result.status == ERROR_FILE_EXISTS && options.targetIsLive &&
        options.targetIsLive(*parts)) {
        targetWasThere = true;
        const std::vector<PropertyChange> changes =
            link ? changesOf(true) : std::vector<PropertyChange>();
        if (changes.empty()) {
            result.outcome = RestoredLine::Outcome::AlreadyThere;
            log.AddLine("Already there", clLime);
            return result;
        }
        size_t set = 0;
        result.status = SetRecordedProperties(dfs, changes, *link, domains, failedProperty, &set);
        result.changedNamespace = set > 0;
        if (result.status == NERR_Success) {
            result.outcome = RestoredLine::Outcome::PropertiesSet;
            result.propertiesSet = DescribeChanges(changes);
            log.AddLine("Already there; set " + Utf8ToAnsi(result.propertiesSet), clLime);
            return result;
        }
    }
    result.outcome = RestoredLine::Outcome::Failed;
    result.reason = StatusText(result.status);
    if (result.status == ERROR_INVALID_PARAMETER)
        result.reason += TooLongFieldNote(*parts, servername);
    // A namespace server serves its root from a share of its own, which must be there first.
    if (rootLine && result.status == NERR_NetNameNotFound)
        result.reason += " (the share " + target.share + " must exist on " + target.server +
                         " before it can serve the namespace)";
    if (!dfs.LastErrorDetail().empty())
        result.reason += " (" + Utf8ToAnsi(dfs.LastErrorDetail()) + ")";
    if (!failedProperty.empty())
        result.reason +=
            (targetWasThere ? " (the target was there; " : " (the target was added; ") +
            failedProperty + " was not set)";
    log.AddLine("Failed " + result.reason, clRed);
    return result;
}

std::vector<int> RestoreRun::NextLines(const RestoreSelection& selection,
                                       const std::vector<int>& order, size_t& next) {
    const std::span<const BackupRecord> records = selection.Records();
    std::vector<int> lines;
    std::u16string link;
    for (; next < order.size(); ++next) {
        const int i = order[next];
        if (!selection.Checked(i)) continue;
        const BackupRecord& record = records[i];
        const AnsiString path = record.EntryPath();
        const bool linkLine = record.IsBackupLine() && !IsNamespaceRootPath(path);
        if (lines.empty()) {
            lines.push_back(i);
            if (!linkLine) {
                ++next;
                return lines;
            }
            link = CaseKey(path);
            continue;
        }
        if (!linkLine || CaseKey(path) != link) break;
        lines.push_back(i);
    }
    return lines;
}

void RestoreRun::LineRestorer::RestoreEach(const std::vector<int>& lines,
                                           std::vector<GroupedLine>& group) {
    // A line's own run may have added its target in a group not yet reported, which the
    // caller's view of the namespace cannot know yet.
    const TargetIsLive isLive = [&](const BackupLineParts& line) {
        return addedHere.Contains(line) || (run.targetIsLive && run.targetIsLive(line));
    };
    for (const int i : lines) {
        GroupedLine& done = group.emplace_back();
        done.line =
            RestoreBackupLine(records[i], run.dfs_, done.log,
                              {run.noSlashes, run.processMessages, isLive, recorded,
                               run.liveProperties, run.setExistingProperties, otherVersion});
        done.line.index = i;
        if (done.line.outcome == RestoredLine::Outcome::Restored) addedHere.Add(i);
    }
}

void RestoreRun::LineRestorer::Restore(const std::vector<int>& lines,
                                       std::vector<GroupedLine>& group) {
    const BackupRecord& first = records[lines.front()];
    if (!first.IsBackupLine() || IsNamespaceRootPath(first.EntryPath())) {
        RestoreEach(lines, group);
        return;
    }
    // One link's lines: a link they create is written once, with its targets and properties.
    const size_t start = group.size();
    if (run.dfs_.ChangeLink([&] { RestoreEach(lines, group); })) return;
    const std::span<GroupedLine> done(group.begin() + static_cast<ptrdiff_t>(start), group.end());
    Forget(done);
    if (run.dfs_.LastError() == ERROR_RETRY) {
        // Another program made the link meanwhile: each line on its own, against what it made.
        group.resize(start);
        RestoreEach(lines, group);
        return;
    }
    FailGroup(done, run.dfs_.LastError(), run.dfs_.LastErrorDetail());
}

void RestoreRun::LineRestorer::Forget(std::span<const GroupedLine> lines) {
    for (const GroupedLine& done : lines)
        addedHere.Forget(done.line.index);
}

RestoreRun::RestoreRun(TOXLDFS& dfs, RestoreLog& log, const bool& cancelRequested)
    : dfs_(dfs), log_(log), cancelRequested_(cancelRequested) {}

RestoreRunResult RestoreRun::Run(const RestoreSelection& selection) {
    RestoreRunResult result;
    log_.ClearLines();
    log_.ShowLog();
    log_.AddLine("Starting restore", clLime);
    std::optional<RecordedProperties> recorded, otherVersion;
    if (applyProperties && (!backupFile.empty() || loadedProperties)) {
        LoadedProperties loaded =
            loadedProperties ? std::move(*loadedProperties) : LoadMatchingProperties(backupFile);
        loadedProperties.reset();
        recorded = std::move(loaded.recorded);
        otherVersion = std::move(loaded.otherVersion);
        if (!loaded.warning.empty())
            result.propertiesWarning =
                loaded.warning + "; links are restored with the platform's defaults";
        if (!result.propertiesWarning.empty())
            log_.AddLine("Properties not applied: " + result.propertiesWarning, clYellow);
    }
    const std::span<const BackupRecord> records = selection.Records();
    {
        // Flags 0: the link is created if needed and the target added, so every target of a
        // multi-target link comes back, not only the first line that reaches it. The first
        // target of each entry ("/map") goes in before its further ones ("/add"), which keeps
        // the targets' order.
        FlagsGuard flags(dfs_, 0);
        // What the run reads is kept for the run, and each namespace changed is marked so once,
        // at the end, cancelled or not.
        dfs_.BeginChanges();
        LineRestorer restorer{*this, records, recorded ? &*recorded : nullptr,
                              otherVersion ? &*otherVersion : nullptr, AddedTargets(records)};
        const std::vector<int> order = RestoreOrder(records);
        std::set<std::u16string> changed; // CaseKey of the namespaces changed
        size_t next = 0;
        while (next < order.size() && !result.cancelled) {
            std::vector<GroupedLine> group;
            const auto started = std::chrono::steady_clock::now();
            const bool kept = dfs_.ChangeGroup([&] {
                while (next < order.size() && group.size() < kGroupLines &&
                       std::chrono::steady_clock::now() - started < kGroupTime) {
                    if (cancelRequested_) {
                        result.cancelled = true;
                        return;
                    }
                    const std::vector<int> lines = NextLines(selection, order, next);
                    if (!lines.empty()) restorer.Restore(lines, group);
                }
            });
            if (!kept) {
                FailGroup(group, dfs_.LastError(), dfs_.LastErrorDetail());
                restorer.Forget(group);
            }
            for (GroupedLine& done : group) {
                for (const auto& [text, color] : done.log.lines)
                    log_.AddLine(text, color);
                if (done.line.changedNamespace) {
                    AnsiString root = NamespaceOfEntry(records[done.line.index].EntryPath());
                    if (changed.insert(CaseKey(root)).second)
                        result.changedNamespaces.push_back(std::move(root));
                }
                if (keepLines) result.lines.push_back(done.line);
                if (lineDone) lineDone(done.line);
            }
        }
        if (!dfs_.EndChanges())
            log_.AddLine("The namespace was not marked as changed, " + dfs_.LastErrorText() +
                             "; its servers may not notice the change before they read it in full",
                         clYellow);
    }
    if (tellRootServers) {
        result.rootServers = TellRootServers(dfs_, result.changedNamespaces);
        for (const RootServerAnswer& answer : result.rootServers)
            log_.AddLine(DescribeAnswer(answer), answer.status == 0 ? clLime : clYellow);
    }
    if (Expected<void> saved = FinishRestoreLog(log_, backupFile); !saved)
        result.logError = saved.error().text;
    return result;
}

Expected<void> FinishRestoreLog(RestoreLog& log, const std::filesystem::path& backupFile) {
    log.SetPlainText(true);
    Expected<void> saved;
    try {
        log.AddLine("", clLime);
        log.AddLine("** Complete **", clLime);
        if (!backupFile.empty()) {
            std::filesystem::path logFile = backupFile;
            logFile += "_restore.txt";
            log.SaveLinesToFile(logFile);
        }
    } catch (const EFileError& e) {
        // The status window still shows the run; a log that cannot be written is not an error
        // of the run.
        saved = Error{static_cast<uint32_t>(e.Code()), e.what()};
    }
    log.SetPlainText(false);
    return saved;
}

} // namespace kestrune
