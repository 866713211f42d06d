#include "gui/qt/status_window.h"
#include "support/private_settings.h"
#include "support/temp_folder.h"

#include <QCheckBox>
#include <QDateTime>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <filesystem>
#include <fstream>
#include <sstream>

using namespace kestrune;

class StatusWindowTest : public QObject {
    Q_OBJECT
    // The user's own settings folder is never read or written by a test.
    kestrune::testing::PrivateSettings settings;

  private slots:
    void linesKeepTheirOwnColours() {
        StatusWindow status;
        status.show();
        status.form().AddLine("first", 0x00FF00);
        status.form().AddLine("second", 0x0000FF);
        QTextDocument* doc = status.re1->document();
        QCOMPARE(doc->blockCount(), 2);
        auto colourOf = [&](int block) {
            return doc->findBlockByNumber(block)
                .begin()
                .fragment()
                .charFormat()
                .foreground()
                .color();
        };
        QCOMPARE(colourOf(0), QColor(0, 255, 0));
        QCOMPARE(colourOf(1), QColor(255, 0, 0)); // 0x0000FF is red: red is the low byte
        status.form().AddLine("<b>not bold</b>", 0x00FFFF);
        QVERIFY(doc->findBlockByNumber(2).text().endsWith("\t<b>not bold</b>"));
        QCOMPARE(colourOf(2), QColor(255, 255, 0));
    }

    void lineIsTimeStampTabMessageAtTheTabStop() {
        StatusWindow status;
        status.show();
        QVERIFY(QTest::qWaitForWindowExposed(&status));
        QCOMPARE(status.re1->tabStopDistance(), 100.0 * status.re1->logicalDpiX() / 72.0);
        status.form().AddLine("Restored", 0x00FF00);
        QString text = status.re1->document()->firstBlock().text();
        QVERIFY2(text.endsWith("\tRestored"), qPrintable(text));
        QString stamp = text.left(text.indexOf('\t'));
        QVERIFY2(!stamp.contains("UTC") && !stamp.contains("GMT"), qPrintable(stamp));

        status.form().AddLine("", 0x00FF00); // an empty message: the stamp and the tab
        QVERIFY(status.re1->document()->lastBlock().text().endsWith('\t'));
    }

    void aSelectionAndAScrolledViewSurviveNewLines() {
        StatusWindow status;
        status.show();
        QVERIFY(QTest::qWaitForWindowExposed(&status));
        for (int i = 0; i < 200; ++i)
            status.form().AddLine("line " + std::to_string(i), 0x00FF00);
        QApplication::processEvents();
        QScrollBar* bar = status.re1->verticalScrollBar();
        QCOMPARE(bar->value(), bar->maximum()); // following the end

        // Someone scrolls up and selects a line to copy while the run goes on.
        bar->setValue(10);
        QTextCursor selection(status.re1->document()->findBlockByNumber(12));
        selection.select(QTextCursor::BlockUnderCursor);
        status.re1->setTextCursor(selection);
        const QString selected = status.re1->textCursor().selectedText();
        for (int i = 0; i < 50; ++i)
            status.form().AddLine("more", 0x00FF00);
        QApplication::processEvents();
        QCOMPARE(status.re1->textCursor().selectedText(), selected);
        QCOMPARE(bar->value(), 10);
    }

    void longLinesDoNotWrapAndTypingChangesNothing() {
        StatusWindow status;
        status.show();
        QVERIFY(QTest::qWaitForWindowExposed(&status));
        status.form().AddLine(std::string(600, 'x'), 0x00FF00);
        QApplication::processEvents();
        QCOMPARE(status.re1->lineWrapMode(), QPlainTextEdit::NoWrap);
        QScrollBar* bar = status.re1->horizontalScrollBar();
        QVERIFY(bar->maximum() > 0);
        bar->setValue(bar->maximum());
        QCOMPARE(bar->value(), bar->maximum());

        QString before = status.re1->toPlainText();
        status.re1->setFocus();
        QTest::keyClicks(status.re1, "typed");
        QTest::keyClick(status.re1, Qt::Key_Backspace);
        QCOMPARE(status.re1->toPlainText(), before);
        QVERIFY(status.re1->textInteractionFlags() & Qt::TextSelectableByMouse);
    }

    void savesPlainLinesWithCrLf() {
        StatusWindow status;
        status.form().AddLine("one", 0x00FF00);
        const AnsiString cafe = WideToAnsi(u"caf\u00e9");
        status.form().AddLine(cafe, 0x0000FF);
        kestrune::testing::TempFolder scratch;
        auto file = scratch / "status.txt";
        status.form().SetPlainText(true);
        status.form().SaveLinesToFile(file);
        std::ifstream in(file, std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        std::string text = bytes.str();
        QVERIFY(text.find("\tone\r\n") != std::string::npos);
        QVERIFY(text.ends_with("\t" + cafe + "\r\n"));
    }
};

QTEST_MAIN(StatusWindowTest)
#include "status_window_test.moc"
