#include "gui/forms/message_box.h"

#include "gui/forms/session.h"

#include <cstdio>
#include <utility>

namespace kestrune {
namespace {
MessageBoxFunction& Hook() {
    static MessageBoxFunction hook;
    return hook;
}
MessageBoxFunction& Ownerless() {
    static MessageBoxFunction show;
    return show;
}
} // namespace

ScopedMessageBoxFunction::ScopedMessageBoxFunction(MessageBoxFunction& slot,
                                                   MessageBoxFunction function)
    : slot_(slot), previous_(std::exchange(slot, std::move(function))) {}

ScopedMessageBoxFunction::~ScopedMessageBoxFunction() {
    slot_ = std::move(previous_);
}

ScopedMessageBoxHook::ScopedMessageBoxHook(MessageBoxFunction hook)
    : ScopedMessageBoxFunction(Hook(), std::move(hook)) {}

ScopedOwnerlessMessageBox::ScopedOwnerlessMessageBox(MessageBoxFunction show)
    : ScopedMessageBoxFunction(Ownerless(), std::move(show)) {}

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
