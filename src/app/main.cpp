// The program block: application title, platform, the three windows, message loop.
#include "app/command_line.h"
#include "app/program.h"
#include "app/qt_text.h"
#include "app/session.h"
#include "platform/platform.h"

#include <QApplication>
#include <QMessageBox>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

int main(int argc, char* argv[]) {
    using namespace kestrune;
    // Started with arguments and no display (a scheduled job, a shell over ssh): run offscreen
    // rather than abort for want of a display.
    bool noDisplay = !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") &&
                     !std::getenv("QT_QPA_PLATFORM");
    if (argc > 1 && noDisplay) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        SetRunningHeadless(true);
        // A scheduled job often has no runtime folder; give Qt a private one rather than a
        // warning on standard error, where only real messages should go.
        if (!std::getenv("XDG_RUNTIME_DIR")) {
            std::string folder = "/tmp/runtime-" + std::to_string(getuid());
            if (mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST)
                setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
        }
    }
    // One argument only sets the prefix and leaves the window open for someone to use it.
    if (argc == 2 && RunningHeadless()) {
        std::fprintf(stderr,
                     "usage: kestrune PREFIX FOLDER [DOMAIN]   (backs up every namespace of "
                     "DOMAIN, or of this computer's domain, into FOLDER)\n");
        return 2;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName("Kestrune");
    TNTADS::SetMessageHook([](const AnsiString& text) {
        if (RunningHeadless())
            std::fprintf(stderr, "kestrune: %s\n", text.c_str());
        else
            QMessageBox::warning(nullptr, "Kestrune", ToQString(text));
    });

    std::string error;
    if (!InstallPlatformFromEnvironment(error)) {
        std::fprintf(stderr, "kestrune: %s\n", error.c_str());
        if (!RunningHeadless() && QGuiApplication::platformName() != "offscreen")
            QMessageBox::critical(nullptr, "Kestrune", QString::fromStdString(error));
        return 1;
    }

    SetCommandLineArguments({argv + 1, argv + argc});
    ProgramWindows windows = CreateProgramWindows();
    windows.Form1->show();
    int status = app.exec();
    return std::max(status, ExitStatus());
}
