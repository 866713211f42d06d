// View permissions of a DFS link: a self-relative security descriptor that holds a DACL and
// nothing else, and its SDDL text ("D:P(A;;0x1200a9;;;S-1-5-21-...)").
//
// Only what such a descriptor holds is converted: access-allowed and access-denied entries
// with a SID, an access mask and inheritance flags, and the DACL's protected and
// auto-inherited flags. Anything else (an owner, a group, a SACL, object or callback entries)
// is refused with a text that says what, never dropped.
#pragma once

#include "base/expected.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestrune {

Expected<std::string> SecurityDescriptorToSddl(std::string_view bytes);

// SIDs as S-1-... or the usual two-letter aliases (WD, AU, BA, BU, SY, CO, AN, NS, LS); masks
// in hex ("0x1200a9") or decimal, or the generic rights GA, GR, GW, GX.
Expected<std::string> SddlToSecurityDescriptor(std::string_view sddl);

} // namespace kestrune
