#include "base/file_io.h"
#include "base/ini_file.h"
#include "gui/forms/message_box.h"
#include "gui/qt/program.h"
#include "modal.h"
#include "platform/platform.h"
#include "scratch_folder.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <unistd.h>

using namespace kestrune;
using kestrune::testing::ScratchFolder;
using kestrune::testing::WhenModal;
namespace fs = std::filesystem;

class StartupTest : public QObject {
    Q_OBJECT

  private:
    ScratchFolder work{"start"};
    ProgramWindows w;

    void Start(std::vector<WideString> arguments) {
        w = CreateProgramWindows(std::move(arguments));
        w.Form1->show();
    }
    // The program itself, started as a scheduled job would start it: no display.
    int RunProgram(const QStringList& arguments, QString* errors = nullptr) {
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        env.remove("QT_QPA_PLATFORM");
        env.insert("KESTRUNE_PLATFORM",
                   QString::fromStdString("sim:" + (work / "domain.ldif").string()));
        program.setProcessEnvironment(env);
        program.start(KESTRUNE_EXE, arguments);
        if (!program.waitForFinished(30000)) return -1;
        if (errors) *errors = QString::fromLocal8Bit(program.readAllStandardError());
        return program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
    }

  private slots:
    void init() {
        work.Reset();
        std::string error;
        QVERIFY2(InstallSimulatedDomain(work / "domain.ldif", error), error.c_str());
    }
    void cleanup() {
        if (w.Form1) fs::remove(w.Form1->form().SettingsFile());
        w = ProgramWindows();
        UninstallPlatform();
        work.Remove();
    }

    void withoutADirectoryTheProgramStopsAndWritesNoSettings() {
        UninstallPlatform();
        std::vector<MessageBoxShown> boxes;
        {
            ScopedMessageBoxHook hook([&](const MessageBoxShown& box) { boxes.push_back(box); });
            Start({});
            fs::remove(w.Form1->form().SettingsFile());
            QTRY_COMPARE(boxes.size(), size_t(1));
        }
        QCOMPARE(boxes[0].text, std::string("Active Directory is not available"));
        QCOMPARE(boxes[0].kind, MessageKind::Error);
        QTRY_VERIFY(!w.Form1->BitBtn1->isEnabled());
        QVERIFY(!w.Form1->BitBtn3->isEnabled());
        w.Form1->close();
        QVERIFY(!fs::exists(w.Form1->form().SettingsFile()));
    }

    void interactiveStartListsDomainsAndSelectsTheOwnOne() {
        Start({});
        fs::remove(w.Form1->form().SettingsFile());
        QTRY_COMPARE(w.Form1->ListBox1->count(), 4);
        QCOMPARE(w.Form1->cbDomains->count(), 2);
        QCOMPARE(w.Form1->cbDomains->itemText(1), QString("DC=sales,DC=example,DC=com"));
        QCOMPARE(w.Form1->cbDomains->currentText(), QString("DC=example,DC=com"));
        QVERIFY(w.Form1->ListBox1->item(0)->isSelected());
        // No settings file: the program's folder, with its separator.
        QCOMPARE(w.Form1->ePath->text(), QString::fromStdString(w.Form1->form().AppFolder()));
        QVERIFY(w.Form1->isVisible());
    }

    void aStoredFolderGetsItsSeparator() {
        w = CreateProgramWindows();
        WriteIniString(w.Form1->form().SettingsFile(), "General", "Outputpath", "/srv/backups");
        w.Form1->show();
        QTRY_COMPARE(w.Form1->ePath->text(), QString("/srv/backups/"));
    }

    void oneArgumentSelectsEverythingAndWritesNothing() {
        Start({u"pfx"});
        QTRY_COMPARE(w.Form1->ListBox1->count(), 4);
        QCOMPARE(w.Form1->ListBox1->selectedItems().size(), 4);
        QCOMPARE(w.Form1->ePrefix->text(), QString("pfx"));
        QCOMPARE(w.Form1->ePath->text(), QString());
        QCOMPARE(w.Form1->cbDomains->currentText(), QString("example.com"));
        QCOMPARE(w.Form1->cbDomains->count(), 0);
        QVERIFY(w.Form1->isVisible());
    }

    void threeArgumentsBackUpTheNamedDomainInEitherForm() {
        Start({u"p-", work.Folder("dn").toStdU16String(), u"DC=sales,DC=example,DC=com"});
        QTRY_VERIFY(!w.Form1->isVisible());
        QCOMPARE(ScratchFolder::FilesIn(work / "dn"), std::vector<std::string>{"p-Sales.txt"});
        // The run appended the separator, and the close stored it.
        QCOMPARE(ReadIniString(w.Form1->form().SettingsFile(), "General", "Outputpath", ""),
                 work.Folder("dn/").toStdString());
        std::string lines = ReadWholeFile(work / "dn/p-Sales.txt");
        QVERIFY(lines.find("\"\\\\sales.example.com\\Sales\\Reports\"") != std::string::npos);
    }

    void unattendedProgramBacksUpAndExitsZero() {
        QString errors;
        QCOMPARE(RunProgram({"", work.Folder("all")}, &errors), 0);
        QCOMPARE(
            ScratchFolder::FilesIn(work / "all"),
            (std::vector<std::string>{"Archive.txt", "Projets.txt", "Public.txt", "Users.txt"}));
        // Four arguments: the third is ignored, the computer's own domain is used.
        QCOMPARE(RunProgram({"x", work.Folder("four"), "sales.example.com", "extra"}), 0);
        QCOMPARE(ScratchFolder::FilesIn(work / "four").size(), size_t(4));
    }

    void unattendedFailuresGoToStandardErrorWithANonZeroStatus() {
        WriteWholeFile(work / "plain", "x");
        QString errors;
        QVERIFY(RunProgram({"p", work.Folder("plain/sub")}, &errors) != 0);
        QVERIFY2(
            errors.contains("Cannot create file \"" + work.Folder("plain/sub/") + "pArchive.txt\""),
            qPrintable(errors));
        QVERIFY(RunProgram({"p"}, &errors) != 0);
        QVERIFY(errors.contains("usage"));
        // An empty folder: a usage error at once, not a window nobody can close.
        QCOMPARE(RunProgram({"", ""}, &errors), 2);
        QVERIFY(errors.contains("no output folder"));
    }
};

QTEST_MAIN(StartupTest)
#include "startup_test.moc"
