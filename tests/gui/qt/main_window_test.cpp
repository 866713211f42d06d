#include "base/file_io.h"
#include "base/ini_file.h"
#include "gui/qt/main_window.h"
#include "platform/platform.h"
#include "support/private_settings.h"
#include "support/temp_folder.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>

using namespace kestrune;

class MainWindowTest : public QObject {
    Q_OBJECT
    // The user's own settings folder is never read or written by a test.
    kestrune::testing::PrivateSettings settings;

  private:
    kestrune::testing::TempFolder scratch;
    std::filesystem::path domainFile;

    static QStringList Items(const QListWidget* list) {
        QStringList out;
        for (int i = 0; i < list->count(); ++i)
            out << list->item(i)->text();
        return out;
    }
    static QList<int> SelectedRows(const QListWidget* list) {
        QList<int> rows;
        for (int i = 0; i < list->count(); ++i)
            if (list->item(i)->isSelected()) rows << i;
        return rows;
    }
    static void LeaveDomainBox(MainWindow& form) {
        form.cbDomains->setFocus();
        QTRY_VERIFY(form.cbDomains->hasFocus());
        QTest::keyClick(form.cbDomains, Qt::Key_Tab);
        QTRY_VERIFY(!form.cbDomains->hasFocus());
    }

  private slots:
    void initTestCase() {
        domainFile = scratch / "domain.ldif";
        std::filesystem::copy_file(std::string(KESTRUNE_SAMPLES) + "/example.ldif", domainFile,
                                   std::filesystem::copy_options::overwrite_existing);
        std::string error;
        Expected<void> installed = InstallSimulatedDomain(domainFile);
        QVERIFY2(installed, installed.error().text.c_str());
    }
    void cleanupTestCase() { UninstallPlatform(); }

    void leavingTheDomainBoxListsItsNamespacesSortedWithTheFirstSelected() {
        MainWindow form;
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        form.cbDomains->setEditText("DC=example,DC=com");
        LeaveDomainBox(form);
        QCOMPARE(Items(form.ListBox1),
                 QStringList({"Archive", "Legacy", "Projets", "Public", "Users"}));
        QCOMPARE(SelectedRows(form.ListBox1), QList<int>{0});

        // Select more, then leave the box unchanged: listed again, only the first selected.
        form.ListBox1->item(2)->setSelected(true);
        form.ListBox1->item(3)->setSelected(true);
        LeaveDomainBox(form);
        QCOMPARE(form.ListBox1->count(), 5);
        QCOMPARE(SelectedRows(form.ListBox1), QList<int>{0});

        // The dotted form names the same domain; an unknown domain lists nothing.
        form.cbDomains->setEditText("sales.example.com");
        LeaveDomainBox(form);
        QCOMPARE(Items(form.ListBox1), QStringList({"Sales"}));
        form.cbDomains->setEditText("nowhere.test");
        LeaveDomainBox(form);
        QCOMPARE(form.ListBox1->count(), 0);
        form.close();
    }

    void onlyARealLeaveRefreshesTheList() {
        MainWindow form;
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        form.cbDomains->setEditText("example.com");
        for (Qt::FocusReason reason : {Qt::PopupFocusReason, Qt::ActiveWindowFocusReason}) {
            QFocusEvent out(QEvent::FocusOut, reason);
            QApplication::sendEvent(form.cbDomains, &out);
            QCOMPARE(form.ListBox1->count(), 0);
        }
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(form.cbDomains, &out);
        QCOMPARE(form.ListBox1->count(), 5);
        form.close();
    }

    void closeWritesTheOutputFolderToTheSettingsFile() {
        MainWindow form;
        std::filesystem::path ini = form.form().SettingsFile();
        std::filesystem::remove(ini);
        QVERIFY(WriteIniString(ini, "General", "Outputpath", "/srv/backups/"));
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QTRY_COMPARE(form.ePath->text(), QString("/srv/backups/")); // read on the first tick
        QVERIFY(!form.Timer1->isActive());

        form.ePath->setText("/tmp/kestrune backups/");
        QTest::mouseClick(form.Bitbtn2, Qt::LeftButton);
        QVERIFY(!form.isVisible());
        QCOMPARE(ReadIniString(ini, "General", "Outputpath", "?"), "/tmp/kestrune backups/");
        std::filesystem::remove(ini);
    }

    void cancelCaptionOnlyRequestsCancellation() {
        MainWindow form;
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        bool abort = false;
        form.form().OXLDFS1DFSEnum(&form.form().OXLDFS1, "x", abort);
        QVERIFY(!abort);
        form.Bitbtn2->setText("Cancel");
        QTest::mouseClick(form.Bitbtn2, Qt::LeftButton);
        QVERIFY(form.isVisible()); // not closed
        form.form().OXLDFS1DFSEnum(&form.form().OXLDFS1, "y", abort);
        QVERIFY(abort);
        form.Bitbtn2->setText("close"); // captions compare exactly
        QTest::mouseClick(form.Bitbtn2, Qt::LeftButton);
        QVERIFY(form.isVisible());
        form.Bitbtn2->setText("Close");
        QTest::mouseClick(form.Bitbtn2, Qt::LeftButton);
        QVERIFY(!form.isVisible());
        std::filesystem::remove(form.form().SettingsFile());
    }

    // Every control can be seen and used: inside the window, clear of the others, its caption
    // not cut off; the list takes several namespaces at once; Tab goes through them in order.
    void everyControlIsVisibleWholeAndReachedInTabOrder() {
        MainWindow form;
        QCOMPARE(form.windowTitle(), QString("Kestrune"));
        QCOMPARE(form.Bitbtn2->text(), QString("Close"));
        QVERIFY(!form.Timer1->isActive());
        QCOMPARE(form.ListBox1->selectionMode(), QAbstractItemView::ExtendedSelection);
        QVERIFY(form.form().AppFolder().ends_with('/'));
        QWidget* controls[] = {form.Label4,  form.cbDomains, form.Label1,  form.ListBox1,
                               form.Label2,  form.ePrefix,   form.Label3,  form.ePath,
                               form.BitBtn1, form.BitBtn3,   form.Bitbtn2, form.Checkbox1};
        for (QWidget* control : controls) {
            QVERIFY2(form.rect().contains(control->geometry()), qPrintable(control->objectName()));
            for (QWidget* other : controls)
                QVERIFY2(control == other || !control->geometry().intersects(other->geometry()),
                         qPrintable(control->objectName() + " and " + other->objectName()));
        }
        for (QPushButton* button : {form.BitBtn1, form.BitBtn3, form.Bitbtn2})
            QVERIFY2(button->fontMetrics().horizontalAdvance(button->text()) < button->width(),
                     qPrintable(button->text()));

        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QWidget* expected[] = {form.cbDomains, form.ListBox1, form.ePrefix, form.ePath,
                               form.BitBtn1,   form.BitBtn3,  form.Bitbtn2, form.Checkbox1};
        form.cbDomains->setFocus();
        for (size_t i = 1; i < std::size(expected); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget* focus = QApplication::focusWidget();
            QVERIFY2(focus == expected[i] || expected[i]->isAncestorOf(focus),
                     qPrintable(expected[i]->objectName()));
        }
        form.close();
        std::filesystem::remove(form.form().SettingsFile());
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
