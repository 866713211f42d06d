#include "gui/win32/status_window.h"

#include "gui/win32/log_window.h"

namespace kestrune {

StatusWindow::StatusWindow() {
    SetFont(L"Tahoma", 8);
    Create(L"KestruneStatus", L"Status", WS_OVERLAPPEDWINDOW, 535, 341, nullptr);
    window_.Attach(hwnd_);
}

void StatusWindow::CreateControls() {
    re1_.Attach(Child(LogWindow::ClassName(), L"", WS_HSCROLL | WS_VSCROLL | WS_TABSTOP, 1));
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
    case WM_CLOSE:
        ShowWindow(hwnd_, SW_HIDE); // hidden, not destroyed: it lives until the program ends
        return 0;
    }
    return Win32Window::HandleMessage(message, wParam, lParam);
}

} // namespace kestrune
