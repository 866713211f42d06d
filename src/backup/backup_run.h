// The backup run: one backup file per chosen namespace of a domain, written only from a
// complete enumeration, with a result per namespace. The main window and the command line
// drive the same run.
#pragma once

#include "backup/backup_history.h"
#include "backup/namespace_compare.h"
#include "backup/properties_file.h"
#include "base/security_descriptor.h"
#include "base/string_list.h"
#include "dfs/borrowed_handlers.h"
#include "dfs/toxldfs.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace kestrune {

// What a namespace's new backup file says against the file it replaced.
struct BackupChange {
    enum class Kind {
        NotCompared,       // the run was not asked to compare, or wrote nothing
        New,               // there was no file before
        Unchanged,         // the same bytes as before, the properties file's too
        PropertiesChanged, // the same lines, but the properties file differs or was missing
        Changed,           // lines counts what changed
        Unreadable         // the previous file could not be read; problem says why
    };
    Kind kind = Kind::NotCompared;
    LineChanges lines;
    std::string problem; // 8-bit text
};

struct NamespaceBackup {
    enum class Outcome {
        Written,    // the file holds every target the namespace reported
        ReadFailed, // the enumeration failed; the previous file was left as it was
        WriteFailed // the file could not be written; the run stopped here
    };

    WideString name;
    std::filesystem::path file;
    Outcome outcome = Outcome::Written;
    int lines = 0;
    // The platform's status when the enumeration failed, and the text to show for a failure.
    uint32_t status = 0;
    std::string error;
    // Lines that lost characters on their way into the file: characters the code page lacks
    // (written as "?") or line breaks inside a field. The count and the first few lines.
    int lossyLines = 0;
    std::vector<AnsiString> lossySamples;
    // Against the previous file, when the run compares (see BackupRun::compareWithPrevious).
    BackupChange change;
    // The previous file's name in history, when the run kept it (see BackupRun::history), and
    // what went wrong in history after the file was written (see HistoryReplacement).
    std::filesystem::path keptCopy;
    std::string historyProblem;
};

struct BackupRunResult {
    std::vector<NamespaceBackup> namespaces;
    bool cancelled = false;

    bool WriteFailed() const;
    bool ReadFailed() const;
    bool LostCharacters() const;
};

class BackupRun {
  public:
    static constexpr int kLossySamples = 3;

    // Reports arrive through the component's enumeration events, which the owner routes to
    // Report and ReportWide (see ConnectBackupRun). lines collects one namespace at a time.
    BackupRun(TOXLDFS& dfs, TStringList& lines, const bool& cancelRequested);

    // Backs up every namespace into folder / (prefix + name + ".txt"). domain is the dotted
    // name. The run stops after a namespace whose file cannot be written; a namespace whose
    // enumeration fails is reported and its old file kept. A prefix with a path separator
    // (see PrefixProblem) writes nothing: the first namespace fails to be written, saying why.
    // processMessages runs after each namespace; progress (if set) after each namespace's result.
    BackupRunResult Run(const AnsiString& domain, const std::vector<WideString>& namespaces,
                        const std::filesystem::path& folder, const std::filesystem::path& prefix);

    std::function<void()> processMessages;
    std::function<void(const NamespaceBackup&)> progress;
    // How long the run waits for another run that writes into the same folder (see
    // BackupFolderLock); waiting (if set) is told once when it starts to wait. A cancel ends
    // the wait.
    std::chrono::milliseconds folderLockWait = std::chrono::minutes(10);
    std::function<void()> waiting;
    // Whether each written file is held against the one it replaces (NamespaceBackup::change):
    // the previous file is read first.
    bool compareWithPrevious = false;
    // With history.keep above 0, a pair of files replaced by a different pair (or one that
    // cannot be read to tell) moves to history.folder first (see ReplaceKeepingHistory); the
    // files are compared then whatever compareWithPrevious says.
    BackupHistory history;
    // Whether each namespace also gets its properties file (see PropertiesFileOf), read in the
    // same walk; a namespace whose properties cannot be read keeps both its old files.
    bool writeProperties = true;
    // The SIDs of the domain's groups, to tell the namespaces' default entries from those
    // given to someone (see DelegationOf); empty when they are not known.
    DomainSids domainSids;

    // The line handler: one line per report. It never aborts the walk: a cancel takes effect
    // between namespaces.
    void Report(const AnsiString& Path, const AnsiString& Share, const AnsiString& Comment,
                int32_t Index, bool& Abort);
    // The same report before its conversion to 8-bit text, to see what the conversion loses.
    void ReportWide(const WideString& Path, const WideString& Share, const WideString& Comment);
    // The properties of one entry: the namespace's root first, then its links.
    void ReportProperties(const DFS_INFO_9& entry);
    // Who may manage the namespace in DFSEntry, for its properties file's root; one that
    // cannot be read or kept is a properties problem. A platform that cannot tell keeps none.
    void ReadManagementPermissions();

  private:
    NamespaceBackup BackupNamespace(const AnsiString& domain, const WideString& name,
                                    const std::filesystem::path& file);
    // Writes the collected lines in place of result.file. Throws EFileError.
    void WriteNamespaceFile(NamespaceBackup& result);

    TOXLDFS& dfs_;
    TStringList& lines_;
    const bool& cancelRequested_;
    bool nextLineLossy_ = false;
    NamespaceBackup* current_ = nullptr;
    PropertiesFileBuilder properties_;
    std::string propertiesProblem_; // the first entry whose properties cannot be kept
};

// Routes the component's enumeration events to the run while it lives, and puts the
// component's previous handlers back afterwards, however the run ends.
class ConnectBackupRun {
  public:
    ConnectBackupRun(TOXLDFS& dfs, BackupRun& run);

  private:
    BorrowedHandlers borrowed_;
};

// The file of one namespace: folder / (prefix + name + ".txt"), every character kept.
std::filesystem::path BackupFileName(const std::filesystem::path& folder,
                                     const std::filesystem::path& prefix, const WideString& name);

} // namespace kestrune
