#include "gui/qt/qt_rich_log.h"

#include "gui/qt/log_view.h"

namespace kestrune {

QtRichLog::QtRichLog(LogView* view) : QtControl(view), view_(view) {}

void QtRichLog::Clear() {
    view_->Clear();
}

void QtRichLog::AppendLine(WideString line, uint32_t color) {
    // The view keeps the text as it is: no markup is interpreted.
    view_->AppendLine(std::move(line), FromColorRef(color));
}

bool QtRichLog::Following() const {
    return view_->Following();
}

void QtRichLog::ScrollToEnd() {
    view_->ScrollToEnd();
}

size_t QtRichLog::LineCount() const {
    return static_cast<size_t>(view_->LineCount());
}

const WideString& QtRichLog::LineAt(size_t line) const {
    return view_->LineAt(static_cast<qsizetype>(line));
}

std::string QtRichLog::RichText() const {
    return view_->ToHtml().toStdString();
}

void QtRichLog::SetTabStop(double points) {
    view_->SetTabStopDistance(points * view_->logicalDpiX() / 72.0);
}

} // namespace kestrune
