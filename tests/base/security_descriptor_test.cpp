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

TEST(SecurityDescriptor, RefusesWhatItCannotConvertAndSaysWhat) {
    auto refusal = [](std::string_view sddl) {
        Expected<std::string> b = SddlToSecurityDescriptor(sddl);
        return b ? std::string("converted") : b.error().text;
    };
    EXPECT_NE(refusal("O:BAD:(A;;GA;;;WD)"), "converted");
    EXPECT_NE(refusal("D:(OA;;GA;;;WD)"), "converted");
    EXPECT_NE(refusal("D:(A;;GA;;;S-1-x)"), "converted");
    EXPECT_NE(refusal("D:(A;;GA;;WD)"), "converted");
    EXPECT_NE(refusal("D:(A;O;GA;;;WD)"), "converted");

    std::string good = SddlToSecurityDescriptor("D:(A;;0x1;;;S-1-5-18)").value_or("");
    std::string withOwner = good;
    withOwner[4] = 20; // an owner offset
    EXPECT_FALSE(SecurityDescriptorToSddl(withOwner));
    std::string objectAce = good;
    objectAce[20 + 8] = 5; // ACCESS_ALLOWED_OBJECT_ACE_TYPE
    EXPECT_FALSE(SecurityDescriptorToSddl(objectAce));
    // Every cut of a valid descriptor is refused, never read short.
    for (size_t n = 0; n < good.size(); ++n)
        EXPECT_FALSE(SecurityDescriptorToSddl(good.substr(0, n))) << n;
}

} // namespace
} // namespace kestrune
