#include "base/file_io.h"
#include "base/ini_file.h"
#include "gui/qt/main_window.h"
#include "platform/platform.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>

using namespace kestrune;

class MainWindowTest : public QObject {
    Q_OBJECT

  private:
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
        domainFile = std::filesystem::temp_directory_path() / "kestrune_gui_domain.ldif";
        std::filesystem::copy_file(std::string(KESTRUNE_SAMPLES) + "/example.ldif", domainFile,
                                   std::filesystem::copy_options::overwrite_existing);
        std::string error;
        Expected<void> installed = InstallSimulatedDomain(domainFile);
        QVERIFY2(installed, installed.error().text.c_str());
    }
    void cleanupTestCase() {
        UninstallPlatform();
        std::filesystem::remove(domainFile);
    }

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
        WriteIniString(ini, "General", "Outputpath", "/srv/backups/");
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

    void layoutFollowsTheDesign() {
        MainWindow form;
        QCOMPARE(form.windowTitle(), QString("Kestrune"));
        QCOMPARE(form.size(), QSize(438, 230));
        QCOMPARE(form.ListBox1->geometry(), QRect(8, 72, 201, 153));
        QCOMPARE(form.Bitbtn2->geometry(), QRect(344, 192, 75, 25));
        QCOMPARE(form.Bitbtn2->text(), QString("Close"));
        QVERIFY(!form.Timer1->isActive());
        QCOMPARE(form.Timer1->interval(), 200);
        QCOMPARE(form.ListBox1->selectionMode(), QAbstractItemView::ExtendedSelection);
        QCOMPARE(form.form().OXLDFS1.Version(), std::string("1.2"));
        QVERIFY(form.form().AppFolder().ends_with('/'));

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
