#include "gui/qt/log_view.h"

#include <QApplication>
#include <QClipboard>
#include <QScrollBar>
#include <QTest>

using namespace kestrune;

class LogViewTest : public QObject {
    Q_OBJECT

    // A shown view of `count` lines "line N", laid out.
    static void Fill(LogView& view, int count) {
        view.resize(300, 200);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        for (int i = 0; i < count; ++i)
            view.AppendLine("line " + QString::number(i), Qt::green);
        QApplication::processEvents();
    }
    // The middle of a line of the viewport, at x.
    static QPoint At(const LogView& view, int row, int x) {
        return QPoint(x, row * view.LineHeight() + view.LineHeight() / 2);
    }

  private slots:
    void aDragSelectsAcrossLinesAndTheKeysCopyIt() {
        LogView view;
        Fill(view, 10);
        QWidget* surface = view.viewport();
        QTest::mousePress(surface, Qt::LeftButton, {}, At(view, 1, 2));
        QTest::mouseMove(surface, At(view, 3, 2));
        QTest::mouseRelease(surface, Qt::LeftButton, {}, At(view, 3, 2));
        QVERIFY(view.HasSelection());
        QCOMPARE(view.SelectedText(), QString("line 1\nline 2\n"));

        QApplication::clipboard()->clear();
        view.setFocus();
        QTest::keyClick(&view, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), QString("line 1\nline 2\n"));

        // Shift and a click extend the selection from where it began.
        QTest::mouseClick(surface, Qt::LeftButton, Qt::ShiftModifier, At(view, 4, 1000));
        QCOMPARE(view.SelectedText(), QString("line 1\nline 2\nline 3\nline 4"));
        // A click alone selects nothing.
        QTest::mouseClick(surface, Qt::LeftButton, {}, At(view, 2, 2));
        QVERIFY(!view.HasSelection());
        QCOMPARE(view.SelectedText(), QString());
    }

    void aDoubleClickSelectsAWordAndTheKeysSelectAll() {
        LogView view;
        view.resize(300, 200);
        view.show();
        view.AppendLine("Restoring \\\\example.com\\Public", Qt::yellow);
        view.AppendLine("Restored", Qt::green);
        QApplication::processEvents();
        const int x = view.fontMetrics().horizontalAdvance("Restoring \\\\exa") + 4;
        QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, At(view, 0, x));
        QCOMPARE(view.SelectedText(), QString("example"));

        view.setFocus();
        QTest::keyClick(&view, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(view.SelectedText(), QString("Restoring \\\\example.com\\Public\nRestored"));
        // A selection backwards reads the same.
        view.Select({1, 4}, {0, 10});
        QCOMPARE(view.SelectedText(), QString("\\\\example.com\\Public\nRest"));
    }

    // The keys that move through a text move the view; none of them changes the log.
    void theKeysScrollTheView() {
        LogView view;
        Fill(view, 500);
        QScrollBar* bar = view.verticalScrollBar();
        QCOMPARE(bar->value(), 0); // nobody asked it to follow
        view.setFocus();
        QTest::keyClick(&view, Qt::Key_PageDown);
        QCOMPARE(bar->value(), bar->pageStep());
        QTest::keyClick(&view, Qt::Key_Down);
        QCOMPARE(bar->value(), bar->pageStep() + 1);
        QTest::keyClick(&view, Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(bar->value(), bar->maximum());
        QCOMPARE(bar->maximum(), 500 - bar->pageStep());
        QTest::keyClick(&view, Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(bar->value(), 0);
        QCOMPARE(view.LineCount(), 500);
    }

    // A view that follows keeps following when it is made smaller; the lines past the end of
    // a short log are places at the end of its last line.
    void resizingAndPlacesPastTheEnd() {
        LogView view;
        Fill(view, 100);
        view.ScrollToEnd();
        QScrollBar* bar = view.verticalScrollBar();
        QCOMPARE(bar->value(), bar->maximum());
        view.resize(300, 100);
        QApplication::processEvents();
        QCOMPARE(bar->value(), bar->maximum());
        QVERIFY(view.Following());

        LogView few;
        Fill(few, 2);
        QCOMPARE(few.PositionAt(At(few, 5, 2)), (LogPosition{1, 6}));
        QCOMPARE(few.PositionAt(QPoint(2, -5)), (LogPosition{0, 0}));
        LogView none;
        Fill(none, 0);
        QCOMPARE(none.PositionAt(At(none, 1, 2)), (LogPosition{0, 0}));
        none.SelectAll();
        QVERIFY(!none.HasSelection());
    }
};

QTEST_MAIN(LogViewTest)
#include "log_view_test.moc"
