#include "gui/forms/message_box.h"

#include "gui/forms/session.h"

#include <cstdio>

namespace kestrune {
namespace {
std::function<void(const MessageBoxShown&)>& Hook() {
    static std::function<void(const MessageBoxShown&)> hook;
    return hook;
}
std::function<void(const MessageBoxShown&)>& Ownerless() {
    static std::function<void(const MessageBoxShown&)> show;
    return show;
}
} // namespace

ScopedOwnerlessMessageBox::ScopedOwnerlessMessageBox(
    std::function<void(const MessageBoxShown&)> show)
    : previous_(std::move(Ownerless())) {
    Ownerless() = std::move(show);
}

ScopedOwnerlessMessageBox::~ScopedOwnerlessMessageBox() {
    Ownerless() = std::move(previous_);
}

ScopedMessageBoxHook::ScopedMessageBoxHook(std::function<void(const MessageBoxShown&)> hook)
    : previous_(std::move(Hook())) {
    Hook() = std::move(hook);
}

ScopedMessageBoxHook::~ScopedMessageBoxHook() {
    Hook() = std::move(previous_);
}

void ShowMessageBox(FormWindow* owner, MessageKind kind, const std::string& caption,
                    const std::string& text) {
    if (Hook()) {
        Hook()({kind, caption, text});
        return;
    }
    if (RunningHeadless() || (!owner && !Ownerless())) {
        std::fprintf(stderr, "kestrune: %s\n", text.c_str());
        return;
    }
    if (owner)
        owner->ShowMessage(kind, caption, text);
    else
        Ownerless()({kind, caption, text});
}

} // namespace kestrune
