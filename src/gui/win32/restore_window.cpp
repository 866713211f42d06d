#include "gui/win32/restore_window.h"

namespace kestrune {
namespace {

enum ControlId { kList = 200, kRestore, kClose, kSelectAll, kDeselectAll };
constexpr int kPanelHeight = 53;

} // namespace

RestoreWindow::RestoreWindow(TfRestore::Context context, HWND owner)
    : form_({&CheckListBox1_, &RestoreButton_, &CloseButton_, &SelectAllButton_,
             &DeselectAllButton_, &window_},
            std::move(context)) {
    SetFont(L"MS Shell Dlg 2", 0, 11);
    Create(L"KestruneRestore", L"Restore", WS_OVERLAPPEDWINDOW & ~WS_MINIMIZEBOX, 535, 341, owner);
    window_.Attach(hwnd_);
}

void RestoreWindow::CreateControls() {
    // The panel's buttons come before the list in the tab order.
    ButtonPanel_ = Child(L"STATIC", L"", SS_ETCHEDHORZ, -1);
    RestoreButton_.Attach(Child(L"BUTTON", L"Restore", BS_PUSHBUTTON | WS_TABSTOP, kRestore));
    CloseButton_.Attach(Child(L"BUTTON", L"Close", BS_PUSHBUTTON | WS_TABSTOP, kClose));
    SelectAllButton_.Attach(
        Child(L"BUTTON", L"Select all", BS_PUSHBUTTON | WS_TABSTOP, kSelectAll));
    DeselectAllButton_.Attach(
        Child(L"BUTTON", L"De-select all", BS_PUSHBUTTON | WS_TABSTOP, kDeselectAll));
    HWND list =
        Child(WC_LISTVIEWW, L"",
              LVS_REPORT | LVS_NOCOLUMNHEADER | LVS_SHOWSELALWAYS | LVS_SINGLESEL | WS_TABSTOP,
              kList, WS_EX_CLIENTEDGE);
    ListView_SetExtendedListViewStyle(list, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    LVCOLUMNW column{};
    column.mask = LVCF_WIDTH;
    column.cx = Scale(500);
    SendMessageW(list, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
    CheckListBox1_.Attach(list);
}

void RestoreWindow::Layout() {
    RECT client{};
    GetClientRect(hwnd_, &client);
    const int panelTop = client.bottom - Scale(kPanelHeight);
    MoveWindow(CheckListBox1_.Handle(), 0, 0, client.right, panelTop, TRUE);
    MoveWindow(ButtonPanel_, 0, panelTop, client.right, 2, TRUE);
    const int top = panelTop + Scale(8);
    auto place = [&](HWND button, int left) {
        MoveWindow(button, Scale(left), top, Scale(75), Scale(25), TRUE);
    };
    place(RestoreButton_.Handle(), 62);
    place(CloseButton_.Handle(), 158);
    place(SelectAllButton_.Handle(), 302);
    place(DeselectAllButton_.Handle(), 398);
}

void RestoreWindow::CloseRequested() {
    if (!form_.FormCloseQuery()) return;
    // Hidden, not destroyed: the window keeps its list until the next file is loaded. A modal
    // window is hidden by its modal loop, after its owner is enabled again (hiding it first
    // would hand the activation to another program's window).
    if (window_.Modal())
        window_.EndModal();
    else
        ShowWindow(hwnd_, SW_HIDE);
}

LRESULT RestoreWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED) {
            switch (LOWORD(wParam)) {
            case kRestore:
                form_.RestoreButtonClick();
                return 0;
            case kClose:
                form_.CloseButtonClick();
                return 0;
            case kSelectAll:
                form_.SelectAllButtonClick();
                return 0;
            case kDeselectAll:
                form_.DeselectAllButtonClick();
                return 0;
            case IDCANCEL:
                CloseRequested();
                return 0; // Esc
            }
        }
        return 0;
    case WM_CLOSE:
        CloseRequested();
        return 0;
    }
    return Win32Window::HandleMessage(message, wParam, lParam);
}

} // namespace kestrune
