#include "backup/management_permissions.h"

#include "base/dacl_entries.h"
#include "base/security_descriptor_meaning.h"

#include <gtest/gtest.h>

namespace kestrune {
namespace {

const DomainSids kExample{"S-1-5-21-1004336348-1177238915-682003330", {}};
constexpr char kAdmins[] = "S-1-5-21-1004336348-1177238915-682003330-512";
constexpr char kFull[] = "0xf01ff";

// A descriptor as a directory hands it out: owner and group, the class's defaults as the
// object's own entries, a delegation, and entries inherited from the container above.
std::string DirectoryDescriptor(const std::string& ownEntries) {
    Expected<std::string> dacl = SddlToSecurityDescriptor(
        "D:AI" + ownEntries +
            "(OA;CIIOID;RP;4c164200-20c0-11d0-a768-00aa006e0529;"
            "4828cc14-1437-45bc-9b07-ad6f015e5f28;S-1-5-32-554)"
            "(A;CIID;0xf01ff;;;S-1-5-21-1004336348-1177238915-682003330-519)",
        kExample);
    EXPECT_TRUE(dacl) << dacl.error().text;
    // The same DACL after an owner and a group (Domain Admins), as the directory writes them;
    // the SID's bytes are those of a one-entry DACL's entry, after its header and mask.
    const std::string d = dacl.value_or("");
    const std::string ownerSid =
        SddlToSecurityDescriptor(std::string("D:(A;;1;;;") + kAdmins + ")")->substr(20 + 8 + 8);
    std::string out = d.substr(0, 20);
    const uint32_t ownerAt = 20, groupAt = 20 + uint32_t(ownerSid.size()),
                   daclAt = groupAt + uint32_t(ownerSid.size());
    auto put = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            out[at + i] = static_cast<char>(v >> (8 * i));
    };
    put(4, ownerAt);
    put(8, groupAt);
    put(16, daclAt);
    return out + ownerSid + ownerSid + d.substr(20);
}

std::string Defaults() {
    return std::string("(A;;") + kFull + ";;;" + kAdmins + ")(A;;" + kFull +
           ";;;S-1-5-18)(A;;RPLCLORC;;;AU)(A;;" + kFull + ";;;S-1-3-0)";
}

TEST(ManagementPermissions, OnlyTheNamespacesOwnEntriesBeyondItsDefaultsAreItsDelegation) {
    EXPECT_EQ(DelegationOf(DirectoryDescriptor(Defaults()), kExample).value_or("?"), "");
    const std::string given = "(A;CI;0xf01ff;;;S-1-5-21-1004336348-1177238915-682003330-1107)";
    const std::string denied = "(OD;;0x20;bf967a86-0de6-11d0-a285-00aa003049e2;;S-1-1-0)";
    EXPECT_EQ(
        DelegationOf(DirectoryDescriptor(denied + Defaults() + given), kExample).value_or("?"),
        "D:" + denied + given);
    // Samba gives the creator owner's entry to the object's owner, the domain's admins here.
    const std::string ownersInstead = std::string("(A;;") + kFull + ";;;" + kAdmins + ")";
    std::string samba = Defaults();
    samba.replace(samba.rfind('('), std::string::npos, ownersInstead);
    EXPECT_EQ(DelegationOf(DirectoryDescriptor(samba), kExample).value_or("?"), "");
    EXPECT_EQ(DelegationOf(DirectoryDescriptor(samba + ownersInstead), kExample).value_or("?"),
              "D:" + ownersInstead);
    // A default given twice was given on purpose the second time.
    EXPECT_EQ(DelegationOf(DirectoryDescriptor(Defaults() + "(A;;RPLCLORC;;;AU)"), kExample)
                  .value_or("?"),
              "D:(A;;0x20094;;;S-1-5-11)");
    // Another domain's admins with the default rights are a delegation when the domain is known,
    // and taken for the default when it is not.
    const std::string other = "(A;;0xf01ff;;;S-1-5-21-1-2-3-512)";
    const std::string withOther = std::string("(A;;") + kFull +
                                  ";;;S-1-5-18)(A;;RPLCLORC;;;AU)(A;;" + kFull + ";;;S-1-3-0)" +
                                  other;
    EXPECT_EQ(DelegationOf(DirectoryDescriptor(withOther), kExample).value_or("?"), "D:" + other);
    EXPECT_EQ(DelegationOf(DirectoryDescriptor(withOther), {}).value_or("?"), "");
    // A descriptor that cannot be read is an error, not an empty delegation.
    EXPECT_FALSE(DelegationOf("\x01\x00", kExample));
}

TEST(ManagementPermissions, ARecordedDelegationJoinsTheNewNamespacesOwnEntriesInWindowsOrder) {
    const std::string current = DirectoryDescriptor(Defaults());
    const std::string recorded = "D:(A;CI;0xf01ff;;;S-1-5-21-1004336348-1177238915-682003330-1107)"
                                 "(D;;0x10000;;;S-1-1-0)(A;;0x20094;;;S-1-5-11)";
    Expected<std::string> merged = WithDelegation(current, recorded, kExample);
    ASSERT_TRUE(merged) << merged.error().text;
    Expected<Dacl> dacl = ReadDacl(*merged);
    ASSERT_TRUE(dacl);
    // The denying entry first, the defaults, the new allowing one (the AU default only once),
    // and what is inherited last.
    ASSERT_EQ(dacl->entries.size(), 8u);
    EXPECT_TRUE(IsDenyingEntry(dacl->entries[0]));
    EXPECT_FALSE(IsInheritedEntry(dacl->entries[5]));
    EXPECT_TRUE(IsInheritedEntry(dacl->entries[6]));
    EXPECT_TRUE(IsInheritedEntry(dacl->entries[7]));
    // What the namespace then holds is the delegation the file recorded, by meaning.
    Expected<std::string> back = DelegationOf(*merged, kExample);
    ASSERT_TRUE(back);
    EXPECT_TRUE(SameSecurityDescriptorMeaning(
        *back,
        "D:(D;;SD;;;WD)(A;CI;0xf01ff;;;S-1-5-21-1004336348-1177238915-"
        "682003330-1107)",
        kDirectoryObjectGenericMapping, kExample))
        << *back;
    EXPECT_FALSE(
        SameSecurityDescriptorMeaning(*back, "", kDirectoryObjectGenericMapping, kExample));
    EXPECT_FALSE(WithDelegation(current, "D:(A;;0x1;;;DA)", {}));
}

TEST(ManagementPermissions, ANamespaceThatBlocksInheritanceKeepsBlockingIt) {
    Expected<std::string> blocked = SddlToSecurityDescriptor("D:PAI" + Defaults(), kExample);
    ASSERT_TRUE(blocked);
    EXPECT_EQ(DelegationOf(*blocked, kExample).value_or("?"), "D:P");
    Expected<std::string> merged = WithDelegation(DirectoryDescriptor(Defaults()), "D:P", kExample);
    ASSERT_TRUE(merged);
    EXPECT_EQ(DelegationOf(*merged, kExample).value_or("?"), "D:P");
}

} // namespace
} // namespace kestrune
