// A Windows 2000 mode namespace as the directory stores it: the whole namespace (root, links,
// their targets, comments, states and referral times) in the binary pKT attribute of one fTDfs
// object. Little-endian throughout, strings UTF-16 without a terminating NUL, sizes in bytes.
#pragma once

#include "base/expected.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrune {

// Bits of PktEntry::type.
constexpr uint32_t PKT_ENTRY_TYPE_DFS = 0x1;
constexpr uint32_t PKT_ENTRY_TYPE_OUTSIDE_MY_DOM = 0x10;
constexpr uint32_t PKT_ENTRY_TYPE_INSITE_ONLY = 0x20;
constexpr uint32_t PKT_ENTRY_TYPE_COST_BASED_SITE_SELECTION = 0x40;
constexpr uint32_t PKT_ENTRY_TYPE_REFERRAL_SVC = 0x80; // set on the root, never on a link
constexpr uint32_t PKT_ENTRY_TYPE_ROOT_SCALABILITY = 0x200;
constexpr uint32_t PKT_ENTRY_TYPE_TARGET_FAILBACK = 0x8000;
// What Windows writes in PktTarget::type and PktEntry::version.
constexpr uint32_t kPktTargetType = 2;
constexpr uint32_t kPktEntryVersion = 3;

struct PktTarget {
    std::u16string server;
    std::u16string share;
    uint32_t state = 2; // DFS_STORAGE_STATE_ONLINE; 1 is offline
    uint32_t type = kPktTargetType;
    // Either the time the target last changed (a FILETIME) or, when no bit above the first
    // byte is set, its priority: rank in the low five bits, class in the three above.
    uint64_t timeStamp = 0;

    // Both 0 when the time stamp is a time.
    uint32_t PriorityClass() const;
    uint16_t PriorityRank() const;
    static uint64_t PriorityStamp(uint32_t priorityClass, uint16_t rank);

    bool operator==(const PktTarget&) const = default;
};

// The root or one link.
struct PktEntry {
    std::string guid = std::string(16, '\0'); // 16 bytes as stored
    std::u16string prefix;                    // "\domain\namespace[\link\path]", one backslash
    std::u16string shortPrefix;               // the same, or its 8.3 form
    uint32_t type = PKT_ENTRY_TYPE_DFS;
    uint32_t state = 1; // DFS_VOLUME_STATE_OK; 3 offline
    std::u16string comment;
    uint64_t prefixTime = 0;
    uint64_t stateTime = 0;
    uint64_t commentTime = 0;
    uint32_t version = kPktEntryVersion;
    std::vector<PktTarget> targets;
    std::array<uint8_t, 4> reserved{}; // kept as read
    uint32_t referralTtl = 0;          // seconds

    bool IsRoot() const { return (type & PKT_ENTRY_TYPE_REFERRAL_SVC) != 0; }
    bool operator==(const PktEntry&) const = default;
};

struct PktBlob {
    // In stored order; exactly one is the root.
    std::vector<PktEntry> entries;
    // The server-to-site table, kept as stored (it names no link or target of its own).
    std::optional<std::string> siteInformation;
    // Where the site table stood among the entries, so a rewrite keeps the order.
    size_t siteInformationAt = 0;

    const PktEntry& Root() const;
    bool operator==(const PktBlob&) const = default;
};

// The namespace a pKT value holds. Anything else (cut short, sizes or counts that overrun or
// leave bytes over, strings that are no UTF-16, no root or two, a link named after another
// GUID) is an error saying what is wrong and at which byte; never a shorter namespace.
Expected<PktBlob> DecodePktBlob(std::string_view bytes);

// The value Windows would store for the namespace: the reverse of DecodePktBlob.
std::string EncodePktBlob(const PktBlob& blob);

// The link's path below the root ("Data\Projects") from its prefix "\domain\ns\Data\Projects";
// empty for a prefix with no link part.
std::u16string PktLinkPath(const PktEntry& link);

} // namespace kestrune
