// The program block on Windows: application title, platform, the three windows, message loop.
// With options ("--...") it runs the command line instead, as the Linux program does.
#include "backup/run_report.h"
#include "base/ansi_string.h"
#include "cli/command_line.h"
#include "cli/program_platform.h"
#include "gui/forms/message_box.h"
#include "gui/forms/session.h"
#include "gui/win32/program_windows.h"

#include "gui/win32/win32_sdk.h" // last: the SDK's macros

#include <cstdio>
#include <iostream>
#include <shellapi.h>

namespace {

using namespace kestrune;

std::vector<WideString> WideArguments() {
    std::vector<WideString> arguments;
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide) return arguments;
    for (int i = 1; i < count; ++i)
        arguments.push_back(reinterpret_cast<const char16_t*>(wide[i]));
    LocalFree(wide);
    return arguments;
}

// A service, or a scheduled task that runs whether the user is logged on or not, has a
// window station nobody sees: a message box there would wait for ever.
bool InteractiveSession() {
    USEROBJECTFLAGS flags{};
    HWINSTA station = GetProcessWindowStation();
    if (!station || !GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof flags, nullptr))
        return true;
    return (flags.dwFlags & WSF_VISIBLE) != 0;
}

// The command line from a windowed program: its output goes to the console it was started
// from, or where it was redirected.
int RunOptions(const std::vector<WideString>& wide) {
    if (GetStdHandle(STD_ERROR_HANDLE) == nullptr && AttachConsole(ATTACH_PARENT_PROCESS)) {
        std::freopen("CONOUT$", "w", stdout);
        std::freopen("CONOUT$", "w", stderr);
    }
    std::vector<std::string> arguments;
    for (const WideString& argument : wide)
        arguments.push_back(WideToUtf8(argument));
    if (!InstallProgramPlatform(std::cerr)) return kExitFailure;
    return RunCommandLine(arguments, {std::cout, std::cerr, false, false});
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    std::vector<WideString> arguments = WideArguments();
    std::vector<std::string> utf8;
    for (const WideString& argument : arguments)
        utf8.push_back(WideToUtf8(argument));
    if (HasOptions(utf8)) return RunOptions(arguments);

    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);

    SetRunningHeadless(!InteractiveSession());
    ScopedOwnerlessMessageBox ownerless([](const MessageBoxShown& box) {
        MessageBoxW(nullptr, W(Utf8ToWide(box.text)), W(Utf8ToWide(box.caption)),
                    MB_OK | MB_TASKMODAL |
                        (box.kind == MessageKind::Error ? MB_ICONERROR : MB_ICONWARNING));
    });
    TNTADS::MessageHookScope directoryMessages([](const AnsiString& text) {
        ShowMessageBox(nullptr, MessageKind::Warning, "Kestrune", AnsiToUtf8(text));
    });
    if (Expected<void> installed = InstallProgramPlatform(std::cerr); !installed) {
        if (!RunningHeadless())
            MessageBoxW(nullptr, W(Utf8ToWide(installed.error().text)), L"Kestrune",
                        MB_OK | MB_ICONERROR);
        return kExitFailure;
    }

    int status = 0;
    {
        std::unique_ptr<ProgramWindows> windows = CreateProgramWindows(std::move(arguments));
        windows->Form1->Show();
        MSG message;
        BOOL got;
        while ((got = GetMessageW(&message, nullptr, 0, 0)) > 0)
            DispatchWindowMessage(message);
        status = got == 0 ? static_cast<int>(message.wParam) : kExitFailure;
    }
    return GraverExitStatus(status, ExitStatus());
}
