// The Status window's log on Windows: a window of its own class that keeps the lines and draws
// the ones in view. Wine's rich edit took a restore's lines at a cost that grew faster than
// the lines, and emptied them in a time that grew with their square.
//
// Lines come in at once, so whoever asks sees them; the scroll bars, following and the picture
// catch up once a frame for all the lines that came meanwhile. The vertical scroll bar counts
// lines; the horizontal one, pixels.
//
// Text is selected with the mouse (a drag, shift-click to extend, a double click for a word),
// copied with Ctrl+C or the context menu; the keys that move through a text scroll the view.
#pragma once

#include "gui/forms/log_lines.h"
#include "gui/win32/log_rtf.h"
#include "gui/win32/win32_sdk.h"

namespace kestrune {

class LogWindow {
  public:
    static constexpr const wchar_t* kClassName = L"KestruneLog";
    static constexpr UINT_PTR kFrameTimer = 1;
    static constexpr UINT kFrameMs = 30;
    // While lines come, the scroll bars are drawn this often (they take their ranges at once).
    static constexpr DWORD kBarsMs = 250;

    // Registers the window class, once; returns its name for CreateWindowExW.
    static const wchar_t* ClassName();
    // The log of a window of the class.
    static LogWindow& Of(HWND hwnd);

    void AppendLine(WideString text, uint32_t color);
    void Clear();
    const std::vector<LogLine>& Lines() const { return lines_; }

    void SetTabStop(int twips);
    std::string Rtf() const;

    // Whether the view shows the last line with nothing selected; lines that wait for the
    // frame count as shown while the reader has not moved the view.
    bool Following() const;
    // Shows the last line, at the next frame if lines wait for it, and then only if the reader
    // has not moved the view or selected text meanwhile.
    void ScrollToEnd();
    // What the frame timer does when it comes due.
    void Frame();

    bool HasSelection() const { return anchor_ != cursor_; }
    void Select(LogPosition anchor, LogPosition cursor);
    void SelectAll();
    WideString SelectedText() const { return TextBetween(lines_, anchor_, cursor_); }
    // The selected text to the clipboard, its lines joined by CR LF.
    void Copy() const;

    // The place nearest to a point of the client area.
    LogPosition PositionAt(POINT point) const;
    size_t TopLine() const { return top_; }
    int LineHeight() const { return lineHeight_; }
    // The width of the widest line measured: the horizontal scroll range covers it.
    int Widest() const { return widest_; }

  private:
    struct BarState {
        int max = -1;
        int page = 0;
        int pos = 0;
        bool operator==(const BarState&) const = default;
    };

    explicit LogWindow(HWND hwnd);
    static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);

    void SetFont(HFONT font);
    int TabPixels() const;
    // The x of each character's left edge and of the line's end, tabs expanded.
    std::vector<int> Edges(HDC dc, const WideString& text) const;
    void Paint();
    void Draw(HDC target);
    void PaintLine(HDC dc, size_t index, int y);
    void ScheduleFrame();
    // The scroll bars' ranges and positions, drawn now or by a frame to come.
    void UpdateScrollBars(bool draw);
    void SetBar(int bar, BarState state, bool draw);
    void UpdateVisibleLines();
    size_t LastTop() const;
    void ScrollTo(ptrdiff_t top);
    void ScrollSideways(int left);
    void OnScroll(int bar, int request);
    void OnKey(WPARAM key);
    void OnMouse(UINT message, WPARAM wParam, POINT point);
    void ShowMenu(POINT screen);

    HWND hwnd_;
    HFONT font_ = nullptr;
    int lineHeight_ = 1;
    int charWidth_ = 1;
    int visibleLines_ = 1;
    int tabTwips_ = 0; // 0: every half inch

    std::vector<LogLine> lines_;
    // The widest line measured so far, and the longest in characters, which is measured at the
    // next frame: measuring every line as it came would cost what the rich edit did.
    int widest_ = 0;
    size_t longest_ = 0;
    bool longestMeasured_ = true;

    // The lines the scroll range counts: those there at the last frame.
    size_t counted_ = 0;
    size_t top_ = 0;
    int left_ = 0;
    int wheelDelta_ = 0;
    BarState barSet_[2]; // vertical, horizontal
    bool barUndrawn_[2] = {false, false};
    DWORD barsDrawnAt_ = 0;

    LogPosition anchor_;
    LogPosition cursor_;
    bool dragging_ = false;

    bool framePending_ = false;
    bool followPending_ = false;
    size_t followedTop_ = 0;
};

} // namespace kestrune
