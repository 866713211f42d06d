#include "gui/win32/main_window.h"

namespace kestrune {
namespace {

enum ControlId {
    kDomains = 100,
    kNamespaces,
    kPrefix,
    kPath,
    kBackup,
    kRestore,
    kClose,
    kNoSlashes,
};

constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

} // namespace

MainWindow::MainWindow(std::vector<WideString> arguments) {
    Create(L"KestruneMain", L"Kestrune", kStyle, 438, 230, nullptr);
    window_.Attach(hwnd_);
    Timer1_.Attach(hwnd_);
    OpenDialog1_.Attach(hwnd_);
    form_ = std::make_unique<TForm1>(TForm1::Controls{&cbDomains_, &ListBox1_, &ePrefix_, &ePath_,
                                                      &Checkbox1_, &BitBtn1_, &BitBtn3_, &Bitbtn2_,
                                                      &Timer1_, &OpenDialog1_, &window_},
                                     std::move(arguments));
}

MainWindow::~MainWindow() = default;

void MainWindow::CreateControls() {
    // Created in tab order: cbDomains, ListBox1, ePrefix, ePath, BitBtn1, BitBtn3, Bitbtn2,
    // Checkbox1; each label before the control it names.
    Label4_ = Child(L"STATIC", L"Domains", 0, -1);
    cbDomains_.Attach(Child(L"COMBOBOX", L"",
                            CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP, kDomains));
    Label1_ = Child(L"STATIC", L"DFS Name spaces ", 0, -1);
    ListBox1_.Attach(
        Child(L"LISTBOX", L"",
              LBS_EXTENDEDSEL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_TABSTOP,
              kNamespaces, WS_EX_CLIENTEDGE));
    Label2_ = Child(L"STATIC", L"Backup prefix", 0, -1);
    ePrefix_.Attach(Child(L"EDIT", L"", ES_AUTOHSCROLL | WS_TABSTOP, kPrefix, WS_EX_CLIENTEDGE));
    Label3_ = Child(L"STATIC", L"Output path", 0, -1);
    ePath_.Attach(Child(L"EDIT", L"", ES_AUTOHSCROLL | WS_TABSTOP, kPath, WS_EX_CLIENTEDGE));
    BitBtn1_.Attach(Child(L"BUTTON", L"Backup", BS_PUSHBUTTON | WS_TABSTOP, kBackup));
    BitBtn3_.Attach(Child(L"BUTTON", L"Restore", BS_PUSHBUTTON | WS_TABSTOP, kRestore));
    Bitbtn2_.Attach(Child(L"BUTTON", L"Close", BS_PUSHBUTTON | WS_TABSTOP, kClose));
    Checkbox1_.Attach(Child(L"BUTTON", L"No Slashes", BS_AUTOCHECKBOX | WS_TABSTOP, kNoSlashes));
}

void MainWindow::Layout() {
    Place(Label4_, 8, 8, 190, 14);
    Place(cbDomains_.Handle(), 8, 24, 201, 200); // with its drop-down list
    Place(Label1_, 8, 56, 190, 14);
    Place(ListBox1_.Handle(), 8, 72, 201, 153);
    Place(Label2_, 224, 24, 190, 14);
    Place(ePrefix_.Handle(), 224, 40, 193, 21);
    Place(Label3_, 224, 72, 190, 14);
    Place(ePath_.Handle(), 224, 88, 193, 21);
    Place(Checkbox1_.Handle(), 224, 112, 105, 25);
    Place(BitBtn1_.Handle(), 344, 120, 75, 25);
    Place(BitBtn3_.Handle(), 344, 152, 75, 25);
    Place(Bitbtn2_.Handle(), 344, 192, 75, 25);
}

void MainWindow::Show() {
    ShowWindow(hwnd_, SW_SHOW);
    UpdateWindow(hwnd_);
    form_->FormShow();
}

void MainWindow::Command(int id, int code) {
    if (!form_) return;
    if (code == BN_CLICKED) {
        switch (id) {
        case kBackup:
            form_->BitBtn1Click();
            return;
        case kRestore:
            form_->BitBtn3Click();
            return;
        case kClose:
            form_->BitBtn2Click();
            return;
        }
    }
    if (id == kDomains && code == CBN_KILLFOCUS) {
        // Focus moving to another control of this window leaves the box; a switch to another
        // window is not a leave.
        HWND focus = GetFocus();
        if (focus && IsChild(hwnd_, focus)) form_->cbDomainsExit();
    }
}

LRESULT MainWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        Command(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_TIMER:
        if (wParam == Timer1_.Id() && form_) form_->Timer1Timer();
        return 0;
    case WM_CLOSE:
        if (form_ && !form_->FormCloseQuery()) return 0;
        if (form_) form_->FormClose();
        DestroyWindow(hwnd_);
        return 0;
    case WM_DESTROY:
        // Closing the main window ends the program, whatever other window is still open.
        PostQuitMessage(0);
        return 0;
    }
    return Win32Window::HandleMessage(message, wParam, lParam);
}

} // namespace kestrune
