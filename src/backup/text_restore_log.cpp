#include "backup/text_restore_log.h"

#include "base/file_io.h"
#include "base/time_stamp.h"

namespace kestrune {

std::string LogTimeStamp(std::time_t moment) {
    return WideToAnsi(LocalTimeStamp(moment));
}

void TextRestoreLog::AddLine(const AnsiString& Msg, uint32_t) {
    lines_.push_back(LogTimeStamp(now()) + '\t' + Msg);
}

void TextRestoreLog::SaveLinesToFile(const std::filesystem::path& file) {
    std::string text;
    size_t size = 0;
    for (const AnsiString& line : lines_)
        size += line.size() + 2;
    text.reserve(size);
    for (const AnsiString& line : lines_) {
        text += line;
        text += "\r\n";
    }
    OrThrowFileError(ReplaceFileContents(file, text));
}

} // namespace kestrune
