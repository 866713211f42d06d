// How the three windows meet: the restore window restores through the main window's DFS
// component, reads its "No Slashes" box and the file its dialog opened, and reports in the
// status window.
#pragma once

#include "gui/forms/main_form.h"
#include "gui/forms/restore_form.h"
#include "gui/forms/status_form.h"

namespace kestrune {

inline TfRestore::Context RestoreContext(TForm1& Form1, TfStatus& fStatus) {
    return {&Form1.OXLDFS1, [&Form1] { return Form1.Checkbox1->Checked(); },
            [&Form1] { return Form1.RestoreFileName(); }, &fStatus};
}

} // namespace kestrune
