// What the window logic needs of the controls it drives. Each toolkit (Qt on Linux, Win32
// controls on Windows) implements these over its own widgets, and the tests over plain memory:
// the logic never sees a toolkit.
#pragma once

#include "base/ansi_string.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace kestrune {

class Control {
  public:
    virtual ~Control() = default;
    virtual void SetEnabled(bool enabled) = 0;
    virtual bool Enabled() const = 0;
    virtual void SetFocus() = 0;
    virtual bool Focused() const = 0;
};

// An edit field.
class TextControl : public Control {
  public:
    virtual WideString Text() const = 0;
    virtual void SetText(const WideString& text) = 0;
};

class Button : public Control {
  public:
    virtual WideString Caption() const = 0;
    virtual void SetCaption(const WideString& caption) = 0;
};

class CheckBox : public Control {
  public:
    virtual bool Checked() const = 0;
};

// Controls shown or hidden together. Hidden, the group takes no room: the window's other
// controls close up over it.
class Panel {
  public:
    virtual ~Panel() = default;
    virtual void SetVisible(bool visible) = 0;
    virtual bool Visible() const = 0;
};

// A combo box with an editable text and a list of items.
class ComboBox : public TextControl {
  public:
    virtual void AddItem(const WideString& item) = 0;
    virtual int Count() const = 0;
    virtual WideString Item(int index) const = 0;
    // Selects the item and shows it as the text; -1 selects none (the text is kept).
    virtual void SetItemIndex(int index) = 0;
};

// A list box with multiple selection. Items stay where they are inserted: the logic keeps
// them in order itself, so that both toolkits sort alike.
class ListBox : public Control {
  public:
    virtual void Clear() = 0;
    virtual int Count() const = 0;
    virtual WideString Item(int index) const = 0;
    virtual void Insert(int index, const WideString& item) = 0;
    virtual bool Selected(int index) const = 0;
    virtual void SetSelected(int index, bool selected) = 0;
    virtual void SelectAll() = 0;
    // Selects index alone and makes it the current item.
    virtual void SelectOnly(int index) = 0;
};

// A list of items with check marks.
class CheckList : public Control {
  public:
    // Replaces the items, all unchecked.
    virtual void SetItems(const std::vector<WideString>& items) = 0;
    virtual int Count() const = 0;
    virtual bool Checked(int index) const = 0;
    // Checks or unchecks every item, repainting once.
    virtual void SetAllChecked(bool checked) = 0;
};

// A read-only rich-text log: coloured lines on black, a tab stop, selectable and copyable.
class RichLog : public Control {
  public:
    virtual void Clear() = 0;
    // Appends one line in the colour (0x00BBGGRR); the text is never taken for markup.
    virtual void AppendLine(WideString line, uint32_t color) = 0;
    // Whether the view shows the last line with nothing selected: only then does it follow
    // new lines, so someone reading back or selecting to copy keeps their place.
    virtual bool Following() const = 0;
    virtual void ScrollToEnd() = 0;
    virtual size_t LineCount() const = 0;
    // The text of a line below LineCount(), without its colour.
    virtual const WideString& LineAt(size_t line) const = 0;
    // A copy of every line's text.
    std::vector<WideString> Lines() const {
        std::vector<WideString> lines;
        lines.reserve(LineCount());
        for (size_t i = 0; i < LineCount(); ++i)
            lines.push_back(LineAt(i));
        return lines;
    }
    // The text with its colours, in the control's own rich format (HTML, RTF).
    virtual std::string RichText() const = 0;
    virtual void SetTabStop(double points) = 0;
};

class Timer {
  public:
    virtual ~Timer() = default;
    virtual void SetEnabled(bool enabled) = 0;
    virtual bool Enabled() const = 0;
};

// The open-file dialog, with the title, filter and options the view gives it.
class OpenDialog {
  public:
    virtual ~OpenDialog() = default;
    virtual void SetInitialDir(const WideString& folder) = 0;
    // Shows the dialog modally; true when a file was chosen.
    virtual bool Execute() = 0;
    virtual std::filesystem::path FileName() const = 0;
};

struct ScreenRect {
    int left = 0, top = 0, width = 0, height = 0;
    int Right() const { return left + width; }
    int Bottom() const { return top + height; }
    bool Intersects(const ScreenRect& other) const {
        return left < other.Right() && other.left < Right() && top < other.Bottom() &&
               other.top < Bottom();
    }
};

enum class MessageKind { Error, Warning };

// The window a form's logic drives.
class FormWindow {
  public:
    virtual ~FormWindow() = default;
    // Closes the window as its frame's close button does: the form's close query decides.
    virtual void Close() = 0;
    virtual void Show() = 0;
    // Shows the window modal to its owner and returns when it closes.
    virtual void ShowModal() = 0;
    virtual void BringToFront() = 0;
    virtual ScreenRect Frame() const = 0;
    virtual void MoveTo(int left, int top) = 0;
    // The part of the screen the window is on that windows may use.
    virtual ScreenRect WorkArea() const = 0;
    // Handles the window messages that are waiting, then returns.
    virtual void ProcessMessages() = 0;
    // Ends the program's message loop with the status, without closing the window.
    virtual void Terminate(int status) = 0;
    // A modal message box with the text (UTF-8) and a single OK button.
    virtual void ShowMessage(MessageKind kind, const std::string& caption,
                             const std::string& text) = 0;
};

} // namespace kestrune
