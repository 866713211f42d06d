// The Status window's log over a real rich edit control, in a window of the test's own with a
// button before and after it in the Tab order.
#include "gui/win32/status_window.h"
#include "gui/win32/win32_controls.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace kestrune {
namespace {

constexpr uint32_t kYellow = 0x00FFFF;
constexpr uint32_t kLime = 0x00FF00;
constexpr int kLogId = 1;

WideString Line(int i) {
    const std::string text = "Restoring line " + std::to_string(i);
    return WideString(text.begin(), text.end());
}

LRESULT CALLBACK CountingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
WNDPROC richEditProc = nullptr;
int charsSeen = 0;

LRESULT CALLBACK CountingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CHAR) ++charsSeen;
    return CallWindowProcW(richEditProc, hwnd, message, wParam, lParam);
}

// 5,000 lines by default (the old clear took over five seconds); KESTRUNE_CLEAR_LINES measures
// others.
int LinesToClear() {
    const char* lines = std::getenv("KESTRUNE_CLEAR_LINES");
    return lines ? std::atoi(lines) : 5000;
}

// The window's repaint timer coming due.
void ShowFrame(StatusWindow& window) {
    SendMessageW(window.Handle(), WM_TIMER, Win32RichLog::kRepaintTimer, 0);
}

class RichLogTest : public testing::Test {
  protected:
    void SetUp() override {
        LoadLibraryW(L"msftedit.dll");
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"KestruneRichLogTest";
        RegisterClassW(&windowClass); // fails harmlessly once registered
        parent_ = CreateWindowExW(WS_EX_CONTROLPARENT, L"KestruneRichLogTest", L"Log",
                                  WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 500, 300, nullptr,
                                  nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(parent_, nullptr) << "no window: Wine needs a display (DISPLAY)";
        before_ = Child(WC_BUTTONW, WS_TABSTOP, 10, 0, 10, 80, 20);
        log_.Attach(Child(MSFTEDIT_CLASS,
                          ES_MULTILINE | ES_READONLY | ES_AUTOHSCROLL | ES_AUTOVSCROLL |
                              ES_NOHIDESEL | WS_HSCROLL | WS_VSCROLL | WS_TABSTOP,
                          kLogId, 5, 40, 400, 200));
        after_ = Child(WC_BUTTONW, WS_TABSTOP, 11, 0, 250, 80, 20);
    }
    void TearDown() override {
        if (parent_) DestroyWindow(parent_);
    }

    HWND Child(const wchar_t* className, DWORD style, int id, int x, int y, int width, int height) {
        return CreateWindowExW(0, className, L"", WS_CHILD | WS_VISIBLE | style, x, y, width,
                               height, parent_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                               GetModuleHandleW(nullptr), nullptr);
    }

    // Lines as a run adds them, shown as the window's repaint timer shows them.
    void AddLines(int count) {
        for (int i = 0; i < count; ++i)
            log_.AppendLine(Line(i), kYellow);
        log_.FrameElapsed();
    }

    HWND parent_ = nullptr, before_ = nullptr, after_ = nullptr;
    Win32RichLog log_;
};

// A second restore after a large one starts by clearing the Status window's log: it must not
// wait on the lines the first one left. Emptying the control's text cost seconds for two
// thousand lines under Wine, and grew with the square of the lines.
TEST(StatusWindowLog, ClearsThousandsOfLinesAtOnceAndFollowsTheNextRun) {
    LoadLibraryW(L"msftedit.dll");
    StatusWindow window;
    TfStatus& status = window.form();
    status.ShowLog();
    const int lines = LinesToClear();
    // As a run writes them: what it restores in one colour, what it did in another.
    for (int i = 0; i < lines; ++i)
        status.AddLine(i % 2 ? "\\\\example.com\\Public\\Bulk" + std::to_string(i) + "\tRestored"
                             : "Restoring \\\\example.com\\Public\\Bulk" + std::to_string(i),
                       i % 2 ? kLime : kYellow);
    ShowFrame(window);
    ASSERT_EQ(status.re1->Lines().size(), static_cast<size_t>(lines));

    const auto start = std::chrono::steady_clock::now();
    status.ClearLines();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("clearing %d lines took %.3f s\n", lines, seconds);
    EXPECT_LT(seconds, 1.0);
    EXPECT_EQ(status.re1->Lines(), std::vector<WideString>{u""});

    status.AddLine("Starting restore", kYellow);
    status.AddLine("second\tline", 0x00FF00);
    ShowFrame(window);
    const std::vector<WideString> now = status.re1->Lines();
    ASSERT_EQ(now.size(), 2u);
    EXPECT_TRUE(now[0].ends_with(u"Starting restore"));
    EXPECT_TRUE(now[1].ends_with(u"second\tline"));
    EXPECT_TRUE(status.re1->Following());
    EXPECT_TRUE(IsWindowVisible(window.re1()));
}

TEST_F(RichLogTest, AClearedLogKeepsItsPlaceLooksAndKeyboard) {
    log_.SetTabStop(250);
    LRESULT events = SendMessageW(log_.Handle(), EM_GETEVENTMASK, 0, 0) | ENM_SELCHANGE;
    SendMessageW(log_.Handle(), EM_SETEVENTMASK, 0, events);
    richEditProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(log_.Handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountingProc)));
    log_.SetFocus();
    const LONG_PTR style = GetWindowLongPtrW(log_.Handle(), GWL_STYLE);
    RECT place{};
    GetWindowRect(log_.Handle(), &place);
    AddLines(20);

    log_.Clear();
    HWND log = log_.Handle();
    ASSERT_TRUE(IsWindow(log));
    EXPECT_EQ(GetParent(log), parent_);
    EXPECT_EQ(GetDlgItem(parent_, kLogId), log);
    EXPECT_EQ(GetWindowLongPtrW(log, GWL_STYLE), style);
    RECT now{};
    GetWindowRect(log, &now);
    EXPECT_TRUE(EqualRect(&now, &place));
    EXPECT_EQ(GetWindow(before_, GW_HWNDNEXT), log) << "Tab order";
    EXPECT_EQ(GetWindow(log, GW_HWNDNEXT), after_) << "Tab order";
    EXPECT_EQ(GetNextDlgTabItem(parent_, before_, FALSE), log);
    EXPECT_TRUE(log_.Focused());
    EXPECT_EQ(SendMessageW(log, EM_GETEVENTMASK, 0, 0), events);
    EXPECT_EQ(SendMessageW(log, EM_SETBKGNDCOLOR, 0, RGB(0, 0, 0)), RGB(0, 0, 0)) << "black";
    CHARFORMAT2W format{};
    format.cbSize = sizeof format;
    SendMessageW(log, EM_GETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&format));
    EXPECT_EQ(format.crTextColor, COLORREF{0x00FF00});
    EXPECT_EQ(std::wstring(format.szFaceName), L"Tahoma");
    EXPECT_EQ(format.yHeight, 8 * 20);

    log_.AppendLine(u"a\tb", kYellow);
    EXPECT_NE(log_.RichText().find("\\tx5000"), std::string::npos) << log_.RichText();
    // Keys still reach the view's own handling of the control.
    SendMessageW(log, WM_CHAR, L'x', 0);
    EXPECT_EQ(charsSeen, 1);
}

// The log is cleared as a restore starts, often while a frame of lines waits to be shown:
// once the frame comes, the new control draws and shows the lines.
TEST_F(RichLogTest, ClearedDuringAFrameShowsTheNextFrame) {
    log_.AppendLine(u"first run", kYellow);
    log_.Clear();
    log_.AppendLine(u"second run", kYellow);
    log_.ScrollToEnd();
    log_.FrameElapsed();
    EXPECT_TRUE(IsWindowVisible(log_.Handle()));
    EXPECT_EQ(log_.Lines(), std::vector<WideString>{u"second run"});
    EXPECT_TRUE(log_.Following());
}

} // namespace
} // namespace kestrune
