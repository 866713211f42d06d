#include "gui/win32/program.h"

#include "gui/forms/program.h"

namespace kestrune {

std::unique_ptr<ProgramWindows> CreateProgramWindows(std::vector<WideString> arguments) {
    auto w = std::make_unique<ProgramWindows>();
    w->Form1 = std::make_unique<MainWindow>(std::move(arguments));
    w->fStatus = std::make_unique<StatusWindow>();
    // Owned by the main window so that it can be modal to that window alone, leaving the
    // Status window usable during a restore.
    w->fRestore = std::make_unique<RestoreWindow>(
        RestoreContext(w->Form1->form(), w->fStatus->form()), w->Form1->Handle());
    w->Form1->form().SetRestoreWindow(&w->fRestore->form());
    return w;
}

} // namespace kestrune
