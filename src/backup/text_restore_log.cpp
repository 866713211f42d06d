#include "backup/text_restore_log.h"

#include "base/file_io.h"

namespace kestrune {

std::string LogTimeStamp(std::time_t moment) {
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &moment);
#else
    localtime_r(&moment, &local);
#endif
    char text[128];
    const bool midnight = local.tm_hour == 0 && local.tm_min == 0 && local.tm_sec == 0;
    size_t n = std::strftime(text, sizeof text, midnight ? "%x" : "%x %X", &local);
    return std::string(text, n);
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
    ReplaceFileContents(file, text);
}

} // namespace kestrune
