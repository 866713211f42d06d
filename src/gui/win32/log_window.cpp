#include "gui/win32/log_window.h"

#include <windowsx.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <new>

namespace kestrune {

namespace {

// The space left of the text, as the rich edit left it.
constexpr int kMargin = 3;
constexpr UINT kCopyCommand = 1;
constexpr UINT kSelectAllCommand = 2;

// A screen-compatible device context with the log's font, for measuring text.
class MeasuringDC {
  public:
    MeasuringDC(HWND hwnd, HFONT font) : hwnd_(hwnd), dc_(GetDC(hwnd)) {
        old_ = SelectObject(dc_, font ? font : GetStockObject(DEFAULT_GUI_FONT));
    }
    ~MeasuringDC() {
        SelectObject(dc_, old_);
        ReleaseDC(hwnd_, dc_);
    }
    MeasuringDC(const MeasuringDC&) = delete;
    MeasuringDC& operator=(const MeasuringDC&) = delete;
    HDC Get() const { return dc_; }

  private:
    HWND hwnd_;
    HDC dc_;
    HGDIOBJ old_;
};

// Draws the text's runs between tabs at the edges measured for them, clipped to the rectangle
// if there is one.
void DrawRuns(HDC dc, const WideString& text, const std::vector<int>& edges, int x, int y,
              const RECT* clip) {
    std::vector<int> advances;
    size_t start = 0;
    while (start < text.size()) {
        if (text[start] == u'\t') {
            ++start;
            continue;
        }
        size_t end = std::min(text.find(u'\t', start), text.size());
        advances.resize(end - start);
        for (size_t i = start; i < end; ++i)
            advances[i - start] = edges[i + 1] - edges[i];
        ExtTextOutW(dc, x + edges[start], y, clip ? ETO_CLIPPED : 0, clip, W(text) + start,
                    static_cast<UINT>(end - start), advances.data());
        start = end;
    }
}

int Dpi(HWND hwnd) {
    const UINT dpi = GetDpiForWindow(hwnd);
    return dpi ? static_cast<int>(dpi) : 96;
}

} // namespace

const wchar_t* LogWindow::ClassName() {
    static const ATOM registered = [] {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.style = CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
        windowClass.lpfnWndProc = Procedure;
        windowClass.cbWndExtra = sizeof(LogWindow*);
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_IBEAM));
        windowClass.lpszClassName = kClassName;
        return RegisterClassExW(&windowClass);
    }();
    (void)registered;
    return kClassName;
}

LogWindow& LogWindow::Of(HWND hwnd) {
    return *reinterpret_cast<LogWindow*>(GetWindowLongPtrW(hwnd, 0));
}

LogWindow::LogWindow(HWND hwnd) : hwnd_(hwnd) {}

LRESULT CALLBACK LogWindow::Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* log = new (std::nothrow) LogWindow(hwnd);
        if (!log) return FALSE;
        SetWindowLongPtrW(hwnd, 0, reinterpret_cast<LONG_PTR>(log));
    }
    auto* log = reinterpret_cast<LogWindow*>(GetWindowLongPtrW(hwnd, 0));
    if (!log) return DefWindowProcW(hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, 0, 0);
        delete log;
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    // No exception crosses the system's message dispatch: short of memory, a picture or a
    // measure is left out.
    try {
        return log->Handle(message, wParam, lParam);
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

LRESULT LogWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        SetFont(nullptr);
        return 0;
    case WM_SETFONT:
        SetFont(reinterpret_cast<HFONT>(wParam));
        if (LOWORD(lParam)) InvalidateRect(hwnd_, nullptr, FALSE);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(font_);
    case WM_SIZE: {
        const bool atEnd = top_ >= LastTop();
        UpdateVisibleLines();
        top_ = atEnd ? LastTop() : std::min(top_, LastTop());
        UpdateScrollBars(true);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1; // the picture covers all of it
    case WM_PAINT:
        Paint();
        return 0;
    case WM_PRINTCLIENT:
        Draw(reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_TIMER:
        if (wParam == kFrameTimer) Frame();
        return 0;
    case WM_VSCROLL:
        OnScroll(SB_VERT, LOWORD(wParam));
        return 0;
    case WM_HSCROLL:
        OnScroll(SB_HORZ, LOWORD(wParam));
        return 0;
    case WM_MOUSEWHEEL: {
        UINT perNotch = 3;
        SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &perNotch, 0);
        const int lines = perNotch == WHEEL_PAGESCROLL ? visibleLines_ : static_cast<int>(perNotch);
        wheelDelta_ += GET_WHEEL_DELTA_WPARAM(wParam);
        const int notches = wheelDelta_ / WHEEL_DELTA;
        wheelDelta_ -= notches * WHEEL_DELTA;
        ScrollTo(static_cast<ptrdiff_t>(top_) - notches * lines);
        return 0;
    }
    case WM_GETDLGCODE:
        // The arrows scroll rather than move the focus; characters are taken, and change nothing.
        return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_KEYDOWN:
        OnKey(wParam);
        return 0;
    case WM_CHAR:
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_MOUSEMOVE:
    case WM_LBUTTONUP:
        OnMouse(message, wParam, {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return 0;
    case WM_CAPTURECHANGED:
        dragging_ = false;
        return 0;
    case WM_CONTEXTMENU: {
        POINT screen{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        if (screen.x == -1 && screen.y == -1) { // from the keyboard: at the top left
            screen = {0, 0};
            ClientToScreen(hwnd_, &screen);
        }
        ShowMenu(screen);
        return 0;
    }
    case WM_DESTROY:
        KillTimer(hwnd_, kFrameTimer);
        return 0;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

void LogWindow::SetFont(HFONT font) {
    font_ = font;
    MeasuringDC dc(hwnd_, font_);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc.Get(), &metrics);
    lineHeight_ = std::max(1, static_cast<int>(metrics.tmHeight + metrics.tmExternalLeading));
    charWidth_ = std::max(1, static_cast<int>(metrics.tmAveCharWidth));
    widest_ = 0;
    longestMeasured_ = lines_.empty(); // measured again at the next frame
    UpdateVisibleLines();
    UpdateScrollBars(true);
    if (!lines_.empty()) ScheduleFrame();
}

void LogWindow::AppendLine(WideString text, uint32_t color) {
    lines_.push_back({std::move(text), color});
    if (lines_.size() == 1 || lines_.back().text.size() > lines_[longest_].text.size()) {
        longest_ = lines_.size() - 1;
        longestMeasured_ = false;
    }
    ScheduleFrame();
}

void LogWindow::Clear() {
    lines_.clear();
    widest_ = 0;
    longest_ = 0;
    longestMeasured_ = true;
    counted_ = 0;
    top_ = 0;
    left_ = 0;
    anchor_ = cursor_ = {};
    if (dragging_) ReleaseCapture();
    dragging_ = false;
    followPending_ = false;
    UpdateScrollBars(true);
    InvalidateRect(hwnd_, nullptr, FALSE);
}

void LogWindow::SetTabStop(int twips) {
    tabTwips_ = twips;
    widest_ = 0;
    longestMeasured_ = lines_.empty();
    ScheduleFrame();
}

int LogWindow::TabPixels() const {
    return std::max(1, MulDiv(tabTwips_ > 0 ? tabTwips_ : 720, Dpi(hwnd_), 1440));
}

std::string LogWindow::Rtf() const {
    RtfLooks looks;
    looks.tabTwips = tabTwips_;
    LOGFONTW font{};
    if (font_ && GetObjectW(font_, sizeof font, &font)) {
        looks.face = FromW(font.lfFaceName, wcsnlen(font.lfFaceName, LF_FACESIZE));
        // Whole points: the font's height in pixels is the points rounded at the window's DPI.
        looks.halfPoints = 2 * MulDiv(std::abs(font.lfHeight), 72, Dpi(hwnd_));
    }
    return LogAsRtf(lines_, looks);
}

bool LogWindow::Following() const {
    if (HasSelection()) return false;
    // Lines that wait for the frame are not in the scroll range yet.
    if (followPending_) return top_ == followedTop_;
    return top_ >= LastTop();
}

void LogWindow::ScrollToEnd() {
    if (!framePending_) {
        ScrollTo(static_cast<ptrdiff_t>(LastTop()));
        return;
    }
    if (!followPending_) followedTop_ = top_;
    followPending_ = true;
}

// A run adds lines far faster than a screen refreshes: the scroll range, following and the
// picture catch up at most once a frame.
void LogWindow::ScheduleFrame() {
    if (framePending_) return;
    framePending_ = true;
    SetTimer(hwnd_, kFrameTimer, kFrameMs, nullptr);
}

void LogWindow::Frame() {
    KillTimer(hwnd_, kFrameTimer);
    framePending_ = false;
    if (!longestMeasured_) {
        MeasuringDC dc(hwnd_, font_);
        widest_ = std::max(widest_, Edges(dc.Get(), lines_[longest_].text).back());
        longestMeasured_ = true;
    }
    counted_ = lines_.size();
    if (followPending_) {
        followPending_ = false;
        if (top_ == followedTop_ && !HasSelection()) top_ = LastTop();
    }
    const DWORD now = GetTickCount();
    const bool drawBars = now - barsDrawnAt_ >= kBarsMs;
    if (drawBars) barsDrawnAt_ = now;
    UpdateScrollBars(drawBars);
    InvalidateRect(hwnd_, nullptr, FALSE);
}

std::vector<int> LogWindow::Edges(HDC dc, const WideString& text) const {
    std::vector<int> edges(text.size() + 1, 0);
    std::vector<int> extents;
    const int tab = TabPixels();
    size_t start = 0;
    while (start < text.size()) {
        if (text[start] == u'\t') {
            edges[start + 1] = (edges[start] / tab + 1) * tab;
            ++start;
            continue;
        }
        const size_t end = std::min(text.find(u'\t', start), text.size());
        extents.resize(end - start);
        SIZE size{};
        GetTextExtentExPointW(dc, W(text) + start, static_cast<int>(end - start), 0, nullptr,
                              extents.data(), &size);
        for (size_t i = start; i < end; ++i)
            edges[i + 1] = edges[start] + extents[i - start];
        start = end;
    }
    return edges;
}

void LogWindow::UpdateVisibleLines() {
    RECT client{};
    GetClientRect(hwnd_, &client);
    visibleLines_ = std::max(1, static_cast<int>(client.bottom / lineHeight_));
}

size_t LogWindow::LastTop() const {
    const auto visible = static_cast<size_t>(visibleLines_);
    return counted_ > visible ? counted_ - visible : 0;
}

void LogWindow::UpdateScrollBars(bool draw) {
    RECT client{};
    GetClientRect(hwnd_, &client);
    const int content = widest_ + 2 * kMargin;
    left_ = std::clamp(left_, 0, std::max(0, content - static_cast<int>(client.right)));
    SetBar(SB_VERT,
           {std::max(0, static_cast<int>(counted_) - 1), visibleLines_, static_cast<int>(top_)},
           draw);
    SetBar(SB_HORZ, {content - 1, static_cast<int>(client.right), left_}, draw);
    // A frame to come draws them.
    if (barUndrawn_[0] || barUndrawn_[1]) ScheduleFrame();
}

// Both scroll bars always show, greyed while everything fits, as the rich edit's did. Wine
// takes milliseconds to draw one, many times what the lines in view take, and draws it whenever
// asked, changed or not: a bar is drawn only when it has changed.
void LogWindow::SetBar(int bar, BarState state, bool draw) {
    const int i = bar == SB_VERT ? 0 : 1;
    if (state == barSet_[i] && !(draw && barUndrawn_[i])) return;
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
    info.nMax = state.max;
    info.nPage = static_cast<UINT>(state.page);
    info.nPos = state.pos;
    SetScrollInfo(hwnd_, bar, &info, draw);
    barSet_[i] = state;
    barUndrawn_[i] = !draw;
}

void LogWindow::ScrollTo(ptrdiff_t top) {
    const auto clamped =
        static_cast<size_t>(std::clamp<ptrdiff_t>(top, 0, static_cast<ptrdiff_t>(LastTop())));
    if (clamped == top_) return;
    top_ = clamped;
    UpdateScrollBars(true);
    InvalidateRect(hwnd_, nullptr, FALSE);
}

void LogWindow::ScrollSideways(int left) {
    const int before = left_;
    left_ = left;
    UpdateScrollBars(true); // clamps
    if (left_ != before) InvalidateRect(hwnd_, nullptr, FALSE);
}

void LogWindow::OnScroll(int bar, int request) {
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_TRACKPOS;
    GetScrollInfo(hwnd_, bar, &info);
    if (bar == SB_VERT) {
        const auto top = static_cast<ptrdiff_t>(top_);
        switch (request) {
        case SB_LINEUP:
            return ScrollTo(top - 1);
        case SB_LINEDOWN:
            return ScrollTo(top + 1);
        case SB_PAGEUP:
            return ScrollTo(top - visibleLines_);
        case SB_PAGEDOWN:
            return ScrollTo(top + visibleLines_);
        case SB_TOP:
            return ScrollTo(0);
        case SB_BOTTOM:
            return ScrollTo(static_cast<ptrdiff_t>(LastTop()));
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION:
            return ScrollTo(info.nTrackPos);
        }
        return;
    }
    RECT client{};
    GetClientRect(hwnd_, &client);
    switch (request) {
    case SB_LINELEFT:
        return ScrollSideways(left_ - 2 * charWidth_);
    case SB_LINERIGHT:
        return ScrollSideways(left_ + 2 * charWidth_);
    case SB_PAGELEFT:
        return ScrollSideways(left_ - client.right);
    case SB_PAGERIGHT:
        return ScrollSideways(left_ + client.right);
    case SB_LEFT:
        return ScrollSideways(0);
    case SB_RIGHT:
        return ScrollSideways(widest_);
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION:
        return ScrollSideways(info.nTrackPos);
    }
}

void LogWindow::OnKey(WPARAM key) {
    const bool control = GetKeyState(VK_CONTROL) < 0;
    if (control && (key == 'C' || key == VK_INSERT)) return Copy();
    if (control && key == 'A') return SelectAll();
    switch (key) {
    case VK_UP:
        return OnScroll(SB_VERT, SB_LINEUP);
    case VK_DOWN:
        return OnScroll(SB_VERT, SB_LINEDOWN);
    case VK_PRIOR:
        return OnScroll(SB_VERT, SB_PAGEUP);
    case VK_NEXT:
        return OnScroll(SB_VERT, SB_PAGEDOWN);
    case VK_LEFT:
        return OnScroll(SB_HORZ, SB_LINELEFT);
    case VK_RIGHT:
        return OnScroll(SB_HORZ, SB_LINERIGHT);
    case VK_HOME:
        if (control) ScrollTo(0);
        return ScrollSideways(0);
    case VK_END:
        if (control) ScrollTo(static_cast<ptrdiff_t>(LastTop()));
        return;
    }
}

void LogWindow::OnMouse(UINT message, WPARAM wParam, POINT point) {
    switch (message) {
    case WM_LBUTTONDOWN: {
        ::SetFocus(hwnd_);
        const LogPosition at = PositionAt(point);
        Select(wParam & MK_SHIFT ? anchor_ : at, at);
        dragging_ = true;
        SetCapture(hwnd_);
        return;
    }
    case WM_MOUSEMOVE: {
        if (!dragging_) return;
        // Dragging past an edge scrolls that way.
        RECT client{};
        GetClientRect(hwnd_, &client);
        if (point.y < 0) ScrollTo(static_cast<ptrdiff_t>(top_) - 1);
        if (point.y >= client.bottom) ScrollTo(static_cast<ptrdiff_t>(top_) + 1);
        Select(anchor_, PositionAt(point));
        return;
    }
    case WM_LBUTTONUP:
        if (dragging_) ReleaseCapture();
        dragging_ = false;
        return;
    case WM_LBUTTONDBLCLK: {
        if (lines_.empty()) return;
        const LogPosition at = PositionAt(point);
        const auto [start, end] = WordAround(lines_[at.line].text, at.column);
        Select({at.line, start}, {at.line, end});
        return;
    }
    }
}

LogPosition LogWindow::PositionAt(POINT point) const {
    if (lines_.empty()) return {};
    const ptrdiff_t row = point.y < 0 ? -1 : point.y / lineHeight_;
    const ptrdiff_t line = static_cast<ptrdiff_t>(top_) + row;
    if (line < 0) return {0, 0};
    if (static_cast<size_t>(line) >= lines_.size())
        return {lines_.size() - 1, lines_.back().text.size()};
    const WideString& text = lines_[static_cast<size_t>(line)].text;
    MeasuringDC dc(hwnd_, font_);
    const std::vector<int> edges = Edges(dc.Get(), text);
    const int x = point.x - kMargin + left_;
    for (size_t column = 0; column < text.size(); ++column)
        if (x < (edges[column] + edges[column + 1]) / 2) return {static_cast<size_t>(line), column};
    return {static_cast<size_t>(line), text.size()};
}

void LogWindow::Select(LogPosition anchor, LogPosition cursor) {
    anchor_ = anchor;
    cursor_ = cursor;
    InvalidateRect(hwnd_, nullptr, FALSE);
}

void LogWindow::SelectAll() {
    if (lines_.empty()) return;
    Select({0, 0}, {lines_.size() - 1, lines_.back().text.size()});
}

void LogWindow::Copy() const {
    if (!HasSelection() || !OpenClipboard(hwnd_)) return;
    const WideString text = SelectedText();
    EmptyClipboard();
    const size_t bytes = (text.size() + 1) * sizeof(char16_t);
    if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
        std::memcpy(GlobalLock(memory), text.c_str(), bytes);
        GlobalUnlock(memory);
        if (!SetClipboardData(CF_UNICODETEXT, memory)) GlobalFree(memory);
    }
    CloseClipboard();
}

void LogWindow::ShowMenu(POINT screen) {
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING | (HasSelection() ? 0 : MF_GRAYED), kCopyCommand, L"&Copy\tCtrl+C");
    AppendMenuW(menu, MF_STRING | (lines_.empty() ? MF_GRAYED : 0), kSelectAllCommand,
                L"Select &All\tCtrl+A");
    const auto chosen =
        static_cast<UINT>(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY,
                                         screen.x, screen.y, 0, hwnd_, nullptr));
    DestroyMenu(menu);
    if (chosen == kCopyCommand) Copy();
    if (chosen == kSelectAllCommand) SelectAll();
}

void LogWindow::Paint() {
    PAINTSTRUCT paint;
    HDC screen = BeginPaint(hwnd_, &paint);
    Draw(screen);
    EndPaint(hwnd_, &paint);
}

// Drawn off screen and put up at once, so that a frame never shows a half-drawn picture.
void LogWindow::Draw(HDC target) {
    RECT client{};
    GetClientRect(hwnd_, &client);
    HDC dc = CreateCompatibleDC(target);
    HBITMAP bitmap =
        CreateCompatibleBitmap(target, std::max(1L, client.right), std::max(1L, client.bottom));
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    HGDIOBJ oldFont = SelectObject(dc, font_ ? font_ : GetStockObject(DEFAULT_GUI_FONT));
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    SetBkMode(dc, TRANSPARENT);
    const int widestBefore = widest_;
    const size_t last = std::min(lines_.size(), top_ + static_cast<size_t>(visibleLines_) + 1);
    for (size_t i = top_; i < last; ++i)
        PaintLine(dc, i, static_cast<int>(i - top_) * lineHeight_);
    BitBlt(target, 0, 0, client.right, client.bottom, dc, 0, 0, SRCCOPY);
    SelectObject(dc, oldFont);
    SelectObject(dc, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(dc);
    // A line wider than any measured before widens the scroll range.
    if (widest_ > widestBefore) UpdateScrollBars(false);
}

void LogWindow::PaintLine(HDC dc, size_t index, int y) {
    const LogLine& line = lines_[index];
    const std::vector<int> edges = Edges(dc, line.text);
    widest_ = std::max(widest_, edges.back());
    const int x = kMargin - left_;
    SetTextColor(dc, line.color);
    DrawRuns(dc, line.text, edges, x, y, nullptr);
    if (!HasSelection()) return;
    const LogPosition from = std::min(anchor_, cursor_);
    const LogPosition to = std::max(anchor_, cursor_);
    if (index < from.line || index > to.line) return;
    const size_t start = std::min(index == from.line ? from.column : 0, line.text.size());
    const size_t end = std::min(index == to.line ? to.column : line.text.size(), line.text.size());
    if (end <= start) return;
    const RECT selected{x + edges[start], y, x + edges[end], y + lineHeight_};
    FillRect(dc, &selected, GetSysColorBrush(COLOR_HIGHLIGHT));
    SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
    DrawRuns(dc, line.text, edges, x, y, &selected);
}

} // namespace kestrune
