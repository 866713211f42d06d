// Who may manage a namespace, kept by a backup, compared, and given back to the namespace a
// restore creates, on a private copy of the sample domain.
#include "base/dacl_entries.h"
#include "base/file_io.h"
#include "base/security_descriptor.h"
#include "support/delete_subtree.h"
#include "support/sample_domain_cli.h"
#include "support/test_files.h"

namespace kestrune {
namespace {

using testing::Lines;

constexpr char kAnchor[] = "CN=Public,CN=Dfs-Configuration,CN=System,DC=example,DC=com";
// Full control of the namespace and what is below it for a group of example.com.
constexpr char kDelegation[] = "D:(A;CI;0xf01ff;;;S-1-5-21-1004336348-1177238915-682003330-1107)";

class ManagementPermissionsTest : public testing::SampleDomainCli {
  protected:
    std::string AnchorDescriptor() {
        std::vector<store::Entry> found;
        EXPECT_TRUE(
            store::SearchAll(
                *directory,
                {kAnchor, store::Scope::Base, "(objectClass=*)", {"nTSecurityDescriptor"}, 0},
                found)
                .ok());
        return found.empty() ? std::string() : found.front().First("nTSecurityDescriptor");
    }
    // The anchor's DACL entries as SDDL, each in its own parentheses.
    std::string AnchorSddl() {
        Expected<Dacl> dacl = ReadDacl(AnchorDescriptor());
        EXPECT_TRUE(dacl);
        std::string text;
        for (const std::string& entry : dacl ? dacl->entries : std::vector<std::string>{})
            text += SecurityDescriptorToSddl(*DaclDescriptor({0, {entry}})).value_or("?").substr(2);
        return text;
    }
    // Adds entries to the anchor's DACL behind the program's back, as an administrator's
    // delegation would.
    void Delegate(const std::string& sddl) {
        Expected<Dacl> dacl = ReadDacl(AnchorDescriptor());
        Expected<Dacl> added = ReadDacl(*SddlToSecurityDescriptor(sddl));
        ASSERT_TRUE(dacl && added);
        dacl->entries.insert(dacl->entries.end(), added->entries.begin(), added->entries.end());
        ASSERT_TRUE(directory
                        ->Modify(kAnchor, {{store::Modification::Op::Replace,
                                            "nTSecurityDescriptor",
                                            {*DaclDescriptor(*dacl)}}})
                        .ok());
    }
};

TEST_F(ManagementPermissionsTest, ANewNamespaceHoldsItsClassDefaultsAndNoDelegation) {
    // The domain's admins by the domain's own SID, then the system, users and the creator.
    EXPECT_EQ(AnchorSddl(), "(A;;0xf01ff;;;S-1-5-21-1004336348-1177238915-682003330-512)"
                            "(A;;0xf01ff;;;S-1-5-18)(A;;0x20094;;;S-1-5-11)(A;;0xf01ff;;;S-1-3-0)");
    const std::filesystem::path file = BackUp("b") / "Public.txt";
    EXPECT_EQ(testing::ReadTestFile(PropertiesFileOf(file)).find("ManagementPermissions"),
              std::string::npos);
}

TEST_F(ManagementPermissionsTest, ADelegationIsKeptComparedAndGivenBackToTheCreatedNamespace) {
    Delegate(kDelegation);
    const std::filesystem::path file = BackUp("b") / "Public.txt";
    const std::string xml = testing::ReadTestFile(PropertiesFileOf(file));
    EXPECT_NE(xml.find(std::string("ManagementPermissions=\"") + kDelegation + "\""),
              std::string::npos)
        << xml;
    EXPECT_EQ(Run({"--compare", file.string()}), kExitSuccess) << out.str() << err.str();

    // Taken away since: the compare says so.
    const std::string withDelegation = AnchorDescriptor();
    testing::DeleteExampleNamespace(*directory, "Public");
    ASSERT_EQ(Run({"--restore", file.string()}), kExitSuccess) << err.str();
    EXPECT_EQ(AnchorSddl(), "(A;;0xf01ff;;;S-1-5-21-1004336348-1177238915-682003330-512)"
                            "(A;;0xf01ff;;;S-1-5-18)(A;;0x20094;;;S-1-5-11)(A;;0xf01ff;;;S-1-3-0)"
                            "(A;CI;0xf01ff;;;S-1-5-21-1004336348-1177238915-682003330-1107)");
    EXPECT_EQ(AnchorDescriptor(), withDelegation);
    const std::filesystem::path again = BackUp("again") / "Public.txt";
    EXPECT_EQ(testing::ReadTestFile(PropertiesFileOf(again)), xml);
}

TEST_F(ManagementPermissionsTest, ANamespaceThatIsThereKeepsWhoManagesItAndTheCompareTellsIt) {
    Delegate(kDelegation);
    const std::filesystem::path file = BackUp("b") / "Public.txt";
    const std::string delegated = AnchorDescriptor();
    // Another delegation replaces this one; a restore of the namespace that is there leaves it.
    testing::DeleteExampleNamespace(*directory, "Public");
    ASSERT_EQ(Run({"--restore", file.string()}), kExitSuccess) << err.str();
    ASSERT_TRUE(directory
                    ->Modify(kAnchor, {{store::Modification::Op::Replace,
                                        "nTSecurityDescriptor",
                                        {*SddlToSecurityDescriptor("D:(A;;0xf01ff;;;S-1-5-18)")}}})
                    .ok());
    Delegate("D:(D;;0x10000;;;S-1-1-0)");
    EXPECT_EQ(Run({"--restore", file.string(), "--properties"}), kExitSuccess) << err.str();
    EXPECT_EQ(AnchorSddl(), "(A;;0xf01ff;;;S-1-5-18)(D;;0x10000;;;S-1-1-0)");
    EXPECT_NE(Run({"--compare", file.string()}), kExitSuccess);
    EXPECT_NE(out.str().find(std::string(R"(~ \\example.com\Public ManagementPermissions )") +
                             "D:(D;;0x10000;;;S-1-1-0) (was " + kDelegation + ")"),
              std::string::npos)
        << out.str();
    EXPECT_NE(delegated, AnchorDescriptor());
}

} // namespace
} // namespace kestrune
