#include "backup/backup_run.h"

#include "backup/management_permissions.h"

#include "backup/backup_file.h"
#include "backup/backup_folder_lock.h"
#include "backup/backup_line.h"
#include "backup/restore_run.h"
#include "base/ascii.h"
#include "base/file_io.h"
#include "base/paths.h"
#include "base/sha256.h"
#include "base/win_errors.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <span>
#include <utility>

namespace kestrune {
namespace {

// Whether a field survives the backup file: every character through the code page, and no
// line break, which would split the line in two.
bool SurvivesFile(const WideString& field) {
    if (field.find_first_of(u"\r\n") != WideString::npos) return false;
    // Every ANSI code page holds ASCII as it is: the usual field needs no round trip.
    return IsAscii(field) || AnsiToWide(WideToAnsi(field)) == field;
}

// Whether the file holds exactly the pieces, one after the other, read a block at a time: an
// unchanged backup, the usual nightly case, never holds its previous file whole beside the new
// one. False when it differs or cannot be read (reading it whole then tells which).
bool FileHolds(const std::filesystem::path& file, std::span<const std::string_view> pieces) {
    Expected<FileDescriptor> fd = OpenFileDescriptor(file, O_RDONLY);
    if (!fd) return false;
    uint64_t size = 0;
    for (std::string_view piece : pieces)
        size += piece.size();
    Expected<FileIdentity> identity = IdentifyOpenFile(*fd);
    bool same = identity && identity->size == size;
    std::vector<char> block(size_t(1) << 16);
    uint64_t at = 0;
    for (size_t i = 0; same && i < pieces.size(); ++i) {
        const std::string_view text = pieces[i];
        for (size_t done = 0; same && done < text.size();) {
            const size_t want = std::min(block.size(), text.size() - done);
            const size_t n = ReadFileAt(*fd, block.data(), want, at).value_or(0);
            same = n > 0 && std::memcmp(block.data(), text.data() + done, n) == 0;
            done += n;
            at += n;
        }
    }
    return same;
}

bool FileHolds(const std::filesystem::path& file, std::string_view text) {
    return FileHolds(file, std::span<const std::string_view>(&text, 1));
}

BackupChange CompareWithPrevious(const std::filesystem::path& file, const AnsiString& text) {
    BackupChange change;
    if (FileHolds(file, text)) {
        change.kind = BackupChange::Kind::Unchanged;
        return change;
    }
    Expected<std::string> previous = ReadWholeFile(file);
    if (!previous) {
        const bool missing = IsMissingFile(previous.error());
        change.kind = missing ? BackupChange::Kind::New : BackupChange::Kind::Unreadable;
        if (!missing) change.problem = previous.error().text;
        return change;
    }
    if (*previous == text) {
        change.kind = BackupChange::Kind::Unchanged;
        return change;
    }
    change.kind = BackupChange::Kind::Changed;
    change.lines = CountChangedLines(SplitBackupText(*previous), SplitBackupText(text));
    return change;
}

} // namespace

bool BackupRunResult::WriteFailed() const {
    return std::any_of(namespaces.begin(), namespaces.end(), [](const NamespaceBackup& n) {
        return n.outcome == NamespaceBackup::Outcome::WriteFailed;
    });
}

bool BackupRunResult::ReadFailed() const {
    return std::any_of(namespaces.begin(), namespaces.end(), [](const NamespaceBackup& n) {
        return n.outcome == NamespaceBackup::Outcome::ReadFailed;
    });
}

bool BackupRunResult::LostCharacters() const {
    return std::any_of(namespaces.begin(), namespaces.end(),
                       [](const NamespaceBackup& n) { return n.lossyLines > 0; });
}

std::filesystem::path BackupFileName(const std::filesystem::path& folder,
                                     const std::filesystem::path& prefix, const WideString& name) {
    // Joined as text, as the window shows them: a prefix never replaces the folder.
    std::filesystem::path file = folder / "";
    file += prefix.native();
    file += PathFromWide(name + u".txt").native();
    return file;
}

BackupRun::BackupRun(TOXLDFS& dfs, TStringList& lines, const bool& cancelRequested)
    : dfs_(dfs), lines_(lines), cancelRequested_(cancelRequested) {}

void BackupRun::ReportWide(const WideString& Path, const WideString& Share,
                           const WideString& Comment) {
    nextLineLossy_ = !SurvivesFile(Path) || !SurvivesFile(Share) || !SurvivesFile(Comment);
}

void BackupRun::Report(const AnsiString& Path, const AnsiString& Share, const AnsiString& Comment,
                       int32_t Index, bool& Abort) {
    lines_.Add(FormatBackupLine(Path, Share, Comment, Index));
    if (nextLineLossy_ && current_) {
        ++current_->lossyLines;
        if (current_->lossySamples.size() < kLossySamples)
            current_->lossySamples.push_back(lines_[lines_.Count() - 1]);
    }
    nextLineLossy_ = false;
    // A cancel takes effect between namespaces: the one in progress is read to its end, since
    // a walk stopped half-way could not replace its previous backup.
    Abort = false;
}

void BackupRun::ReportProperties(const DFS_INFO_9& entry) {
    Expected<void> added = properties_.Add(entry);
    if (!added && propertiesProblem_.empty()) propertiesProblem_ = added.error().text;
}

void BackupRun::ReadManagementPermissions() {
    Expected<std::optional<std::string>> delegation = ReadDelegation(dfs_, domainSids);
    if (!delegation)
        propertiesProblem_ = delegation.error().text;
    else if (*delegation)
        properties_.SetManagementPermissions(std::move(**delegation));
}

NamespaceBackup BackupRun::BackupNamespace(const AnsiString& domain, const WideString& name,
                                           const std::filesystem::path& file) {
    NamespaceBackup result;
    result.name = name;
    result.file = file;
    current_ = &result;
    lines_.Clear();
    nextLineLossy_ = false;
    // The elements wait beside the files they belong to, on the same disk.
    properties_ =
        writeProperties ? PropertiesFileBuilder(PropertiesFileOf(file)) : PropertiesFileBuilder();
    propertiesProblem_.clear();

    auto readFailed = [&](uint32_t status, std::string text) {
        result.outcome = NamespaceBackup::Outcome::ReadFailed;
        result.status = status;
        result.error = std::move(text);
    };
    const std::string utf8Name = WideToUtf8(name);
    if (!IsPlainFileName(utf8Name)) {
        result.outcome = NamespaceBackup::Outcome::WriteFailed;
        result.error = InvalidFileName(file).what();
    } else if (!SurvivesFile(name)) {
        // The component passes names through the code page; "????" could even name another
        // namespace.
        readFailed(ERROR_INVALID_NAME, "The name cannot be written in code page " +
                                           std::to_string(ActiveCodePage()) +
                                           " (KESTRUNE_CODEPAGE=65001 keeps every character).");
    } else {
        dfs_.SetDFSEntry(AnsiToWide("\\\\" + domain + "\\") + name);
        const uint64_t swallowedBefore = dfs_.SwallowedExceptions();
        bool threw = false;
        if (writeProperties) ReadManagementPermissions();
        try {
            if (writeProperties)
                dfs_.EnumLinksWithProperties();
            else
                dfs_.EnumLinks();
        } catch (const std::exception& e) {
            threw = true;
            readFailed(dfs_.LastError(), e.what());
        } catch (...) {
            threw = true;
            readFailed(dfs_.LastError(), "Unknown exception");
        }
        // The walk ends with ERROR_NO_MORE_ITEMS; anything else left it incomplete (a failed
        // call, or a stop before the end), and an incomplete backup never replaces a file.
        uint32_t status = dfs_.LastError();
        // The component goes on past a report that failed: the lines are then incomplete too.
        const uint64_t swallowed = dfs_.SwallowedExceptions() - swallowedBefore;
        if (!threw && swallowed > 0) {
            readFailed(status, std::to_string(swallowed) +
                                   (swallowed == 1 ? " report was" : " reports were") +
                                   " lost to an error while the namespace was read; the previous "
                                   "backup was kept.");
        } else if (!threw && status != ERROR_NO_MORE_ITEMS) {
            if (status == NERR_Success)
                readFailed(status, "Stopped before the end; the previous backup was kept.");
            else
                readFailed(status, dfs_.LastErrorText());
        } else if (!threw && writeProperties && !propertiesProblem_.empty()) {
            readFailed(ERROR_INVALID_DATA,
                       propertiesProblem_ + "; the previous backup and properties were kept.");
        } else if (!threw && writeProperties && !properties_.HasRoot() && lines_.Count() > 0) {
            // Entries came without their properties (nobody took them): a file of defaults
            // would pass for the namespace's own.
            readFailed(ERROR_INVALID_DATA, "The namespace's properties were not reported; the "
                                           "previous backup and properties were kept.");
        }
    }

    if (result.outcome == NamespaceBackup::Outcome::Written) {
        result.lines = lines_.Count();
        try {
            WriteNamespaceFile(result);
        } catch (const EFileError& e) {
            result.outcome = NamespaceBackup::Outcome::WriteFailed;
            result.error = e.what();
        }
    }
    // The lines of a namespace never carry over to the next, written or not.
    lines_.Clear();
    properties_ = PropertiesFileBuilder();
    current_ = nullptr;
    if (result.outcome != NamespaceBackup::Outcome::Written) {
        result.change = {};
        result.lossyLines = 0;
        result.lossySamples.clear();
    }
    return result;
}

void BackupRun::WriteNamespaceFile(NamespaceBackup& result) {
    AnsiString text = BackupFileText(lines_);
    lines_.Clear(); // the text holds them now, and the properties file comes next
    // The pair is what a backup is: the properties file is compared, kept and replaced with
    // the lines, so that a change of state or referral time alone keeps the old values too.
    const std::filesystem::path propertiesFile = PropertiesFileOf(result.file);
    std::optional<std::vector<std::string_view>> properties;
    if (writeProperties) properties = properties_.Pieces(Sha256Hex(text));
    const bool keepHistory = history.keep > 0;
    using Kind = BackupChange::Kind;
    if (compareWithPrevious || keepHistory) {
        result.change = CompareWithPrevious(result.file, text);
        if (result.change.kind == Kind::Unchanged && properties &&
            !FileHolds(propertiesFile, *properties))
            result.change.kind = Kind::PropertiesChanged;
    }
    if (keepHistory &&
        (result.change.kind == Kind::Changed || result.change.kind == Kind::PropertiesChanged ||
         result.change.kind == Kind::Unreadable)) {
        HistoryReplacement replaced = ReplaceKeepingHistory(
            result.file, text, history, std::time(nullptr),
            properties ? std::optional(std::span(*properties)) : std::nullopt);
        result.keptCopy = std::move(replaced.kept);
        result.historyProblem = std::move(replaced.problem);
        return;
    }
    // Lines that change take the old properties file with them first: a kill between the two
    // renames leaves the new lines without properties, which a restore names, never beside
    // the old ones.
    const bool sameLines =
        result.change.kind == Kind::Unchanged || result.change.kind == Kind::PropertiesChanged;
    std::error_code error;
    if (properties && !sameLines && std::filesystem::exists(propertiesFile, error) &&
        !FileHolds(result.file, text)) {
        std::filesystem::remove(propertiesFile, error);
        if (error)
            ThrowFileError("Cannot remove file", propertiesFile, error.message(), error.value());
    }
    OrThrowFileError(ReplaceFileContents(result.file, text));
    AnsiString().swap(text);
    if (properties) OrThrowFileError(ReplaceFileContents(propertiesFile, *properties));
}

BackupRunResult BackupRun::Run(const AnsiString& domain, const std::vector<WideString>& namespaces,
                               const std::filesystem::path& folder,
                               const std::filesystem::path& prefix) {
    BackupRunResult result;
    // Nothing is written elsewhere than in the folder, whoever typed the prefix.
    const std::u8string prefixText = prefix.u8string();
    if (std::string problem = PrefixProblem(std::string(prefixText.begin(), prefixText.end()));
        !problem.empty()) {
        if (!namespaces.empty()) {
            NamespaceBackup refused;
            refused.name = namespaces.front();
            refused.file = BackupFileName(folder, prefix, refused.name);
            refused.outcome = NamespaceBackup::Outcome::WriteFailed;
            problem[0] = 'T';
            refused.error = problem + ".";
            result.namespaces.push_back(std::move(refused));
            if (progress) progress(result.namespaces.back());
        }
        return result;
    }
    // The sweep of stale temporary files and every replacement below belong to this run alone.
    bool toldWaiting = false;
    Expected<BackupFolderLock> lock = BackupFolderLock::Take(folder, folderLockWait, [&]() {
        if (!toldWaiting && waiting) waiting();
        toldWaiting = true;
        if (processMessages) processMessages();
        return !cancelRequested_;
    });
    // A folder that cannot be locked at all (missing, not a folder) cannot be written either:
    // the first file says why, as without a lock.
    if (!lock && IsHeldByAnother(lock.error())) {
        if (cancelRequested_) {
            result.cancelled = true;
        } else if (!namespaces.empty()) {
            NamespaceBackup refused;
            refused.name = namespaces.front();
            refused.file = BackupFileName(folder, prefix, refused.name);
            refused.outcome = NamespaceBackup::Outcome::WriteFailed;
            refused.error = lock.error().text;
            result.namespaces.push_back(std::move(refused));
            if (progress) progress(result.namespaces.back());
        }
        return result;
    }
    RemoveStaleTemporaries(folder);
    for (const WideString& name : namespaces) {
        if (cancelRequested_) {
            result.cancelled = true;
            break;
        }
        result.namespaces.push_back(
            BackupNamespace(domain, name, BackupFileName(folder, prefix, name)));
        const NamespaceBackup& done = result.namespaces.back();
        if (progress) progress(done);
        if (done.outcome == NamespaceBackup::Outcome::WriteFailed) break;
        if (processMessages) processMessages();
    }
    if (cancelRequested_) result.cancelled = true;
    return result;
}

ConnectBackupRun::ConnectBackupRun(TOXLDFS& dfs, BackupRun& run) : borrowed_(dfs) {
    dfs.ONDFSEntryProperties = [&run](TOXLDFS*, const DFS_INFO_9& entry) {
        run.ReportProperties(entry);
    };
    dfs.ONDFSEnum2 = [&run](TOXLDFS*, AnsiString Path, AnsiString Share, AnsiString Comment,
                            int32_t Index,
                            bool& Abort) { run.Report(Path, Share, Comment, Index, Abort); };
    dfs.ONDFSEnum2Wide = [&run](TOXLDFS*, const WideString& Path, const WideString& Share,
                                const WideString& Comment) {
        run.ReportWide(Path, Share, Comment);
    };
}

} // namespace kestrune
