#include "backup/restore_run.h"

#include "backup/restore_line.h"
#include "base/file_io.h"
#include "base/win_errors.h"

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

} // namespace

bool IsAddLine(const AnsiString& line) {
    std::vector<AnsiString> fields = SplitCommaText(line);
    return fields.size() >= 2 && fields[1] == "/add";
}

RestoredLine RestoreBackupLine(const AnsiString& line, bool noSlashes, TOXLDFS& dfs,
                               RestoreLog& log, const std::function<void()>& processMessages,
                               const TargetIsLive& targetIsLive) {
    RestoredLine result;
    Expected<BackupLineParts> parts = ParseBackupLine(line);
    if (!parts) {
        AnsiString shown = line.substr(0, line.find('\0'));
        log.AddLine("Skipped, " + parts.error().text + ": " + shown, clRed);
        result.outcome = RestoredLine::Outcome::NotABackupLine;
        result.reason = parts.error().text;
        return result;
    }
    const TargetParts& target = parts->target;
    const AnsiString servername = noSlashes ? target.server : "\\\\" + target.server;
    dfs.SetDFSEntry(AnsiToWide(parts->entryPath));
    dfs.SetServername(AnsiToWide(servername));
    dfs.SetShareName(AnsiToWide(target.share));
    dfs.SetComment(AnsiToWide(parts->comment));
    log.AddLine("Restoring " + parts->entryPath + (noSlashes ? " to " : " to \\\\") +
                    target.server + "\\" + target.share + "  " + parts->comment,
                clYellow);
    if (processMessages) processMessages();
    if (dfs.AddLink()) {
        log.AddLine("Restored", clLime);
        return result;
    }
    result.status = dfs.LastError();
    if (result.status == ERROR_FILE_EXISTS && targetIsLive && targetIsLive(*parts)) {
        result.outcome = RestoredLine::Outcome::AlreadyThere;
        log.AddLine("Already there", clLime);
        return result;
    }
    result.outcome = RestoredLine::Outcome::Failed;
    result.reason = TrimControls(ErrorText(static_cast<int32_t>(result.status)));
    if (result.status == ERROR_INVALID_PARAMETER)
        result.reason += TooLongFieldNote(*parts, servername);
    if (!dfs.LastErrorDetail().empty())
        result.reason += " (" + WideToAnsi(Utf8ToWide(dfs.LastErrorDetail())) + ")";
    log.AddLine("Failed " + result.reason, clRed);
    return result;
}

RestoreRun::RestoreRun(TOXLDFS& dfs, RestoreLog& log, const bool& cancelRequested)
    : dfs_(dfs), log_(log), cancelRequested_(cancelRequested) {}

RestoreRunResult RestoreRun::Run(const RestoreSelection& selection) {
    RestoreRunResult result;
    log_.ClearLines();
    log_.ShowLog();
    log_.AddLine("Starting restore", clLime);
    {
        // Flags 0: the link is created if needed and the target added, so every target of a
        // multi-target link comes back, not only the first line that reaches it. The first
        // target of each entry ("/map") goes in before its further ones ("/add"), which keeps
        // the targets' order.
        FlagsGuard flags(dfs_, 0);
        const int count = selection.Count();
        for (bool furtherTargets : {false, true}) {
            for (int i = 0; i < count; ++i) {
                if (!selection.Checked(i)) continue;
                if (cancelRequested_) {
                    result.cancelled = true;
                    break;
                }
                AnsiString line = selection.Line(i);
                if (IsAddLine(line) != furtherTargets) continue;
                RestoredLine done =
                    RestoreBackupLine(line, noSlashes, dfs_, log_, processMessages, targetIsLive);
                done.index = i;
                result.lines.push_back(done);
                if (lineDone) lineDone(done);
            }
            if (result.cancelled) break;
        }
    }
    result.logError = FinishRestoreLog(log_, backupFile);
    return result;
}

std::vector<AnsiString> SplitBackupText(std::string_view text) {
    std::vector<AnsiString> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.emplace_back(text.substr(start));
            break;
        }
        lines.emplace_back(text.substr(start, end - start));
        start = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
    }
    return lines;
}

std::optional<std::vector<AnsiString>> ReadBackupLines(const std::filesystem::path& file,
                                                       std::string& problem) {
    std::string bytes = ReadRegularFile(file, kMaxBackupFileBytes);
    std::string_view text(bytes);
    if (text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF")) {
        problem = "The file is not 8-bit text: it begins with a UTF-16 byte-order mark.";
        return std::nullopt;
    }
    if (text.starts_with("\xEF\xBB\xBF")) {
        problem = "The file is not 8-bit text: it begins with a UTF-8 byte-order mark.";
        return std::nullopt;
    }
    return SplitBackupText(text);
}

std::string FinishRestoreLog(RestoreLog& log, const std::filesystem::path& backupFile) {
    log.SetPlainText(true);
    std::string error;
    try {
        log.AddLine("", clLime);
        log.AddLine("** Complete **", clLime);
        if (!backupFile.empty()) {
            std::filesystem::path logFile = backupFile;
            logFile += "_restore.txt";
            log.SaveLinesToFile(logFile);
        }
    } catch (const std::exception& e) {
        // The status window still shows the run; a log that cannot be written is not an error
        // of the run.
        error = e.what();
    } catch (...) {
        error = "the log could not be written";
    }
    log.SetPlainText(false);
    return error;
}

} // namespace kestrune
