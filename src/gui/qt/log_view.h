// A read-only log of coloured lines, for runs that report tens of thousands of them.
#pragma once

#include "gui/forms/log_lines.h"

#include <QAbstractScrollArea>
#include <QColor>
#include <QElapsedTimer>
#include <QString>
#include <string>
#include <vector>

class QTextLayout;

namespace kestrune {

// The view keeps the lines themselves, laid out only when they are painted: a text document
// kept a paragraph and its layout for every line, and taking them in cost a restore as much as
// the restore itself. The vertical scroll bar counts lines; the horizontal one, pixels.
//
// Lines come in at once, so whoever asks sees them; the scroll bars and the picture catch up
// at the event loop's next turn, once for all the lines that came meanwhile, and the view
// repaints at most once a frame.
//
// Text is selected with the mouse (a drag, shift-click to extend, a double click for a word)
// and copied with the platform's keys or the context menu; the keys that move through a text
// scroll the view.
class LogView : public QAbstractScrollArea {
  public:
    explicit LogView(QWidget* parent = nullptr);

    // The text is kept as it comes, in the form the window logic writes it.
    void AppendLine(std::u16string text, const QColor& color);
    void AppendLine(const QString& text, const QColor& color) {
        AppendLine(text.toStdU16String(), color);
    }
    void Clear();
    qsizetype LineCount() const { return static_cast<qsizetype>(lines_.size()); }
    QString LineText(qsizetype line) const { return TextOf(line).toString(); }
    const std::u16string& LineAt(qsizetype line) const {
        return lines_[static_cast<size_t>(line)].text;
    }
    QColor LineColor(qsizetype line) const;

    void SetTabStopDistance(qreal pixels);
    qreal TabStopDistance() const { return tabStop_; }

    // Whether the view shows the last line with nothing selected; lines that came since the
    // last turn count as shown while the reader has not moved the view.
    bool Following() const;
    // Shows the last line, at the next turn if lines are waiting for it, and then only if the
    // reader has not moved the view or selected something meanwhile.
    void ScrollToEnd();

    bool HasSelection() const { return anchor_ != cursor_; }
    void Select(LogPosition anchor, LogPosition cursor);
    void SelectAll();
    // The selected text, its lines joined by line feeds.
    QString SelectedText() const;
    void Copy() const;

    // The place nearest to a point of the viewport.
    LogPosition PositionAt(QPoint point) const;
    int LineHeight() const { return lineHeight_; }

    // The whole log as an HTML document, each line a paragraph in its colour.
    QString ToHtml() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    QStringView TextOf(qsizetype line) const { return LineAt(line); }
    void LayOut(QStringView text, QTextLayout& layout) const;
    qreal WidthOf(qsizetype line) const;
    // The event loop's turn: scroll ranges, following and the picture catch up, at the next
    // turn of the event loop but at most once a frame.
    void ScheduleTurn();
    void Turn();
    void UpdateScrollRanges();
    void UpdateSoon();
    int VisibleLines() const;

    std::vector<LogLine> lines_;
    qreal tabStop_ = 80;
    int lineHeight_ = 1;
    // The widest line measured so far, and the longest in characters, which is measured at
    // the next turn: measuring every line as it came would cost what a document did.
    qreal widest_ = 0;
    qsizetype longest_ = -1;
    qsizetype longestLength_ = -1;
    bool longestMeasured_ = false;

    LogPosition anchor_;
    LogPosition cursor_;
    bool dragging_ = false;

    bool turnPending_ = false;
    QElapsedTimer sinceTurn_;
    bool followPending_ = false;
    int followedValue_ = 0;
    bool updatePending_ = false;
    QElapsedTimer sincePaint_;
};

} // namespace kestrune
