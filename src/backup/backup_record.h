// A backup file read back: its lines, each parsed once for everything that reads it (the
// restore, its dry run, compare, verify), and the order a restore takes them in.
#pragma once

#include "backup/backup_line.h"
#include "base/expected.h"

#include <cstdint>
#include <filesystem>
#include <span>
#include <string_view>
#include <vector>

namespace kestrune {

// One line of a backup file. A restore holds one for each of up to a hundred thousand lines,
// so it keeps the line's text and where its fields lie in it, and gives the fields out as
// copies when asked.
class BackupRecord {
  public:
    BackupRecord() = default;
    explicit BackupRecord(AnsiString line);

    const AnsiString& Text() const { return text_; }
    // Its fields, or why it is no backup line.
    Expected<BackupLineParts> Parts() const;
    bool IsBackupLine() const { return shape_ != Shape::NotABackupLine; }
    // An "/add" line: a further target of its entry. Read from the verb, so a line that is no
    // backup line still keeps its place in a restore's order.
    bool FurtherTarget() const { return furtherTarget_; }
    // The entry path of a backup line; empty for a line that is none.
    AnsiString EntryPath() const;

  private:
    enum class Shape : uint8_t {
        NotABackupLine,
        // Written as the backup writes lines: each field lies whole in the text.
        AsWritten,
        // Another spelling (hand-edited, or too long for the positions): parsed again when asked.
        Other,
    };
    std::string_view Field(uint16_t at, uint16_t size) const {
        return std::string_view(text_).substr(at, size);
    }

    AnsiString text_;
    uint16_t pathAt_ = 0, pathSize_ = 0, targetAt_ = 0, targetSize_ = 0, commentAt_ = 0,
             commentSize_ = 0;
    Shape shape_ = Shape::NotABackupLine;
    bool furtherTarget_ = false;
};

std::vector<BackupRecord> ParseBackupRecords(const std::vector<AnsiString>& lines);
// The same, taking the lines' text instead of copying it.
std::vector<BackupRecord> ParseBackupRecords(std::vector<AnsiString>&& lines);

// The positions of the records in the order a restore takes them: a namespace root's targets
// first (so a namespace that is gone is created before its links), then link by link in the
// order of the links' first targets ("/map"): each link's first target, then its further ones
// ("/add") in file order, so a link is created before targets are added to it, its targets keep
// their order, and its lines come together.
std::vector<int> RestoreOrder(std::span<const BackupRecord> records);

// The most a backup file may hold: a namespace of 100,000 links with two targets each, every
// line as long as the DFS component lets it be (three fields of 255 characters, UTF-8, 2,300
// bytes), stays below it.
constexpr uint64_t kMaxBackupFileBytes = uint64_t(512) << 20;

// The lines of a backup file's text: lines end at CR LF, LF or a lone CR.
std::vector<AnsiString> SplitBackupText(std::string_view text);

// The lines of a backup file, split as SplitBackupText splits them; or why there are none: the
// file cannot be read, is not a regular file, is larger than kMaxBackupFileBytes, or is not
// 8-bit text (it begins with a UTF-16 or UTF-8 byte-order mark).
Expected<std::vector<AnsiString>> ReadBackupLines(const std::filesystem::path& file);
// The same for a file's bytes already read.
Expected<std::vector<AnsiString>> BackupLinesOf(std::string_view bytes);

} // namespace kestrune
