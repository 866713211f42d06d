#include "gui/win32/win32_controls.h"

#include "base/ansi_string.h"
#include "gui/win32/log_window.h"

#include <algorithm>
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

void Win32RichLog::Clear() {
    LogWindow::Of(hwnd_).Clear();
}
void Win32RichLog::AppendLine(WideString line, uint32_t color) {
    LogWindow::Of(hwnd_).AppendLine(std::move(line), color);
}
bool Win32RichLog::Following() const {
    return LogWindow::Of(hwnd_).Following();
}
void Win32RichLog::ScrollToEnd() {
    LogWindow::Of(hwnd_).ScrollToEnd();
}
size_t Win32RichLog::LineCount() const {
    return LogWindow::Of(hwnd_).Lines().size();
}
const WideString& Win32RichLog::LineAt(size_t line) const {
    return LogWindow::Of(hwnd_).Lines().at(line).text;
}
std::string Win32RichLog::RichText() const {
    return LogWindow::Of(hwnd_).Rtf();
}
void Win32RichLog::SetTabStop(double points) {
    LogWindow::Of(hwnd_).SetTabStop(static_cast<int>(points * 20));
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
