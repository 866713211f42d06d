#include "gui/qt/qt_rich_log.h"

#include <QPlainTextEdit>
#include <QPointer>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>

namespace kestrune {

QtRichLog::QtRichLog(QPlainTextEdit* edit) : QtControl(edit), edit_(edit) {
    // A log is never undone: keeping every line twice would only cost memory.
    edit_->document()->setUndoRedoEnabled(false);
}

QtRichLog::~QtRichLog() {
    EndBatch();
}

void QtRichLog::Clear() {
    EndBatch();
    scrollPending_ = false;
    edit_->clear();
}

void QtRichLog::AppendLine(const WideString& line, uint32_t color) {
    BeginBatch();
    if (!format_ || color != color_) {
        format_.emplace();
        format_->setForeground(FromColorRef(color));
        color_ = color;
    }
    // One insertion for the new paragraph and its text; insertText keeps the text as it is:
    // no markup is interpreted.
    QString text;
    text.reserve(static_cast<qsizetype>(line.size()) + 1);
    if (!edit_->document()->isEmpty()) text += QChar::ParagraphSeparator;
    text += QStringView(line.data(), static_cast<qsizetype>(line.size()));
    end_.insertText(text, *format_);
}

void QtRichLog::BeginBatch() {
    if (batchOpen_) return;
    end_ = QTextCursor(edit_->document());
    end_.movePosition(QTextCursor::End);
    // Inside an edit block the document tells its layout of the changes only when it ends.
    end_.beginEditBlock();
    batchOpen_ = true;
    QMetaObject::invokeMethod(
        &turn_, [this] { EndBatch(); }, Qt::QueuedConnection);
}

void QtRichLog::EndBatch() {
    if (!batchOpen_) return;
    batchOpen_ = false;
    end_.endEditBlock();
    if (scrollPending_) {
        scrollPending_ = false;
        QScrollBar* vertical = edit_->verticalScrollBar();
        if (vertical->value() == followedValue_ && !edit_->textCursor().hasSelection())
            vertical->setValue(vertical->maximum());
    }
    LimitRepaints();
}

bool QtRichLog::Following() const {
    if (edit_->textCursor().hasSelection()) return false;
    const QScrollBar* vertical = edit_->verticalScrollBar();
    // Lines laid out at the next turn are not in the scroll range yet.
    if (scrollPending_) return vertical->value() == followedValue_;
    return vertical->value() == vertical->maximum();
}

void QtRichLog::ScrollToEnd() {
    QScrollBar* vertical = edit_->verticalScrollBar();
    if (!batchOpen_) {
        vertical->setValue(vertical->maximum());
        return;
    }
    if (!scrollPending_) followedValue_ = vertical->value();
    scrollPending_ = true;
}

std::vector<WideString> QtRichLog::Lines() const {
    std::vector<WideString> lines;
    for (QTextBlock block = edit_->document()->begin(); block.isValid(); block = block.next())
        lines.push_back(block.text().toStdU16String());
    return lines;
}

std::string QtRichLog::RichText() const {
    return edit_->document()->toHtml().toStdString();
}

void QtRichLog::SetTabStop(double points) {
    edit_->setTabStopDistance(points * edit_->logicalDpiX() / 72.0);
}

// Lines may still come faster than a screen refreshes: the log repaints at most once per
// frame, and always shows the last line within one frame.
void QtRichLog::LimitRepaints() {
    constexpr int kFrameMs = 16;
    if (!sincePaint_.isValid() || sincePaint_.elapsed() >= kFrameMs) {
        sincePaint_.start();
        return;
    }
    if (!edit_->updatesEnabled()) return; // already waiting for the next frame
    edit_->setUpdatesEnabled(false);
    QPointer<QPlainTextEdit> edit = edit_;
    QTimer::singleShot(kFrameMs, &turn_, [this, edit] {
        if (!edit) return;
        edit->setUpdatesEnabled(true);
        sincePaint_.start();
    });
}

} // namespace kestrune
