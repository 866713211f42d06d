#include "shares/share_probe.h"

#include "base/message_table.h"

namespace kestrune {

ShareAnswer UnreachableAnswer(uint32_t code, const std::string& detail) {
    std::string text = FormatSystemMessage(code);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    if (!detail.empty()) text = text.empty() ? detail : text + " (" + detail + ")";
    return {ShareAnswer::State::Unreachable, code, text};
}

ShareAnswer AccessDeniedAnswer() {
    ShareAnswer answer = UnreachableAnswer(kAccessDenied);
    answer.state = ShareAnswer::State::AccessDenied;
    return answer;
}

} // namespace kestrune
