#include "shares/share_probe.h"

#include "base/message_table.h"

namespace kestrune {

ShareAnswer UnreachableAnswer(uint32_t code, const std::string& detail) {
    std::string text = SystemMessageText(code);
    if (!detail.empty()) text = text.empty() ? detail : text + " (" + detail + ")";
    return {ShareAnswer::State::Unreachable, code, text};
}

ShareAnswer AccessDeniedAnswer() {
    ShareAnswer answer = UnreachableAnswer(kAccessDenied);
    answer.state = ShareAnswer::State::AccessDenied;
    return answer;
}

} // namespace kestrune
