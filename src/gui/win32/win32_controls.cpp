#include "gui/win32/win32_controls.h"

#include "base/ansi_string.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace kestrune {

WideString WindowText(HWND hwnd) {
    std::vector<wchar_t> text(GetWindowTextLengthW(hwnd) + 1, L'\0');
    int n = GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()));
    return FromW(text.data(), n > 0 ? n : 0);
}

bool Win32CheckBox::Checked() const {
    return SendMessageW(hwnd_, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Win32Panel::Attach(std::vector<HWND> controls, std::function<void()> relayout) {
    controls_ = std::move(controls);
    relayout_ = std::move(relayout);
    SetVisible(visible_);
}

void Win32Panel::SetVisible(bool visible) {
    visible_ = visible;
    for (HWND control : controls_)
        ShowWindow(control, visible ? SW_SHOW : SW_HIDE);
    if (relayout_) relayout_();
}

void Win32ComboBox::AddItem(const WideString& item) {
    SendMessageW(hwnd_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(item)));
}
int Win32ComboBox::Count() const {
    return static_cast<int>(SendMessageW(hwnd_, CB_GETCOUNT, 0, 0));
}
WideString Win32ComboBox::Item(int index) const {
    LRESULT length = SendMessageW(hwnd_, CB_GETLBTEXTLEN, index, 0);
    if (length == CB_ERR) return {};
    std::vector<wchar_t> text(length + 1, L'\0');
    SendMessageW(hwnd_, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    return FromW(text.data(), length);
}
void Win32ComboBox::SetItemIndex(int index) {
    SendMessageW(hwnd_, CB_SETCURSEL, index, 0);
}

void Win32ListBox::Clear() {
    SendMessageW(hwnd_, LB_RESETCONTENT, 0, 0);
}
int Win32ListBox::Count() const {
    return static_cast<int>(SendMessageW(hwnd_, LB_GETCOUNT, 0, 0));
}
WideString Win32ListBox::Item(int index) const {
    LRESULT length = SendMessageW(hwnd_, LB_GETTEXTLEN, index, 0);
    if (length == LB_ERR) return {};
    std::vector<wchar_t> text(length + 1, L'\0');
    SendMessageW(hwnd_, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    return FromW(text.data(), length);
}
void Win32ListBox::Insert(int index, const WideString& item) {
    SendMessageW(hwnd_, LB_INSERTSTRING, index, reinterpret_cast<LPARAM>(W(item)));
}
bool Win32ListBox::Selected(int index) const {
    return SendMessageW(hwnd_, LB_GETSEL, index, 0) > 0;
}
void Win32ListBox::SetSelected(int index, bool selected) {
    SendMessageW(hwnd_, LB_SETSEL, selected, index);
}
void Win32ListBox::SelectAll() {
    SendMessageW(hwnd_, LB_SETSEL, TRUE, -1);
}
void Win32ListBox::SelectOnly(int index) {
    SendMessageW(hwnd_, LB_SETSEL, FALSE, -1);
    SendMessageW(hwnd_, LB_SETSEL, TRUE, index);
    SendMessageW(hwnd_, LB_SETCARETINDEX, index, FALSE);
}

void Win32CheckList::SetItems(const std::vector<WideString>& items) {
    SendMessageW(hwnd_, WM_SETREDRAW, FALSE, 0);
    ListView_DeleteAllItems(hwnd_);
    ListView_SetItemCount(hwnd_, static_cast<int>(items.size()));
    int widest = 0;
    HDC dc = GetDC(hwnd_);
    HGDIOBJ oldFont =
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(hwnd_, WM_GETFONT, 0, 0)));
    for (size_t i = 0; i < items.size(); ++i) {
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = static_cast<int>(i);
        item.pszText = const_cast<wchar_t*>(W(items[i]));
        SendMessageW(hwnd_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
        SIZE size{};
        if (GetTextExtentPoint32W(dc, W(items[i]), static_cast<int>(items[i].size()), &size))
            widest = std::max<int>(widest, size.cx);
    }
    SelectObject(dc, oldFont);
    ReleaseDC(hwnd_, dc);
    // Whole lines, reached with the horizontal scroll bar: the end of a line is its comment.
    ListView_SetColumnWidth(hwnd_, 0, widest + 40);
    SendMessageW(hwnd_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(hwnd_, nullptr, TRUE);
}
int Win32CheckList::Count() const {
    return ListView_GetItemCount(hwnd_);
}
bool Win32CheckList::Checked(int index) const {
    return ListView_GetCheckState(hwnd_, index) != 0;
}
void Win32CheckList::SetAllChecked(bool checked) {
    SendMessageW(hwnd_, WM_SETREDRAW, FALSE, 0);
    ListView_SetItemState(hwnd_, -1, INDEXTOSTATEIMAGEMASK(checked ? 2 : 1), LVIS_STATEIMAGEMASK);
    SendMessageW(hwnd_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(hwnd_, nullptr, TRUE);
}

void Win32RichLog::Attach(HWND edit) {
    Win32Control::Attach(edit);
    SetLooks();
}

void Win32RichLog::SetLooks() {
    SendMessageW(hwnd_, EM_SETBKGNDCOLOR, 0, RGB(0, 0, 0));
    // Long lines run to the right, reached with the horizontal scroll bar.
    SendMessageW(hwnd_, EM_SETTARGETDEVICE, 0, 1);
    SendMessageW(hwnd_, EM_EXLIMITTEXT, 0, 0x7FFFFFFE);
    CHARFORMAT2W format{};
    format.cbSize = sizeof format;
    format.dwMask = CFM_COLOR | CFM_FACE | CFM_SIZE;
    format.crTextColor = 0x00FF00; // lime
    lstrcpynW(format.szFaceName, L"Tahoma", LF_FACESIZE);
    format.yHeight = 8 * 20; // twips
    SendMessageW(hwnd_, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&format));
    SendMessageW(hwnd_, EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&format));
}

// Wine's rich edit empties its text in a time that grows with the square of the lines (two
// thousand a second, ten thousand over a minute), and a restore begins by clearing the log the
// last one filled: the log gets a new, empty control instead, at the same cost however many
// lines the old one held.
void Win32RichLog::Clear() {
    pending_.clear();
    ReplaceControl();
    empty_ = true;
    scrollPending_ = false;
}

void Win32RichLog::ReplaceControl() {
    HWND old = hwnd_;
    HWND parent = GetParent(old);
    wchar_t className[64] = L"";
    GetClassNameW(old, className, 64);
    // Hidden until it is set up; redraw turned off took the old one's visible flag away.
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(old, GWL_STYLE));
    const bool visible = (style & WS_VISIBLE) || redrawOff_;
    RECT place{};
    GetWindowRect(old, &place);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&place), 2);
    HWND fresh = CreateWindowExW(
        static_cast<DWORD>(GetWindowLongPtrW(old, GWL_EXSTYLE)), className, L"",
        style & ~WS_VISIBLE, place.left, place.top, place.right - place.left,
        place.bottom - place.top, parent, reinterpret_cast<HMENU>(GetWindowLongPtrW(old, GWLP_ID)),
        reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(old, GWLP_HINSTANCE)), nullptr);
    if (!fresh) { // out of window handles: slow, but emptied
        SetWindowTextW(old, L"");
        return;
    }
    hwnd_ = fresh;
    // Wine's rich edit answers no font; the looks give the face and size then.
    if (LRESULT font = SendMessageW(old, WM_GETFONT, 0, 0))
        SendMessageW(fresh, WM_SETFONT, static_cast<WPARAM>(font), FALSE);
    SetLooks();
    if (tabTwips_ > 0) ApplyTabStop();
    SendMessageW(fresh, EM_SETEVENTMASK, 0, SendMessageW(old, EM_GETEVENTMASK, 0, 0));
    // A view that subclassed the control keeps its handling of messages and keys.
    const LONG_PTR procedure = GetWindowLongPtrW(old, GWLP_WNDPROC);
    if (procedure != static_cast<LONG_PTR>(GetClassLongPtrW(old, GCLP_WNDPROC)))
        SetWindowLongPtrW(fresh, GWLP_WNDPROC, procedure);
    SetWindowLongPtrW(fresh, GWLP_USERDATA, GetWindowLongPtrW(old, GWLP_USERDATA));
    // Right after the old one in the Tab order, which it leaves to the new one.
    SetWindowPos(fresh, old, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    if (redrawOff_)
        SendMessageW(fresh, WM_SETREDRAW, FALSE, 0); // shown by the frame to come
    else if (visible)
        ShowWindow(fresh, SW_SHOWNA);
    if (GetFocus() == old) ::SetFocus(fresh);
    DestroyWindow(old);
}

void Win32RichLog::AppendLine(const WideString& line, uint32_t color) {
    pending_.push_back({line, color});
    DeferRepaint();
}

namespace {

// One line of RTF text: the characters RTF treats specially escaped, the rest as Unicode.
void AppendRtfText(std::string& rtf, const WideString& text) {
    for (char16_t c : text) {
        if (c == u'\\' || c == u'{' || c == u'}') {
            rtf += '\\';
            rtf += static_cast<char>(c);
        } else if (c == u'\t') {
            rtf += "\\tab ";
        } else if (c >= 0x20 && c < 0x80) {
            rtf += static_cast<char>(c);
        } else {
            rtf += "\\u" + std::to_string(static_cast<int16_t>(c)) + '?';
        }
    }
}

DWORD CALLBACK ReadStream(DWORD_PTR cookie, LPBYTE buffer, LONG size, LONG* read) {
    auto* source = reinterpret_cast<std::pair<const std::string*, size_t>*>(cookie);
    const size_t n = std::min<size_t>(size, source->first->size() - source->second);
    std::memcpy(buffer, source->first->data() + source->second, n);
    source->second += n;
    *read = static_cast<LONG>(n);
    return 0;
}

} // namespace

// The waiting lines go in at the end as one piece of RTF, each in its colour and with the
// tab stop; the reader's selection and place are kept.
void Win32RichLog::Flush() const {
    if (pending_.empty()) return;
    std::vector<uint32_t> colors;
    for (const auto& line : pending_)
        if (std::find(colors.begin(), colors.end(), line.second) == colors.end())
            colors.push_back(line.second);
    std::string rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Tahoma;}}{\\colortbl;";
    for (uint32_t color : colors)
        rtf += "\\red" + std::to_string(color & 0xFF) + "\\green" +
               std::to_string((color >> 8) & 0xFF) + "\\blue" +
               std::to_string((color >> 16) & 0xFF) + ';';
    rtf += "}\\f0\\fs16";
    const std::string tabs = tabTwips_ > 0 ? "\\tx" + std::to_string(tabTwips_) : "";
    for (size_t i = 0; i < pending_.size(); ++i) {
        if (i > 0 || !empty_) rtf += "\\par";
        const size_t color =
            std::find(colors.begin(), colors.end(), pending_[i].second) - colors.begin();
        rtf += "\\pard" + tabs + "\\cf" + std::to_string(color + 1) + ' ';
        AppendRtfText(rtf, pending_[i].first);
    }
    rtf += '}';
    pending_.clear();
    empty_ = false;

    CHARRANGE selection{};
    SendMessageW(hwnd_, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selection));
    POINT scroll{};
    SendMessageW(hwnd_, EM_GETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&scroll));
    CHARRANGE end{-1, -1};
    SendMessageW(hwnd_, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&end));
    std::pair<const std::string*, size_t> source{&rtf, 0};
    EDITSTREAM stream{};
    stream.dwCookie = reinterpret_cast<DWORD_PTR>(&source);
    stream.pfnCallback = ReadStream;
    SendMessageW(hwnd_, EM_STREAMIN, SF_RTF | SFF_SELECTION, reinterpret_cast<LPARAM>(&stream));
    SendMessageW(hwnd_, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&selection));
    SendMessageW(hwnd_, EM_SETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&scroll));
}

bool Win32RichLog::Following() const {
    CHARRANGE selection{};
    SendMessageW(hwnd_, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selection));
    if (selection.cpMin != selection.cpMax) return false;
    if (scrollPending_) return true; // it follows; the view catches up at the next frame
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_ALL;
    if (!GetScrollInfo(hwnd_, SB_VERT, &info)) return true;
    return info.nPage == 0 || info.nPos + static_cast<int>(info.nPage) >= info.nMax;
}

void Win32RichLog::ScrollToEnd() {
    scrollPending_ = true;
    DeferRepaint();
}

void Win32RichLog::ScrollNow() {
    SendMessageW(hwnd_, WM_VSCROLL, SB_BOTTOM, 0);
    // The caret's line may be scrolled sideways; a reader following the log sees line starts.
    SendMessageW(hwnd_, WM_HSCROLL, SB_LEFT, 0);
}

std::vector<WideString> Win32RichLog::Lines() const {
    Flush();
    GETTEXTLENGTHEX length{GTL_DEFAULT, 1200};
    LRESULT size = SendMessageW(hwnd_, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&length), 0);
    std::vector<wchar_t> text(size + 1, L'\0');
    GETTEXTEX get{};
    get.cb = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    get.flags = GT_DEFAULT;
    get.codepage = 1200; // UTF-16
    LRESULT n = SendMessageW(hwnd_, EM_GETTEXTEX, reinterpret_cast<WPARAM>(&get),
                             reinterpret_cast<LPARAM>(text.data()));
    std::vector<WideString> lines;
    WideString all = FromW(text.data(), n > 0 ? n : 0);
    if (all.empty() && GetWindowTextLengthW(hwnd_) == 0) return {u""};
    size_t start = 0;
    for (;;) {
        size_t end = all.find_first_of(u"\r\n", start);
        if (end == WideString::npos) {
            lines.push_back(all.substr(start));
            return lines;
        }
        lines.push_back(all.substr(start, end - start));
        start = end + 1;
        if (all[end] == u'\r' && start < all.size() && all[start] == u'\n') ++start;
    }
}

namespace {
DWORD CALLBACK AppendStream(DWORD_PTR cookie, LPBYTE buffer, LONG size, LONG* written) {
    reinterpret_cast<std::string*>(cookie)->append(reinterpret_cast<char*>(buffer), size);
    *written = size;
    return 0;
}
} // namespace

std::string Win32RichLog::RichText() const {
    Flush();
    std::string rtf;
    EDITSTREAM stream{};
    stream.dwCookie = reinterpret_cast<DWORD_PTR>(&rtf);
    stream.pfnCallback = AppendStream;
    SendMessageW(hwnd_, EM_STREAMOUT, SF_RTF, reinterpret_cast<LPARAM>(&stream));
    return rtf;
}

void Win32RichLog::SetTabStop(double points) {
    tabTwips_ = static_cast<LONG>(points * 20);
    ApplyTabStop();
}

void Win32RichLog::ApplyTabStop() {
    // The paragraph at the insertion point, as the text control's tab stops are set; new
    // paragraphs take it over.
    PARAFORMAT2 format{};
    format.cbSize = sizeof format;
    format.dwMask = PFM_TABSTOPS;
    format.cTabCount = 1;
    format.rgxTabs[0] = tabTwips_;
    SendMessageW(hwnd_, EM_SETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&format));
}

// A run adds lines far faster than a screen refreshes, and drawing and scrolling after each
// one would cost many times the run itself: while lines come, the control neither draws nor
// scrolls, and a timer shows where it stands ten times a second.
void Win32RichLog::DeferRepaint() {
    if (redrawOff_) return;
    SendMessageW(hwnd_, WM_SETREDRAW, FALSE, 0);
    redrawOff_ = true;
    SetTimer(GetParent(hwnd_), kRepaintTimer, kFrameMs, nullptr);
}

void Win32RichLog::FrameElapsed() {
    KillTimer(GetParent(hwnd_), kRepaintTimer);
    Flush();
    if (scrollPending_) {
        scrollPending_ = false;
        ScrollNow();
    }
    if (!redrawOff_) return;
    redrawOff_ = false;
    SendMessageW(hwnd_, WM_SETREDRAW, TRUE, 0);
    RedrawWindow(hwnd_, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
}

void Win32Timer::SetEnabled(bool enabled) {
    enabled_ = enabled;
    if (enabled)
        SetTimer(owner_, id_, milliseconds_, nullptr);
    else
        KillTimer(owner_, id_);
}

bool Win32OpenDialog::Execute() {
    std::vector<wchar_t> name(32768, L'\0');
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner_;
    dialog.lpstrFilter = L"Backups and dfsutil exports\0*.txt;*.xml\0All files\0*.*\0";
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = name.data();
    dialog.nMaxFile = static_cast<DWORD>(name.size());
    dialog.lpstrInitialDir = initialDir_.empty() ? nullptr : W(initialDir_);
    dialog.lpstrTitle = L"Restore";
    dialog.lpstrDefExt = L"txt";
    dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST |
                   OFN_ENABLESIZING | OFN_NOCHANGEDIR;
    if (!GetOpenFileNameW(&dialog)) return false;
    fileName_ = std::filesystem::path(std::wstring(name.data()));
    return true;
}

void Win32FormWindow::Show() {
    ShowWindow(hwnd_, SW_SHOW);
}

void Win32FormWindow::ShowModal() {
    // Modal to its owner only: the owner is disabled while it shows, other windows (the
    // Status window) stay usable.
    HWND owner = GetWindow(hwnd_, GW_OWNER);
    if (owner) EnableWindow(owner, FALSE);
    modal_ = true;
    ShowWindow(hwnd_, SW_SHOW);
    SetForegroundWindow(hwnd_);
    MSG message;
    while (modal_) {
        BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got <= 0) {
            if (got == 0) PostQuitMessage(static_cast<int>(message.wParam)); // for the main loop
            break;
        }
        DispatchWindowMessage(message);
    }
    modal_ = false;
    if (owner) {
        EnableWindow(owner, TRUE);
        SetActiveWindow(owner);
    }
    if (IsWindowVisible(hwnd_)) ShowWindow(hwnd_, SW_HIDE);
}

void Win32FormWindow::BringToFront() {
    SetWindowPos(hwnd_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

ScreenRect Win32FormWindow::Frame() const {
    RECT r{};
    GetWindowRect(hwnd_, &r);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

void Win32FormWindow::MoveTo(int left, int top) {
    SetWindowPos(hwnd_, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

ScreenRect Win32FormWindow::WorkArea() const {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    GetMonitorInfoW(MonitorFromWindow(hwnd_, MONITOR_DEFAULTTONEAREST), &info);
    const RECT& r = info.rcWork;
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

void Win32FormWindow::ProcessMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam)); // for the loop that owns it
            return;
        }
        DispatchWindowMessage(message);
    }
}

void Win32FormWindow::ShowMessage(MessageKind kind, const std::string& caption,
                                  const std::string& text) {
    MessageBoxW(hwnd_, W(Utf8ToWide(text)), W(Utf8ToWide(caption)),
                MB_OK | (kind == MessageKind::Error ? MB_ICONERROR : MB_ICONWARNING));
}

void DispatchWindowMessage(MSG& message) {
    HWND top = message.hwnd ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
    if (top && IsDialogMessageW(top, &message)) return;
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

} // namespace kestrune
