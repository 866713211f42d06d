#include "gui/win32/program_windows.h"

#include "gui/forms/restore_context.h"
#include "platform/platform.h"

namespace kestrune {

std::unique_ptr<ProgramWindows> CreateProgramWindows(std::vector<WideString> arguments) {
    auto w = std::make_unique<ProgramWindows>();
    w->Form1 = std::make_unique<MainWindow>(std::move(arguments));
    w->fStatus = std::make_unique<StatusWindow>();
    // Owned by the main window so that it can be modal to that window alone, leaving the
    // Status window usable during a restore.
    TfRestore::Context context = RestoreContext(w->Form1->form(), w->fStatus->form());
    context.writesIntoDirectory = PlatformWritesIntoDirectory;
    w->fRestore = std::make_unique<RestoreWindow>(std::move(context), w->Form1->Handle());
    w->Form1->form().SetRestoreWindow(&w->fRestore->form());
    return w;
}

} // namespace kestrune
