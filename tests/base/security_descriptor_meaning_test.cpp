#include "base/security_descriptor_meaning.h"

#include <gtest/gtest.h>

namespace kestrune {
namespace {

bool SameOnFolders(std::string_view a, std::string_view b) {
    return SameSecurityDescriptorMeaning(a, b, kFileGenericMapping);
}

TEST(SecurityDescriptorMeaning, OneDescriptorSpelledTwoWaysIsTheSame) {
    const std::pair<const char*, const char*> same[] = {
        // What a restore sets and what the platform reads back.
        {"D:(A;;GA;;;WD)", "D:(A;;0x10000000;;;S-1-1-0)"},
        // A generic right and what it grants on a folder.
        {"D:(A;;GA;;;WD)", "D:(A;;FA;;;WD)"},
        {"D:(A;;GRGX;;;BU)", "D:(A;;0x1200a9;;;S-1-5-32-545)"},
        {"D:(A;;GR;;;BU)(A;;0x1200A9;;;AU)", "D:(A;;FR;;;BU)(A;;FRFX;;;S-1-5-11)"},
        {"D:P(D;OICI;GW;;;AN)(A;;FA;;;BA)", "D:P(D;CIOI;0x120116;;;S-1-5-7)(A;;GA;;;BA)"},
        {"D:(A;;GA;;;DA)", "D:(A;;0x10000000;;;S-1-5-21-1-2-3-512)"},
        {"", ""},
        {"not SDDL", "not SDDL"},
    };
    const DomainSids domains{"S-1-5-21-1-2-3", "S-1-5-21-1-2-3"};
    for (const auto& [a, b] : same) {
        EXPECT_TRUE(SameSecurityDescriptorMeaning(a, b, kFileGenericMapping, domains))
            << a << " " << b;
        EXPECT_TRUE(SameSecurityDescriptorMeaning(b, a, kFileGenericMapping, domains));
    }
}

TEST(SecurityDescriptorMeaning, WhatChangesAccessIsADifference) {
    const std::pair<const char*, const char*> different[] = {
        // The first entry that matches decides: a deny before an allow is not one after it.
        {"D:(D;;FA;;;BU)(A;;FA;;;WD)", "D:(A;;FA;;;WD)(D;;FA;;;BU)"},
        {"D:P(A;;FA;;;WD)", "D:(A;;FA;;;WD)"},
        {"D:(A;OI;FA;;;WD)", "D:(A;;FA;;;WD)"},
        {"D:(A;;FA;;;WD)", "D:(D;;FA;;;WD)"},
        {"D:(A;;FA;;;WD)", "D:(A;;FA;;;AU)"},
        {"D:(A;;FR;;;WD)", "D:(A;;FRFX;;;WD)"},
        // No descriptor lets everyone see the link; an empty DACL lets nobody.
        {"", "D:"},
        {"not SDDL", "not SDDL either"},
    };
    for (const auto& [a, b] : different) {
        EXPECT_FALSE(SameOnFolders(a, b)) << a << " " << b;
        EXPECT_FALSE(SameOnFolders(b, a)) << b << " " << a;
    }
}

TEST(SecurityDescriptorMeaning, GenericRightsMeanWhatTheKindOfObjectMapsThemTo) {
    // On a directory object, GA is every right a directory object has, not a file's.
    EXPECT_TRUE(SameSecurityDescriptorMeaning("D:(A;;GA;;;DA)", "D:(A;;0xf01ff;;;DA)",
                                              kDirectoryObjectGenericMapping,
                                              {"S-1-5-21-9", "S-1-5-21-9"}));
    EXPECT_FALSE(SameSecurityDescriptorMeaning("D:(A;;GA;;;WD)", "D:(A;;FA;;;WD)",
                                               kDirectoryObjectGenericMapping));
    EXPECT_TRUE(SameSecurityDescriptorMeaning("D:(A;;GR;;;AU)", "D:(A;;RPLCLORC;;;AU)",
                                              kDirectoryObjectGenericMapping));
}

} // namespace
} // namespace kestrune
