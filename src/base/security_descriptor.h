// View permissions of a DFS link: a self-relative security descriptor that holds a DACL and
// nothing else, and its SDDL text ("D:P(A;;0x1200a9;;;S-1-5-21-...)").
//
// Only what such a descriptor holds is converted: access-allowed and access-denied entries
// with a SID, an access mask and inheritance flags (their directory object forms too, with the
// GUIDs of the object and of the inheriting class), and the DACL's protected and
// auto-inherited flags. Anything else (an owner, a group, a SACL, callback entries) is refused
// with a text that says what, never dropped.
#pragma once

#include "base/expected.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestrune {

Expected<std::string> SecurityDescriptorToSddl(std::string_view bytes);

// The SIDs (S-1-5-21-...) of the domains whose groups SDDL may name by alias: the domain's
// own (DA, DU, DC, ...) and the forest root domain's (EA, SA, ...). Empty: not known.
struct DomainSids {
    std::string domain;
    std::string forestRoot;
};

// SIDs as S-1-... or SDDL's aliases (BU, BA, AU, WD, SY, ...; a domain's groups such as DA only
// with that domain's SID); rights as a number ("0x1200a9") or right codes run together (FRFX,
// GA, KA, ...), as Windows' own tools write them. The same meaning gives the same bytes, so
// two spellings compare equal as descriptors.
Expected<std::string> SddlToSecurityDescriptor(std::string_view sddl,
                                               const DomainSids& domains = {});

// Whether the SDDL names a domain's group by alias (DA, EA, ...), which needs DomainSids.
bool NamesDomainGroups(std::string_view sddl);

// A binary SID (objectSid) as S-1-...; empty when the bytes are not one SID.
std::string SidString(std::string_view bytes);

} // namespace kestrune
