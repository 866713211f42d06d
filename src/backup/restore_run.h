// Restoring backup lines through the DFS component, with progress in a log.
#pragma once

#include "dfs/toxldfs.h"

#include <cstdint>
#include <filesystem>
#include <functional>

namespace kestrune {

// Windows colour values, 0x00BBGGRR.
constexpr uint32_t clLime = 0x00FF00;
constexpr uint32_t clYellow = 0x00FFFF;
constexpr uint32_t clRed = 0x0000FF;

// Where a restore run reports: the status window, or anything that keeps lines.
class RestoreLog {
  public:
    virtual ~RestoreLog() = default;
    virtual void ClearLines() = 0;
    virtual void ShowLog() = 0;
    virtual void AddLine(const AnsiString& Msg, uint32_t Color) = 0;
    virtual void SetPlainText(bool plain) = 0;
    // Throws EFileError.
    virtual void SaveLinesToFile(const std::filesystem::path& file) = 0;
};

// Whether the line is an "/add" line (a further target of its entry).
bool IsAddLine(const AnsiString& line);

// Restores the target of one backup line: a yellow progress line, processMessages, AddLink,
// then "Restored" (lime) or "Failed <code>: <text>" (red). A line without the five fields of
// a backup line gives one red line and no call.
void RestoreBackupLine(const AnsiString& line, bool noSlashes, TOXLDFS& dfs, RestoreLog& log,
                       const std::function<void()>& processMessages);

// The completion lines and the log file beside the backup file (backup file name +
// "_restore.txt"). A log that cannot be written is ignored.
void FinishRestoreLog(RestoreLog& log, const std::filesystem::path& backupFile);

} // namespace kestrune
