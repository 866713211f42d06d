#include "platform/store/base64.h"
#include "platform/store/ldif.h"

namespace kestrune::store {
namespace {

constexpr size_t kFoldAt = 76;

// RFC 2849 SAFE-STRING: ASCII without NUL, CR, LF, not starting with a blank, ":" or "<",
// and (for readability when read back) not ending with a blank.
bool IsSafe(std::string_view value) {
    if (value.empty()) return true;
    if (value.front() == ' ' || value.front() == ':' || value.front() == '<') return false;
    if (value.back() == ' ') return false;
    for (unsigned char c : value)
        if (c == 0 || c == '\r' || c == '\n' || c >= 0x80) return false;
    return true;
}

// Appends "type: value" (or "type:: base64"), folded at 76 columns.
void AppendLine(std::string& out, std::string_view type, std::string_view value) {
    std::string line(type);
    if (IsSafe(value)) {
        line += ": ";
        line += value;
    } else {
        line += ":: ";
        line += Base64Encode(value);
    }
    size_t pos = 0;
    size_t width = kFoldAt;
    while (line.size() - pos > width) {
        out.append(line, pos, width);
        out += "\n ";
        pos += width;
        width = kFoldAt - 1;
    }
    out.append(line, pos, std::string::npos);
    out += '\n';
}

} // namespace

std::string FormatLdifAdd(const Entry& entry) {
    std::string out;
    AppendLine(out, "dn", entry.dn);
    out += "changetype: add\n";
    for (const Attribute& a : entry.attributes)
        for (const std::string& v : a.values)
            AppendLine(out, a.type, v);
    out += '\n';
    return out;
}

std::string FormatLdifModify(const std::string& dn, const std::vector<Modification>& changes) {
    std::string out;
    AppendLine(out, "dn", dn);
    out += "changetype: modify\n";
    for (const Modification& m : changes) {
        const char* op = m.op == Modification::Op::Add
                             ? "add"
                             : (m.op == Modification::Op::Delete ? "delete" : "replace");
        AppendLine(out, op, m.type);
        for (const std::string& v : m.values)
            AppendLine(out, m.type, v);
        out += "-\n";
    }
    out += '\n';
    return out;
}

std::string FormatLdifDelete(const std::string& dn) {
    std::string out;
    AppendLine(out, "dn", dn);
    out += "changetype: delete\n\n";
    return out;
}

std::string FormatLdifModRdn(const std::string& dn, const std::string& newRdn, bool deleteOldRdn,
                             const std::string& newSuperior) {
    std::string out;
    AppendLine(out, "dn", dn);
    out += "changetype: modrdn\n";
    AppendLine(out, "newrdn", newRdn);
    out += deleteOldRdn ? "deleteoldrdn: 1\n" : "deleteoldrdn: 0\n";
    if (!newSuperior.empty()) AppendLine(out, "newsuperior", newSuperior);
    out += '\n';
    return out;
}

} // namespace kestrune::store
