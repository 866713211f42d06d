// Whether two SDDL texts give the same access: one descriptor is spelled many ways (a SID
// as an alias or as S-1-..., rights as codes or as a number, a generic right or the specific
// rights it stands for on the kind of object it guards), and a platform hands back its own
// spelling of what it was given.
#pragma once

#include "base/security_descriptor.h"

#include <cstdint>
#include <string_view>

namespace kestrune {

// What the generic rights (GR, GW, GX, GA) grant on one kind of object: its GENERIC_MAPPING.
struct GenericRightsMapping {
    uint32_t read = 0;
    uint32_t write = 0;
    uint32_t execute = 0;
    uint32_t all = 0;
};
// Files and folders, which a DFS link's view permissions guard as a folder's.
inline constexpr GenericRightsMapping kFileGenericMapping{0x00120089, 0x00120116, 0x001200A0,
                                                          0x001F01FF};
// Objects in Active Directory.
inline constexpr GenericRightsMapping kDirectoryObjectGenericMapping{0x00020094, 0x00020028,
                                                                     0x00020004, 0x000F01FF};

// Whether a and b, each SDDL or empty (no descriptor), mean the same descriptor on an object
// that maps generic rights as mapping says: the same control flags, and the same entries in
// the same order (the order decides which of an allow and a deny wins), each with the same
// type, inheritance flags, SID and rights once generic rights are mapped. A text that cannot
// be read as SDDL is the same only as the same text. domains resolve a domain's groups named
// by alias (see SddlToSecurityDescriptor).
bool SameSecurityDescriptorMeaning(std::string_view a, std::string_view b,
                                   const GenericRightsMapping& mapping,
                                   const DomainSids& domains = {});

} // namespace kestrune
