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
    HWND edit = re1_.Handle();
    SendMessageW(edit, EM_SETBKGNDCOLOR, 0, RGB(0, 0, 0));
    // Long lines run to the right, reached with the horizontal scroll bar.
    SendMessageW(edit, EM_SETTARGETDEVICE, 0, 1);
    SendMessageW(edit, EM_EXLIMITTEXT, 0, 0x7FFFFFFE);
    CHARFORMAT2W format{};
    format.cbSize = sizeof format;
    format.dwMask = CFM_COLOR | CFM_FACE | CFM_SIZE;
    format.crTextColor = 0x00FF00; // lime
    lstrcpynW(format.szFaceName, L"Tahoma", LF_FACESIZE);
    format.yHeight = 8 * 20; // twips
    SendMessageW(edit, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&format));
    SendMessageW(edit, EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&format));
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
