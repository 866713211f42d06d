// The Status window's log, through the form that writes a restore into it.
#include "gui/win32/status_window.h"

#include "gui/win32/log_window.h" // after the forms: the SDK's macros

#include <richedit.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>

namespace kestrune {
namespace {

constexpr uint32_t kYellow = 0x00FFFF;
constexpr uint32_t kLime = 0x00FF00;

// 5,000 lines by default (the rich edit took over five seconds); KESTRUNE_CLEAR_LINES measures
// others.
int LinesToClear() {
    const char* lines = std::getenv("KESTRUNE_CLEAR_LINES");
    return lines ? std::atoi(lines) : 5000;
}

// The log's frame timer coming due.
void ShowFrame(StatusWindow& window) {
    SendMessageW(window.re1(), WM_TIMER, LogWindow::kFrameTimer, 0);
}

// A second restore after a large one starts by clearing the Status window's log: it must not
// wait on the lines the first one left.
TEST(StatusWindowLog, ClearsThousandsOfLinesAtOnceAndFollowsTheNextRun) {
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
    EXPECT_GT(LogWindow::Of(window.re1()).TopLine(), 0u);

    const auto start = std::chrono::steady_clock::now();
    status.ClearLines();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("clearing %d lines took %.3f s\n", lines, seconds);
    EXPECT_LT(seconds, 0.1);
    EXPECT_TRUE(status.re1->Lines().empty());
    EXPECT_EQ(LogWindow::Of(window.re1()).TopLine(), 0u);

    status.AddLine("Starting restore", kYellow);
    status.AddLine("second\tline", kLime);
    ShowFrame(window);
    const std::vector<WideString> now = status.re1->Lines();
    ASSERT_EQ(now.size(), 2u);
    EXPECT_TRUE(now[0].ends_with(u"\tStarting restore"));
    EXPECT_TRUE(now[1].ends_with(u"\tsecond\tline"));
    EXPECT_TRUE(status.re1->Following());
    EXPECT_TRUE(IsWindowVisible(window.re1()));
}

DWORD CALLBACK ReadRtf(DWORD_PTR cookie, LPBYTE buffer, LONG size, LONG* read) {
    auto* source = reinterpret_cast<std::pair<const std::string*, size_t>*>(cookie);
    const size_t n = std::min<size_t>(size, source->first->size() - source->second);
    std::memcpy(buffer, source->first->data() + source->second, n);
    source->second += n;
    *read = static_cast<LONG>(n);
    return 0;
}

// The restore log saved as RTF reads back in a real rich edit as the lines were, in their
// colours, with the Status window's font and tab stop.
TEST(StatusWindowLog, ItsRtfReadsBackInARichEdit) {
    StatusWindow window;
    TfStatus& status = window.form();
    status.ShowLog(); // sets the tab stop
    status.AddLine("\\\\example.com\\Public {braces} caf\xe9", kYellow);
    status.AddLine("\\par not a paragraph", kLime);
    const std::string rtf = status.re1->RichText();

    ASSERT_TRUE(LoadLibraryW(L"msftedit.dll"));
    HWND edit = CreateWindowExW(0, MSFTEDIT_CLASS, L"", WS_POPUP | ES_MULTILINE, 0, 0, 400, 200,
                                nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(edit, nullptr);
    std::pair<const std::string*, size_t> source{&rtf, 0};
    EDITSTREAM stream{};
    stream.dwCookie = reinterpret_cast<DWORD_PTR>(&source);
    stream.pfnCallback = ReadRtf;
    SendMessageW(edit, EM_STREAMIN, SF_RTF, reinterpret_cast<LPARAM>(&stream));
    std::vector<wchar_t> text(4096, L'\0');
    GETTEXTEX get{static_cast<DWORD>(text.size() * sizeof(wchar_t)), GT_DEFAULT, 1200, nullptr,
                  nullptr};
    SendMessageW(edit, EM_GETTEXTEX, reinterpret_cast<WPARAM>(&get),
                 reinterpret_cast<LPARAM>(text.data()));
    const std::vector<WideString> lines = status.re1->Lines();
    // The last line's paragraph mark is the document's end.
    EXPECT_EQ(FromW(text.data(), wcslen(text.data())), lines[0] + u"\r" + lines[1]) << rtf;

    auto format = [&](LONG at) {
        SendMessageW(edit, EM_SETSEL, at, at + 1);
        CHARFORMAT2W chars{};
        chars.cbSize = sizeof chars;
        SendMessageW(edit, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&chars));
        return chars;
    };
    EXPECT_EQ(format(0).crTextColor, COLORREF{kYellow});
    EXPECT_EQ(format(static_cast<LONG>(lines[0].size()) + 1).crTextColor, COLORREF{kLime});
    EXPECT_EQ(std::wstring(format(0).szFaceName), L"Tahoma");
    EXPECT_EQ(format(0).yHeight, 8 * 20);
    PARAFORMAT2 paragraph{};
    paragraph.cbSize = sizeof paragraph;
    SendMessageW(edit, EM_GETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&paragraph));
    EXPECT_EQ(paragraph.cTabCount, 1);
    EXPECT_EQ(paragraph.rgxTabs[0], 100 * 20);
    DestroyWindow(edit);
}

} // namespace
} // namespace kestrune
