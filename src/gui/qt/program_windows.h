// The program's three windows, created in order: the main window, the status window and the
// restore window, which draws on the main window's component and check box.
#pragma once

#include "gui/qt/main_window.h"
#include "gui/qt/restore_window.h"
#include "gui/qt/status_window.h"

#include <memory>

namespace kestrune {

// The members go in the reverse order of their declaration: the restore window, a child of the
// main window, before its parent. Neither copied nor moved, so that no assignment can free the
// main window first.
struct ProgramWindows {
    std::unique_ptr<MainWindow> Form1;
    std::unique_ptr<StatusWindow> fStatus;
    std::unique_ptr<RestoreWindow> fRestore;

    ProgramWindows() = default;
    ProgramWindows(const ProgramWindows&) = delete;
    ProgramWindows& operator=(const ProgramWindows&) = delete;
};

// arguments: the command line without the program name.
std::unique_ptr<ProgramWindows> CreateProgramWindows(std::vector<WideString> arguments = {});

} // namespace kestrune
