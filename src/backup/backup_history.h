// Earlier backup files kept in the output folder's "history" folder: before a backup file or
// its properties file is replaced by a different one, the old file moves there as
// <prefix><namespace>.<YYYYMMDD-HHMMSS>.txt (local time), its properties file
// (<prefix><namespace>.properties.xml) beside it where there is one, and the oldest copies
// beyond a number per namespace are removed.
#pragma once

#include <ctime>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kestrune {

struct BackupHistory {
    std::filesystem::path folder; // FOLDER/history
    int keep = 0;                 // copies per namespace; 0 keeps none

    // The steps of one replacement, in order, each reported once it is done (see afterStep).
    enum class Step {
        OldKept,           // the old file has its name in history (it is still in place too,
                           // unless the file system has no hard links)
        PropertiesMoved,   // the properties file, where there is one, is in history
        Replaced,          // the new file is in place, still without a properties file
        PropertiesWritten, // the new properties file, where there is one, is beside it
        OldestRemoved      // at most keep copies are left
    };
    // Called after each step; tests end the process there, as a crash would.
    std::function<void(Step)> afterStep;
    // False moves the old file by renaming alone, as on a file system without hard links.
    bool hardLinks = true;
};

// The history folder of an output folder.
std::filesystem::path HistoryFolder(const std::filesystem::path& outputFolder);

// <name>.properties.xml beside a backup file <name>.txt.
std::filesystem::path PropertiesFileOf(const std::filesystem::path& backupFile);

// The history copies of a backup file, oldest first: <name>.<YYYYMMDD-HHMMSS>.txt and, for
// a second copy within one second, <name>.<YYYYMMDD-HHMMSS>-2.txt and so on.
std::vector<std::filesystem::path> HistoryCopies(const std::filesystem::path& historyFolder,
                                                 const std::filesystem::path& backupFile);

struct HistoryReplacement {
    std::filesystem::path kept; // the old file's name in history; empty when none was kept
    // What went wrong after the new file was in place (an old copy that could not be removed,
    // a properties file that stayed where it was), naming the files; empty when nothing did.
    std::string problem;
};

// Writes bytes in place of backupFile, which exists, and the pieces of its new properties file
// beside it (none without them), the old pair moved into history first, stamped with the local
// time of now, then removes the oldest copies beyond history.keep.
// At every moment the old file is in place or in history, or both: it gets its history name
// (a hard link, or a rename where there are none) before the new file is renamed over it. A
// backup file never stands beside another's properties file: the old properties file leaves
// before the new backup file comes, and the new one follows it, so that a kill between two
// steps leaves a backup file with its own properties file or with none. A copy that an
// interrupted replacement left (the same file under both names) is not kept twice. Throws
// EFileError when the old file cannot be kept or the new one not written; the old file is then
// in place, and history as it was.
HistoryReplacement
ReplaceKeepingHistory(const std::filesystem::path& backupFile, std::string_view bytes,
                      const BackupHistory& history, std::time_t now,
                      std::optional<std::span<const std::string_view>> properties = std::nullopt);

} // namespace kestrune
