#include "gui/win32/restore_window.h"

#include <algorithm>

namespace kestrune {
namespace {

enum ControlId {
    kList = 200,
    kRestore,
    kClose,
    kSelectAll,
    kDeselectAll,
    kAnotherPlace,
    kRestoreInto,
    kServerNames
};
constexpr int kPanelHeight = 53;
// The strip of the two fields of another place, between the list and the panel.
constexpr int kStripHeight = 29;

} // namespace

RestoreWindow::RestoreWindow(TfRestore::Context context, HWND owner)
    : form_({&CheckListBox1_, &RestoreButton_, &CloseButton_, &SelectAllButton_,
             &DeselectAllButton_, &chkAnotherPlace_, &pnlAnotherPlace_, &eRestoreInto_,
             &eServerNames_, &window_},
            std::move(context)) {
    SetFont(L"MS Shell Dlg 2", 0, 11);
    Create(L"KestruneRestore", L"Restore", WS_OVERLAPPEDWINDOW & ~WS_MINIMIZEBOX, 535, 341, owner);
    window_.Attach(hwnd_);
}

void RestoreWindow::CreateControls() {
    // The panel's buttons come before the list in the tab order, the fields of another place
    // after the box that shows them.
    ButtonPanel_ = Child(L"STATIC", L"", SS_ETCHEDHORZ, -1);
    RestoreButton_.Attach(Child(L"BUTTON", L"Restore", BS_PUSHBUTTON | WS_TABSTOP, kRestore));
    CloseButton_.Attach(Child(L"BUTTON", L"Close", BS_PUSHBUTTON | WS_TABSTOP, kClose));
    SelectAllButton_.Attach(
        Child(L"BUTTON", L"Select all", BS_PUSHBUTTON | WS_TABSTOP, kSelectAll));
    DeselectAllButton_.Attach(
        Child(L"BUTTON", L"De-select all", BS_PUSHBUTTON | WS_TABSTOP, kDeselectAll));
    chkAnotherPlace_.Attach(Child(L"BUTTON", L"Restore into another &place",
                                  BS_AUTOCHECKBOX | WS_TABSTOP, kAnotherPlace));
    auto field = [this](int id, const wchar_t* cue) {
        HWND edit = Child(L"EDIT", L"", ES_AUTOHSCROLL | WS_TABSTOP, id, WS_EX_CLIENTEDGE);
        SendMessageW(edit, EM_SETCUEBANNER, FALSE, reinterpret_cast<LPARAM>(cue));
        return edit;
    };
    RestoreIntoLabel_ = Child(L"STATIC", L"Restore &into:", SS_LEFTNOWORDWRAP, -1);
    eRestoreInto_.Attach(field(kRestoreInto, L"\\\\DOMAIN\\NAMESPACE"));
    ServerNamesLabel_ = Child(L"STATIC", L"&Server names:", SS_LEFTNOWORDWRAP, -1);
    eServerNames_.Attach(field(kServerNames, L"OLD=NEW ..."));
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
    pnlAnotherPlace_.Attach(
        {RestoreIntoLabel_, eRestoreInto_.Handle(), ServerNamesLabel_, eServerNames_.Handle()},
        [this] { Layout(); });
}

void RestoreWindow::Layout() {
    RECT client{};
    GetClientRect(hwnd_, &client);
    const int panelTop = client.bottom - Scale(kPanelHeight);
    const int stripTop = panelTop - (pnlAnotherPlace_.Visible() ? Scale(kStripHeight) : 0);
    MoveWindow(CheckListBox1_.Handle(), 0, 0, client.right, stripTop, TRUE);
    MoveWindow(ButtonPanel_, 0, panelTop, client.right, 2, TRUE);
    MoveWindow(RestoreIntoLabel_, Scale(8), stripTop + Scale(8), Scale(74), Scale(14), TRUE);
    MoveWindow(eRestoreInto_.Handle(), Scale(84), stripTop + Scale(4), Scale(170), Scale(21), TRUE);
    MoveWindow(ServerNamesLabel_, Scale(266), stripTop + Scale(8), Scale(86), Scale(14), TRUE);
    const int serversLeft = Scale(354);
    MoveWindow(eServerNames_.Handle(), serversLeft, stripTop + Scale(4),
               std::max<int>(client.right - Scale(8) - serversLeft, Scale(40)), Scale(21), TRUE);
    const int top = panelTop + Scale(8);
    auto place = [&](HWND button, int left) {
        MoveWindow(button, Scale(left), top, Scale(75), Scale(25), TRUE);
    };
    place(RestoreButton_.Handle(), 62);
    place(CloseButton_.Handle(), 158);
    place(SelectAllButton_.Handle(), 302);
    place(DeselectAllButton_.Handle(), 398);
    MoveWindow(chkAnotherPlace_.Handle(), Scale(62), panelTop + Scale(35), Scale(200), Scale(17),
               TRUE);
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
            case kAnotherPlace:
                form_.chkAnotherPlaceClick();
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
