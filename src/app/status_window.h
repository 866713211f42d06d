// TfStatus: a console-like log window of time-stamped, coloured lines.
#pragma once

#include "backup/restore_run.h"

#include <QElapsedTimer>
#include <QWidget>

class QPlainTextEdit;

namespace kestrune {

class TfStatus : public QWidget, public RestoreLog {
  public:
    explicit TfStatus(QWidget* parent = nullptr);

    QPlainTextEdit* re1;

    void FormShow();
    // Appends "<short date>[ <long time>]<tab>Msg" in Color (0x00BBGGRR).
    void AddLine(const AnsiString& Msg, uint32_t Color) override;

    void ClearLines() override;
    void ShowLog() override;
    // In plain-text mode the lines are saved as text; otherwise as a formatted document.
    void SetPlainText(bool plain) override { FPlainText = plain; }
    bool PlainText() const { return FPlainText; }
    void SaveLinesToFile(const std::filesystem::path& file) override;

    // The time stamp AddLine puts before a message at the given moment.
    static QString TimeStamp(const QDateTime& moment);

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void LimitRepaints();

    bool FPlainText = false;
    QElapsedTimer FSincePaint;
};

} // namespace kestrune
