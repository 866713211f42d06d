// A top-level window of the program: its window class, its messages routed to a member
// function, and the sizes and fonts scaled for the monitor's DPI.
#pragma once

#include "gui/win32/win32_sdk.h"

namespace kestrune {

class Win32Window {
  public:
    virtual ~Win32Window();
    Win32Window(const Win32Window&) = delete;
    Win32Window& operator=(const Win32Window&) = delete;

    HWND Handle() const { return hwnd_; }

  protected:
    Win32Window() = default;

    // Creates the window with the client size given in 96-DPI pixels, centred on the screen,
    // hidden. The controls come from CreateControls, placed by Layout.
    void Create(const wchar_t* className, const wchar_t* caption, DWORD style, int clientWidth,
                int clientHeight, HWND owner);
    virtual void CreateControls() = 0;
    // Places the controls for the current DPI and client size.
    virtual void Layout() = 0;
    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    // A child control with its text, style and id; it takes the window's font.
    HWND Child(const wchar_t* className, const wchar_t* text, DWORD style, int id,
               DWORD exStyle = 0);
    // 96-DPI pixels at the window's DPI.
    int Scale(int pixels) const { return MulDiv(pixels, dpi_, 96); }
    void Place(HWND control, int left, int top, int width, int height) const;
    // The font of the window: face and size in points, or in pixels when points is 0.
    void SetFont(const wchar_t* face, int points, int pixels = 0);

    HWND hwnd_ = nullptr;
    UINT dpi_ = 96;

  private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void ApplyFont();

    HFONT font_ = nullptr;
    HWND lastFocus_ = nullptr;
    const wchar_t* fontFace_ = L"MS Shell Dlg 2";
    int fontPoints_ = 8;
    int fontPixels_ = 0;
};

// The program's icon, from its resources.
HICON ProgramIcon(int size);

} // namespace kestrune
