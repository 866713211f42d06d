// The restore log without a window: the lines the status window would show, time-stamped the
// same way, kept in memory and saved as the restore log.
#pragma once

#include "backup/restore_run.h"

#include <ctime>
#include <functional>
#include <string>
#include <vector>

namespace kestrune {

// The status window's time stamp (LocalTimeStamp) in the ANSI code page.
std::string LogTimeStamp(std::time_t moment);

class TextRestoreLog : public RestoreLog {
  public:
    void ClearLines() override { lines_.clear(); }
    void ShowLog() override {}
    // "<time stamp><TAB><message>"; the colour is not kept.
    void AddLine(const AnsiString& Msg, uint32_t Color) override;
    void SetPlainText(bool) override {}
    // Each line followed by CR LF, replacing the file in one step. Throws EFileError.
    void SaveLinesToFile(const std::filesystem::path& file) override;

    const std::vector<AnsiString>& Lines() const { return lines_; }

    // The clock the lines are stamped with; the system's by default.
    std::function<std::time_t()> now = [] { return std::time(nullptr); };

  private:
    std::vector<AnsiString> lines_;
};

} // namespace kestrune
