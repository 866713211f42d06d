// The main window's Win32 view: creates the controls, forwards their events to TForm1 and
// shows what it decides.
#pragma once

#include "gui/forms/main_form.h"
#include "gui/win32/win32_controls.h"
#include "gui/win32/window_base.h"

#include <memory>

namespace kestrune {

class MainWindow : public Win32Window {
  public:
    explicit MainWindow(std::vector<WideString> arguments);
    ~MainWindow() override;

    TForm1& form() { return *form_; }
    void Show();

  protected:
    void CreateControls() override;
    void Layout() override;
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    void Command(int id, int code);

    HWND Label4_ = nullptr, Label1_ = nullptr, Label2_ = nullptr, Label3_ = nullptr;
    Win32ComboBox cbDomains_;
    Win32ListBox ListBox1_;
    Win32Edit ePrefix_, ePath_;
    Win32CheckBox Checkbox1_;
    Win32Button BitBtn1_, BitBtn3_, Bitbtn2_;
    Win32Timer Timer1_{1, 200};
    Win32OpenDialog OpenDialog1_;
    Win32FormWindow window_;
    std::unique_ptr<TForm1> form_;
};

} // namespace kestrune
