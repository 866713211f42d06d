#include "base/security_descriptor.h"

#include <gtest/gtest.h>

namespace kestrune {
namespace {

TEST(SecurityDescriptor, SddlRoundTripsThroughTheBinaryForm) {
    for (std::string sddl :
         {"D:", "D:P(A;;0x1200a9;;;S-1-5-32-545)",
          "D:PAI(D;OICI;0x1f01ff;;;S-1-5-21-1004336348-1177238915-682003330-1105)"
          "(A;ID;0x1200a9;;;S-1-1-0)"}) {
        Expected<std::string> binary = SddlToSecurityDescriptor(sddl);
        ASSERT_TRUE(binary) << sddl << ": " << binary.error().text;
        Expected<std::string> back = SecurityDescriptorToSddl(*binary);
        ASSERT_TRUE(back) << back.error().text;
        EXPECT_EQ(*back, sddl);
    }
    // Aliases and generic rights are read, and written back as SIDs and masks.
    Expected<std::string> alias = SddlToSecurityDescriptor("D:(A;;GR;;;BU)");
    ASSERT_TRUE(alias);
    EXPECT_EQ(SecurityDescriptorToSddl(*alias).value_or(""), "D:(A;;0x80000000;;;S-1-5-32-545)");
}

TEST(SecurityDescriptor, DirectoryObjectEntriesKeepTheirGuids) {
    // Read a property set, as a delegation wizard grants it, and a right only some class
    // inherits; a plain entry beside them.
    const std::string sddl =
        "D:(OA;CI;0x30;bf967a86-0de6-11d0-a285-00aa003049e2;;S-1-5-11)"
        "(OD;;0x100;;4828cc14-1437-45bc-9b07-ad6f015e5f28;S-1-1-0)"
        "(OA;;0x10;4c164200-20c0-11d0-a768-00aa006e0529;bf967aba-0de6-11d0-a285-00aa003049e2;"
        "S-1-5-18)(A;;0x1;;;S-1-5-18)";
    Expected<std::string> binary = SddlToSecurityDescriptor(sddl);
    ASSERT_TRUE(binary) << binary.error().text;
    // The directory's ACL revision, and the GUID's first fields little-endian.
    EXPECT_EQ(static_cast<uint8_t>((*binary)[20]), 4);
    EXPECT_EQ(binary->substr(20 + 8 + 12, 4), std::string("\x86\x7a\x96\xbf", 4));
    EXPECT_EQ(SecurityDescriptorToSddl(*binary).value_or(""), sddl);
    EXPECT_FALSE(SddlToSecurityDescriptor("D:(OA;;0x10;not-a-guid;;S-1-5-18)"));
    EXPECT_FALSE(SddlToSecurityDescriptor("D:(A;;0x10;bf967a86-0de6-11d0-a285-00aa003049e2;;WD)"));
}

std::string Descriptor(std::string_view sddl, const DomainSids& domains = {}) {
    Expected<std::string> b = SddlToSecurityDescriptor(sddl, domains);
    EXPECT_TRUE(b) << sddl << ": " << b.error().text;
    return b.value_or("");
}

TEST(SecurityDescriptor, EveryWindowsSpellingOfADaclGivesTheSameDescriptor) {
    // Right codes run together, as icacls and ConvertFrom-SddlString's sources write them.
    EXPECT_EQ(Descriptor("D:P(A;;FRFX;;;BU)"), Descriptor("D:P(A;;0x1200a9;;;S-1-5-32-545)"));
    EXPECT_EQ(Descriptor("D:(A;;FA;;;BA)(A;;GRGX;;;AU)(A;;KAWO;;;SY)"),
              Descriptor("D:(A;;0x1f01ff;;;S-1-5-32-544)(A;;0xa0000000;;;S-1-5-11)"
                         "(A;;0xf003f;;;S-1-5-18)"));
    EXPECT_EQ(Descriptor("D:(A;;RPWPCCDCLCSWRCSDWDLODTCR;;;WD)"),
              Descriptor("D:(A;;0x701ff;;;S-1-1-0)"));
    // RC and DC are rights in the rights field and SIDs in the SID field.
    EXPECT_EQ(Descriptor("D:(A;;RCDC;;;RC)"), Descriptor("D:(A;;0x20002;;;S-1-5-12)"));

    // A domain's groups take its SID; the forest's groups take the root domain's.
    const DomainSids sales{"S-1-5-21-1-2-3", "S-1-5-21-7-8-9"};
    EXPECT_EQ(Descriptor("D:(A;;FR;;;DA)(D;;FW;;;EA)", sales),
              Descriptor("D:(A;;FR;;;S-1-5-21-1-2-3-512)(D;;FW;;;S-1-5-21-7-8-9-519)"));
    Expected<std::string> unknown = SddlToSecurityDescriptor("D:(A;;FR;;;DA)");
    ASSERT_FALSE(unknown);
    EXPECT_NE(unknown.error().text.find("DA"), std::string::npos) << unknown.error().text;
}

TEST(SecurityDescriptor, RefusesWhatItCannotConvertAndSaysWhat) {
    auto refusal = [](std::string_view sddl) {
        Expected<std::string> b = SddlToSecurityDescriptor(sddl);
        return b ? std::string("converted") : b.error().text;
    };
    EXPECT_NE(refusal("O:BAD:(A;;GA;;;WD)"), "converted");
    EXPECT_NE(refusal("D:(AU;SA;GA;;;WD)"), "converted"); // an audit entry belongs in a SACL
    EXPECT_NE(refusal("D:(XA;;GA;;;WD;(x))"), "converted");
    EXPECT_NE(refusal("D:(A;;GA;;;S-1-x)"), "converted");
    EXPECT_NE(refusal("D:(A;;GA;;WD)"), "converted");
    EXPECT_NE(refusal("D:(A;O;GA;;;WD)"), "converted");
    // Rights that are neither a number nor whole codes; an alias that is no SID.
    for (std::string_view bad : {"D:(A;;FRF;;;WD)", "D:(A;;FRZZ;;;WD)", "D:(A;;fr;;;WD)",
                                 "D:(A;;0x1g;;;WD)", "D:(A;;FR;;;XX)", "D:(A;;FR;;;BUBA)"})
        EXPECT_NE(refusal(bad), "converted") << bad;

    std::string good = SddlToSecurityDescriptor("D:(A;;0x1;;;S-1-5-18)").value_or("");
    std::string withOwner = good;
    withOwner[4] = 20; // an owner offset
    EXPECT_FALSE(SecurityDescriptorToSddl(withOwner));
    std::string objectAce = good;
    objectAce[20 + 8] = 5; // ACCESS_ALLOWED_OBJECT_ACE_TYPE, laid out as a plain entry
    EXPECT_FALSE(SecurityDescriptorToSddl(objectAce));
    // Every cut of a valid descriptor is refused, never read short.
    for (size_t n = 0; n < good.size(); ++n)
        EXPECT_FALSE(SecurityDescriptorToSddl(good.substr(0, n))) << n;
}

} // namespace
} // namespace kestrune
