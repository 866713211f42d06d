// What the command line does with data a hostile or broken source hands it: a target list the
// program cannot read, backup files that are no backup files.
#include "platform/dfs_target_list.h"
#include "sample_domain_cli.h"

namespace kestrune {
namespace {

using namespace std::string_literals;

class HostileInputTest : public testing::SampleDomainCli {
  protected:
    std::string TargetList(const std::string& dn) {
        std::vector<store::Entry> found;
        EXPECT_TRUE(
            store::SearchAll(*directory,
                             {dn, store::Scope::Base, "(objectClass=*)", {"msDFS-TargetListv2"}, 0},
                             found)
                .ok());
        return found.empty() ? std::string() : found.front().First("msDFS-TargetListv2");
    }
    void SetTargetList(const std::string& dn, const std::string& bytes) {
        ASSERT_TRUE(
            directory
                ->Modify(dn, {{store::Modification::Op::Replace, "msDFS-TargetListv2", {bytes}}})
                .ok());
    }
};

TEST_F(HostileInputTest, AnUnreadableTargetListFailsTheReadAndIsNeverReplaced) {
    const auto backups = BackUp("b");
    const std::string before = ReadWholeFile(backups / "Public.txt");
    const std::string software = LinkDn("Public", "/Software");
    // Cut short in the middle of its second target.
    const std::string whole = TargetList(software);
    const std::string cut = whole.substr(0, whole.size() - 60);
    SetTargetList(software, cut);

    // The namespace is not read: its previous file stays, the link is named with the reason.
    EXPECT_EQ(Run({"", backups.string()}), kExitFailure);
    EXPECT_EQ(ReadWholeFile(backups / "Public.txt"), before);
    EXPECT_NE(
        err.str().find("  Public: 13: The data is invalid. (\\\\example.com\\Public\\Software: "
                       "its target list cannot be read: the list is cut short at character "),
        std::string::npos)
        << err.str();

    // A restore that would add to the list leaves it as it is and says why.
    WriteWholeFile(
        folder / "add.txt",
        "dfscmd /add \"\\\\example.com\\Public\\Software\" \"\\\\FS9\\Software\" \"\"\r\n");
    EXPECT_EQ(Run({"--quiet", "--restore", (folder / "add.txt").string()}), kExitFailure);
    EXPECT_NE(out.str().find("failed (13: The data is invalid. (\\\\example.com\\Public\\Software: "
                             "its target list cannot be read"),
              std::string::npos)
        << out.str();
    EXPECT_EQ(TargetList(software), cut);

    // The same for the namespace's own list, the root targets.
    SetTargetList(software, whole);
    const std::string root = "CN=Public,CN=Public,CN=Dfs-Configuration,CN=System,DC=example,DC=com";
    SetTargetList(root, "\xFF\xFE<\0t\0"s);
    EXPECT_EQ(Run({"", backups.string()}), kExitFailure);
    EXPECT_NE(err.str().find("(\\\\example.com\\Public: its target list cannot be read: "),
              std::string::npos)
        << err.str();
    EXPECT_EQ(ReadWholeFile(backups / "Public.txt"), before);
}

} // namespace
} // namespace kestrune
