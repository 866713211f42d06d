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
#include <QTextLayout>
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

    // A run reports hundreds of lines between two turns of the event loop: they are in the
    // document at once, in order, but laid out once, when the turn comes, and only as far as
    // they are seen. Laying out each line as it came made a restore several times slower.
    void linesBetweenTwoTurnsAreLaidOutOnceAndFollowed() {
        StatusWindow status;
        status.show();
        QVERIFY(QTest::qWaitForWindowExposed(&status));
        QTextDocument* doc = status.re1->document();
        for (int i = 0; i < 3000; ++i)
            status.form().AddLine("line " + std::to_string(i), i % 2 ? 0x0000FF : 0x00FF00);
        QCOMPARE(doc->blockCount(), 3000);
        QVERIFY(doc->findBlockByNumber(2999).text().endsWith("\tline 2999"));
        QVERIFY(doc->firstBlock().text().endsWith("\tline 0"));

        QApplication::processEvents();
        QScrollBar* bar = status.re1->verticalScrollBar();
        QVERIFY(bar->maximum() > 2900);
        QCOMPARE(bar->value(), bar->maximum());
        QCOMPARE(status.re1->cursorForPosition(QPoint(2, status.re1->viewport()->height() - 8))
                     .block()
                     .blockNumber(),
                 2999);
        int laidOut = 0; // lines out of sight are left alone
        for (QTextBlock block = doc->begin(); block.isValid(); block = block.next())
            laidOut += block.layout()->lineCount() > 0;
        QVERIFY2(laidOut < 100, qPrintable(QString::number(laidOut)));
        QCOMPARE(doc->findBlockByNumber(2998).charFormat().foreground().color(), QColor(0, 255, 0));
        QCOMPARE(doc->findBlockByNumber(2999).begin().fragment().charFormat().foreground().color(),
                 QColor(255, 0, 0));
    }

    // Someone scrolls up while lines wait for the turn: the turn does not take them back down,
    // and the lines after it do not follow either.
    void aViewMovedBeforeTheTurnStaysWhereTheReaderPutIt() {
        StatusWindow status;
        status.show();
        QVERIFY(QTest::qWaitForWindowExposed(&status));
        for (int i = 0; i < 200; ++i)
            status.form().AddLine("line " + std::to_string(i), 0x00FF00);
        QApplication::processEvents();
        QScrollBar* bar = status.re1->verticalScrollBar();
        QCOMPARE(bar->value(), bar->maximum());

        for (int i = 0; i < 100; ++i)
            status.form().AddLine("more " + std::to_string(i), 0x00FF00);
        bar->setValue(3);
        QApplication::processEvents();
        QCOMPARE(bar->value(), 3);
        status.form().AddLine("after", 0x00FF00);
        QApplication::processEvents();
        QCOMPARE(bar->value(), 3);
        QVERIFY(bar->maximum() > 250);
    }

    // A new run clears the window while the last run's lines still wait; the window may also
    // go away before the turn comes.
    void clearingOrClosingWhileLinesWait() {
        StatusWindow status;
        status.show();
        status.form().AddLine("old run", 0x00FF00);
        status.form().ClearLines();
        status.form().AddLine("Starting restore", 0x00FF00);
        QCOMPARE(status.re1->document()->blockCount(), 1);
        QApplication::processEvents();
        QCOMPARE(status.re1->document()->blockCount(), 1);
        QVERIFY(status.re1->document()->firstBlock().text().endsWith("\tStarting restore"));
        QCOMPARE(status.form().re1->Lines().size(), size_t(1));

        auto* gone = new StatusWindow;
        gone->show();
        gone->form().AddLine("waiting", 0x00FF00);
        delete gone;
        QApplication::processEvents(); // the waiting turn must not reach the deleted window
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
