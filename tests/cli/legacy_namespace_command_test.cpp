// The sample's Windows 2000 mode namespace (Legacy) through the command line: backed up like
// any other, compared, verified and planned, and a restore into it refused line by line with
// the platform's reason, the namespace left as it was.
#include "netdfs/netdfs.h"
#include "platform/netdfs_over_store/dfs_pkt_blob.h"
#include "support/sample_domain_cli.h"
#include "support/test_files.h"

namespace kestrune {
namespace {

using testing::Lines;

const std::string kLegacyDn = "CN=Legacy,CN=Dfs-Configuration,CN=System,DC=example,DC=com";
const std::string kRefusal =
    "\\\\example.com\\Legacy is a Windows 2000 mode namespace, which this platform does not "
    "change; restore its backup into a Windows Server 2008 mode namespace with --as "
    "\\\\example.com\\<new name>";

class LegacyNamespaceCommandTest : public testing::SampleDomainCli {
  protected:
    // Removes a link from the namespace's pKT, as another tool would.
    void DeleteLegacyLink(const std::u16string& path) {
        std::vector<store::Entry> found;
        ASSERT_TRUE(store::SearchAll(
                        *directory,
                        {kLegacyDn, store::Scope::Base, "(objectClass=fTDfs)", {"pKT"}, 0}, found)
                        .ok());
        ASSERT_EQ(found.size(), 1u);
        Expected<PktBlob> blob = DecodePktBlob(found.front().First("pKT"));
        ASSERT_TRUE(blob) << blob.error().text;
        size_t before = blob->entries.size();
        std::erase_if(blob->entries, [&](const PktEntry& e) { return PktLinkPath(e) == path; });
        ASSERT_EQ(blob->entries.size(), before - 1);
        ASSERT_TRUE(
            directory
                ->Modify(kLegacyDn,
                         {{store::Modification::Op::Replace, "pKT", {EncodePktBlob(*blob)}}})
                .ok());
    }
};

const std::string kApps1 =
    R"(dfscmd /map "\\example.com\Legacy\Apps" "\\FS1\Apps" "Old applications")";
const std::string kApps2 =
    R"(dfscmd /add "\\example.com\Legacy\Apps" "\\FS2\Apps" "Old applications")";

TEST_F(LegacyNamespaceCommandTest, ItIsBackedUpAsAnyNamespaceWithThePropertiesItHas) {
    const auto backups = BackUp("b");
    // Sorted as every backup file is: whole lines, without regard to case.
    const std::string root = R"( "\\example.com\Legacy" )";
    const std::string manuals = R"( "\\example.com\Legacy\Manuals" )";
    EXPECT_EQ(
        Lines(testing::ReadTestFile(backups / "Legacy.txt")),
        (std::vector<std::string>{
            "dfscmd /add" + root + R"("\\DC2\Legacy" "Windows 2000 mode namespace")" + "\r",
            kApps2 + "\r",
            "dfscmd /add" + manuals + R"("\\FS3\Manuals" "Printed once, kept offline")" + "\r",
            "dfscmd /map" + root + R"("\\DC1\Legacy" "Windows 2000 mode namespace")" + "\r",
            kApps1 + "\r",
            "dfscmd /map" + manuals + R"("\\FS1\Manuals" "Printed once, kept offline")" + "\r",
            R"(dfscmd /map "\\example.com\Legacy\Scans\2019" "\\FS2\Scans\2019" "")"
            "\r"}));
    const std::string properties = testing::ReadTestFile(backups / "Legacy.properties.xml");
    EXPECT_NE(
        properties.find(
            R"(<Folder Path="\\example.com\Legacy\Manuals" Description="Printed once, kept offline" State="Offline" TimeToLiveSec="600">)"),
        std::string::npos)
        << properties;
    EXPECT_NE(properties.find(R"(<FolderTarget TargetPath="\\FS2\Apps" State="Offline"/>)"),
              std::string::npos);
    EXPECT_NE(
        properties.find(
            R"(TargetPath="\\FS3\Manuals" State="Online" ReferralPriorityClass="GlobalLow" ReferralPriorityRank="2")"),
        std::string::npos);
    // What this mode does not have is not written as if it were off.
    EXPECT_EQ(properties.find("ViewPermissions"), std::string::npos);
    EXPECT_EQ(properties.find("AccessBasedEnumeration"), std::string::npos);
}

TEST_F(LegacyNamespaceCommandTest, ALostLinkIsFoundAndARestoreIsRefusedWithTheReason) {
    const auto first = BackUp("first");
    const std::string file = (first / "Legacy.txt").string();
    DeleteLegacyLink(u"Apps");
    const std::string domainBefore = testing::ReadTestFile(domainFile);

    EXPECT_EQ(Run({"--verify", file}), 1) << err.str();
    EXPECT_EQ(Lines(out.str()).front(), "missing: " + kApps1);
    EXPECT_EQ(Run({"--compare", file}), 1) << err.str();
    EXPECT_EQ(Lines(out.str()).at(0), "- " + kApps1);
    EXPECT_EQ(Lines(out.str()).at(1), "- " + kApps2);

    const std::string wouldFail =
        "would fail (50: The request is not supported. (" + kRefusal + ")): ";
    EXPECT_EQ(Run({"--restore", file, "--dry-run"}), 1) << err.str();
    std::vector<std::string> planned = Lines(out.str());
    EXPECT_NE(std::find(planned.begin(), planned.end(), wouldFail + kApps1), planned.end())
        << out.str();
    EXPECT_NE(std::find(planned.begin(), planned.end(), wouldFail + kApps2), planned.end());
    EXPECT_EQ(std::count_if(planned.begin(), planned.end(),
                            [](const std::string& l) { return l.starts_with("already there: "); }),
              5);

    EXPECT_EQ(Run({"--restore", file}), 1) << err.str();
    std::vector<std::string> restored = Lines(out.str());
    EXPECT_EQ(std::count_if(restored.begin(), restored.end(),
                            [&](const std::string& l) {
                                return l.find(kRefusal) != std::string::npos &&
                                       l.starts_with("failed");
                            }),
              2)
        << out.str();
    EXPECT_EQ(std::count_if(restored.begin(), restored.end(),
                            [](const std::string& l) { return l.starts_with("restored"); }),
              0);
    EXPECT_EQ(testing::ReadTestFile(domainFile), domainBefore);

    // A later backup has the namespace as it is, without the link.
    const auto second = BackUp("second");
    std::string now = testing::ReadTestFile(second / "Legacy.txt");
    EXPECT_EQ(now.find("Legacy\\Apps"), std::string::npos);
    EXPECT_EQ(Run({"--diff", file, (second / "Legacy.txt").string()}), 1);
    EXPECT_EQ(Lines(out.str()).at(0), "- " + kApps1);
}

} // namespace
} // namespace kestrune
