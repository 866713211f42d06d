#include "base/security_descriptor.h"

#include "base/little_endian.h"
#include "base/win_errors.h"

#include <cstdio>

namespace kestrune {
namespace {

constexpr uint16_t kDaclPresent = 0x0004;
constexpr uint16_t kDaclAutoInheritRequired = 0x0100;
constexpr uint16_t kDaclAutoInherited = 0x0400;
constexpr uint16_t kDaclProtected = 0x1000;
constexpr uint16_t kSelfRelative = 0x8000;
constexpr uint16_t kKnownControl =
    kDaclPresent | kDaclAutoInheritRequired | kDaclAutoInherited | kDaclProtected | kSelfRelative;

constexpr uint8_t kAllowed = 0, kDenied = 1, kAllowedObject = 5, kDeniedObject = 6;
// Which GUIDs an object entry carries after its flags.
constexpr uint32_t kObjectTypePresent = 1, kInheritedObjectTypePresent = 2;
constexpr uint8_t kAclRevision = 2, kAclRevisionDs = 4;

struct Flag {
    std::string_view text;
    uint32_t bit;
};
constexpr Flag kAceFlags[] = {{"OI", 0x01}, {"CI", 0x02}, {"NP", 0x04}, {"IO", 0x08}, {"ID", 0x10}};
constexpr Flag kDaclFlags[] = {
    {"P", kDaclProtected}, {"AR", kDaclAutoInheritRequired}, {"AI", kDaclAutoInherited}};
// SDDL's right codes; a rights field is a number or a run of these.
constexpr Flag kRightCodes[] = {
    {"GA", 0x10000000}, {"GX", 0x20000000}, {"GW", 0x40000000}, {"GR", 0x80000000},
    {"RC", 0x00020000}, {"SD", 0x00010000}, {"WD", 0x00040000}, {"WO", 0x00080000},
    {"RP", 0x00000010}, {"WP", 0x00000020}, {"CC", 0x00000001}, {"DC", 0x00000002},
    {"LC", 0x00000004}, {"SW", 0x00000008}, {"LO", 0x00000080}, {"DT", 0x00000040},
    {"CR", 0x00000100}, {"FA", 0x001F01FF}, {"FR", 0x00120089}, {"FW", 0x00120116},
    {"FX", 0x001200A0}, {"KA", 0x000F003F}, {"KR", 0x00020019}, {"KW", 0x00020006},
    {"KX", 0x00020019}, {"NW", 0x00000001}, {"NR", 0x00000002}, {"NX", 0x00000004},
};

// Well-known SIDs by their SDDL aliases.
constexpr std::pair<std::string_view, std::string_view> kAliases[] = {
    {"WD", "S-1-1-0"},      {"CO", "S-1-3-0"},      {"CG", "S-1-3-1"},
    {"OW", "S-1-3-4"},      {"NU", "S-1-5-2"},      {"IU", "S-1-5-4"},
    {"SU", "S-1-5-6"},      {"AN", "S-1-5-7"},      {"ED", "S-1-5-9"},
    {"PS", "S-1-5-10"},     {"AU", "S-1-5-11"},     {"RC", "S-1-5-12"},
    {"SY", "S-1-5-18"},     {"LS", "S-1-5-19"},     {"NS", "S-1-5-20"},
    {"WR", "S-1-5-33"},     {"BA", "S-1-5-32-544"}, {"BU", "S-1-5-32-545"},
    {"BG", "S-1-5-32-546"}, {"PU", "S-1-5-32-547"}, {"AO", "S-1-5-32-548"},
    {"SO", "S-1-5-32-549"}, {"PO", "S-1-5-32-550"}, {"BO", "S-1-5-32-551"},
    {"RE", "S-1-5-32-552"}, {"RU", "S-1-5-32-554"}, {"RD", "S-1-5-32-555"},
    {"NO", "S-1-5-32-556"}, {"MU", "S-1-5-32-558"}, {"LU", "S-1-5-32-559"},
    {"IS", "S-1-5-32-568"}, {"CY", "S-1-5-32-569"}, {"ER", "S-1-5-32-573"},
    {"CD", "S-1-5-32-574"}, {"RA", "S-1-5-32-575"}, {"ES", "S-1-5-32-576"},
    {"MS", "S-1-5-32-577"}, {"HA", "S-1-5-32-578"}, {"AA", "S-1-5-32-579"},
    {"RM", "S-1-5-32-580"}, {"LW", "S-1-16-4096"},  {"ME", "S-1-16-8192"},
    {"HI", "S-1-16-12288"}, {"SI", "S-1-16-16384"}, {"AC", "S-1-15-2-1"},
    {"AS", "S-1-18-1"},     {"SS", "S-1-18-2"},     {"UD", "S-1-5-84-0-0-0-0-0"},
};

// Groups of a domain by their SDDL aliases: the domain's SID and this RID. Some belong to the
// forest's root domain whichever domain uses them.
struct DomainAlias {
    std::string_view alias;
    uint32_t rid;
    bool forestRoot;
};
constexpr DomainAlias kDomainAliases[] = {
    {"RO", 498, true},  {"DA", 512, false}, {"DU", 513, false}, {"DG", 514, false},
    {"DC", 515, false}, {"DD", 516, false}, {"CA", 517, false}, {"SA", 518, true},
    {"EA", 519, true},  {"PA", 520, false}, {"CN", 522, false}, {"AP", 525, false},
    {"KA", 526, false}, {"EK", 527, true},  {"RS", 553, false},
};

Error Invalid(std::string what) {
    return Error{ERROR_INVALID_SECURITY_DESCR, std::move(what)};
}

// A binary SID at the front of bytes as S-1-...; false when it does not fit.
bool SidText(std::string_view bytes, std::string& text, size_t& size) {
    if (bytes.size() < 8 || static_cast<uint8_t>(bytes[0]) != 1) return false;
    size_t count = static_cast<uint8_t>(bytes[1]);
    size = 8 + 4 * count;
    if (count > 15 || bytes.size() < size) return false;
    uint64_t authority = 0;
    for (size_t i = 2; i < 8; ++i)
        authority = (authority << 8) | static_cast<uint8_t>(bytes[i]);
    text = "S-1-" + std::to_string(authority);
    for (size_t i = 0; i < count; ++i)
        text += "-" + std::to_string(ReadLittleEndian(bytes, 8 + 4 * i, 4));
    return true;
}

bool ParseNumber(std::string_view text, uint64_t limit, uint64_t& value) {
    bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    if (hex) text.remove_prefix(2);
    if (text.empty() || text.size() > 20) return false;
    value = 0;
    for (char c : text) {
        int d = c >= '0' && c <= '9'          ? c - '0'
                : hex && c >= 'a' && c <= 'f' ? c - 'a' + 10
                : hex && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                              : -1;
        if (d < 0) return false;
        value = value * (hex ? 16 : 10) + static_cast<uint64_t>(d);
        if (value > limit) return false;
    }
    return true;
}

// A SID's binary form from S-1-... or an alias; a domain's alias takes the domain's SID from
// domains. why says what cannot be read.
bool SidBytes(std::string_view text, const DomainSids& domains, std::string& out,
              std::string& why) {
    why = "a SID in the SDDL cannot be read";
    std::string resolved;
    for (const auto& [alias, sid] : kAliases)
        if (text == alias) text = sid;
    for (const DomainAlias& d : kDomainAliases) {
        if (text != d.alias) continue;
        const std::string& domain = d.forestRoot ? domains.forestRoot : domains.domain;
        if (domain.empty()) {
            why = "the SDDL names " + std::string(d.alias) + ", a group of the " +
                  (d.forestRoot ? "forest root domain" : "domain") + ", whose SID is not known";
            return false;
        }
        resolved = domain + "-" + std::to_string(d.rid);
        text = resolved;
    }
    if (text.substr(0, 4) != "S-1-") return false;
    text.remove_prefix(4);
    std::vector<uint64_t> parts;
    while (true) {
        size_t dash = text.find('-');
        uint64_t v = 0;
        if (!ParseNumber(text.substr(0, dash), parts.empty() ? 0xFFFFFFFFFFFFull : 0xFFFFFFFFull,
                         v))
            return false;
        parts.push_back(v);
        if (dash == std::string_view::npos) break;
        text.remove_prefix(dash + 1);
    }
    if (parts.size() > 16) return false;
    out += '\x01';
    out += static_cast<char>(parts.size() - 1);
    for (int shift = 40; shift >= 0; shift -= 8)
        out += static_cast<char>((parts[0] >> shift) & 0xFF);
    for (size_t i = 1; i < parts.size(); ++i)
        AppendLittleEndian(out, static_cast<uint32_t>(parts[i]), 4);
    return true;
}

// A rights field: a number, or right codes run together ("FRFX").
bool RightsMask(std::string_view text, uint64_t& mask) {
    if (ParseNumber(text, 0xFFFFFFFFull, mask)) return true;
    if (text.empty() || text.size() % 2 != 0) return false;
    mask = 0;
    for (; !text.empty(); text.remove_prefix(2)) {
        bool known = false;
        for (const Flag& r : kRightCodes)
            if (text.substr(0, 2) == r.text) mask |= r.bit, known = true;
        if (!known) return false;
    }
    return true;
}

std::string Hex(uint32_t v) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", v);
    return text;
}

// A GUID's 16 bytes (the first three fields little-endian) as SDDL writes it.
std::string GuidText(std::string_view b) {
    char text[40];
    std::snprintf(text, sizeof text, "%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x",
                  ReadLittleEndian(b, 0, 4), ReadLittleEndian(b, 4, 2), ReadLittleEndian(b, 6, 2),
                  static_cast<uint8_t>(b[8]), static_cast<uint8_t>(b[9]),
                  static_cast<uint8_t>(b[10]), static_cast<uint8_t>(b[11]),
                  static_cast<uint8_t>(b[12]), static_cast<uint8_t>(b[13]),
                  static_cast<uint8_t>(b[14]), static_cast<uint8_t>(b[15]));
    return text;
}

bool GuidBytes(std::string_view text, std::string& out) {
    if (text.size() != 36 || text[8] != '-' || text[13] != '-' || text[18] != '-' ||
        text[23] != '-')
        return false;
    uint64_t v[5];
    const std::string_view parts[5] = {text.substr(0, 8), text.substr(9, 4), text.substr(14, 4),
                                       text.substr(19, 4), text.substr(24, 12)};
    for (int i = 0; i < 5; ++i)
        if (!ParseNumber("0x" + std::string(parts[i]), 0xFFFFFFFFFFFFull, v[i])) return false;
    AppendLittleEndian(out, static_cast<uint32_t>(v[0]), 4);
    AppendLittleEndian(out, static_cast<uint32_t>(v[1]), 2);
    AppendLittleEndian(out, static_cast<uint32_t>(v[2]), 2);
    out += static_cast<char>(v[3] >> 8);
    out += static_cast<char>(v[3] & 0xFF);
    for (int shift = 40; shift >= 0; shift -= 8)
        out += static_cast<char>((v[4] >> shift) & 0xFF);
    return true;
}

} // namespace

bool NamesDomainGroups(std::string_view sddl) {
    for (size_t close; (close = sddl.find(')')) != std::string_view::npos;
         sddl.remove_prefix(close + 1)) {
        std::string_view ace = sddl.substr(0, close);
        std::string_view sid = ace.substr(ace.rfind(';') + 1);
        for (const DomainAlias& d : kDomainAliases)
            if (sid == d.alias) return true;
    }
    return false;
}

std::string SidString(std::string_view bytes) {
    std::string text;
    size_t size = 0;
    return SidText(bytes, text, size) && size == bytes.size() ? text : std::string();
}

Expected<std::string> SecurityDescriptorToSddl(std::string_view b) {
    if (b.size() < 20) return Invalid("shorter than a security descriptor's header");
    if (static_cast<uint8_t>(b[0]) != 1) return Invalid("not revision 1");
    uint16_t control = static_cast<uint16_t>(ReadLittleEndian(b, 2, 2));
    if (!(control & kSelfRelative)) return Invalid("not self-relative");
    if (ReadLittleEndian(b, 4, 4) || ReadLittleEndian(b, 8, 4))
        return Invalid("it names an owner or a group");
    if (ReadLittleEndian(b, 12, 4) || (control & 0x0010)) return Invalid("it holds a SACL");
    if (control & ~kKnownControl) return Invalid("control flags " + Hex(control & ~kKnownControl));
    std::string sddl = "D:";
    for (const Flag& f : kDaclFlags)
        if (control & f.bit) sddl += f.text;
    uint32_t daclAt = ReadLittleEndian(b, 16, 4);
    if (!(control & kDaclPresent)) {
        if (daclAt) return Invalid("a DACL that is not present");
        return sddl;
    }
    if (daclAt == 0) return Invalid("a null DACL");
    if (daclAt + 8 > b.size()) return Invalid("the DACL lies outside the descriptor");
    uint32_t aclSize = ReadLittleEndian(b, daclAt + 2, 2),
             count = ReadLittleEndian(b, daclAt + 4, 2);
    if (aclSize < 8 || daclAt + aclSize > b.size()) return Invalid("the DACL's size is wrong");
    std::string_view acl = b.substr(daclAt, aclSize);
    size_t at = 8;
    for (uint32_t i = 0; i < count; ++i) {
        if (at + 8 > acl.size()) return Invalid("an access entry lies outside the DACL");
        uint8_t type = static_cast<uint8_t>(acl[at]), flags = static_cast<uint8_t>(acl[at + 1]);
        uint32_t aceSize = ReadLittleEndian(acl, at + 2, 2),
                 mask = ReadLittleEndian(acl, at + 4, 4);
        if (aceSize < 16 || at + aceSize > acl.size())
            return Invalid("an access entry's size is wrong");
        const bool object = type == kAllowedObject || type == kDeniedObject;
        if (type != kAllowed && type != kDenied && !object)
            return Invalid("an access entry of type " + std::to_string(type));
        // An object entry names the kind of object or property it is about, and the kind of
        // object that inherits it.
        size_t sidAt = at + 8;
        std::string objectType, inheritedType;
        if (object) {
            if (aceSize < 12) return Invalid("an access entry's size is wrong");
            uint32_t present = ReadLittleEndian(acl, sidAt, 4);
            sidAt += 4;
            for (auto [bit, guid] : {std::pair{kObjectTypePresent, &objectType},
                                     std::pair{kInheritedObjectTypePresent, &inheritedType}}) {
                if (!(present & bit)) continue;
                if (sidAt + 16 > at + aceSize) return Invalid("an access entry's size is wrong");
                *guid = GuidText(acl.substr(sidAt, 16));
                sidAt += 16;
            }
        }
        std::string sid;
        size_t sidSize = 0;
        if (!SidText(acl.substr(sidAt, at + aceSize - sidAt), sid, sidSize) ||
            sidAt + sidSize != at + aceSize)
            return Invalid("an access entry's SID cannot be read");
        std::string aceFlags;
        for (const Flag& f : kAceFlags)
            if (flags & f.bit) aceFlags += f.text;
        if (flags & ~0x1Fu) return Invalid("access entry flags " + Hex(flags & ~0x1Fu));
        const char* typeText = type == kAllowed         ? "A"
                               : type == kDenied        ? "D"
                               : type == kAllowedObject ? "OA"
                                                        : "OD";
        sddl += std::string("(") + typeText + ";" + aceFlags + ";" + Hex(mask) + ";" + objectType +
                ";" + inheritedType + ";" + sid + ")";
        at += aceSize;
    }
    return sddl;
}

Expected<std::string> SddlToSecurityDescriptor(std::string_view sddl, const DomainSids& domains) {
    if (sddl.substr(0, 2) != "D:") return Invalid("SDDL that does not begin with \"D:\"");
    sddl.remove_prefix(2);
    uint16_t control = kSelfRelative | kDaclPresent;
    while (!sddl.empty() && sddl.front() != '(') {
        bool known = false;
        for (const Flag& f : kDaclFlags)
            if (sddl.substr(0, f.text.size()) == f.text) {
                control |= static_cast<uint16_t>(f.bit);
                sddl.remove_prefix(f.text.size());
                known = true;
                break;
            }
        if (!known) return Invalid("unknown DACL flags in the SDDL");
    }
    std::string aces;
    uint32_t count = 0, objectEntries = 0;
    while (!sddl.empty()) {
        size_t close = sddl.find(')');
        if (sddl.front() != '(' || close == std::string_view::npos)
            return Invalid("an access entry in the SDDL is not in parentheses");
        std::string_view ace = sddl.substr(1, close - 1);
        sddl.remove_prefix(close + 1);
        std::vector<std::string_view> fields;
        for (size_t semicolon; (semicolon = ace.find(';')) != std::string_view::npos;) {
            fields.push_back(ace.substr(0, semicolon));
            ace.remove_prefix(semicolon + 1);
        }
        fields.push_back(ace);
        if (fields.size() != 6)
            return Invalid("an access entry in the SDDL that is not (type;flags;rights;;;SID)");
        uint8_t type;
        if (fields[0] == "A")
            type = kAllowed;
        else if (fields[0] == "D")
            type = kDenied;
        else if (fields[0] == "OA")
            type = kAllowedObject;
        else if (fields[0] == "OD")
            type = kDeniedObject;
        else
            return Invalid("an access entry type other than A, D, OA or OD in the SDDL");
        const bool object = type == kAllowedObject || type == kDeniedObject;
        if (!object && (!fields[3].empty() || !fields[4].empty()))
            return Invalid("an access entry in the SDDL that is not (type;flags;rights;;;SID)");
        std::string guids;
        uint32_t present = 0;
        for (auto [field, bit] : {std::pair{fields[3], kObjectTypePresent},
                                  std::pair{fields[4], kInheritedObjectTypePresent}}) {
            if (field.empty()) continue;
            if (!GuidBytes(field, guids)) return Invalid("a GUID in the SDDL cannot be read");
            present |= bit;
        }
        if (object) ++objectEntries;
        uint32_t flags = 0;
        for (std::string_view f = fields[1]; !f.empty(); f.remove_prefix(2)) {
            bool known = false;
            if (f.size() < 2) return Invalid("unknown access entry flags in the SDDL");
            for (const Flag& k : kAceFlags)
                if (f.substr(0, 2) == k.text) flags |= k.bit, known = true;
            if (!known) return Invalid("unknown access entry flags in the SDDL");
        }
        uint64_t mask = 0;
        if (!RightsMask(fields[2], mask))
            return Invalid("access rights in the SDDL that are neither a number nor right codes");
        std::string sid, why;
        if (!SidBytes(fields[5], domains, sid, why)) return Invalid(why);
        const size_t objectPart = object ? 4 + guids.size() : 0;
        aces += static_cast<char>(type);
        aces += static_cast<char>(flags);
        AppendLittleEndian(aces, static_cast<uint32_t>(8 + objectPart + sid.size()), 2);
        AppendLittleEndian(aces, static_cast<uint32_t>(mask), 4);
        if (object) {
            AppendLittleEndian(aces, present, 4);
            aces += guids;
        }
        aces += sid;
        ++count;
    }
    if (aces.size() + 8 > 0xFFFF) return Invalid("too many access entries");
    std::string out;
    out += '\x01';
    out += '\x00';
    AppendLittleEndian(out, control, 2);
    AppendLittleEndian(out, 0, 4);
    AppendLittleEndian(out, 0, 4);
    AppendLittleEndian(out, 0, 4);
    AppendLittleEndian(out, 20, 4);
    // Object entries need the directory's ACL revision.
    out += static_cast<char>(objectEntries ? kAclRevisionDs : kAclRevision);
    out += '\x00';
    AppendLittleEndian(out, static_cast<uint32_t>(aces.size() + 8), 2);
    AppendLittleEndian(out, count, 2);
    AppendLittleEndian(out, 0, 2);
    return out + aces;
}

} // namespace kestrune
