// The window logic's controls in plain memory, with what a view would do on each event, so
// that the forms run and are tested without any toolkit.
#pragma once

#include "gui/forms/controls.h"

#include <algorithm>
#include <functional>
#include <map>

namespace kestrune::testing {

template <typename Base> class FakeControl : public Base {
  public:
    void SetEnabled(bool enabled) override { enabled_ = enabled; }
    bool Enabled() const override { return enabled_; }
    void SetFocus() override {
        if (focus_) *focus_ = this;
    }
    bool Focused() const override { return focus_ && *focus_ == this; }
    // The window's focus: which of its controls has it.
    void SetFocusOwner(const Control** focus) { focus_ = focus; }

  private:
    bool enabled_ = true;
    const Control** focus_ = nullptr;
};

class FakeEdit : public FakeControl<TextControl> {
  public:
    WideString Text() const override { return text_; }
    void SetText(const WideString& text) override { text_ = text; }

  private:
    WideString text_;
};

class FakeButton : public FakeControl<Button> {
  public:
    explicit FakeButton(WideString caption) : caption_(std::move(caption)) {}
    WideString Caption() const override { return caption_; }
    void SetCaption(const WideString& caption) override { caption_ = caption; }

  private:
    WideString caption_;
};

class FakeCheckBox : public FakeControl<CheckBox> {
  public:
    bool Checked() const override { return checked; }
    bool checked = false;
};

class FakePanel : public Panel {
  public:
    void SetVisible(bool shown) override { visible = shown; }
    bool Visible() const override { return visible; }
    bool visible = true; // as a view creates it
};

class FakeComboBox : public FakeControl<ComboBox> {
  public:
    WideString Text() const override { return text_; }
    void SetText(const WideString& text) override { text_ = text; }
    void AddItem(const WideString& item) override { items.push_back(item); }
    int Count() const override { return static_cast<int>(items.size()); }
    WideString Item(int index) const override { return items.at(index); }
    void SetItemIndex(int index) override {
        if (index >= 0) text_ = items.at(index);
    }
    std::vector<WideString> items;

  private:
    WideString text_;
};

class FakeListBox : public FakeControl<ListBox> {
  public:
    void Clear() override { items.clear(); }
    int Count() const override { return static_cast<int>(items.size()); }
    WideString Item(int index) const override { return items.at(index).first; }
    void Insert(int index, const WideString& item) override {
        items.insert(items.begin() + index, {item, false});
    }
    bool Selected(int index) const override { return items.at(index).second; }
    void SetSelected(int index, bool selected) override { items.at(index).second = selected; }
    void SelectAll() override {
        for (auto& item : items)
            item.second = true;
    }
    void SelectOnly(int index) override {
        for (auto& item : items)
            item.second = false;
        items.at(index).second = true;
    }
    std::vector<WideString> Names() const {
        std::vector<WideString> names;
        for (const auto& item : items)
            names.push_back(item.first);
        return names;
    }
    std::vector<int> SelectedRows() const {
        std::vector<int> rows;
        for (int i = 0; i < Count(); ++i)
            if (items[i].second) rows.push_back(i);
        return rows;
    }
    std::vector<std::pair<WideString, bool>> items;
};

class FakeCheckList : public FakeControl<CheckList> {
  public:
    void SetItems(const std::vector<WideString>& texts) override {
        items = texts;
        checks.assign(texts.size(), false);
    }
    int Count() const override { return static_cast<int>(items.size()); }
    bool Checked(int index) const override { return checks.at(index); }
    void SetAllChecked(bool checked) override { std::fill(checks.begin(), checks.end(), checked); }
    std::vector<WideString> items;
    std::vector<bool> checks;
};

class FakeRichLog : public FakeControl<RichLog> {
  public:
    void Clear() override { lines.clear(); }
    void AppendLine(WideString line, uint32_t color) override {
        lines.push_back({std::move(line), color});
    }
    bool Following() const override { return !scrolledUp; }
    void ScrollToEnd() override { ++scrollsToEnd; }
    size_t LineCount() const override { return lines.size(); }
    const WideString& LineAt(size_t line) const override { return lines.at(line).first; }
    std::string RichText() const override { return "{\\rtf1 rich}"; }
    void SetTabStop(double points) override { tabStop = points; }

    std::vector<std::pair<WideString, uint32_t>> lines;
    bool scrolledUp = false;
    int scrollsToEnd = 0;
    double tabStop = 0;
};

class FakeTimer : public Timer {
  public:
    void SetEnabled(bool enabled) override { enabled_ = enabled; }
    bool Enabled() const override { return enabled_; }

  private:
    bool enabled_ = false;
};

class FakeOpenDialog : public OpenDialog {
  public:
    void SetInitialDir(const WideString& folder) override { initialDir = folder; }
    bool Execute() override {
        ++shown;
        if (answer.empty()) return false;
        fileName_ = answer;
        return true;
    }
    std::filesystem::path FileName() const override { return fileName_; }

    std::filesystem::path answer; // empty: the user cancels
    WideString initialDir;
    int shown = 0;

  private:
    std::filesystem::path fileName_;
};

// A window as the views treat it: Close asks the form (closeQuery) and then closes
// (closed); ShowModal runs whileModal as the user's actions inside the window.
class FakeWindow : public FormWindow {
  public:
    void Close() override {
        if (closeQuery && !closeQuery()) return;
        if (onClose) onClose();
        visible = false;
        closed = true;
    }
    void Show() override { visible = true; }
    void ShowModal() override {
        visible = true;
        ++modalShows;
        if (whileModal) whileModal();
        visible = false;
    }
    void BringToFront() override { ++broughtToFront; }
    ScreenRect Frame() const override { return frame; }
    void MoveTo(int left, int top) override {
        frame.left = left;
        frame.top = top;
    }
    ScreenRect WorkArea() const override { return workArea; }
    void ProcessMessages() override {
        ++messagePumps;
        if (onProcessMessages) onProcessMessages();
    }
    void Terminate(int status) override { terminatedWith = status; }
    void ShowMessage(MessageKind, const std::string&, const std::string&) override {}

    std::function<bool()> closeQuery;
    std::function<void()> onClose;
    std::function<void()> whileModal;
    std::function<void()> onProcessMessages;
    bool visible = false, closed = false;
    int modalShows = 0, broughtToFront = 0, messagePumps = 0;
    int terminatedWith = -1;
    ScreenRect frame{100, 100, 543, 375};
    ScreenRect workArea{0, 0, 1920, 1040};
};

} // namespace kestrune::testing
