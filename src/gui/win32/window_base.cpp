#include "gui/win32/window_base.h"

#include "gui/forms/message_box.h"
#include "gui/win32/resources.h"

#include <exception>

namespace kestrune {

Win32Window::~Win32Window() {
    if (hwnd_) {
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
    if (font_) DeleteObject(font_);
}

HICON ProgramIcon(int size) {
    return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr),
                                         MAKEINTRESOURCEW(kProgramIconId), IMAGE_ICON, size, size,
                                         LR_DEFAULTCOLOR));
}

void Win32Window::Create(const wchar_t* className, const wchar_t* caption, DWORD style,
                         int clientWidth, int clientHeight, HWND owner) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    if (!GetClassInfoExW(GetModuleHandleW(nullptr), className, &windowClass)) {
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = WindowProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        windowClass.lpszClassName = className;
        windowClass.hIcon = ProgramIcon(GetSystemMetrics(SM_CXICON));
        windowClass.hIconSm = ProgramIcon(GetSystemMetrics(SM_CXSMICON));
        RegisterClassExW(&windowClass);
    }
    // Created hidden at its place, then sized for the DPI of the monitor it landed on.
    hwnd_ = CreateWindowExW(WS_EX_CONTROLPARENT, className, caption, style, CW_USEDEFAULT,
                            CW_USEDEFAULT, clientWidth, clientHeight, owner, nullptr,
                            GetModuleHandleW(nullptr), this);
    dpi_ = GetDpiForWindow(hwnd_);
    if (dpi_ == 0) dpi_ = 96;
    RECT frame{0, 0, Scale(clientWidth), Scale(clientHeight)};
    AdjustWindowRectExForDpi(&frame, style, FALSE, WS_EX_CONTROLPARENT, dpi_);
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(hwnd_, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT& work = monitor.rcWork;
    SetWindowPos(hwnd_, nullptr, work.left + (work.right - work.left - width) / 2,
                 work.top + (work.bottom - work.top - height) / 2, width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    ApplyFont();
    CreateControls();
    ApplyFont();
    Layout();
}

HWND Win32Window::Child(const wchar_t* className, const wchar_t* text, DWORD style, int id,
                        DWORD exStyle) {
    HWND control = CreateWindowExW(exStyle, className, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0,
                                   0, hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                   GetModuleHandleW(nullptr), nullptr);
    if (font_) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    return control;
}

void Win32Window::Place(HWND control, int left, int top, int width, int height) const {
    MoveWindow(control, Scale(left), Scale(top), Scale(width), Scale(height), TRUE);
}

void Win32Window::SetFont(const wchar_t* face, int points, int pixels) {
    fontFace_ = face;
    fontPoints_ = points;
    fontPixels_ = pixels;
}

void Win32Window::ApplyFont() {
    HFONT previous = font_;
    const int height = fontPixels_ ? -Scale(fontPixels_) : -MulDiv(fontPoints_, dpi_, 72);
    font_ = CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                        OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                        DEFAULT_PITCH | FF_DONTCARE, fontFace_);
    SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    for (HWND child = GetWindow(hwnd_, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
    if (previous) DeleteObject(previous);
}

LRESULT Win32Window::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_DPICHANGED: {
        // Moved to a monitor of another DPI: the size Windows suggests, fonts and controls
        // scaled anew.
        dpi_ = HIWORD(wParam);
        const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left, suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        ApplyFont();
        Layout();
        return 0;
    }
    case WM_SIZE:
        Layout();
        return 0;
    case WM_ACTIVATE:
        // As a dialog does: the control that had the focus gets it back, else the first.
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = GetFocus();
            if (focus && IsChild(hwnd_, focus)) lastFocus_ = focus;
        } else {
            HWND target = lastFocus_ && IsWindow(lastFocus_) && IsWindowEnabled(lastFocus_)
                              ? lastFocus_
                              : GetNextDlgTabItem(hwnd_, nullptr, FALSE);
            if (target) SetFocus(target);
        }
        return 0;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

LRESULT CALLBACK Win32Window::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* window =
            static_cast<Win32Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        window->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window));
    }
    auto* window = reinterpret_cast<Win32Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    // Before the window knows its object (and after the object has gone) the defaults serve;
    // during creation the controls do not exist yet.
    if (!window || message == WM_NCCREATE || message == WM_CREATE)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    // No exception crosses the system's message dispatch: a handler's failure is reported
    // in the error box, and the window goes on.
    try {
        LRESULT result = window->HandleMessage(message, wParam, lParam);
        if (message == WM_NCDESTROY) window->hwnd_ = nullptr;
        return result;
    } catch (const std::exception& e) {
        ShowMessageBox(nullptr, MessageKind::Error, "Kestrune", e.what());
        return 0;
    }
}

} // namespace kestrune
