// The program block: application title, platform, main window, message loop.
#include "app/command_line.h"
#include "app/program.h"
#include "platform/platform.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <cstdlib>

int main(int argc, char* argv[]) {
    // Started with arguments and no display (a scheduled job, a shell over ssh): run
    // offscreen rather than abort for want of a display.
    if (argc > 1 && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") &&
        !std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);

    QApplication app(argc, argv);
    QApplication::setApplicationName("Kestrune");

    std::string error;
    if (!kestrune::InstallPlatformFromEnvironment(error)) {
        std::fprintf(stderr, "kestrune: %s\n", error.c_str());
        if (QGuiApplication::platformName() != "offscreen")
            QMessageBox::critical(nullptr, "Kestrune", QString::fromStdString(error));
        return 1;
    }

    kestrune::SetCommandLineArguments({argv + 1, argv + argc});
    kestrune::ProgramWindows windows = kestrune::CreateProgramWindows();
    windows.Form1->show();
    return app.exec();
}
