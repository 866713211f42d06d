#include "base/dacl_entries.h"

#include "base/little_endian.h"
#include "base/security_descriptor.h"
#include "base/win_errors.h"

namespace kestrune {
namespace {

constexpr uint16_t kDaclPresent = 0x0004;
constexpr uint16_t kSelfRelative = 0x8000;
// The control bits that belong to the DACL (present, defaulted, auto-inherit required,
// auto-inherited, protected).
constexpr uint16_t kDaclControl = 0x0004 | 0x0008 | 0x0100 | 0x0400 | 0x1000;
constexpr uint8_t kInherited = 0x10;
constexpr uint8_t kAclRevisionDs = 4;

Error Invalid(std::string what) {
    return Error{ERROR_INVALID_SECURITY_DESCR, std::move(what)};
}

} // namespace

Expected<Dacl> ReadDacl(std::string_view b) {
    if (b.size() < 20 || static_cast<uint8_t>(b[0]) != 1)
        return Invalid("not a revision 1 security descriptor");
    const uint16_t control = static_cast<uint16_t>(ReadLittleEndian(b, 2, 2));
    if (!(control & kSelfRelative)) return Invalid("not a self-relative security descriptor");
    Dacl dacl;
    dacl.control = static_cast<uint16_t>((control & kDaclControl) | kSelfRelative);
    const uint32_t at = ReadLittleEndian(b, 16, 4);
    if (!(control & kDaclPresent) || at == 0) return dacl;
    if (size_t(at) + 8 > b.size()) return Invalid("the DACL lies outside the descriptor");
    const uint32_t size = ReadLittleEndian(b, at + 2, 2), count = ReadLittleEndian(b, at + 4, 2);
    if (size < 8 || size_t(at) + size > b.size()) return Invalid("the DACL's size is wrong");
    std::string_view acl = b.substr(at, size);
    size_t next = 8;
    for (uint32_t i = 0; i < count; ++i) {
        if (next + 8 > acl.size()) return Invalid("an access entry lies outside the DACL");
        const uint32_t entrySize = ReadLittleEndian(acl, next + 2, 2);
        if (entrySize < 8 || next + entrySize > acl.size())
            return Invalid("an access entry's size is wrong");
        dacl.entries.emplace_back(acl.substr(next, entrySize));
        next += entrySize;
    }
    return dacl;
}

std::string OwnerSid(std::string_view b) {
    if (b.size() < 20) return {};
    const uint32_t at = ReadLittleEndian(b, 4, 4);
    if (at == 0 || size_t(at) + 8 > b.size()) return {};
    const size_t size = 8 + 4 * size_t(static_cast<uint8_t>(b[at + 1]));
    return at + size <= b.size() ? std::string(b.substr(at, size)) : std::string();
}

bool IsInheritedEntry(std::string_view entry) {
    return entry.size() > 1 && (static_cast<uint8_t>(entry[1]) & kInherited);
}

std::string EntrySidText(std::string_view entry) {
    // An object entry (ACCESS_*_OBJECT) carries its flags and the GUIDs they announce first.
    size_t at = 8;
    if (entry.size() > 12 && (entry[0] == 5 || entry[0] == 6)) {
        const uint8_t present = static_cast<uint8_t>(entry[8]);
        at = 12 + ((present & 1) ? 16 : 0) + ((present & 2) ? 16 : 0);
    }
    return at < entry.size() ? SidString(entry.substr(at)) : std::string();
}

bool IsDenyingEntry(std::string_view entry) {
    // ACCESS_DENIED, ACCESS_DENIED_OBJECT and the callback forms of both.
    const uint8_t type = entry.empty() ? 0 : static_cast<uint8_t>(entry[0]);
    return type == 1 || type == 6 || type == 10 || type == 12;
}

Expected<std::string> DaclDescriptor(const Dacl& dacl) {
    std::string entries;
    for (const std::string& e : dacl.entries)
        entries += e;
    if (entries.size() + 8 > 0xFFFF) return Invalid("too many access entries");
    std::string out;
    out += '\x01';
    out += '\x00';
    AppendLittleEndian(out, (dacl.control & kDaclControl) | kDaclPresent | kSelfRelative, 2);
    out.append(12, '\0'); // no owner, group or SACL
    AppendLittleEndian(out, 20, 4);
    // Revision 4 holds every kind of entry a directory object's DACL has.
    bool plain = true;
    for (const std::string& e : dacl.entries)
        plain = plain && static_cast<uint8_t>(e[0]) <= 3;
    out += static_cast<char>(plain ? 2 : kAclRevisionDs);
    out += '\x00';
    AppendLittleEndian(out, static_cast<uint32_t>(entries.size() + 8), 2);
    AppendLittleEndian(out, static_cast<uint32_t>(dacl.entries.size()), 2);
    AppendLittleEndian(out, 0, 2);
    return out + entries;
}

} // namespace kestrune
