// The access entries of a whole security descriptor's DACL, as a directory object holds it
// (owner, group and SACL beside it), taken apart and put together again as a descriptor that
// holds the DACL alone, the form NetDfsSetSecurity is given with DACL_SECURITY_INFORMATION.
#pragma once

#include "base/expected.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestrune {

struct Dacl {
    // The descriptor's DACL control bits (protected, auto-inherited ...), self-relative added.
    uint16_t control = 0;
    // Each access entry's bytes, in the DACL's order.
    std::vector<std::string> entries;
};

// The DACL of a self-relative descriptor; an absent DACL gives no entries.
Expected<Dacl> ReadDacl(std::string_view descriptor);

// The owner's SID, in its binary form; empty when the descriptor names none (or is no
// descriptor).
std::string OwnerSid(std::string_view descriptor);

// Whether an access entry came from a parent (INHERITED_ACE) rather than the object itself.
bool IsInheritedEntry(std::string_view entry);
// The SID an access entry is about, as S-1-...; empty when it holds none that can be read.
std::string EntrySidText(std::string_view entry);
// Whether an access entry denies.
bool IsDenyingEntry(std::string_view entry);

// A self-relative descriptor that holds the DACL and nothing else.
Expected<std::string> DaclDescriptor(const Dacl& dacl);

} // namespace kestrune
