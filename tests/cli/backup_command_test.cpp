#include "dfs/netdfs.h"
#include "sample_domain_cli.h"

#include <regex>

namespace kestrune {
namespace {

using testing::Lines;

class BackupCommandTest : public testing::SampleDomainCli {
  protected:
    // The unattended backup into folder/name (the sample's Greek names lose characters in the
    // default code page, which the status says); its namespaces' lines on standard error, with
    // the times taken out.
    std::vector<std::string> BackUpSaying(const std::string& name,
                                          std::vector<std::string> options = {}) {
        options.insert(options.end(), {"", (folder / name).string()});
        EXPECT_EQ(Run(options), kExitCharactersLost) << err.str();
        const std::regex time(", [0-9.]+ s"), namespaceLine("kestrune: [^ ]+: [0-9]+ lines?, .*");
        std::vector<std::string> said;
        for (const std::string& line : Lines(err.str()))
            if (std::regex_match(line, namespaceLine))
                said.push_back(std::regex_replace(line, time, ", T s"));
        return said;
    }
};

TEST_F(BackupCommandTest, EachNamespacesLineSaysWhatChangedAgainstTheFileItReplaces) {
    EXPECT_EQ(BackUpSaying("b"), (std::vector<std::string>{
                                     "kestrune: Archive: 1 line, T s (new)",
                                     "kestrune: Projets: 4 lines, T s (new)",
                                     "kestrune: Public: 8 lines, T s (new)",
                                     "kestrune: Users: 3 lines, T s (new)",
                                 }));
    EXPECT_EQ(BackUpSaying("b")[2], "kestrune: Public: 8 lines, T s (unchanged)");

    DeleteLink("Public", "/Policies");
    ASSERT_EQ(NetDfsAdd(u"\\\\example.com\\Public\\Added", u"FS4", u"Added", u"new", 0), 0u);
    ASSERT_EQ(NetDfsAdd(u"\\\\example.com\\Public\\Added", u"FS5", u"Added", u"", 0), 0u);
    // Three targets, one comment: three lines changed.
    SetComment("Public", "/Software", "Changed");
    EXPECT_EQ(BackUpSaying("b"),
              (std::vector<std::string>{
                  "kestrune: Archive: 1 line, T s (unchanged)",
                  "kestrune: Projets: 4 lines, T s (unchanged)",
                  "kestrune: Public: 9 lines, T s (2 added, 1 removed, 3 changed)",
                  "kestrune: Users: 3 lines, T s (unchanged)",
              }));

    // A file edited by hand is compared line by line all the same: its own line is removed.
    const std::filesystem::path users = folder / "b" / "Users.txt";
    WriteWholeFile(users, ReadWholeFile(users) + "edited by hand\r\n");
    EXPECT_EQ(BackUpSaying("b")[3],
              "kestrune: Users: 3 lines, T s (0 added, 1 removed, 0 changed)");
    EXPECT_EQ(Run({"--quiet", "", (folder / "b").string()}), kExitCharactersLost);
    EXPECT_EQ(err.str().find("kestrune: Some lines lost characters"), 0u) << err.str();
}

} // namespace
} // namespace kestrune
