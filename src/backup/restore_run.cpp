#include "backup/restore_run.h"

#include "backup/restore_line.h"

namespace kestrune {

bool IsAddLine(const AnsiString& line) {
    std::vector<AnsiString> fields = SplitCommaText(line);
    return fields.size() >= 2 && fields[1] == "/add";
}

void RestoreBackupLine(const AnsiString& line, bool noSlashes, TOXLDFS& dfs, RestoreLog& log,
                       const std::function<void()>& processMessages) {
    std::vector<AnsiString> fields = SplitBackupLine(line);
    if (fields.size() < 5) {
        log.AddLine("Skipped, not a backup line: " + line, clRed);
        return;
    }
    TargetParts target = SplitTargetField(fields[3]);
    dfs.SetDFSEntry(AnsiToWide(fields[2]));
    dfs.SetServername(AnsiToWide(noSlashes ? target.server : "\\\\" + target.server));
    dfs.SetShareName(AnsiToWide(target.share));
    dfs.SetComment(AnsiToWide(fields[4]));
    log.AddLine("Restoring " + fields[2] + (noSlashes ? " to " : " to \\\\") + target.server +
                    "\\" + target.share + "  " + fields[4],
                clYellow);
    if (processMessages) processMessages();
    if (dfs.AddLink())
        log.AddLine("Restored", clLime);
    else
        log.AddLine("Failed " + TrimControls(ErrorText(static_cast<int32_t>(dfs.LastError()))),
                    clRed);
}

void FinishRestoreLog(RestoreLog& log, const std::filesystem::path& backupFile) {
    log.SetPlainText(true);
    try {
        log.AddLine("", clLime);
        log.AddLine("** Complete **", clLime);
        std::filesystem::path logFile = backupFile;
        logFile += "_restore.txt";
        log.SaveLinesToFile(logFile);
    } catch (...) {
        // The status window still shows the run; a log that cannot be written is not an error.
    }
    log.SetPlainText(false);
}

} // namespace kestrune
