#include "base/ascii.h"
#include "platform/store/base64.h"
#include "platform/store/ldif.h"

#include <cctype>
#include <deque>

namespace kestrune::store {
namespace {

struct LogicalLine {
    std::string_view text; // in the text read, or continuation lines joined by the reader
    size_t number = 0;
    size_t offset = 0; // of its first physical line in the text
};

// Splits text into records of logical lines: continuations joined, comments dropped.
class LineReader {
  public:
    LineReader(std::string_view text, size_t firstLine) : text_(text), lineNumber_(firstLine) {}

    // The next record's lines; false at the end of the text. terminated tells whether a blank
    // line ended the record (rather than the end of the text).
    bool NextRecord(std::vector<LogicalLine>& record, bool& terminated) {
        record.clear();
        joined_.clear();
        lastJoined_ = false;
        terminated = false;
        while (pos_ < text_.size()) {
            size_t number = lineNumber_;
            size_t offset = pos_;
            std::string_view physical = NextPhysical();
            if (physical.empty()) {
                lastWasComment_ = false;
                if (!record.empty()) {
                    terminated = true;
                    return true;
                }
                continue;
            }
            bool comment = physical.front() == '#';
            if (comment && physical == kChangeRecordMarker) appended_ = true;
            if (physical.front() == ' ' && !record.empty() && !lastWasComment_) {
                // Only a folded line is copied; the others are read where they are.
                if (!lastJoined_) joined_.emplace_back(record.back().text);
                lastJoined_ = true;
                joined_.back().append(physical.substr(1));
                record.back().text = joined_.back();
                continue;
            }
            if (physical.front() == ' ' && lastWasComment_) continue;
            lastWasComment_ = comment;
            if (comment) continue;
            if (record.empty()) recordAppended_ = appended_;
            record.push_back({physical, number, offset});
            lastJoined_ = false;
        }
        return !record.empty();
    }

    // Whether the change-record marker came before the last record returned.
    bool RecordAppended() const { return recordAppended_; }
    // Whether the text read so far holds the marker (or began after it).
    bool Appended() const { return appended_; }
    void SetAppended(bool appended) { appended_ = appended; }

  private:
    std::string_view NextPhysical() {
        size_t nl = text_.find('\n', pos_);
        size_t end = nl == std::string_view::npos ? text_.size() : nl;
        std::string_view line = text_.substr(pos_, end - pos_);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        pos_ = nl == std::string_view::npos ? text_.size() : nl + 1;
        ++lineNumber_;
        return line;
    }

    std::string_view text_;
    size_t pos_ = 0;
    size_t lineNumber_;
    bool lastWasComment_ = false;
    std::deque<std::string> joined_; // the folded lines of the record (a deque never moves them)
    bool lastJoined_ = false;        // the record's last line is one of them
    bool appended_ = false;          // the change-record marker was read
    bool recordAppended_ = false;    // ... before the current record
};

struct ParsedLine {
    std::string_view type; // in the line
    std::string value;
};

// "type: value", "type:: base64" or "type:< url" (not supported).
bool ParseLine(const LogicalLine& line, ParsedLine& out, std::string& error) {
    size_t colon = line.text.find(':');
    if (colon == std::string::npos || colon == 0) {
        error =
            "expected \"attribute: value\", found \"" + std::string(line.text.substr(0, 60)) + "\"";
        return false;
    }
    out.type = line.text.substr(0, colon);
    for (char c : out.type) {
        // ASCII letters and digits first, without a library call for each.
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!plain && !std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != ';' &&
            c != '.') {
            error = "bad attribute name \"" + std::string(out.type) + "\"";
            return false;
        }
    }
    // Options such as ";binary" say how a value travels, not what it is.
    if (size_t semi = out.type.find(';'); semi != std::string_view::npos)
        out.type = out.type.substr(0, semi);
    std::string_view rest = std::string_view(line.text).substr(colon + 1);
    if (!rest.empty() && rest.front() == ':') {
        if (!Base64Decode(rest.substr(1), out.value)) {
            error = "bad base64 value of \"" + std::string(out.type) + "\"";
            return false;
        }
        return true;
    }
    if (!rest.empty() && rest.front() == '<') {
        error = "URL values (\"" + std::string(out.type) + ":<\") are not supported";
        return false;
    }
    size_t start = rest.find_first_not_of(' ');
    out.value = start == std::string_view::npos ? std::string() : std::string(rest.substr(start));
    return true;
}

void AddValue(Entry& entry, std::string_view type, std::string value) {
    for (Attribute& a : entry.attributes) {
        if (SameTextAscii(a.type, type)) {
            a.values.push_back(std::move(value));
            return;
        }
    }
    entry.attributes.push_back({std::string(type), {std::move(value)}});
}

class RecordParser {
  public:
    // False with error and errorLine set for a malformed record.
    bool Parse(const std::vector<LogicalLine>& lines, LdifRecord& record) {
        size_t i = 0;
        ParsedLine p;
        if (!Read(lines[i], p)) return false;
        if (SameTextAscii(p.type, "version")) {
            if (p.value != "1") return Fail(lines[i], "unsupported LDIF version " + p.value);
            if (++i == lines.size())
                return Fail(lines[i - 1], "a version line alone is not a record");
            if (!Read(lines[i], p)) return false;
        }
        if (!SameTextAscii(p.type, "dn")) return Fail(lines[i], "a record must begin with \"dn:\"");
        record = LdifRecord();
        record.line = lines[i].number;
        record.entry.dn = p.value;
        ++i;
        while (i < lines.size() && lines[i].text.rfind("control:", 0) == 0)
            return Fail(lines[i], "controls are not supported");
        if (i < lines.size()) {
            if (!Read(lines[i], p)) return false;
            if (SameTextAscii(p.type, "changetype")) {
                ++i;
                return ParseChange(lines, i, p.value, record);
            }
        }
        record.kind = LdifRecord::Kind::Content;
        if (i == lines.size()) return Fail(lines[i - 1], "an entry needs at least one attribute");
        return ParseAttributes(lines, i, record);
    }

    std::string error;
    size_t errorLine = 0;

  private:
    bool Fail(const LogicalLine& line, const std::string& why) {
        error = why;
        errorLine = line.number;
        return false;
    }
    bool Read(const LogicalLine& line, ParsedLine& p) {
        std::string why;
        if (!ParseLine(line, p, why)) return Fail(line, why);
        return true;
    }

    bool ParseAttributes(const std::vector<LogicalLine>& lines, size_t i, LdifRecord& record) {
        ParsedLine p;
        // At most one for each line; most entries have a few.
        record.entry.attributes.reserve(std::min<size_t>(lines.size() - i, 16));
        for (; i < lines.size(); ++i) {
            if (!Read(lines[i], p)) return false;
            if (lines[i].text == "-") return Fail(lines[i], "\"-\" outside a modify record");
            AddValue(record.entry, p.type, std::move(p.value));
        }
        return true;
    }

    bool ParseChange(const std::vector<LogicalLine>& lines, size_t i, const std::string& type,
                     LdifRecord& record) {
        const LogicalLine& at = lines[i - 1];
        if (SameTextAscii(type, "add")) {
            record.kind = LdifRecord::Kind::Add;
            if (i == lines.size()) return Fail(at, "an added entry needs at least one attribute");
            return ParseAttributes(lines, i, record);
        }
        if (SameTextAscii(type, "delete")) {
            record.kind = LdifRecord::Kind::Delete;
            if (i != lines.size()) return Fail(lines[i], "a delete record has no further lines");
            return true;
        }
        if (SameTextAscii(type, "modrdn") || SameTextAscii(type, "moddn"))
            return ParseModRdn(lines, i, record);
        if (SameTextAscii(type, "modify")) return ParseModify(lines, i, record);
        return Fail(at, "unknown changetype \"" + type + "\"");
    }

    bool ParseModRdn(const std::vector<LogicalLine>& lines, size_t i, LdifRecord& record) {
        record.kind = LdifRecord::Kind::ModRdn;
        ParsedLine p;
        bool haveRdn = false, haveDelete = false;
        for (; i < lines.size(); ++i) {
            if (!Read(lines[i], p)) return false;
            if (SameTextAscii(p.type, "newrdn")) {
                record.newRdn = p.value;
                haveRdn = true;
            } else if (SameTextAscii(p.type, "deleteoldrdn")) {
                if (p.value != "0" && p.value != "1")
                    return Fail(lines[i], "deleteoldrdn must be 0 or 1");
                record.deleteOldRdn = p.value == "1";
                haveDelete = true;
            } else if (SameTextAscii(p.type, "newsuperior")) {
                record.newSuperior = p.value;
            } else {
                return Fail(lines[i],
                            "unexpected \"" + std::string(p.type) + "\" in a modrdn record");
            }
        }
        if (!haveRdn || !haveDelete)
            return Fail(lines[i - 1], "a modrdn record needs newrdn and deleteoldrdn");
        return true;
    }

    bool ParseModify(const std::vector<LogicalLine>& lines, size_t i, LdifRecord& record) {
        record.kind = LdifRecord::Kind::Modify;
        ParsedLine p;
        while (i < lines.size()) {
            if (!Read(lines[i], p)) return false;
            Modification change;
            if (SameTextAscii(p.type, "add"))
                change.op = Modification::Op::Add;
            else if (SameTextAscii(p.type, "delete"))
                change.op = Modification::Op::Delete;
            else if (SameTextAscii(p.type, "replace"))
                change.op = Modification::Op::Replace;
            else
                return Fail(lines[i], "expected add:, delete: or replace: in a modify record");
            change.type = p.value;
            ++i;
            for (; i < lines.size() && lines[i].text != "-"; ++i) {
                if (!Read(lines[i], p)) return false;
                if (!SameTextAscii(p.type, change.type))
                    return Fail(lines[i], "value of \"" + std::string(p.type) +
                                              "\" inside the change of \"" + change.type + "\"");
                change.values.push_back(std::move(p.value));
            }
            if (i == lines.size()) return Fail(lines[i - 1], "a modify change must end with \"-\"");
            ++i; // the "-"
            record.changes.push_back(std::move(change));
        }
        if (record.changes.empty()) return Fail(lines[i - 1], "a modify record needs a change");
        return true;
    }
};

bool StartsWith(std::string_view text, std::string_view start) {
    return text.size() >= start.size() && SameTextAscii(text.substr(0, start.size()), start);
}

// ldapsearch's closing block ("search: 2", "result: 0 Success", perhaps "text:" and
// "control:") and its search references ("ref: ldap://..."): lines about the search, not
// entries.
bool IsSearchOutcome(const std::vector<LogicalLine>& lines) {
    std::string_view first = lines.front().text;
    return StartsWith(first, "search:") || StartsWith(first, "result:") ||
           StartsWith(first, "ref:");
}

// The closing block's result: ok for success, else why the export is incomplete.
Status CheckSearchOutcome(const std::vector<LogicalLine>& lines, const std::string& name) {
    for (const LogicalLine& line : lines) {
        if (!StartsWith(line.text, "result:")) continue;
        std::string_view result = line.text.substr(7);
        size_t start = result.find_first_not_of(' ');
        result = start == std::string_view::npos ? std::string_view() : result.substr(start);
        if (result.substr(0, result.find(' ')) == "0") continue;
        return {ResultCode::ProtocolError,
                name + ":" + std::to_string(line.number) + ": the search that wrote this export " +
                    "ended with \"" + std::string(result) +
                    "\", so the export is incomplete (page the search: ldapsearch -E " +
                    "pr=1000/noprompt)"};
    }
    return Status::Ok();
}

} // namespace

Status ReadLdif(std::string_view text, const std::string& name,
                const std::function<Status(LdifRecord&)>& apply, LdifTail* tail) {
    LineReader reader(text, tail ? tail->firstLine : 1);
    std::vector<LogicalLine> lines;
    RecordParser parser;
    LdifRecord record;
    bool terminated = false;
    if (tail) reader.SetAppended(tail->appended);
    while (reader.NextRecord(lines, terminated)) {
        // Only what the journal appended can be cut short: it ends every record with a blank
        // line. A file's own last record may end without one.
        if (tail && !terminated && reader.RecordAppended()) {
            tail->torn = true;
            tail->tornOffset = lines.front().offset;
            tail->tornLine = lines.front().number;
            tail->appended = true;
            return Status::Ok();
        }
        if (IsSearchOutcome(lines)) {
            Status outcome = CheckSearchOutcome(lines, name);
            if (!outcome.ok()) return outcome;
            continue;
        }
        // "version: 1" may stand apart from the first record.
        if (lines.size() == 1 && lines[0].text.rfind("version:", 0) == 0 &&
            lines[0].text != "version: 1" && lines[0].text != "version:1")
            return {ResultCode::ProtocolError,
                    name + ":" + std::to_string(lines[0].number) + ": unsupported LDIF version"};
        if (lines.size() == 1 && lines[0].text.rfind("version:", 0) == 0) continue;
        if (!parser.Parse(lines, record))
            return {ResultCode::ProtocolError,
                    name + ":" + std::to_string(parser.errorLine) + ": " + parser.error};
        record.original = !reader.RecordAppended();
        Status status = apply(record);
        if (!status.ok()) {
            status.message = name + ":" + std::to_string(record.line) + ": " + status.message;
            return status;
        }
    }
    if (tail) tail->appended = reader.Appended();
    return Status::Ok();
}

} // namespace kestrune::store
