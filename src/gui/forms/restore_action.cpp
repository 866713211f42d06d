// The main window's Restore button: a backup file (or an export of dfsutil root export) opened
// into the restore window, which restores the lines chosen there.
#include "backup/restore_input.h"
#include "gui/forms/main_form.h"
#include "gui/forms/message_box.h"
#include "gui/forms/restore_form.h"

namespace kestrune {

void TForm1::BitBtn3Click() {
    if (!fRestore) return;
    if (!ePath->Text().empty()) OpenDialog1->SetInitialDir(ePath->Text());
    if (!OpenDialog1->Execute()) return;
    const std::filesystem::path file = OpenDialog1->FileName();
    // A backup file, or an export of dfsutil root export.
    Expected<RestoreInput> input = ReadRestoreInput(file);
    if (!input) {
        ShowMessageBox(window, MessageKind::Error, "Kestrune", input.error().text);
        return;
    }
    FRestoreFileName = file;
    fRestore->LoadLines(input->lines);
    fRestore->SelectAllButtonClick();
    fRestore->ShowModal();
}

} // namespace kestrune
