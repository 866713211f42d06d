#include "app/message_box.h"

#include "app/session.h"

#include <QMessageBox>
#include <cstdio>

namespace kestrune {
namespace {
std::function<void(const MessageBoxShown&)> boxHook;
} // namespace

void SetMessageBoxHook(std::function<void(const MessageBoxShown&)> hook) {
    boxHook = std::move(hook);
}

void ShowMessageBox(QWidget* parent, MessageKind kind, const QString& caption,
                    const QString& text) {
    if (boxHook) {
        boxHook({kind, caption, text});
        return;
    }
    if (RunningHeadless()) {
        std::fprintf(stderr, "kestrune: %s\n", text.toLocal8Bit().constData());
        return;
    }
    if (kind == MessageKind::Error)
        QMessageBox::critical(parent, caption, text);
    else
        QMessageBox::warning(parent, caption, text);
}

} // namespace kestrune
