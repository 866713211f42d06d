// The program block: application title, platform, the three windows, message loop.
#include "app/command_line.h"
#include "app/message_box.h"
#include "app/program.h"
#include "app/qt_text.h"
#include "app/session.h"
#include "cli/command_line.h"
#include "platform/platform.h"

#include <QApplication>
#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// The platform KESTRUNE_PLATFORM names. What the directory could not tell about this session
// stays empty; start-up says which fact and why.
bool InstallPlatform(std::string& error) {
    std::vector<std::string> notes;
    bool installed = kestrune::InstallPlatformFromEnvironment(error, &notes);
    for (const std::string& note : notes)
        std::fprintf(stderr, "kestrune: not found in the directory: %s\n", note.c_str());
    return installed;
}

} // namespace

int main(int argc, char* argv[]) {
    using namespace kestrune;
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    // Started with arguments and no display (a scheduled job, a shell over ssh), or with
    // options: the command line runs without a window, and ends by itself.
    bool noDisplay = !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") &&
                     !std::getenv("QT_QPA_PLATFORM");
    if (HasOptions(arguments) || (!arguments.empty() && noDisplay)) {
        std::string error;
        if (!InstallPlatform(error)) {
            std::fprintf(stderr, "kestrune: %s\n", error.c_str());
            return kExitFailure;
        }
        std::setlocale(LC_TIME, ""); // the restore log's time stamps
        return RunCommandLine(arguments, {std::cout, std::cerr, isatty(2) != 0, isatty(1) != 0});
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName("Kestrune");
    TNTADS::SetMessageHook([](const AnsiString& text) {
        ShowMessageBox(nullptr, MessageKind::Warning, "Kestrune", ToQString(text));
    });

    std::string error;
    if (!InstallPlatform(error)) {
        std::fprintf(stderr, "kestrune: %s\n", error.c_str());
        if (QGuiApplication::platformName() != "offscreen")
            ShowMessageBox(nullptr, MessageKind::Error, "Kestrune", QString::fromStdString(error));
        return kExitFailure;
    }

    SetCommandLineArguments(arguments);
    ProgramWindows windows = CreateProgramWindows();
    windows.Form1->show();
    int status = app.exec();
    return GraverExitStatus(status, ExitStatus());
}
