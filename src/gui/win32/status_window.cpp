#include "gui/win32/status_window.h"

namespace kestrune {

StatusWindow::StatusWindow() {
    SetFont(L"Tahoma", 8);
    Create(L"KestruneStatus", L"Status", WS_OVERLAPPEDWINDOW, 535, 341, nullptr);
    window_.Attach(hwnd_);
}

void StatusWindow::CreateControls() {
    re1_.Attach(Child(MSFTEDIT_CLASS, L"",
                      ES_MULTILINE | ES_READONLY | ES_AUTOHSCROLL | ES_AUTOVSCROLL | ES_NOHIDESEL |
                          WS_HSCROLL | WS_VSCROLL | ES_DISABLENOSCROLL | WS_TABSTOP,
                      1));
}

void StatusWindow::Layout() {
    RECT client{};
    GetClientRect(hwnd_, &client);
    MoveWindow(re1_.Handle(), 0, 0, client.right, client.bottom, TRUE);
}

LRESULT StatusWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SHOWWINDOW:
        if (wParam) form_.FormShow();
        break;
    case WM_TIMER:
        if (wParam == Win32RichLog::kRepaintTimer) re1_.FrameElapsed();
        return 0;
    case WM_CLOSE:
        ShowWindow(hwnd_, SW_HIDE); // hidden, not destroyed: it lives until the program ends
        return 0;
    }
    return Win32Window::HandleMessage(message, wParam, lParam);
}

} // namespace kestrune
