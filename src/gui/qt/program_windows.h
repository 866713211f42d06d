// The program's three windows, created in order: the main window, the status window and the
// restore window, which draws on the main window's component and check box.
#pragma once

#include "gui/qt/main_window.h"
#include "gui/qt/restore_window.h"
#include "gui/qt/status_window.h"

#include <memory>

namespace kestrune {

struct ProgramWindows {
    std::unique_ptr<MainWindow> Form1;
    std::unique_ptr<StatusWindow> fStatus;
    std::unique_ptr<RestoreWindow> fRestore; // a child of Form1: goes first, before its parent

    ProgramWindows() = default;
    ProgramWindows(ProgramWindows&&) = default;
    ProgramWindows& operator=(ProgramWindows&& other) {
        Release();
        Form1 = std::move(other.Form1);
        fStatus = std::move(other.fStatus);
        fRestore = std::move(other.fRestore);
        return *this;
    }
    ~ProgramWindows() { Release(); }

  private:
    void Release() {
        fRestore.reset();
        fStatus.reset();
        Form1.reset();
    }
};

// arguments: the command line without the program name.
ProgramWindows CreateProgramWindows(std::vector<WideString> arguments = {});

} // namespace kestrune
