#include "platform/store/export_ending.h"

#include "base/ascii.h"

#include <vector>

namespace kestrune::store {
namespace {

std::vector<std::string_view> LinesOf(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const size_t nl = text.find('\n');
        std::string_view line = text.substr(0, nl);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        text = nl == std::string_view::npos ? std::string_view() : text.substr(nl + 1);
    }
    return lines;
}

bool Begins(std::string_view line, std::string_view start) {
    return line.size() >= start.size() && SameTextAscii(line.substr(0, start.size()), start);
}

// ldapsearch without -LL opens with "# extended LDIF", perhaps after "version: 1".
bool WrittenByLdapsearchWithComments(std::string_view head) {
    for (std::string_view line : LinesOf(head)) {
        if (line.empty() || Begins(line, "version:")) continue;
        return Begins(line, "# extended LDIF");
    }
    return false;
}

} // namespace

Status CheckExportEnding(std::string_view head, std::string_view tail, const std::string& name,
                         size_t lastLine) {
    auto cut = [&](const std::string& why) {
        return Status{ResultCode::ProtocolError,
                      name + ":" + std::to_string(lastLine) +
                          ": the export ends inside its last record (" + why +
                          "); it was cut short, and a backup from it would miss what was cut"};
    };
    if (tail.empty()) return Status::Ok();
    if (tail.back() != '\n') return cut("its last line has no line end");

    const std::vector<std::string_view> lines = LinesOf(tail);
    size_t lastDn = 0; // a last record longer than the tail: the tail is all of it there is
    for (size_t i = lines.size(); i-- > 0;)
        if (Begins(lines[i], "dn:")) {
            lastDn = i;
            break;
        }
    bool closingBlock = false, changeRecord = false;
    for (size_t i = lastDn; i < lines.size(); ++i) {
        closingBlock = closingBlock || Begins(lines[i], "result:");
        changeRecord = changeRecord || Begins(lines[i], "changetype:");
    }
    if (closingBlock) return Status::Ok();
    if (WrittenByLdapsearchWithComments(head))
        return cut("ldapsearch's closing \"search:\" and \"result:\" block is missing");
    if (changeRecord) return Status::Ok(); // ldifde's: the last line's CR LF ends it
    // ldapsearch -LLL: a blank line after the last entry, perhaps followed by comments.
    for (size_t i = lines.size(); i-- > 0;) {
        if (!lines[i].empty() && lines[i].front() == '#') continue;
        if (lines[i].empty()) return Status::Ok();
        break;
    }
    return cut("no blank line follows it");
}

} // namespace kestrune::store
