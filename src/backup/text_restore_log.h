// The restore log without a window: the lines the status window would show, time-stamped the
// same way, and saved as the restore log.
#pragma once

#include "backup/restore_run.h"
#include "base/spill_file.h"
#include "base/time_stamp.h"

#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kestrune {

// The status window's time stamp (LocalTimeStamp) in the ANSI code page.
std::string LogTimeStamp(std::time_t moment);

class TextRestoreLog : public RestoreLog {
  public:
    // The lines are kept in memory; given a file, in a scratch file beside it once they are
    // many, so that a run of a hundred thousand lines does not hold its log (in memory still
    // where the scratch file cannot be made).
    explicit TextRestoreLog(std::filesystem::path spillBeside = {})
        : spillBeside_(std::move(spillBeside)) {}
    void ClearLines() override;
    void ShowLog() override {}
    // "<time stamp><TAB><message>"; the colour is not kept.
    void AddLine(const AnsiString& Msg, uint32_t Color) override;
    void SetPlainText(bool) override {}
    // Each line followed by CR LF, replacing the file in one step. Throws EFileError.
    void SaveLinesToFile(const std::filesystem::path& file) override;

    // The lines so far. Throws EFileError when the scratch file cannot be read back.
    std::vector<AnsiString> Lines() const;

    // The clock the lines are stamped with; the system's by default.
    std::function<std::time_t()> now = TimeNow;

  private:
    // Hands the text to piece in order: what was spilled, then what is in memory.
    Expected<void> ForEachPiece(const std::function<Expected<void>(std::string_view)>& piece) const;

    std::filesystem::path spillBeside_;
    std::unique_ptr<SpillFile> spill_;
    std::string text_; // the lines not spilled, each ending in CR LF
    std::time_t stampedAt_ = -1;
    std::string stamp_; // the stamp of stampedAt_, formatted once a second
};

} // namespace kestrune
