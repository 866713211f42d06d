// The Status window's log over a QPlainTextEdit.
#pragma once

#include "gui/qt/qt_controls.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTextCharFormat>
#include <QTextCursor>
#include <optional>

class QPlainTextEdit;

namespace kestrune {

// Lines go into the document at once, so whoever reads it sees them; laying them out and
// scrolling wait for the event loop's next turn, once for all the lines that came meanwhile.
// A run reports hundreds of lines between two turns, and laying out each one as it came cost
// several times the run itself.
class QtRichLog : public QtControl<RichLog> {
  public:
    explicit QtRichLog(QPlainTextEdit* edit);
    ~QtRichLog() override;
    void Clear() override;
    void AppendLine(const WideString& line, uint32_t color) override;
    bool Following() const override;
    void ScrollToEnd() override;
    std::vector<WideString> Lines() const override;
    std::string RichText() const override;
    void SetTabStop(double points) override;

  private:
    // The lines that came since the last turn form one edit of the document.
    void BeginBatch();
    void EndBatch();
    void LimitRepaints();

    QPlainTextEdit* edit_;
    QTextCursor end_;
    // The format of the last line's colour, which the next line most often has too.
    std::optional<QTextCharFormat> format_;
    uint32_t color_ = 0;
    bool batchOpen_ = false;
    // Scroll to the end when the batch ends, unless the reader moved the view meanwhile.
    bool scrollPending_ = false;
    int followedValue_ = 0;
    QElapsedTimer sincePaint_;
    // Owns the queued end of the batch: it goes with this log.
    QObject turn_;
};

} // namespace kestrune
