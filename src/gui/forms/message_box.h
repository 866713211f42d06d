// Every message box of the windows goes through here: one place decides whether a box is
// shown, written to standard error (nobody can see a box when the program runs headless), or
// answered by a test.
#pragma once

#include "gui/forms/controls.h"

#include <functional>
#include <string>

namespace kestrune {

struct MessageBoxShown {
    MessageKind kind;
    std::string caption; // UTF-8
    std::string text;    // UTF-8
};

// A modal box over owner (or, without one, the toolkit's box of its own) with the text and a
// single OK button. Headless, the text goes to standard error instead.
void ShowMessageBox(FormWindow* owner, MessageKind kind, const std::string& caption,
                    const std::string& text);

using MessageBoxFunction = std::function<void(const MessageBoxShown&)>;

// Puts a function in place of another for as long as it lives, and the other back after.
class ScopedMessageBoxFunction {
  public:
    ScopedMessageBoxFunction(const ScopedMessageBoxFunction&) = delete;
    ScopedMessageBoxFunction& operator=(const ScopedMessageBoxFunction&) = delete;

  protected:
    ScopedMessageBoxFunction(MessageBoxFunction& slot, MessageBoxFunction function);
    ~ScopedMessageBoxFunction();

  private:
    MessageBoxFunction& slot_;
    MessageBoxFunction previous_;
};

// While it lives, boxes are handed to the hook instead of being shown (tests answer them this
// way: a box that never comes fails at once instead of waiting for a timeout).
class ScopedMessageBoxHook : ScopedMessageBoxFunction {
  public:
    explicit ScopedMessageBoxHook(MessageBoxFunction hook);
};

// While it lives: how the toolkit shows a box that has no window to belong to (a message from
// the directory component before the windows exist, a handler's failure). Without one, such a
// text goes to standard error.
class ScopedOwnerlessMessageBox : ScopedMessageBoxFunction {
  public:
    explicit ScopedOwnerlessMessageBox(MessageBoxFunction show);
};

} // namespace kestrune
