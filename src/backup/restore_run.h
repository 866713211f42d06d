// Restoring backup lines through the DFS component, with progress in a log.
#pragma once

#include "backup/added_targets.h"
#include "backup/backup_record.h"
#include "backup/restore_log.h"
#include "backup/restore_properties.h"
#include "backup/root_servers.h"
#include "dfs/toxldfs.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

namespace kestrune {

// What a restore run restores from: the records of a backup file, each checked or not. The
// marks are read when the run reaches a line, so a window's marks may change under a run.
class RestoreSelection {
  public:
    virtual ~RestoreSelection() = default;
    virtual std::span<const BackupRecord> Records() const = 0;
    virtual bool Checked(int index) const = 0;
};

// Every line checked: of lines it parses, or of records the caller keeps.
class AllLines : public RestoreSelection {
  public:
    explicit AllLines(const std::vector<AnsiString>& lines)
        : owned_(ParseBackupRecords(lines)), records_(owned_) {}
    explicit AllLines(std::span<const BackupRecord> records) : records_(records) {}
    AllLines(const AllLines&) = delete;
    AllLines& operator=(const AllLines&) = delete;
    std::span<const BackupRecord> Records() const override { return records_; }
    bool Checked(int) const override { return true; }

  private:
    std::vector<BackupRecord> owned_;
    std::span<const BackupRecord> records_;
};

struct RestoredLine {
    // PropertiesSet: the target was there, and the recorded properties that differed from the
    // live ones were set.
    enum class Outcome { Restored, AlreadyThere, PropertiesSet, Failed, NotABackupLine };
    int index = 0;
    Outcome outcome = Outcome::Restored;
    uint32_t status = 0;       // the component's LastError after a failed AddLink
    AnsiString reason;         // why it failed, as the log says it after "Failed "
    std::string propertiesSet; // PropertiesSet: which, with their values (DescribeChanges)
    // Restored: the line's namespace was gone, and this line created it with its target.
    bool createdNamespace = false;
    // Whether the line changed the namespace: a target added or a property set, also when the
    // line failed after that (a property refused).
    bool changedNamespace = false;
    // Restored with a comment that lost characters the code page cannot hold, as a properties
    // file of another version of the backup shows (see CommentLostCharacters).
    bool lostCharacters = false;
};

// Whether the namespace held the line's target before the platform refused it as existing:
// the platform gives the same answer for a path that overlaps another link.
using TargetIsLive = std::function<bool(const BackupLineParts& line)>;

// The properties an entry has now, as read before the run; null when they are not known.
using LivePropertiesOf = std::function<const EntryProperties*(const AnsiString& entryPath)>;

struct RestoreRunResult {
    // Each line's outcome, unless the run was asked not to keep them (keepLines).
    std::vector<RestoredLine> lines;
    // The namespaces the lines changed (\\domain\namespace), each once, as first written.
    std::vector<AnsiString> changedNamespaces;
    bool cancelled = false;
    // Why the log file was not written (the file's name and the system's reason); empty when
    // it was, or when there was none to write.
    std::string logError;
    // Why the properties file beside the backup file was not applied (see
    // LoadMatchingProperties); empty when it was, or there is none.
    std::string propertiesWarning;
    // What each root server of a namespace the run changed answered when told to read it.
    std::vector<RootServerAnswer> rootServers;
};

struct GroupedLine;

// The restore run: every checked line's target added through the component, the first target
// of each entry ("/map") before its further ones ("/add"), with flags 0 so a link that exists
// gains the target. Progress goes to the log; the log is saved beside the backup file. The
// component's flags are put back however the run ends.
class RestoreRun {
  public:
    RestoreRun(TOXLDFS& dfs, RestoreLog& log, const bool& cancelRequested);

    bool noSlashes = false;
    // The backup file the lines came from; the log is saved as its name + "_restore.txt".
    // Empty: no log file is written.
    std::filesystem::path backupFile;
    // Runs once per line, after the progress line and before the platform call.
    std::function<void()> processMessages;
    // After each line's outcome.
    std::function<void(const RestoredLine&)> lineDone;
    // Whether the result keeps every line's outcome; a caller that takes them from lineDone
    // need not hold a hundred thousand of them.
    bool keepLines = true;
    // When set, a target the platform refuses as existing and this confirms is reported as
    // already there (lime), not as a failure.
    TargetIsLive targetIsLive;
    // Whether the links created and the targets added get the properties the properties file
    // beside backupFile records.
    bool applyProperties = true;
    // The properties file as the caller has read it already (LoadMatchingProperties); read
    // from beside backupFile when not given. The run takes it over.
    std::optional<LoadedProperties> loadedProperties;
    // The entries as they were before the run, when known: a line that adds a target to a
    // link already there then leaves the link's own properties alone, and with
    // setExistingProperties (--properties) a line whose target is already there also gets the
    // recorded properties that differ from these (its target's, and its entry's for the line
    // that stands for the entry). Unknown, every link a line reaches counts as created.
    LivePropertiesOf liveProperties;
    bool setExistingProperties = false;
    // Whether, after the lines, each namespace the run changed has its root servers told to
    // read it now (see TellRootServers); each answer is a line of the log.
    bool tellRootServers = true;

    RestoreRunResult Run(const RestoreSelection& selection);

  private:
    // The checked lines from order[next] on that are restored together: the lines of one link
    // that follow each other, or one other line. next moves past them.
    static std::vector<int> NextLines(const RestoreSelection& selection,
                                      const std::vector<int>& order, size_t& next);
    // Restores lines into a group of the run, remembering which targets it added.
    struct LineRestorer {
        RestoreRun& run;
        std::span<const BackupRecord> records;
        const RecordedProperties* recorded;
        const RecordedProperties* otherVersion;
        AddedTargets addedHere;
        // A link's lines through one ChangeLink, made again one by one when another program
        // made the link meanwhile; any other line alone.
        void Restore(const std::vector<int>& lines, std::vector<GroupedLine>& group);
        void RestoreEach(const std::vector<int>& lines, std::vector<GroupedLine>& group);
        // The targets of lines that were not kept are no longer the run's.
        void Forget(std::span<const GroupedLine> lines);
    };

    TOXLDFS& dfs_;
    RestoreLog& log_;
    const bool& cancelRequested_;
};

// Restores the target of one backup line: a yellow progress line, processMessages, AddLink
// (AddRootTarget for a namespace root's target, creating the namespace when it is gone),
// then "Restored" (lime; "Created the namespace" when it created it), "Already there" (lime, see
// targetIsLive) or "Failed <code>: <text>" (red). A line without the five fields of a backup line,
// or holding a NUL, gives one red line and no call. With recorded properties, the target added (and
// the link, for a line that is its entry's first target and created it) gets them (see
// ChangesOfRestore); a property that cannot be set fails the line, naming it. liveProperties and
// setExistingProperties: see RestoreRun.
// A link created gets the recorded Description, in full, as its comment; the line's 8-bit
// comment only when nothing is recorded for its entry. Without recorded properties, a
// properties file of another version (otherVersion) tells a restored line whose comment lost
// characters: a yellow line says so.
struct RestoreLineOptions {
    bool noSlashes = false; // the target's server is handed over without its two backslashes
    std::function<void()> processMessages = nullptr;
    TargetIsLive targetIsLive = nullptr;
    const RecordedProperties* recorded = nullptr; // the properties file that belongs to the line
    LivePropertiesOf liveProperties = nullptr;
    bool setExistingProperties = false;
    const RecordedProperties* otherVersion = nullptr; // a file of another version of the backup
};
RestoredLine RestoreBackupLine(const BackupRecord& record, TOXLDFS& dfs, RestoreLog& log,
                               const RestoreLineOptions& options = {});

// The completion lines and the log file beside the backup file (backup file name +
// "_restore.txt"; none when backupFile is empty). A log that cannot be written does not stop
// the run: the error says why (the file's name and the system's reason), for the caller to tell
// or not.
Expected<void> FinishRestoreLog(RestoreLog& log, const std::filesystem::path& backupFile);

} // namespace kestrune
