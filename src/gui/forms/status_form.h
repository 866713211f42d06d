// TfStatus: a console-like log of time-stamped, coloured lines. The restore run writes into it
// and saves it as the restore log.
#pragma once

#include "backup/restore_run.h"
#include "base/time_stamp.h"
#include "gui/forms/controls.h"

#include <ctime>
#include <functional>
#include <optional>

namespace kestrune {

class TfStatus : public RestoreLog {
  public:
    struct Controls {
        RichLog* re1;
        FormWindow* window;
    };
    explicit TfStatus(const Controls& controls);

    RichLog* const re1;
    FormWindow* const window;

    void FormShow();
    // Appends "<short date>[ <long time>]<tab>Msg" in Color (0x00BBGGRR).
    void AddLine(const AnsiString& Msg, uint32_t Color) override;

    void ClearLines() override;
    void ShowLog() override;
    // In plain-text mode the lines are saved as text; otherwise in the control's rich format.
    void SetPlainText(bool plain) override { FPlainText = plain; }
    bool PlainText() const { return FPlainText; }
    void SaveLinesToFile(const std::filesystem::path& file) override;

    // The clock the lines are stamped with; the system's by default.
    std::function<std::time_t()> now = TimeNow;

  private:
    // A run adds hundreds of lines a second: each second is formatted once.
    const WideString& StampOf(std::time_t moment);

    bool FPlainText = false;
    std::optional<std::time_t> FStampedAt;
    WideString FStamp;
};

} // namespace kestrune
