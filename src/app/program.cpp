#include "app/program.h"

#include <QCheckBox>

namespace kestrune {

ProgramWindows CreateProgramWindows() {
    ProgramWindows w;
    w.Form1 = std::make_unique<TForm1>();
    w.fStatus = std::make_unique<TfStatus>();
    TForm1* form = w.Form1.get();
    TfRestore::Context context{&form->OXLDFS1, [form] { return form->Checkbox1->isChecked(); },
                               [form] { return form->RestoreFileName(); }, w.fStatus.get()};
    // Owned here; the main window is its parent only so that it can be modal to that window
    // alone, leaving the Status window usable during a restore.
    w.fRestore = std::make_unique<TfRestore>(std::move(context), form);
    // Closing the main window ends the program, whatever other window is still open.
    w.fStatus->setAttribute(Qt::WA_QuitOnClose, false);
    w.fRestore->setAttribute(Qt::WA_QuitOnClose, false);
    form->SetRestoreWindow(w.fRestore.get());
    return w;
}

} // namespace kestrune
