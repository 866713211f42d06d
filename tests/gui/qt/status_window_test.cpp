#include "gui/qt/log_view.h"
#include "gui/qt/status_window.h"
#include "support/private_settings.h"
#include "support/temp_folder.h"

#include <QElapsedTimer>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
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
        LogView* log = status.re1;
        QCOMPARE(log->LineCount(), 2);
        QCOMPARE(log->LineColor(0), QColor(0, 255, 0));
        QCOMPARE(log->LineColor(1), QColor(255, 0, 0)); // 0x0000FF is red: red is the low byte
        status.form().AddLine("<b>not bold</b>", 0x00FFFF);
        QVERIFY(log->LineText(2).endsWith("\t<b>not bold</b>"));
        QCOMPARE(log->LineColor(2), QColor(255, 255, 0));
    }

    void lineIsTimeStampTabMessageAtTheTabStop() {
        StatusWindow status;
        status.show();
        QVERIFY(QTest::qWaitForWindowExposed(&status));
        QCOMPARE(status.re1->TabStopDistance(), 100.0 * status.re1->logicalDpiX() / 72.0);
        status.form().AddLine("Restored", 0x00FF00);
        QString text = status.re1->LineText(0);
        QVERIFY2(text.endsWith("\tRestored"), qPrintable(text));
        QString stamp = text.left(text.indexOf('\t'));
        QVERIFY2(!stamp.contains("UTC") && !stamp.contains("GMT"), qPrintable(stamp));

        status.form().AddLine("", 0x00FF00); // an empty message: the stamp and the tab
        QVERIFY(status.re1->LineText(1).endsWith('\t'));
    }

    void aSelectionAndAScrolledViewSurviveNewLines() {
        StatusWindow status;
        status.show();
        QVERIFY(QTest::qWaitForWindowExposed(&status));
        for (int i = 0; i < 200; ++i)
            status.form().AddLine("line " + std::to_string(i), 0x00FF00);
        QScrollBar* bar = status.re1->verticalScrollBar();
        QTRY_VERIFY(bar->maximum() > 150);
        QCOMPARE(bar->value(), bar->maximum()); // following the end

        // Someone scrolls up and selects a line to copy while the run goes on.
        bar->setValue(10);
        status.re1->Select({12, 0}, {12, status.re1->LineAt(12).size()});
        const QString selected = status.re1->SelectedText();
        QVERIFY(selected.endsWith("\tline 12"));
        const int before = bar->maximum();
        for (int i = 0; i < 50; ++i)
            status.form().AddLine("more", 0x00FF00);
        QTRY_COMPARE(bar->maximum(), before + 50);
        QCOMPARE(status.re1->SelectedText(), selected);
        QCOMPARE(bar->value(), 10);
    }

    // A run reports hundreds of lines between two turns of the event loop: they are in the
    // log at once, in order, and the view catches up at the turn, following the last line.
    void linesBetweenTwoTurnsAreFollowedAtTheTurn() {
        StatusWindow status;
        status.show();
        QVERIFY(QTest::qWaitForWindowExposed(&status));
        LogView* log = status.re1;
        for (int i = 0; i < 3000; ++i)
            status.form().AddLine("line " + std::to_string(i), i % 2 ? 0x0000FF : 0x00FF00);
        QCOMPARE(log->LineCount(), 3000);
        QVERIFY(log->LineText(2999).endsWith("\tline 2999"));
        QVERIFY(log->LineText(0).endsWith("\tline 0"));
        QVERIFY(log->Following());

        QScrollBar* bar = log->verticalScrollBar();
        QTRY_VERIFY(bar->maximum() > 2900);
        QCOMPARE(bar->value(), bar->maximum());
        const int bottom = log->viewport()->height() / log->LineHeight() * log->LineHeight() - 2;
        QCOMPARE(log->PositionAt(QPoint(2, bottom)).line, size_t(2999));
        QCOMPARE(log->LineColor(2998), QColor(0, 255, 0));
        QCOMPARE(log->LineColor(2999), QColor(255, 0, 0));
    }

    // Someone scrolls up while lines wait for the turn: the turn does not take them back down,
    // and the lines after it do not follow either.
    void aViewMovedBeforeTheTurnStaysWhereTheReaderPutIt() {
        StatusWindow status;
        status.show();
        QVERIFY(QTest::qWaitForWindowExposed(&status));
        for (int i = 0; i < 200; ++i)
            status.form().AddLine("line " + std::to_string(i), 0x00FF00);
        QScrollBar* bar = status.re1->verticalScrollBar();
        QTRY_VERIFY(bar->maximum() > 150);
        QCOMPARE(bar->value(), bar->maximum());

        const int before = bar->maximum();
        for (int i = 0; i < 100; ++i)
            status.form().AddLine("more " + std::to_string(i), 0x00FF00);
        bar->setValue(3);
        QTRY_COMPARE(bar->maximum(), before + 100);
        QCOMPARE(bar->value(), 3);
        status.form().AddLine("after", 0x00FF00);
        QTRY_COMPARE(bar->maximum(), before + 101);
        QCOMPARE(bar->value(), 3);
    }

    // A run passes the event loop every few milliseconds with new lines each time. The scroll
    // range follows them once a frame, not at each pass: a scroll bar repaints whenever its
    // range changes, which cost the window as much as its log.
    void theScrollRangeFollowsARunOnceAFrame() {
        StatusWindow status;
        status.show();
        QVERIFY(QTest::qWaitForWindowExposed(&status));
        QScrollBar* bar = status.re1->verticalScrollBar();
        int rangeChanges = 0;
        connect(bar, &QScrollBar::rangeChanged, [&] { ++rangeChanges; });
        QElapsedTimer run;
        run.start();
        int lines = 0;
        while (run.elapsed() < 300) {
            for (int i = 0; i < 5; ++i)
                status.form().AddLine("line " + std::to_string(lines++), 0x00FF00);
            QApplication::processEvents();
            QTest::qSleep(1);
        }
        const qint64 elapsed = run.elapsed();
        QVERIFY2(rangeChanges <= 2 + elapsed / 33,
                 qPrintable(QString("%1 changes in %2 ms").arg(rangeChanges).arg(elapsed)));
        QTRY_COMPARE(bar->value(),
                     lines - status.re1->viewport()->height() / status.re1->LineHeight());
    }

    // A new run clears the window while the last run's lines still wait; the window may also
    // go away before the turn comes.
    void clearingOrClosingWhileLinesWait() {
        StatusWindow status;
        status.show();
        status.form().AddLine("old run", 0x00FF00);
        status.re1->SelectAll();
        status.form().ClearLines();
        QVERIFY(!status.re1->HasSelection());
        status.form().AddLine("Starting restore", 0x00FF00);
        QCOMPARE(status.re1->LineCount(), 1);
        QApplication::processEvents();
        QCOMPARE(status.re1->LineCount(), 1);
        QVERIFY(status.re1->LineText(0).endsWith("\tStarting restore"));
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
        status.form().AddLine(std::string(600, 'x') + "end", 0x00FF00);
        LogView* log = status.re1;
        QScrollBar* bar = log->horizontalScrollBar();
        QTRY_VERIFY(bar->maximum() > 0);
        bar->setValue(bar->maximum());
        QCOMPARE(bar->value(), bar->maximum());
        // Scrolled right to the end, the line's end is in view: the range covers the line.
        const LogPosition end = log->PositionAt(QPoint(log->viewport()->width() - 1, 2));
        QCOMPARE(end.column, log->LineAt(0).size());
        QVERIFY(log->PositionAt(QPoint(log->viewport()->width() - 60, 2)).column <
                log->LineAt(0).size());

        const QString before = log->LineText(0);
        log->setFocus();
        QTest::keyClicks(log, "typed");
        QTest::keyClick(log, Qt::Key_Backspace);
        QTest::keyClick(log, Qt::Key_Return);
        QCOMPARE(log->LineCount(), 1);
        QCOMPARE(log->LineText(0), before);
    }

    // The log saved as rich text: a paragraph a line in its colour, the text never taken for
    // markup.
    void savesRichLinesWithTheirColours() {
        StatusWindow status;
        status.form().AddLine("<b>one</b> & two", 0x00FF00);
        status.form().AddLine("red", 0x0000FF);
        kestrune::testing::TempFolder scratch;
        auto file = scratch / "status.htm";
        status.form().SaveLinesToFile(file);
        std::ifstream in(file, std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        const QString html = QString::fromStdString(bytes.str());
        QVERIFY(html.contains("&lt;b&gt;one&lt;/b&gt; &amp; two</p>"));
        QVERIFY(!html.contains("<b>"));
        QCOMPARE(html.count("<p "), 2);
        QVERIFY(html.contains("color:#ff0000;\">"));
        // A browser shows what the window showed.
        QTextDocument shown;
        shown.setHtml(html);
        QCOMPARE(shown.blockCount(), 2);
        QVERIFY(shown.firstBlock().text().endsWith("\t<b>one</b> & two"));
        QCOMPARE(shown.lastBlock().begin().fragment().charFormat().foreground().color(),
                 QColor(255, 0, 0));
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
