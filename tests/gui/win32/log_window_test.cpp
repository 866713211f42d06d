// The log window, a real one in a window of the test's own with a button before and after it
// in the Tab order, driven by the messages the mouse and keys send.
#include "gui/win32/log_window.h"

#include <gtest/gtest.h>

#include <string>

namespace kestrune {
namespace {

constexpr uint32_t kYellow = 0x00FFFF;
constexpr uint32_t kLime = 0x00FF00;

WideString Line(int i) {
    const std::string text = "line " + std::to_string(i);
    return WideString(text.begin(), text.end());
}

class LogWindowTest : public testing::Test {
  protected:
    void SetUp() override {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"KestruneLogTest";
        RegisterClassW(&windowClass); // fails harmlessly once registered
        parent_ = CreateWindowExW(WS_EX_CONTROLPARENT, L"KestruneLogTest", L"Log",
                                  WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 500, 300, nullptr,
                                  nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(parent_, nullptr) << "no window: Wine needs a display (DISPLAY)";
        before_ = Child(WC_BUTTONW, WS_TABSTOP, 0, 10, 80, 20);
        hwnd_ =
            Child(LogWindow::ClassName(), WS_HSCROLL | WS_VSCROLL | WS_TABSTOP, 5, 40, 400, 200);
        after_ = Child(WC_BUTTONW, WS_TABSTOP, 0, 250, 80, 20);
        // Unsmoothed, so that the drawn text has exactly the lines' colours.
        font_ = CreateFontW(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                            OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY,
                            DEFAULT_PITCH, L"Tahoma");
        SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    }
    void TearDown() override {
        if (parent_) DestroyWindow(parent_);
        DeleteObject(font_);
    }

    HWND Child(const wchar_t* className, DWORD style, int x, int y, int width, int height) {
        return CreateWindowExW(0, className, L"", WS_CHILD | WS_VISIBLE | style, x, y, width,
                               height, parent_, nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    LogWindow& Log() { return LogWindow::Of(hwnd_); }
    // As the Status window's form adds a line: followed while the view follows.
    void Add(const WideString& text, uint32_t color = kLime) {
        const bool following = Log().Following();
        Log().AppendLine(text, color);
        if (following) Log().ScrollToEnd();
    }
    void AddLines(int count) {
        for (int i = 0; i < count; ++i)
            Add(Line(i));
        Log().Frame();
    }
    void Key(WPARAM key, bool control = false) {
        BYTE keys[256];
        GetKeyboardState(keys);
        keys[VK_CONTROL] = control ? 0x80 : 0;
        SetKeyboardState(keys);
        SendMessageW(hwnd_, WM_KEYDOWN, key, 0);
        keys[VK_CONTROL] = 0;
        SetKeyboardState(keys);
    }
    void Mouse(UINT message, int x, int row, WPARAM keys = 0) {
        const int y = row * Log().LineHeight() + Log().LineHeight() / 2;
        SendMessageW(hwnd_, message, keys, MAKELPARAM(x, y));
    }
    size_t VisibleLines() {
        RECT client{};
        GetClientRect(hwnd_, &client);
        return static_cast<size_t>(client.bottom / Log().LineHeight());
    }
    SCROLLINFO Bar(int bar) {
        SCROLLINFO info{};
        info.cbSize = sizeof info;
        info.fMask = SIF_ALL;
        GetScrollInfo(hwnd_, bar, &info);
        return info;
    }
    static WideString Clipboard() {
        WideString text;
        if (!OpenClipboard(nullptr)) return text;
        if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
            text = reinterpret_cast<const char16_t*>(GlobalLock(data));
            GlobalUnlock(data);
        }
        CloseClipboard();
        return text;
    }

    HWND parent_ = nullptr, before_ = nullptr, hwnd_ = nullptr, after_ = nullptr;
    HFONT font_ = nullptr;
};

TEST_F(LogWindowTest, FollowsTheLastLineAtTheFrameUnlessTheReaderMovedTheView) {
    for (int i = 0; i < 500; ++i)
        Add(Line(i));
    EXPECT_EQ(Log().Lines().size(), 500u) << "in at once";
    EXPECT_EQ(Log().TopLine(), 0u) << "the view waits for the frame";
    EXPECT_TRUE(Log().Following());
    Log().Frame();
    EXPECT_EQ(Log().TopLine(), 500u - VisibleLines());
    EXPECT_EQ(static_cast<size_t>(Bar(SB_VERT).nPos), 500u - VisibleLines());

    // The reader scrolls up between two frames: the view stays where they put it.
    Add(u"more");
    Key(VK_UP);
    EXPECT_FALSE(Log().Following());
    AddLines(20);
    EXPECT_EQ(Log().TopLine(), 500u - VisibleLines() - 1);
    // Ctrl+End follows again.
    Key(VK_END, true);
    EXPECT_TRUE(Log().Following());
    AddLines(5);
    EXPECT_EQ(Log().TopLine(), 526u - VisibleLines());
}

TEST_F(LogWindowTest, ASelectionAndItsPlaceSurviveNewLines) {
    AddLines(100);
    Key(VK_HOME, true);
    Mouse(WM_LBUTTONDOWN, 2, 1);
    Mouse(WM_MOUSEMOVE, 2, 3, MK_LBUTTON);
    Mouse(WM_LBUTTONUP, 2, 3);
    EXPECT_EQ(Log().SelectedText(), u"line 1\r\nline 2\r\n");
    // Scrolled to the end, a selection still stops the view from following.
    Key(VK_END, true);
    EXPECT_FALSE(Log().Following());
    const size_t top = Log().TopLine();
    AddLines(50);
    EXPECT_EQ(Log().TopLine(), top);
    EXPECT_EQ(Log().SelectedText(), u"line 1\r\nline 2\r\n");
}

TEST_F(LogWindowTest, TheMouseSelectsAndTheKeysCopy) {
    Add(u"Restoring \\\\example.com\\Public", kYellow);
    AddLines(5);
    Mouse(WM_LBUTTONDOWN, 2, 1);
    Mouse(WM_LBUTTONUP, 2, 1);
    EXPECT_FALSE(Log().HasSelection()) << "a click alone selects nothing";
    // Shift and a click extend the selection from where it began.
    Mouse(WM_LBUTTONDOWN, 1000, 3, MK_SHIFT);
    Mouse(WM_LBUTTONUP, 1000, 3);
    Key('C', true);
    EXPECT_EQ(Clipboard(), u"line 0\r\nline 1\r\nline 2");
    SIZE prefix{};
    HDC dc = GetDC(hwnd_);
    SelectObject(dc, font_);
    GetTextExtentPoint32W(dc, L"Restoring \\\\exa", 15, &prefix);
    ReleaseDC(hwnd_, dc);
    Mouse(WM_LBUTTONDBLCLK, prefix.cx, 0);
    EXPECT_EQ(Log().SelectedText(), u"example");
    Key('A', true);
    EXPECT_EQ(Log().SelectedText().substr(0, 40),
              u"Restoring \\\\example.com\\Public\r\nline 0\r\n");
    EXPECT_TRUE(Log().SelectedText().ends_with(u"line 4"));
}

TEST_F(LogWindowTest, KeysScrollTypingChangesNothingAndTabPassesThrough) {
    AddLines(300);
    Key(VK_HOME, true);
    Key(VK_NEXT);
    Key(VK_DOWN);
    EXPECT_EQ(Log().TopLine(), VisibleLines() + 1);
    SendMessageW(hwnd_, WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), 0);
    UINT perNotch = 3;
    SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &perNotch, 0);
    EXPECT_EQ(Log().TopLine(), VisibleLines() + 1 + perNotch);
    Key(VK_PRIOR);
    Key(VK_UP);
    EXPECT_EQ(Log().TopLine(), perNotch);
    SendMessageW(hwnd_, WM_CHAR, L'x', 0);
    Key(VK_DELETE);
    EXPECT_EQ(Log().Lines().size(), 300u);

    // In the Tab order after the control before it; Tab leaves it for the next one.
    SetFocus(before_);
    MSG tab{before_, WM_KEYDOWN, VK_TAB, 0, 0, {}};
    EXPECT_TRUE(IsDialogMessageW(parent_, &tab));
    EXPECT_EQ(GetFocus(), hwnd_);
    tab.hwnd = hwnd_;
    EXPECT_TRUE(IsDialogMessageW(parent_, &tab));
    EXPECT_EQ(GetFocus(), after_);
}

// The horizontal range covers the longest line in characters at the next frame, and any wider
// line once it has been drawn.
TEST_F(LogWindowTest, TheHorizontalRangeCoversTheWidestLine) {
    Add(WideString(150, u'i'));
    Add(WideString(100, u'W'));
    AddLines(200);
    auto width = [&](const wchar_t* text, int length) {
        HDC dc = GetDC(hwnd_);
        SelectObject(dc, font_);
        SIZE size{};
        GetTextExtentPoint32W(dc, text, length, &size);
        ReleaseDC(hwnd_, dc);
        return static_cast<int>(size.cx);
    };
    EXPECT_EQ(Log().Widest(), width(std::wstring(150, L'i').c_str(), 150));
    EXPECT_GE(Bar(SB_HORZ).nMax + 1, Log().Widest());
    EXPECT_GT(Log().TopLine(), 2u) << "following, the wide lines are out of view";

    SendMessageW(hwnd_, WM_VSCROLL, SB_TOP, 0);
    UpdateWindow(hwnd_);
    const int wide = width(std::wstring(100, L'W').c_str(), 100);
    ASSERT_GT(wide, width(std::wstring(150, L'i').c_str(), 150));
    EXPECT_EQ(Log().Widest(), wide);
    EXPECT_GE(Bar(SB_HORZ).nMax + 1, wide);
    SendMessageW(hwnd_, WM_HSCROLL, SB_RIGHT, 0);
    RECT client{};
    GetClientRect(hwnd_, &client);
    EXPECT_EQ(Bar(SB_HORZ).nPos, Bar(SB_HORZ).nMax + 1 - client.right);
}

// Each line in its colour on black, the text after a tab at the tab stop, the selection in
// the system's highlight colours.
TEST_F(LogWindowTest, PaintsTheLinesInTheirColoursWithTheTabStopAndTheSelection) {
    Log().SetTabStop(1440); // an inch: 96 pixels at 96 DPI
    Add(u"yellow", kYellow);
    Add(u"\tlime", kLime);
    Add(u"selected", kYellow);
    Log().Frame();
    Log().Select({2, 0}, {2, 8});
    RECT client{};
    GetClientRect(hwnd_, &client);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = client.right;
    info.bmiHeader.biHeight = -client.bottom; // top down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    SelectObject(dc, bitmap);
    SendMessageW(hwnd_, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    GdiFlush();
    // The pixels of a row of lines: the first column of each colour, -1 where it is not.
    auto firstX = [&](int row, COLORREF color) {
        const auto* pixels = static_cast<const uint32_t*>(bits);
        const uint32_t wanted =
            (GetRValue(color) << 16) | (GetGValue(color) << 8) | GetBValue(color);
        for (int y = row * Log().LineHeight(); y < (row + 1) * Log().LineHeight(); ++y)
            for (int x = 0; x < client.right; ++x)
                if ((pixels[y * client.right + x] & 0xFFFFFF) == wanted) return x;
        return -1;
    };
    EXPECT_GE(firstX(0, kYellow), 0);
    EXPECT_EQ(firstX(0, kLime), -1);
    EXPECT_GE(firstX(1, kLime), 96);
    EXPECT_LT(firstX(1, kLime), 96 + 10);
    EXPECT_GE(firstX(2, GetSysColor(COLOR_HIGHLIGHT)), 0);
    EXPECT_EQ(firstX(1, GetSysColor(COLOR_HIGHLIGHT)), -1);
    EXPECT_EQ(firstX(4, RGB(0, 0, 0)), 0) << "black below the lines";
    DeleteDC(dc);
    DeleteObject(bitmap);
}

} // namespace
} // namespace kestrune
