#include "backup/text_restore_log.h"

#include "backup/backup_record.h"
#include "base/file_io.h"
#include "base/time_stamp.h"

namespace kestrune {
namespace {

// What the log holds in memory before it goes to the scratch file.
constexpr size_t kSpillBytes = 64 * 1024;

} // namespace

std::string LogTimeStamp(std::time_t moment) {
    return WideToAnsi(LocalTimeStamp(moment));
}

void TextRestoreLog::ClearLines() {
    spill_.reset();
    std::string().swap(text_);
}

void TextRestoreLog::AddLine(const AnsiString& Msg, uint32_t) {
    const std::time_t moment = now();
    if (moment != stampedAt_) {
        stamp_ = LogTimeStamp(moment);
        stampedAt_ = moment;
    }
    text_ += stamp_;
    text_ += '\t';
    text_ += Msg;
    text_ += "\r\n";
    if (text_.size() < kSpillBytes || spillBeside_.empty()) return;
    if (!spill_) spill_ = std::make_unique<SpillFile>(spillBeside_);
    // A scratch file that cannot be written leaves the lines where they are.
    if (spill_->Append(text_)) text_.clear();
}

Expected<void>
TextRestoreLog::ForEachPiece(const std::function<Expected<void>(std::string_view)>& piece) const {
    if (spill_)
        if (Expected<void> spilled = spill_->ForEachPiece(piece); !spilled) return spilled;
    return piece(text_);
}

void TextRestoreLog::SaveLinesToFile(const std::filesystem::path& file) {
    OrThrowFileError(ReplaceFileContents(file, [this](const FileDescriptor& fd) {
        return ForEachPiece([&fd](std::string_view piece) { return WriteAll(fd, piece); });
    }));
}

std::vector<AnsiString> TextRestoreLog::Lines() const {
    std::string all;
    OrThrowFileError(ForEachPiece([&all](std::string_view piece) {
        all += piece;
        return Expected<void>();
    }));
    return SplitBackupText(all);
}

} // namespace kestrune
