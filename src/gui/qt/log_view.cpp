#include "gui/qt/log_view.h"

#include "gui/qt/qt_controls.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QTextLayout>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <optional>

namespace kestrune {

namespace {

// The space left of the text, as a text document leaves it.
constexpr int kMargin = 4;
// A log that follows a run needs no more pictures a second than this gives.
constexpr int kFrameMs = 33;

// Appends the text with the characters that HTML takes for markup written as references.
void AppendEscaped(QString& html, QStringView text) {
    qsizetype plainFrom = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        const char16_t* reference = c == u'<'   ? u"&lt;"
                                    : c == u'>' ? u"&gt;"
                                    : c == u'&' ? u"&amp;"
                                    : c == u'"' ? u"&quot;"
                                                : nullptr;
        if (!reference) continue;
        html += text.mid(plainFrom, i - plainFrom);
        html += QStringView(reference);
        plainFrom = i + 1;
    }
    html += text.mid(plainFrom);
}

uint32_t ColorRefOf(const QColor& color) {
    return static_cast<uint32_t>(color.red()) | static_cast<uint32_t>(color.green()) << 8 |
           static_cast<uint32_t>(color.blue()) << 16;
}

} // namespace

LogView::LogView(QWidget* parent) : QAbstractScrollArea(parent) {
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setCursor(Qt::IBeamCursor);
    lineHeight_ = std::max(1, fontMetrics().lineSpacing());
    UpdateScrollRanges();
}

void LogView::AppendLine(std::u16string text, const QColor& color) {
    const auto length = static_cast<qsizetype>(text.size());
    lines_.push_back({std::move(text), ColorRefOf(color)});
    if (length > longestLength_) {
        longestLength_ = length;
        longest_ = LineCount() - 1;
        longestMeasured_ = false;
    }
    ScheduleTurn();
}

void LogView::Clear() {
    lines_ = {}; // a long run's room goes back too
    widest_ = 0;
    longest_ = longestLength_ = -1;
    longestMeasured_ = false;
    anchor_ = cursor_ = {};
    dragging_ = false;
    followPending_ = false;
    UpdateScrollRanges();
    viewport()->update();
}

QColor LogView::LineColor(qsizetype line) const {
    return FromColorRef(lines_[static_cast<size_t>(line)].color);
}

void LogView::SetTabStopDistance(qreal pixels) {
    tabStop_ = pixels;
    widest_ = 0;
    longestMeasured_ = false; // measured again at the next turn
    ScheduleTurn();
}

bool LogView::Following() const {
    if (HasSelection()) return false;
    const QScrollBar* vertical = verticalScrollBar();
    // Lines that wait for the turn are not in the scroll range yet.
    if (followPending_) return vertical->value() == followedValue_;
    return vertical->value() == vertical->maximum();
}

void LogView::ScrollToEnd() {
    QScrollBar* vertical = verticalScrollBar();
    if (!turnPending_) {
        vertical->setValue(vertical->maximum());
        return;
    }
    if (!followPending_) followedValue_ = vertical->value();
    followPending_ = true;
}

// A run passes the event loop every few milliseconds. A turn at each pass would change the
// scroll range each time, and a scroll bar repaints whenever its range changes.
void LogView::ScheduleTurn() {
    if (turnPending_) return;
    turnPending_ = true;
    const qint64 sinceLast = sinceTurn_.isValid() ? sinceTurn_.elapsed() : kFrameMs;
    if (sinceLast >= kFrameMs)
        QMetaObject::invokeMethod(this, &LogView::Turn, Qt::QueuedConnection);
    else
        QTimer::singleShot(static_cast<int>(kFrameMs - sinceLast), this, &LogView::Turn);
}

void LogView::Turn() {
    if (!turnPending_) return;
    turnPending_ = false;
    sinceTurn_.start();
    if (longest_ >= 0 && !longestMeasured_) {
        widest_ = std::max(widest_, WidthOf(longest_));
        longestMeasured_ = true;
    }
    UpdateScrollRanges();
    if (followPending_) {
        followPending_ = false;
        QScrollBar* vertical = verticalScrollBar();
        if (vertical->value() == followedValue_ && !HasSelection())
            vertical->setValue(vertical->maximum());
    }
    UpdateSoon();
}

// Lines may come far faster than anyone reads them: the view repaints at most once a frame,
// scrolled or not, and always shows the last line within one frame.
void LogView::UpdateSoon() {
    if (!sincePaint_.isValid() || sincePaint_.elapsed() >= kFrameMs) {
        sincePaint_.start();
        viewport()->update();
        return;
    }
    if (updatePending_) return;
    updatePending_ = true;
    QTimer::singleShot(kFrameMs, this, [this] {
        updatePending_ = false;
        sincePaint_.start();
        viewport()->update();
    });
}

int LogView::VisibleLines() const {
    return std::max(1, viewport()->height() / lineHeight_);
}

void LogView::UpdateScrollRanges() {
    const int visible = VisibleLines();
    QScrollBar* vertical = verticalScrollBar();
    vertical->setPageStep(visible);
    vertical->setSingleStep(1);
    vertical->setRange(0, std::max<qsizetype>(0, LineCount() - visible));
    QScrollBar* horizontal = horizontalScrollBar();
    const int content = static_cast<int>(std::ceil(widest_)) + 2 * kMargin;
    horizontal->setPageStep(viewport()->width());
    horizontal->setSingleStep(std::max(1, fontMetrics().averageCharWidth() * 2));
    horizontal->setRange(0, std::max(0, content - viewport()->width()));
}

void LogView::LayOut(QStringView text, QTextLayout& layout) const {
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    option.setTabStopDistance(tabStop_);
    layout.setText(text.toString());
    layout.setFont(font());
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    if (line.isValid()) line.setPosition(QPointF(0, 0));
    layout.endLayout();
}

qreal LogView::WidthOf(qsizetype line) const {
    QTextLayout layout;
    LayOut(TextOf(line), layout);
    return layout.lineCount() ? layout.lineAt(0).naturalTextWidth() : 0;
}

void LogView::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    painter.fillRect(viewport()->rect(), palette().base());
    const qsizetype first = verticalScrollBar()->value();
    const qsizetype last = std::min(LineCount(), first + VisibleLines() + 1);
    const LogPosition from = std::min(anchor_, cursor_);
    const LogPosition to = std::max(anchor_, cursor_);
    QTextCharFormat selected;
    selected.setBackground(palette().highlight());
    selected.setForeground(palette().highlightedText());
    const qreal left = kMargin - horizontalScrollBar()->value();
    bool wider = false;
    for (qsizetype i = first; i < last; ++i) {
        const auto at = static_cast<size_t>(i);
        const LogLine& line = lines_[at];
        QTextLayout layout;
        LayOut(TextOf(i), layout);
        if (layout.lineCount() && layout.lineAt(0).naturalTextWidth() > widest_) {
            widest_ = layout.lineAt(0).naturalTextWidth();
            wider = true;
        }
        QList<QTextLayout::FormatRange> selections;
        if (HasSelection() && at >= from.line && at <= to.line) {
            const size_t start = at == from.line ? from.column : 0;
            const size_t end = at == to.line ? to.column : line.text.size();
            if (end > start)
                selections.append(
                    {static_cast<int>(start), static_cast<int>(end - start), selected});
        }
        painter.setPen(FromColorRef(line.color));
        layout.draw(&painter, QPointF(left, static_cast<qreal>((i - first) * lineHeight_)),
                    selections);
    }
    // A line wider than any measured before widens the scroll range once the picture is done.
    if (wider) QMetaObject::invokeMethod(this, &LogView::UpdateScrollRanges, Qt::QueuedConnection);
}

void LogView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    const bool atEnd = verticalScrollBar()->value() == verticalScrollBar()->maximum();
    UpdateScrollRanges();
    if (atEnd) verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void LogView::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() != QEvent::FontChange) return;
    lineHeight_ = std::max(1, fontMetrics().lineSpacing());
    SetTabStopDistance(tabStop_);
}

void LogView::scrollContentsBy(int, int) {
    UpdateSoon();
}

LogPosition LogView::PositionAt(QPoint point) const {
    if (lines_.empty()) return {};
    const qsizetype row = point.y() < 0 ? -1 : point.y() / lineHeight_;
    const qsizetype line = verticalScrollBar()->value() + row;
    if (line < 0) return {0, 0};
    if (line >= LineCount()) return {lines_.size() - 1, lines_.back().text.size()};
    QTextLayout layout;
    LayOut(TextOf(line), layout);
    const qreal x = point.x() - kMargin + horizontalScrollBar()->value();
    const int column = layout.lineCount() ? layout.lineAt(0).xToCursor(x) : 0;
    return {static_cast<size_t>(line), static_cast<size_t>(std::max(0, column))};
}

void LogView::Select(LogPosition anchor, LogPosition cursor) {
    anchor_ = anchor;
    cursor_ = cursor;
    viewport()->update();
}

void LogView::SelectAll() {
    if (lines_.empty()) return;
    Select({0, 0}, {lines_.size() - 1, lines_.back().text.size()});
}

QString LogView::SelectedText() const {
    return QString::fromStdU16String(TextBetween(lines_, anchor_, cursor_, u"\n"));
}

void LogView::Copy() const {
    if (HasSelection()) QApplication::clipboard()->setText(SelectedText());
}

void LogView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QAbstractScrollArea::mousePressEvent(event);
    const LogPosition at = PositionAt(event->position().toPoint());
    if (event->modifiers() & Qt::ShiftModifier)
        Select(anchor_, at);
    else
        Select(at, at);
    dragging_ = true;
}

void LogView::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_) return QAbstractScrollArea::mouseMoveEvent(event);
    const QPoint point = event->position().toPoint();
    // Dragging past an edge scrolls that way.
    QScrollBar* vertical = verticalScrollBar();
    if (point.y() < 0) vertical->setValue(vertical->value() - 1);
    if (point.y() >= viewport()->height()) vertical->setValue(vertical->value() + 1);
    Select(anchor_, PositionAt(point));
}

void LogView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QAbstractScrollArea::mouseReleaseEvent(event);
    dragging_ = false;
    // Where the platform has a selection of its own (X11), the selected text is in it.
    QClipboard* clipboard = QApplication::clipboard();
    if (HasSelection() && clipboard->supportsSelection())
        clipboard->setText(SelectedText(), QClipboard::Selection);
}

void LogView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || lines_.empty())
        return QAbstractScrollArea::mouseDoubleClickEvent(event);
    const LogPosition at = PositionAt(event->position().toPoint());
    const auto [start, end] = WordAround(lines_[at.line].text, at.column);
    Select({at.line, start}, {at.line, end});
}

void LogView::keyPressEvent(QKeyEvent* event) {
    if (event == QKeySequence::Copy) return Copy();
    if (event == QKeySequence::SelectAll) return SelectAll();
    QScrollBar* vertical = verticalScrollBar();
    QScrollBar* horizontal = horizontalScrollBar();
    switch (event->key()) {
    case Qt::Key_Up:
        return vertical->triggerAction(QAbstractSlider::SliderSingleStepSub);
    case Qt::Key_Down:
        return vertical->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    case Qt::Key_PageUp:
        return vertical->triggerAction(QAbstractSlider::SliderPageStepSub);
    case Qt::Key_PageDown:
        return vertical->triggerAction(QAbstractSlider::SliderPageStepAdd);
    case Qt::Key_Left:
        return horizontal->triggerAction(QAbstractSlider::SliderSingleStepSub);
    case Qt::Key_Right:
        return horizontal->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    case Qt::Key_Home:
        if (event->modifiers() & Qt::ControlModifier) vertical->setValue(0);
        return horizontal->setValue(0);
    case Qt::Key_End:
        if (event->modifiers() & Qt::ControlModifier) vertical->setValue(vertical->maximum());
        return;
    default:
        event->ignore();
    }
}

void LogView::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    QAction* copy = menu.addAction(tr("&Copy"), QKeySequence::Copy, this, &LogView::Copy);
    copy->setEnabled(HasSelection());
    QAction* all =
        menu.addAction(tr("Select All"), QKeySequence::SelectAll, this, &LogView::SelectAll);
    all->setEnabled(!lines_.empty());
    menu.exec(event->globalPos());
}

QString LogView::ToHtml() const {
    const QFont& face = font();
    QString html;
    qsizetype size = 300;
    for (const LogLine& line : lines_)
        size += static_cast<qsizetype>(line.text.size()) + 40;
    html.reserve(size);
    html += QStringLiteral("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\" /></head>\n");
    html += QStringLiteral("<body style=\"font-family:'%1'; font-size:%2pt; "
                           "background-color:%3; white-space:pre; tab-size:%4px;\">\n")
                .arg(face.family().toHtmlEscaped())
                .arg(face.pointSizeF())
                .arg(palette().base().color().name())
                .arg(tabStop_);
    // Most lines have the colour of the line before.
    std::optional<uint32_t> lastColor;
    QString colorName;
    for (const LogLine& line : lines_) {
        if (line.color != lastColor) {
            lastColor = line.color;
            colorName = FromColorRef(line.color).name();
        }
        html += u"<p style=\"margin:0; color:";
        html += colorName;
        html += u";\">";
        AppendEscaped(html, line.text);
        html += u"</p>\n";
    }
    html += u"</body></html>\n";
    return html;
}

} // namespace kestrune
