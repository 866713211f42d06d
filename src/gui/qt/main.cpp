// The program block: application title, platform, the three windows, message loop.
#include "backup/run_report.h"
#include "base/large_block.h"
#include "cli/command_line.h"
#include "cli/program_platform.h"
#include "gui/forms/message_box.h"
#include "gui/forms/session.h"
#include "gui/qt/program_windows.h"

#include <QApplication>
#include <QIcon>
#include <QMessageBox>
#include <clocale>
#include <cstdlib>
#include <iostream>
#include <string>
#include <unistd.h>
#include <vector>

int main(int argc, char* argv[]) {
    using namespace kestrune;
    ReturnLargeBlocksWhenFreed();
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    // Started with arguments and no display (a scheduled job, a shell over ssh), or with
    // options: the command line runs without a window, and ends by itself.
    bool noDisplay = !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") &&
                     !std::getenv("QT_QPA_PLATFORM");
    if (HasOptions(arguments) || (!arguments.empty() && noDisplay)) {
        if (!InstallProgramPlatform(std::cerr)) return kExitFailure;
        std::setlocale(LC_TIME, ""); // the restore log's time stamps
        return RunCommandLine(arguments, {std::cout, std::cerr, isatty(2) != 0, isatty(1) != 0});
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName("Kestrune");
    QApplication::setWindowIcon(QIcon(":/kestrune.png"));
    // Nobody sees an offscreen window: its messages go to standard error, never to a box that
    // would wait for ever.
    SetRunningHeadless(QGuiApplication::platformName() == "offscreen");
    ScopedOwnerlessMessageBox ownerless([](const MessageBoxShown& box) {
        const QString caption = QString::fromStdString(box.caption);
        const QString text = QString::fromStdString(box.text);
        if (box.kind == MessageKind::Error)
            QMessageBox::critical(nullptr, caption, text);
        else
            QMessageBox::warning(nullptr, caption, text);
    });
    TNTADS::MessageHookScope directoryMessages([](const AnsiString& text) {
        ShowMessageBox(nullptr, MessageKind::Warning, "Kestrune", AnsiToUtf8(text));
    });

    if (Expected<void> installed = InstallProgramPlatform(std::cerr); !installed) {
        if (!RunningHeadless())
            QMessageBox::critical(nullptr, "Kestrune",
                                  QString::fromStdString(installed.error().text));
        return kExitFailure;
    }

    // Arguments come in the user's locale; the prefix, folder and domain keep every character.
    std::vector<WideString> wide;
    for (const std::string& argument : arguments)
        wide.push_back(QString::fromLocal8Bit(argument).toStdU16String());
    std::unique_ptr<ProgramWindows> windows = CreateProgramWindows(std::move(wide));
    windows->Form1->show();
    int status = app.exec();
    return GraverExitStatus(status, ExitStatus());
}
