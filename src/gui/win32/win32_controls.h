// The window logic's controls over Win32 controls (wide API). Each adapter only translates:
// what to do is decided by the forms.
#pragma once

#include "gui/forms/controls.h"
#include "gui/win32/win32_sdk.h"

#include <functional>

namespace kestrune {

template <typename Base> class Win32Control : public Base {
  public:
    void Attach(HWND hwnd) { hwnd_ = hwnd; }
    HWND Handle() const { return hwnd_; }
    void SetEnabled(bool enabled) override { EnableWindow(hwnd_, enabled); }
    bool Enabled() const override { return IsWindowEnabled(hwnd_) != 0; }
    void SetFocus() override { ::SetFocus(hwnd_); }
    bool Focused() const override {
        HWND focus = GetFocus();
        return focus && (focus == hwnd_ || IsChild(hwnd_, focus));
    }

  protected:
    HWND hwnd_ = nullptr;
};

// The window's text, as an edit field, a button's caption or a combo box's text hold it.
WideString WindowText(HWND hwnd);

class Win32Edit : public Win32Control<TextControl> {
  public:
    WideString Text() const override { return WindowText(hwnd_); }
    void SetText(const WideString& text) override { SetWindowTextW(hwnd_, W(text)); }
};

class Win32Button : public Win32Control<Button> {
  public:
    WideString Caption() const override { return WindowText(hwnd_); }
    void SetCaption(const WideString& caption) override { SetWindowTextW(hwnd_, W(caption)); }
};

class Win32CheckBox : public Win32Control<CheckBox> {
  public:
    bool Checked() const override;
};

// Controls of one window shown or hidden together; the window then lays itself out again, so
// that the others close up over them.
class Win32Panel : public Panel {
  public:
    // The controls take the panel's state at once.
    void Attach(std::vector<HWND> controls, std::function<void()> relayout);
    void SetVisible(bool visible) override;
    bool Visible() const override { return visible_; }

  private:
    std::vector<HWND> controls_;
    std::function<void()> relayout_;
    bool visible_ = true;
};

class Win32ComboBox : public Win32Control<ComboBox> {
  public:
    WideString Text() const override { return WindowText(hwnd_); }
    void SetText(const WideString& text) override { SetWindowTextW(hwnd_, W(text)); }
    void AddItem(const WideString& item) override;
    int Count() const override;
    WideString Item(int index) const override;
    void SetItemIndex(int index) override;
};

class Win32ListBox : public Win32Control<ListBox> {
  public:
    void Clear() override;
    int Count() const override;
    WideString Item(int index) const override;
    void Insert(int index, const WideString& item) override;
    bool Selected(int index) const override;
    void SetSelected(int index, bool selected) override;
    void SelectAll() override;
    void SelectOnly(int index) override;
};

// A list view in report mode with check boxes: the check list box.
class Win32CheckList : public Win32Control<CheckList> {
  public:
    void SetItems(const std::vector<WideString>& items) override;
    int Count() const override;
    bool Checked(int index) const override;
    void SetAllChecked(bool checked) override;
};

// The Status window's log over a LogWindow (log_window.h), which keeps the lines.
class Win32RichLog : public Win32Control<RichLog> {
  public:
    void Clear() override;
    void AppendLine(WideString line, uint32_t color) override;
    bool Following() const override;
    void ScrollToEnd() override;
    size_t LineCount() const override;
    const WideString& LineAt(size_t line) const override;
    std::string RichText() const override;
    void SetTabStop(double points) override;
};

// The one-shot timer of a window: WM_TIMER with this id reaches the owner.
class Win32Timer : public Timer {
  public:
    Win32Timer(UINT_PTR id, UINT milliseconds) : id_(id), milliseconds_(milliseconds) {}
    void Attach(HWND owner) { owner_ = owner; }
    void SetEnabled(bool enabled) override;
    bool Enabled() const override { return enabled_; }
    UINT_PTR Id() const { return id_; }

  private:
    HWND owner_ = nullptr;
    UINT_PTR id_;
    UINT milliseconds_;
    bool enabled_ = false;
};

// The common open-file dialog: title "Restore", text files or all files, the file must exist.
class Win32OpenDialog : public OpenDialog {
  public:
    void Attach(HWND owner) { owner_ = owner; }
    void SetInitialDir(const WideString& folder) override { initialDir_ = folder; }
    bool Execute() override;
    std::filesystem::path FileName() const override { return fileName_; }

  private:
    HWND owner_ = nullptr;
    WideString initialDir_;
    std::filesystem::path fileName_;
};

class Win32FormWindow : public FormWindow {
  public:
    void Attach(HWND hwnd) { hwnd_ = hwnd; }
    HWND Handle() const { return hwnd_; }
    void Close() override { SendMessageW(hwnd_, WM_CLOSE, 0, 0); }
    void Show() override;
    void ShowModal() override;
    // Ends the modal loop of ShowModal; the view calls it when the window is hidden.
    void EndModal() { modal_ = false; }
    bool Modal() const { return modal_; }
    void BringToFront() override;
    ScreenRect Frame() const override;
    void MoveTo(int left, int top) override;
    ScreenRect WorkArea() const override;
    void ProcessMessages() override;
    void Terminate(int status) override { PostQuitMessage(status); }
    void ShowMessage(MessageKind kind, const std::string& caption,
                     const std::string& text) override;

  private:
    HWND hwnd_ = nullptr;
    bool modal_ = false;
};

// Hands a message to the window's dialog navigation (Tab, Shift+Tab, Esc, Alt+letter) and
// translates and dispatches it otherwise.
void DispatchWindowMessage(MSG& message);

} // namespace kestrune
