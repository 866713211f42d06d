// Every message box of the program goes through here: one place decides whether a box is
// shown, written to standard error (nobody can see a box when the program runs headless), or
// answered by a test.
#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace kestrune {

enum class MessageKind { Error, Warning };

struct MessageBoxShown {
    MessageKind kind;
    QString caption;
    QString text;
};

// A modal box with the text and a single OK button. Headless, the text goes to standard
// error instead.
void ShowMessageBox(QWidget* parent, MessageKind kind, const QString& caption, const QString& text);

// While set, boxes are handed to the hook instead of being shown (tests answer them this way:
// a box that never comes fails at once instead of waiting for a timeout).
void SetMessageBoxHook(std::function<void(const MessageBoxShown&)> hook);

} // namespace kestrune
