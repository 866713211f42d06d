// The three forms over fake controls, wired as the program block wires the real windows.
#pragma once

#include "fake_controls.h"
#include "gui/forms/restore_context.h"

#include <memory>

namespace kestrune::testing {

struct FakeProgram {
    const Control* focus = nullptr;

    FakeComboBox cbDomains;
    FakeListBox ListBox1;
    FakeEdit ePrefix, ePath;
    FakeCheckBox Checkbox1;
    FakeButton BitBtn1{u"Backup"}, BitBtn3{u"Restore"}, Bitbtn2{u"Close"};
    FakeTimer Timer1;
    FakeOpenDialog OpenDialog1;
    FakeWindow mainWindow;

    FakeRichLog re1;
    FakeWindow statusWindow;

    FakeCheckList CheckListBox1;
    FakeButton RestoreButton{u"Restore"}, CloseButton{u"Close"}, SelectAllButton{u"Select all"},
        DeselectAllButton{u"De-select all"};
    FakeCheckBox chkAnotherPlace;
    FakePanel pnlAnotherPlace;
    FakeEdit eRestoreInto, eServerNames;
    FakeWindow restoreWindow;
    // What the platform says: whether restored links go straight into the directory.
    bool writesIntoDirectory = false;

    std::unique_ptr<TForm1> Form1;
    std::unique_ptr<TfStatus> fStatus;
    std::unique_ptr<TfRestore> fRestore;

    explicit FakeProgram(std::vector<WideString> arguments = {}) {
        for (auto* control : std::initializer_list<FakeControl<TextControl>*>{&ePrefix, &ePath})
            control->SetFocusOwner(&focus);
        cbDomains.SetFocusOwner(&focus);
        ListBox1.SetFocusOwner(&focus);
        Checkbox1.SetFocusOwner(&focus);
        for (FakeButton* button : {&BitBtn1, &BitBtn3, &Bitbtn2})
            button->SetFocusOwner(&focus);
        Form1 = std::make_unique<TForm1>(TForm1::Controls{&cbDomains, &ListBox1, &ePrefix, &ePath,
                                                          &Checkbox1, &BitBtn1, &BitBtn3, &Bitbtn2,
                                                          &Timer1, &OpenDialog1, &mainWindow},
                                         std::move(arguments));
        fStatus = std::make_unique<TfStatus>(TfStatus::Controls{&re1, &statusWindow});
        TfRestore::Context context = RestoreContext(*Form1, *fStatus);
        context.writesIntoDirectory = [this] { return writesIntoDirectory; };
        fRestore = std::make_unique<TfRestore>(
            TfRestore::Controls{&CheckListBox1, &RestoreButton, &CloseButton, &SelectAllButton,
                                &DeselectAllButton, &chkAnotherPlace, &pnlAnotherPlace,
                                &eRestoreInto, &eServerNames, &restoreWindow},
            std::move(context));
        Form1->SetRestoreWindow(fRestore.get());
        mainWindow.closeQuery = [this] { return Form1->FormCloseQuery(); };
        mainWindow.onClose = [this] { Form1->FormClose(); };
        restoreWindow.closeQuery = [this] { return fRestore->FormCloseQuery(); };
    }

    // Shows the main window and lets its timer tick once: the start-up sequence.
    void Start() {
        mainWindow.Show();
        Form1->FormShow();
        if (Timer1.Enabled()) Form1->Timer1Timer();
    }
};

} // namespace kestrune::testing
