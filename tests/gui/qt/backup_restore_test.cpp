#include "backup/backup_history.h"
#include "base/file_io.h"
#include "gui/forms/message_box.h"
#include "gui/qt/log_view.h"
#include "gui/qt/program_windows.h"
#include "modal.h"
#include "platform/memory_store/memory_store.h"
#include "platform/platform.h"
#include "support/private_settings.h"
#include "support/temp_folder.h"
#include "support/test_files.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFrame>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <filesystem>
#include <unistd.h>

using namespace kestrune;
using kestrune::testing::TempFolder;
using kestrune::testing::WhenModal;
namespace fs = std::filesystem;

class BackupRestoreTest : public QObject {
    Q_OBJECT
    // The user's own settings folder is never read or written by a test.
    kestrune::testing::PrivateSettings settings;

  private:
    TempFolder work;
    QString Folder(const char* name) const {
        return QString::fromStdString((work / name).string());
    }
    // Empties the scratch folder and puts a copy of the sample forest in it as domain.ldif.
    void ResetWork() {
        const std::string left = work.Clear();
        QVERIFY2(left.empty(), left.c_str());
        std::filesystem::copy_file(std::string(KESTRUNE_SAMPLES) + "/example.ldif",
                                   work / "domain.ldif");
    }
    std::shared_ptr<store::MemoryStore> directory;
    std::unique_ptr<ProgramWindows> w;
    std::vector<MessageBoxShown> boxes; // every box the windows showed, answered at once
    std::unique_ptr<ScopedMessageBoxHook> hook;

    // The main window on example.com with every namespace selected.
    void ListExample() {
        w->Form1->cbDomains->setEditText("example.com");
        w->Form1->form().cbDomainsExit();
        w->Form1->ListBox1->selectAll();
    }
    void OpenAndRestore(const fs::path& file, const std::function<void(RestoreWindow*)>& inside) {
        // The dialog is the one the last run used: a row of its file list still selected would
        // be taken before the name in the box, and on a busy machine the list may not have
        // caught up with the name yet. The name is the only choice, and is accepted as OK does.
        WhenModal<QFileDialog>([file](QFileDialog* dialog) {
            for (auto* view : dialog->findChildren<QAbstractItemView*>())
                if (view->selectionModel()) view->selectionModel()->clearSelection();
            auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit");
            QVERIFY(edit);
            edit->setText(QString::fromStdString(file.string()));
            static_cast<QDialog*>(dialog)->accept();
        });
        WhenModal<RestoreWindow>([inside](RestoreWindow* restore) {
            inside(restore);
            QTest::mouseClick(restore->CloseButton, Qt::LeftButton);
        });
        w->Form1->form().BitBtn3Click();
    }
    // The status line of a backup file restored without its properties file.
    QString MissingProperties(const fs::path& backupFile) {
        return QString::fromStdString("Properties not applied: the properties file \"" +
                                      FullFileName(PropertiesFileOf(backupFile)) +
                                      "\" is missing; links are restored with the platform's "
                                      "defaults");
    }
    QStringList StatusMessages() {
        QStringList out;
        const LogView* log = w->fStatus->re1;
        for (qsizetype i = 0; i < log->LineCount(); ++i)
            out << log->LineText(i).mid(log->LineText(i).indexOf('\t') + 1);
        return out;
    }

  private slots:
    void init() {
        ResetWork();
        std::string error;
        auto opened = store::MemoryStore::Open(work / "domain.ldif");
        error = opened ? std::string() : opened.error().text;
        directory = opened ? std::move(*opened) : nullptr;
        QVERIFY2(directory, error.c_str());
        InstallStorePlatform(directory);
        boxes.clear();
        hook = std::make_unique<ScopedMessageBoxHook>(
            [this](const MessageBoxShown& box) { boxes.push_back(box); });
        w = CreateProgramWindows();
        w->Form1->show();
        QVERIFY(QTest::qWaitForWindowExposed(w->Form1.get()));
        QTRY_VERIFY(!w->Form1->Timer1->isActive());
    }
    void cleanup() {
        fs::remove(w->Form1->form().SettingsFile());
        w.reset();
        hook.reset();
        UninstallPlatform();
        directory.reset();
        const std::string left = work.Clear();
        QVERIFY2(left.empty(), left.c_str());
    }

    void backupWritesOneSortedFilePerNamespace() {
        ListExample();
        w->Form1->ePath->setText(Folder("out/deeper")); // missing, without a trailing separator
        w->Form1->form().BitBtn1Click();
        QCOMPARE(w->Form1->ePath->text(), Folder("out/deeper") + "/");
        QCOMPARE(TempFolder::FilesIn(work / "out/deeper"),
                 (std::vector<std::string>{
                     "Archive.properties.xml", "Archive.txt", "Legacy.properties.xml", "Legacy.txt",
                     "Projets.properties.xml", "Projets.txt", "Public.properties.xml", "Public.txt",
                     "Users.properties.xml", "Users.txt"}));
        QCOMPARE(
            testing::ReadTestFile(work / "out/deeper/Public.txt"),
            std::string("dfscmd /add \"\\\\example.com\\Public\" \"\\\\DC2\\Public\" \"Company "
                        "public share\"\r\n"
                        "dfscmd /add \"\\\\example.com\\Public\\Software\" \"\\\\FS2\\Software\" "
                        "\"Installers, \"current\" and older\"\r\n"
                        "dfscmd /add \"\\\\example.com\\Public\\Software\" "
                        "\"\\\\FS3\\Software\\Mirror\" \"Installers, \"current\" and older\"\r\n"
                        "dfscmd /map \"\\\\example.com\\Public\" \"\\\\DC1\\Public\" \"Company "
                        "public share\"\r\n"
                        "dfscmd /map \"\\\\example.com\\Public\\Data\\Projects\" "
                        "\"\\\\FS1\\Projects\" \"\"\r\n"
                        "dfscmd /map \"\\\\example.com\\Public\\Data\\Templates\" "
                        "\"\\\\FS2\\Templates\" \"\"\r\n"
                        "dfscmd /map \"\\\\example.com\\Public\\Policies\" \"\\\\FS1\\Policies\" "
                        "\"Read \"before\" you sign\"\r\n"
                        "dfscmd /map \"\\\\example.com\\Public\\Software\" \"\\\\FS1\\Software\" "
                        "\"Installers, \"current\" and older\"\r\n"));
        QCOMPARE(w->Form1->Bitbtn2->text(), QString("Close"));
        QVERIFY(w->Form1->BitBtn1->isEnabled() && w->Form1->ListBox1->isEnabled() &&
                w->Form1->ePath->isEnabled());
        QVERIFY(w->Form1->isVisible()); // no arguments: the window stays

        // A prefix, a namespace that cannot be read, and a second run over the first: the
        // unreadable one keeps its old file and is named in one error box at the end.
        testing::WriteTestFile(work / "out/deeper/pfxPublic.txt", "stale");
        testing::WriteTestFile(work / "out/deeper/pfxGhost.txt", "last night's");
        w->Form1->ePrefix->setText("pfx");
        w->Form1->ListBox1->addItem("Ghost");
        w->Form1->ListBox1->selectAll();
        w->Form1->form().BitBtn1Click();
        QCOMPARE(testing::ReadTestFile(work / "out/deeper/pfxPublic.txt"),
                 testing::ReadTestFile(work / "out/deeper/Public.txt"));
        QCOMPARE(testing::ReadTestFile(work / "out/deeper/pfxGhost.txt"),
                 std::string("last night's"));
        QCOMPARE(boxes.size(), size_t(1));
        QCOMPARE(boxes[0].kind, MessageKind::Error);
        QVERIFY2(boxes[0].text.find("  Ghost: ") != std::string::npos &&
                     boxes[0].text.find("unchanged") != std::string::npos,
                 boxes[0].text.c_str());
    }

    void emptyFolderDoesNothingAndNoSelectionWritesNothing() {
        ListExample();
        w->Form1->ePath->clear();
        w->Form1->form().BitBtn1Click();
        QCOMPARE(w->Form1->ePath->text(), QString());
        w->Form1->ListBox1->clearSelection();
        w->Form1->ePath->setText(Folder("none"));
        w->Form1->form().BitBtn1Click();
        QVERIFY(TempFolder::FilesIn(work / "none").empty());
        QCOMPARE(w->Form1->Bitbtn2->text(), QString("Close"));
    }

    void aHostileNamespaceNameNeverWritesOutsideTheFolder() {
        ListExample();
        w->Form1->ListBox1->clearSelection();
        w->Form1->ListBox1->insertItem(0, "../evil");
        w->Form1->ListBox1->item(0)->setSelected(true);
        w->Form1->ePath->setText(Folder("out/"));
        w->Form1->form().BitBtn1Click();
        QCOMPARE(boxes.size(), size_t(1));
        QVERIFY2(QString::fromStdString(boxes[0].text).contains(Folder("out/") + "../evil.txt"),
                 boxes[0].text.c_str());
        QVERIFY(!fs::exists(work / "evil.txt"));
        QVERIFY(TempFolder::FilesIn(work / "out").empty());
    }

    void theStatusWindowStaysUsableDuringARestoreAndTheMainWindowEndsTheProgram() {
        testing::WriteTestFile(
            work / "Public.txt",
            "dfscmd /map \"\\\\example.com\\Public\\New\" \"\\\\FS1\\New\" \"\"\r\n");
        bool checked = false;
        OpenAndRestore(work / "Public.txt", [&](RestoreWindow* restore) {
            QTimer::singleShot(0, restore, [&, restore] {
                // Modal to the main window only, and the progress is not hidden under it.
                QCOMPARE(restore->windowModality(), Qt::WindowModal);
                QCOMPARE(restore->parentWidget(), w->Form1.get());
                QVERIFY(w->fStatus->isVisible() && !w->fStatus->parentWidget());
                // Not hidden exactly under the restore window (both start centred); beside
                // it where the screen has room.
                QVERIFY(w->fStatus->pos() != restore->pos());
                QRect room = QGuiApplication::primaryScreen()->availableGeometry();
                if (room.width() >=
                    restore->frameGeometry().width() + w->fStatus->frameGeometry().width())
                    QVERIFY(!w->fStatus->frameGeometry().intersects(restore->frameGeometry()));
                checked = true;
            });
            QTest::mouseClick(restore->RestoreButton, Qt::LeftButton);
        });
        QVERIFY(checked);

        // Closing the main window ends the program's event loop although the Status window is
        // still open.
        QVERIFY(w->fStatus->isVisible());
        QTimer guard;
        guard.setSingleShot(true);
        bool ended = true;
        connect(&guard, &QTimer::timeout, [&] {
            ended = false;
            QCoreApplication::quit();
        });
        guard.start(5000);
        QTimer::singleShot(0, w->Form1.get(), [&] { w->Form1->close(); });
        QApplication::exec();
        guard.stop();
        QVERIFY(ended);
    }

    void afterARunTheFocusIsWhereItWas() {
        w->Form1->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w->Form1.get()));
        w->Form1->BitBtn1->setFocus(); // the domain box loses the focus first, then the list
        ListExample();
        w->Form1->ePath->setText(Folder("out"));
        QTest::keyClick(w->Form1->BitBtn1, Qt::Key_Space);
        QCOMPARE(TempFolder::FilesIn(work / "out").size(), size_t(10));
        // Not on Close, where the next Space would end the program.
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w->Form1->BitBtn1));
    }

    void cancellingTheOpenDialogChangesNothing() {
        w->fRestore->form().LoadLines({"kept"});
        WhenModal<QFileDialog>([](QFileDialog* dialog) {
            QCOMPARE(dialog->windowTitle(), QString("Restore"));
            QCOMPARE(dialog->nameFilters(),
                     QStringList({"Backups and dfsutil exports (*.txt *.xml)", "All files (*)"}));
            QCOMPARE(dialog->defaultSuffix(), QString("txt"));
            dialog->reject();
        });
        w->Form1->form().BitBtn3Click();
        QVERIFY(!w->fRestore->isVisible());
        QCOMPARE(w->fRestore->CheckListBox1->count(), 1);
        QVERIFY(w->Form1->form().RestoreFileName().empty());
    }

    // Back up, delete every link, restore every file, back up again: the same files.
    void roundTripGivesByteIdenticalBackups() {
        ListExample();
        w->Form1->ePath->setText(Folder("first"));
        w->Form1->form().BitBtn1Click();

        std::vector<store::Entry> links;
        QVERIFY(store::SearchAll(*directory,
                                 {"CN=Dfs-Configuration,CN=System,DC=example,DC=com",
                                  store::Scope::Subtree,
                                  "(objectClass=msDFS-Linkv2)",
                                  {"1.1"},
                                  0},
                                 links)
                    .ok());
        QCOMPARE(int(links.size()), 8);
        for (const auto& link : links)
            QVERIFY(directory->Delete(link.dn).ok());

        for (const std::string& name : TempFolder::FilesIn(work / "first")) {
            TStringList lines;
            lines.LoadFromFile(work / "first" / name);
            OpenAndRestore(work / "first" / name, [&](RestoreWindow* restore) {
                QCOMPARE(restore->CheckListBox1->count(), lines.Count());
                for (int i = 0; i < restore->CheckListBox1->count(); ++i)
                    QCOMPARE(restore->CheckListBox1->item(i)->checkState(), Qt::Checked);
                QTest::mouseClick(restore->RestoreButton, Qt::LeftButton);
            });
            QVERIFY(fs::exists(work / "first" / (name + "_restore.txt")));
        }
        QStringList last = StatusMessages();
        QCOMPARE(last.first(), QString("Starting restore"));
        QCOMPARE(last.last(), QString("** Complete **"));

        w->Form1->ePath->setText(Folder("second"));
        w->Form1->form().BitBtn1Click();
        for (const std::string& name : TempFolder::FilesIn(work / "second"))
            QCOMPARE(testing::ReadTestFile(work / "second" / name),
                     testing::ReadTestFile(work / "first" / name));
        QCOMPARE(TempFolder::FilesIn(work / "second").size(), size_t(10));
    }

    void restoreReportsEachLineAndCanBeCancelled() {
        testing::WriteTestFile(
            work / "Public.txt",
            "dfscmd /map \"\\\\example.com\\Public\\Software\" \"\\\\FS1\\Software\" \"\"\r\n"
            "dfscmd /map \"\\\\example.com\\Public\\New\" \"\\\\FS1\\New\" \"fresh\"\r\n"
            "\r\n"
            "dfscmd /map \"\\\\example.com\\Public\\Later\" \"\\\\FS1\\Later\" \"\"\r\n");
        OpenAndRestore(work / "Public.txt", [&](RestoreWindow* restore) {
            restore->CheckListBox1->item(3)->setCheckState(Qt::Unchecked);
            QTest::mouseClick(restore->RestoreButton, Qt::LeftButton);
            QCOMPARE(restore->CloseButton->text(), QString("Close"));
        });
        QCOMPARE(StatusMessages(),
                 QStringList({"Starting restore", MissingProperties(work / "Public.txt"),
                              "Restoring \\\\example.com\\Public\\Software to \\\\FS1\\Software  ",
                              "Already there",
                              "Restoring \\\\example.com\\Public\\New to \\\\FS1\\New  fresh",
                              "Restored", "Skipped, not a backup line: ", "", "** Complete **"}));
        QString log =
            QString::fromStdString(testing::ReadTestFile(work / "Public.txt_restore.txt"));
        QCOMPARE(log.count("\r\n"), 9);
        QVERIFY(log.endsWith("\t** Complete **\r\n"));

        // Cancel during a run: the line in progress finishes, nothing after it runs, and Esc
        // while running does not hide the window.
        OpenAndRestore(work / "Public.txt", [&](RestoreWindow* restore) {
            QTimer::singleShot(0, restore, [restore] {
                QTest::keyClick(restore, Qt::Key_Escape);
                QVERIFY(restore->isVisible());
            });
            QTest::mouseClick(restore->RestoreButton, Qt::LeftButton);
        });
        // Start, the missing properties file, one line and its outcome, "", complete.
        QCOMPARE(StatusMessages().size(), 6);

        // Nothing checked.
        OpenAndRestore(work / "Public.txt", [&](RestoreWindow* restore) {
            QTest::mouseClick(restore->DeselectAllButton, Qt::LeftButton);
            QTest::mouseClick(restore->RestoreButton, Qt::LeftButton);
        });
        QCOMPARE(StatusMessages(),
                 QStringList({"Starting restore", MissingProperties(work / "Public.txt"), "",
                              "** Complete **"}));
    }

    // The box below the buttons shows the fields of another place between the list and the
    // buttons, after the box in the tab order; unchecked, the window is as it always was.
    // KESTRUNE_SCREENSHOTS names a folder for pictures of both.
    void anotherPlaceTakesItsRowFromTheList() {
        testing::WriteTestFile(
            work / "Public.txt",
            "dfscmd /map \"\\\\example.com\\Public\\New\" \"\\\\FS1\\New\" \"\"\r\n");
        const QString shots = qEnvironmentVariable("KESTRUNE_SCREENSHOTS");
        OpenAndRestore(work / "Public.txt", [&](RestoreWindow* restore) {
            QVERIFY(QTest::qWaitForWindowActive(restore));
            const QSize size = restore->size();
            const QRect list = restore->CheckListBox1->geometry();
            const QRect buttons = restore->ButtonPanel->geometry();
            QVERIFY(restore->pnlAnotherPlace->isHidden());
            // The list fills the window down to the buttons' row, which spans it at the bottom.
            QCOMPARE(list.topLeft(), QPoint(0, 0));
            QCOMPARE(list.width(), size.width());
            QCOMPARE(list.bottom() + 1, buttons.top());
            QCOMPARE(buttons.bottom() + 1, size.height());
            QCOMPARE(buttons.width(), size.width());
            QCOMPARE(restore->chkAnotherPlace->parentWidget(), restore->ButtonPanel);
            QVERIFY(
                QRect(QPoint(0, 0), buttons.size()).contains(restore->chkAnotherPlace->geometry()));
            QVERIFY(!restore->chkAnotherPlace->isChecked());
            if (!shots.isEmpty()) restore->grab().save(shots + "/restore-window-qt.png");
            restore->DeselectAllButton->setFocus();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), restore->chkAnotherPlace);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab); // the hidden fields
            QCOMPARE(QApplication::focusWidget(), restore->CheckListBox1);

            restore->chkAnotherPlace->setFocus();
            QTest::keyClick(restore->chkAnotherPlace, Qt::Key_Space);
            // The fields' row comes out of the list; the window and the buttons stay as they were.
            QTRY_VERIFY(restore->CheckListBox1->geometry().height() < list.height());
            const QRect row = restore->pnlAnotherPlace->geometry();
            QCOMPARE(restore->CheckListBox1->geometry().bottom() + 1, row.top());
            QCOMPARE(restore->CheckListBox1->geometry().height() + row.height(), list.height());
            QCOMPARE(row.bottom() + 1, buttons.top());
            QCOMPARE(row.width(), size.width());
            QCOMPARE(restore->ButtonPanel->geometry(), buttons);
            QCOMPARE(restore->size(), size);
            // Both fields inside the row, side by side, the second to the row's right margin.
            const QRect into = restore->eRestoreInto->geometry();
            const QRect servers = restore->eServerNames->geometry();
            QVERIFY(QRect(QPoint(0, 0), row.size()).contains(into));
            QVERIFY(QRect(QPoint(0, 0), row.size()).contains(servers));
            QVERIFY(servers.left() > into.right());
            QTest::keyClick(restore->chkAnotherPlace, Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), restore->eRestoreInto);
            QTest::keyClicks(restore->eRestoreInto, "\\\\example.com\\Copy");
            QTest::keyClick(restore->eRestoreInto, Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), restore->eServerNames);
            QTest::keyClicks(restore->eServerNames, "FS1");
            if (!shots.isEmpty())
                restore->grab().save(shots + "/restore-window-qt-another-place.png");
            QTest::keyClick(restore->eServerNames, Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), restore->CheckListBox1);

            // Not a pair: refused, nothing runs.
            QTest::mouseClick(restore->RestoreButton, Qt::LeftButton);
            QCOMPARE(int(boxes.size()), 1);
            QVERIFY2(boxes[0].text.starts_with("Server names: \"FS1\" is not OLD=NEW"),
                     boxes[0].text.c_str());
            QVERIFY(!fs::exists(work / "Public.txt_restore.txt"));
            QTest::keyClicks(restore->eServerNames, "=FS9");
            QTest::mouseClick(restore->RestoreButton, Qt::LeftButton);
        });
        const QStringList messages = StatusMessages();
        QVERIFY(messages.size() > 2);
        QCOMPARE(messages[0], QString("Starting restore"));
        QCOMPARE(messages[1], MissingProperties(work / "Public.txt"));
        QCOMPARE(messages[2], QString("Restoring \\\\example.com\\Copy\\New to \\\\FS9\\New  "));
        QCOMPARE(messages.last(), QString("** Complete **"));
        QVERIFY(fs::exists(work / "Public.txt_restore.txt"));
    }
};

QTEST_MAIN(BackupRestoreTest)
#include "backup_restore_test.moc"
