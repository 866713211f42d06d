#include "base/file_io.h"
#include "base/ini_file.h"
#include "platform/platform.h"
#include "support/private_settings.h"
#include "support/temp_folder.h"
#include "support/test_files.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <unistd.h>

using namespace kestrune;
using kestrune::testing::TempFolder;
namespace fs = std::filesystem;

class StartupTest : public QObject {
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

    // The program itself, started as a scheduled job would start it: no display (or, with
    // offscreen, a window nobody sees).
    int RunProgram(const QStringList& arguments, QString* errors = nullptr,
                   bool offscreen = false) {
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        env.remove("QT_QPA_PLATFORM");
        if (offscreen) env.insert("QT_QPA_PLATFORM", "offscreen");
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
        ResetWork();
        std::string error;
        Expected<void> installed = InstallSimulatedDomain(work / "domain.ldif");
        QVERIFY2(installed, installed.error().text.c_str());
    }
    void cleanup() {
        UninstallPlatform();
        const std::string left = work.Clear();
        QVERIFY2(left.empty(), left.c_str());
    }

    void unattendedProgramBacksUpAndExitsZero() {
        QString errors;
        QCOMPARE(RunProgram({"", Folder("all")}, &errors), 0);
        QCOMPARE(TempFolder::FilesIn(work / "all"),
                 (std::vector<std::string>{
                     "Archive.properties.xml", "Archive.txt", "Legacy.properties.xml", "Legacy.txt",
                     "Projets.properties.xml", "Projets.txt", "Public.properties.xml", "Public.txt",
                     "Users.properties.xml", "Users.txt"}));
        // Four arguments: the third is ignored, the computer's own domain is used.
        QCOMPARE(RunProgram({"x", Folder("four"), "sales.example.com", "extra"}), 0);
        QCOMPARE(TempFolder::FilesIn(work / "four").size(), size_t(10));
    }

    void unattendedFailuresGoToStandardErrorWithANonZeroStatus() {
        testing::WriteTestFile(work / "plain", "x");
        QString errors;
        QVERIFY(RunProgram({"p", Folder("plain/sub")}, &errors) != 0);
        QVERIFY2(errors.contains("Cannot create file \"" + Folder("plain/sub/") + "pArchive.txt\""),
                 qPrintable(errors));
        QVERIFY(RunProgram({"p"}, &errors) != 0);
        QVERIFY(errors.contains("usage"));
        // An empty folder: a usage error at once, not a window nobody can close.
        QCOMPARE(RunProgram({"", ""}, &errors), 2);
        QVERIFY(errors.contains("no output folder"));
    }

    void anOffscreenWindowNeverWaitsForABox() {
        // The window runs the backup; its failure goes to standard error, and the program ends.
        testing::WriteTestFile(work / "plain", "x");
        QString errors;
        QCOMPARE(RunProgram({"p", Folder("plain/sub")}, &errors, true), 1);
        QVERIFY2(errors.contains("pArchive.txt"), qPrintable(errors));
        QCOMPARE(RunProgram({"", Folder("fine")}, &errors, true), 0);
        QCOMPARE(TempFolder::FilesIn(work / "fine").size(), size_t(10));
    }
};

QTEST_MAIN(StartupTest)
#include "startup_test.moc"
