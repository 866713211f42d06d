// The window logic's controls over Qt widgets. Each adapter only translates: what to do is
// decided by the forms.
#pragma once

#include "gui/forms/controls.h"
#include "gui/forms/message_box.h"

#include <QWidget>
#include <exception>

class QCheckBox;
class QComboBox;
class QFileDialog;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTimer;

namespace kestrune {

template <typename Base> class QtControl : public Base {
  public:
    explicit QtControl(QWidget* widget) : widget_(widget) {}
    void SetEnabled(bool enabled) override { widget_->setEnabled(enabled); }
    bool Enabled() const override { return widget_->isEnabled(); }
    void SetFocus() override { widget_->setFocus(); }
    bool Focused() const override { return widget_->hasFocus(); }

  protected:
    QWidget* widget_;
};

class QtEdit : public QtControl<TextControl> {
  public:
    explicit QtEdit(QLineEdit* edit);
    WideString Text() const override;
    void SetText(const WideString& text) override;

  private:
    QLineEdit* edit_;
};

class QtButton : public QtControl<Button> {
  public:
    explicit QtButton(QPushButton* button);
    WideString Caption() const override;
    void SetCaption(const WideString& caption) override;

  private:
    QPushButton* button_;
};

class QtCheckBox : public QtControl<CheckBox> {
  public:
    explicit QtCheckBox(QCheckBox* box);
    bool Checked() const override;

  private:
    QCheckBox* box_;
};

// A widget that holds the controls of the panel: the window's layout closes up over it when it
// is hidden.
class QtPanel : public Panel {
  public:
    explicit QtPanel(QWidget* widget) : widget_(widget) {}
    void SetVisible(bool visible) override { widget_->setVisible(visible); }
    bool Visible() const override { return !widget_->isHidden(); }

  private:
    QWidget* widget_;
};

class QtComboBox : public QtControl<ComboBox> {
  public:
    explicit QtComboBox(QComboBox* box);
    WideString Text() const override;
    void SetText(const WideString& text) override;
    void AddItem(const WideString& item) override;
    int Count() const override;
    WideString Item(int index) const override;
    void SetItemIndex(int index) override;

  private:
    QComboBox* box_;
};

class QtListBox : public QtControl<ListBox> {
  public:
    explicit QtListBox(QListWidget* list);
    void Clear() override;
    int Count() const override;
    WideString Item(int index) const override;
    void Insert(int index, const WideString& item) override;
    bool Selected(int index) const override;
    void SetSelected(int index, bool selected) override;
    void SelectAll() override;
    void SelectOnly(int index) override;

  private:
    QListWidget* list_;
};

class QtCheckList : public QtControl<CheckList> {
  public:
    explicit QtCheckList(QListWidget* list);
    void SetItems(const std::vector<WideString>& items) override;
    int Count() const override;
    bool Checked(int index) const override;
    void SetAllChecked(bool checked) override;

  private:
    QListWidget* list_;
};

class QtTimer : public Timer {
  public:
    explicit QtTimer(QTimer* timer) : timer_(timer) {}
    void SetEnabled(bool enabled) override;
    bool Enabled() const override;

  private:
    QTimer* timer_;
};

class QtOpenDialog : public OpenDialog {
  public:
    explicit QtOpenDialog(QFileDialog* dialog) : dialog_(dialog) {}
    void SetInitialDir(const WideString& folder) override;
    bool Execute() override;
    std::filesystem::path FileName() const override;

  private:
    QFileDialog* dialog_;
    std::filesystem::path fileName_;
};

class QtFormWindow : public FormWindow {
  public:
    explicit QtFormWindow(QWidget* window) : window_(window) {}
    void Close() override;
    void Show() override;
    void ShowModal() override;
    void BringToFront() override;
    ScreenRect Frame() const override;
    void MoveTo(int left, int top) override;
    ScreenRect WorkArea() const override;
    void ProcessMessages() override;
    void Terminate(int status) override;
    void ShowMessage(MessageKind kind, const std::string& caption,
                     const std::string& text) override;

  private:
    QWidget* window_;
};

QColor FromColorRef(uint32_t color);

// A handler for a Qt signal: no exception crosses Qt's event loop; a handler's failure is
// reported in the window's error box and the window goes on.
template <typename Handler> auto Guarded(FormWindow& window, Handler handler) {
    return [&window, handler] {
        try {
            handler();
        } catch (const std::exception& e) {
            ShowMessageBox(&window, MessageKind::Error, "Kestrune", e.what());
        }
    };
}

} // namespace kestrune
