#include "base/security_descriptor_meaning.h"

#include "base/little_endian.h"

#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace kestrune {
namespace {

constexpr uint32_t kGenericRead = 0x80000000, kGenericWrite = 0x40000000,
                   kGenericExecute = 0x20000000, kGenericAll = 0x10000000;
constexpr uint16_t kSelfRelative = 0x8000;

struct Entry {
    uint8_t type = 0;
    uint8_t flags = 0;
    uint32_t rights = 0;
    std::string_view sid;

    bool operator==(const Entry& other) const {
        return std::tie(type, flags, rights, sid) ==
               std::tie(other.type, other.flags, other.rights, other.sid);
    }
};

struct Meaning {
    uint16_t control = 0;
    bool hasDacl = false;
    std::vector<Entry> entries;

    bool operator==(const Meaning&) const = default;
};

uint32_t Mapped(uint32_t rights, const GenericRightsMapping& mapping) {
    const uint32_t generic =
        rights & (kGenericRead | kGenericWrite | kGenericExecute | kGenericAll);
    rights &= ~generic;
    if (generic & kGenericRead) rights |= mapping.read;
    if (generic & kGenericWrite) rights |= mapping.write;
    if (generic & kGenericExecute) rights |= mapping.execute;
    if (generic & kGenericAll) rights |= mapping.all;
    return rights;
}

// The DACL of a self-relative descriptor as SddlToSecurityDescriptor writes it; nothing when
// the bytes are not one.
std::optional<Meaning> MeaningOf(std::string_view sd, const GenericRightsMapping& mapping) {
    Meaning meaning;
    if (sd.empty()) return meaning;
    if (sd.size() < 20) return std::nullopt;
    meaning.control = static_cast<uint16_t>(ReadLittleEndian(sd, 2, 2) & ~kSelfRelative);
    const size_t dacl = ReadLittleEndian(sd, 16, 4);
    if (dacl == 0) return meaning;
    if (dacl + 8 > sd.size()) return std::nullopt;
    meaning.hasDacl = true;
    const size_t count = ReadLittleEndian(sd, dacl + 4, 2);
    size_t at = dacl + 8;
    for (size_t i = 0; i < count; ++i) {
        if (at + 8 > sd.size()) return std::nullopt;
        const size_t size = ReadLittleEndian(sd, at + 2, 2);
        if (size < 8 || at + size > sd.size()) return std::nullopt;
        meaning.entries.push_back({static_cast<uint8_t>(sd[at]), static_cast<uint8_t>(sd[at + 1]),
                                   Mapped(ReadLittleEndian(sd, at + 4, 4), mapping),
                                   sd.substr(at + 8, size - 8)});
        at += size;
    }
    return meaning;
}

} // namespace

bool SameSecurityDescriptorMeaning(std::string_view a, std::string_view b,
                                   const GenericRightsMapping& mapping, const DomainSids& domains) {
    if (a == b) return true;
    if (a.empty() || b.empty()) return false;
    Expected<std::string> first = SddlToSecurityDescriptor(a, domains);
    Expected<std::string> second = SddlToSecurityDescriptor(b, domains);
    if (!first || !second) return false;
    std::optional<Meaning> one = MeaningOf(*first, mapping), other = MeaningOf(*second, mapping);
    return one && other && *one == *other;
}

} // namespace kestrune
