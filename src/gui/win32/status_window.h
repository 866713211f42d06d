// The Status window's Win32 view: one log of coloured lines on black.
#pragma once

#include "gui/forms/status_form.h"
#include "gui/win32/win32_controls.h"
#include "gui/win32/window_base.h"

namespace kestrune {

class StatusWindow : public Win32Window {
  public:
    StatusWindow();

    TfStatus& form() { return form_; }
    HWND re1() const { return re1_.Handle(); }

  protected:
    void CreateControls() override;
    void Layout() override;
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    Win32RichLog re1_;
    Win32FormWindow window_;
    TfStatus form_{{&re1_, &window_}};
};

} // namespace kestrune
