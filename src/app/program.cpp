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
    // Owned here, not by the main window: the windows live side by side until the program ends.
    w.fRestore = std::make_unique<TfRestore>(std::move(context));
    form->SetRestoreWindow(w.fRestore.get());
    return w;
}

} // namespace kestrune
