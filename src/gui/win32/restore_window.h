// The Restore window's Win32 view: the check list above a panel of four buttons and the box that
// shows, between the two, the fields of another place to restore into.
#pragma once

#include "gui/forms/restore_form.h"
#include "gui/win32/win32_controls.h"
#include "gui/win32/window_base.h"

namespace kestrune {

class RestoreWindow : public Win32Window {
  public:
    RestoreWindow(TfRestore::Context context, HWND owner);

    TfRestore& form() { return form_; }

  protected:
    void CreateControls() override;
    void Layout() override;
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    void CloseRequested();

    HWND ButtonPanel_ = nullptr;
    HWND RestoreIntoLabel_ = nullptr, ServerNamesLabel_ = nullptr;
    Win32CheckList CheckListBox1_;
    Win32Button RestoreButton_, CloseButton_, SelectAllButton_, DeselectAllButton_;
    Win32CheckBox chkAnotherPlace_;
    Win32Panel pnlAnotherPlace_;
    Win32Edit eRestoreInto_, eServerNames_;
    Win32FormWindow window_;
    TfRestore form_;
};

} // namespace kestrune
