#include "app/status_window.h"

#include "app/qt_text.h"
#include "app/screen_position.h"
#include "base/file_io.h"
#include "base/string_list.h"

#include <QDateTime>
#include <QGuiApplication>
#include <QLocale>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <QVBoxLayout>

namespace kestrune {
namespace {

QColor FromColorRef(uint32_t color) {
    return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
}

// The locale's long time format without a time-zone part.
QString LongTimeFormat() {
    QString format = QLocale::system().timeFormat(QLocale::LongFormat);
    static const QRegularExpression zone(QStringLiteral("\\s*t+"));
    return format.remove(zone).trimmed();
}

} // namespace

TfStatus::TfStatus(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName("fStatus");
    setWindowTitle("Status");
    QFont font("Tahoma", 8);
    font.setStyleHint(QFont::SansSerif);
    setFont(font);
    resize(535, 341);
    CentreOnScreen(*this);

    re1 = new QPlainTextEdit(this);
    re1->setObjectName("re1");
    re1->setReadOnly(true);
    re1->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    re1->setLineWrapMode(QPlainTextEdit::NoWrap);
    re1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    re1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QPalette palette = re1->palette();
    palette.setColor(QPalette::Base, Qt::black);
    palette.setColor(QPalette::Text, FromColorRef(0x00FF00));
    re1->setPalette(palette);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(re1);
}

void TfStatus::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    FormShow();
}

void TfStatus::FormShow() {
    // One tab stop 100 points from the left edge, so messages line up after the time stamps.
    re1->setTabStopDistance(100.0 * re1->logicalDpiX() / 72.0);
}

QString TfStatus::TimeStamp(const QDateTime& moment) {
    QString stamp = QLocale::system().toString(moment.date(), QLocale::ShortFormat);
    if (moment.time() != QTime(0, 0, 0))
        stamp += ' ' + QLocale::system().toString(moment.time(), LongTimeFormat());
    return stamp;
}

void TfStatus::AddLine(const AnsiString& Msg, uint32_t Color) {
    QTextCharFormat format;
    format.setForeground(FromColorRef(Color));
    // The view follows new lines only while it shows the last one: someone who scrolled up
    // or selected text to copy during a run keeps their place and their selection.
    QScrollBar* vertical = re1->verticalScrollBar();
    const bool following =
        vertical->value() == vertical->maximum() && !re1->textCursor().hasSelection();
    QTextCursor cursor(re1->document());
    cursor.movePosition(QTextCursor::End);
    // insertText keeps the text as it is: no markup is interpreted.
    if (!re1->document()->isEmpty()) cursor.insertBlock();
    cursor.insertText(TimeStamp(QDateTime::currentDateTime()) + '\t' + ToQString(Msg), format);
    if (following) vertical->setValue(vertical->maximum());
    LimitRepaints();
}

// A run adds lines far faster than a screen refreshes, and repainting after each one would
// cost more than the run itself: the log repaints at most once per frame, and always shows
// the last line within one frame.
void TfStatus::LimitRepaints() {
    constexpr int kFrameMs = 16;
    if (!FSincePaint.isValid() || FSincePaint.elapsed() >= kFrameMs) {
        FSincePaint.start();
        return;
    }
    if (!re1->updatesEnabled()) return; // already waiting for the next frame
    re1->setUpdatesEnabled(false);
    QTimer::singleShot(kFrameMs, this, [this] {
        re1->setUpdatesEnabled(true);
        FSincePaint.start();
    });
}

void TfStatus::ClearLines() {
    re1->clear();
}

void TfStatus::ShowLog() {
    show();
    raise();
    activateWindow();
}

void TfStatus::SaveLinesToFile(const std::filesystem::path& file) {
    if (!FPlainText) {
        ReplaceFileContents(file, re1->document()->toHtml().toStdString());
        return;
    }
    TStringList lines;
    for (QTextBlock block = re1->document()->begin(); block.isValid(); block = block.next())
        lines.Add(ToAnsi(block.text()));
    lines.SaveToFile(file);
}

} // namespace kestrune
