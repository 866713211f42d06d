// The restore run through kestrune.exe's Win32 windows (run under Wine): the lines of a backup
// file loaded into the restore window's check list and restored with the Status window shown,
// as a click on Restore does.
//   win32_restore_bench DOMAIN.ldif BACKUP.txt
#include "backup/restore_run.h"
#include "base/ansi_string.h"
#include "gui/win32/program_windows.h"
#include "platform/platform.h"

#include "gui/win32/win32_sdk.h" // last: the SDK's macros

#include <chrono>
#include <cstdio>

using namespace kestrune;
using Clock = std::chrono::steady_clock;

namespace {

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

void Pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        DispatchWindowMessage(message);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const auto begun = Clock::now();
    if (argc < 3) {
        std::fprintf(stderr, "usage: win32_restore_bench DOMAIN.ldif BACKUP.txt\n");
        return 2;
    }
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    if (Expected<void> installed = InstallSimulatedDomain(std::filesystem::path(argv[1]));
        !installed) {
        std::fprintf(stderr, "%s\n", installed.error().text.c_str());
        return 1;
    }
    Expected<std::vector<AnsiString>> lines = ReadBackupLines(std::filesystem::path(argv[2]));
    if (!lines) {
        std::fprintf(stderr, "%s\n", lines.error().text.c_str());
        return 1;
    }

    std::unique_ptr<ProgramWindows> w = CreateProgramWindows({});
    w->Form1->Show();
    while (w->Form1->form().ListBox1->Count() == 0 && w->Form1->form().Timer1->Enabled())
        Pump();
    const double startUp = Seconds(begun);

    // The two things the window adds to each line, alone: a status line and a message pump.
    constexpr int kProbe = 500;
    TfStatus& status = w->fStatus->form();
    status.ShowLog();
    auto start = Clock::now();
    for (int i = 0; i < kProbe; ++i)
        status.AddLine("Restoring \\\\bench.test\\Big\\Dept1\\Share1 to \\\\FS1\\Share1", 0x00FFFF);
    const double lineTime = Seconds(start);
    start = Clock::now();
    for (int i = 0; i < kProbe; ++i)
        status.window->ProcessMessages();
    const double pumps = Seconds(start);
    std::printf("a status line           %.3f ms\n", lineTime * 1000 / kProbe);
    std::printf("a message pump          %.3f ms\n", pumps * 1000 / kProbe);

    start = Clock::now();
    TfRestore& restore = w->fRestore->form();
    restore.LoadLines(*lines);
    restore.SelectAllButtonClick();
    restore.window->Show();
    Pump();
    const double load = Seconds(start);
    start = Clock::now();
    restore.RestoreButtonClick();
    const double run = Seconds(start);
    start = Clock::now();
    int restored = 0;
    for (const WideString& line : w->fStatus->form().re1->Lines())
        if (line.ends_with(u"\tRestored")) ++restored;
    const double readBack = Seconds(start);
    std::printf("start-up, main window   %.3f s\n", startUp);
    std::printf("check list of %zu lines  %.3f s\n", lines->size(), load);
    std::printf("RestoreButtonClick      %.3f s (%d restored)\n", run, restored);
    std::printf("the log read back       %.3f s (the bench's check, not the window's)\n", readBack);
    start = Clock::now();
    w->fStatus->form().ClearLines();
    std::printf("the log cleared         %.3f s (as the next restore starts)\n", Seconds(start));
    // Each window destroyed on its own, in the order the program destroys them.
    start = Clock::now();
    w->fRestore.reset();
    std::printf("restore window destroyed %.3f s\n", Seconds(start));
    start = Clock::now();
    w->fStatus.reset();
    std::printf("status window destroyed %.3f s\n", Seconds(start));
    start = Clock::now();
    w.reset();
    std::printf("main window destroyed   %.3f s\n", Seconds(start));
    return restored == static_cast<int>(lines->size()) ? 0 : 1;
}
