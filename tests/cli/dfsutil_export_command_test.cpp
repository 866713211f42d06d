// A namespace brought back from an export of "dfsutil root export", and a backup written as one,
// on a private copy of the sample domain.
#include "base/file_io.h"
#include "support/delete_subtree.h"
#include "support/sample_domain_cli.h"
#include "support/test_files.h"

namespace kestrune {
namespace {

using testing::Lines;

class DfsutilExportCommandTest : public testing::SampleDomainCli {};

TEST_F(DfsutilExportCommandTest, ANamespaceGoneComesBackFromItsExport) {
    const std::filesystem::path backup = BackUp("first") / "Public.txt";
    const std::filesystem::path exported = folder / "Public.xml";
    ASSERT_EQ(Run({"--export-dfsutil", backup.string(), exported.string()}), kExitSuccess)
        << err.str();
    // The export holds the same targets as the backup file, and what it records of them is
    // what is live.
    EXPECT_EQ(Run({"--diff", backup.string(), exported.string()}), kExitSuccess) << out.str();
    EXPECT_EQ(Run({"--compare", exported.string()}), kExitSuccess) << out.str();

    ASSERT_GT(testing::DeleteExampleNamespace(*directory, "Public"), 0u);
    EXPECT_EQ(Run({"--restore", exported.string(), "--dry-run"}), kExitSuccess) << err.str();
    EXPECT_EQ(Lines(out.str()).front(),
              R"(would create the namespace \\example.com\Public with root target \\DC1\Public: )"
              R"(dfscmd /map "\\example.com\Public" "\\DC1\Public" "Company public share")");
    EXPECT_EQ(Run({"--restore", exported.string()}), kExitSuccess) << err.str();
    EXPECT_TRUE(std::filesystem::exists(folder / "Public.xml_restore.txt"));

    // The links, targets and comments came back: a new backup is the first one, byte for byte,
    // and the recorded states and referral times are the live ones again.
    EXPECT_EQ(Run({"--compare", exported.string()}), kExitSuccess) << out.str();
    const std::filesystem::path again = BackUp("second") / "Public.txt";
    EXPECT_EQ(testing::ReadTestFile(again), testing::ReadTestFile(backup));
}

TEST_F(DfsutilExportCommandTest, AnExportThatCannotBeReadIsNamedAndNothingChanges) {
    testing::WriteTestFile(folder / "bad.xml",
                           "<?xml version=\"1.0\"?>\r\n<Root Name=\"\\\\example.com\\Public\">\r\n"
                           "<Target Server=\"DC1\" Folder=\"Public\" State=\"2\"/>\r\n"
                           "<Link Name=\"New\"><Target Server=\"FS1\"/></Link></Root>\r\n");
    const std::string before = testing::ReadTestFile(domainFile);
    EXPECT_EQ(Run({"--restore", (folder / "bad.xml").string()}), kExitUsage);
    EXPECT_NE(err.str().find(R"(<Link Name="New">: a <Target> without Folder)"), std::string::npos)
        << err.str();
    EXPECT_EQ(testing::ReadTestFile(domainFile), before);
    EXPECT_EQ(
        Run({"--export-dfsutil", (folder / "missing.txt").string(), (folder / "out.xml").string()}),
        kExitUsage);
    EXPECT_FALSE(std::filesystem::exists(folder / "out.xml"));
}

} // namespace
} // namespace kestrune
