// The program's three windows, created in order: the main window, the status window and the
// restore window, which draws on the main window's component and check box.
#pragma once

#include "app/main_window.h"
#include "app/status_window.h"
#include "backup/restore_window.h"

#include <memory>

namespace kestrune {

struct ProgramWindows {
    std::unique_ptr<TForm1> Form1;
    std::unique_ptr<TfStatus> fStatus;
    std::unique_ptr<TfRestore> fRestore; // a child of Form1: goes first, before its parent

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

ProgramWindows CreateProgramWindows();

} // namespace kestrune
