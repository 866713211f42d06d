#include "backup/backup_history.h"
#include "netdfs/netdfs.h"
#include "support/sample_domain_cli.h"
#include "support/test_files.h"

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
                                     "kestrune: Legacy: 7 lines, T s (new)",
                                     "kestrune: Projets: 4 lines, T s (new)",
                                     "kestrune: Public: 8 lines, T s (new)",
                                     "kestrune: Users: 3 lines, T s (new)",
                                 }));
    EXPECT_EQ(BackUpSaying("b")[3], "kestrune: Public: 8 lines, T s (unchanged)");

    DeleteLink("Public", "/Policies");
    ASSERT_EQ(NetDfsAdd(u"\\\\example.com\\Public\\Added", u"FS4", u"Added", u"new", 0), 0u);
    ASSERT_EQ(NetDfsAdd(u"\\\\example.com\\Public\\Added", u"FS5", u"Added", u"", 0), 0u);
    // Three targets, one comment: three lines changed.
    SetComment("Public", "/Software", "Changed");
    EXPECT_EQ(BackUpSaying("b"),
              (std::vector<std::string>{
                  "kestrune: Archive: 1 line, T s (unchanged)",
                  "kestrune: Legacy: 7 lines, T s (unchanged)",
                  "kestrune: Projets: 4 lines, T s (unchanged)",
                  "kestrune: Public: 9 lines, T s (2 added, 1 removed, 3 changed)",
                  "kestrune: Users: 3 lines, T s (unchanged)",
              }));

    // A file edited by hand is compared line by line all the same: its own line is removed.
    const std::filesystem::path users = folder / "b" / "Users.txt";
    testing::WriteTestFile(users, testing::ReadTestFile(users) + "edited by hand\r\n");
    EXPECT_EQ(BackUpSaying("b")[4],
              "kestrune: Users: 3 lines, T s (0 added, 1 removed, 0 changed)");
    EXPECT_EQ(Run({"--quiet", "", (folder / "b").string()}), kExitCharactersLost);
    EXPECT_EQ(err.str().find("kestrune: Some lines lost characters"), 0u) << err.str();
}

TEST_F(BackupCommandTest, KeepMovesEachReplacedFileToHistoryAndKeepsTheNewestN) {
    const std::filesystem::path backups = folder / "b", history = backups / "history";
    auto copies = [&] {
        std::vector<std::string> names;
        for (const std::filesystem::path& copy : HistoryCopies(history, backups / "n_Public.txt"))
            names.push_back(copy.filename().string());
        return names;
    };
    auto keep2 = [&] {
        EXPECT_EQ(Run({"--keep", "2", "n_", backups.string()}), kExitCharactersLost) << err.str();
    };
    keep2();
    keep2(); // unchanged: nothing kept
    EXPECT_FALSE(std::filesystem::exists(history));
    const std::string first = testing::ReadTestFile(backups / "n_Public.txt");

    DeleteLink("Public", "/Policies");
    keep2();
    ASSERT_EQ(copies().size(), 1u);
    EXPECT_TRUE(std::regex_match(copies()[0], std::regex(R"(n_Public\.\d{8}-\d{6}\.txt)")))
        << copies()[0];
    EXPECT_EQ(testing::ReadTestFile(history / copies()[0]), first);
    // Only the namespace that changed has a copy, its properties file beside it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(history), {}), 2);

    // A copy is a backup file like any other.
    EXPECT_EQ(
        Run({"--diff", (history / copies()[0]).string(), (backups / "n_Public.txt").string()}),
        kExitFailure);
    EXPECT_EQ(Lines(out.str()).back(),
              "1 difference: 1 only in the old file, 0 added since, 0 comments changed");
    EXPECT_EQ(Run({"--restore", (history / copies()[0]).string(), "--dry-run"}), kExitSuccess);
    EXPECT_NE(
        out.str().find("would add the link: dfscmd /map \"\\\\example.com\\Public\\Policies\""),
        std::string::npos)
        << out.str();

    // Two more changes within the same second, perhaps: two copies at most, the newest ones.
    SetComment("Public", "/Software", "second");
    keep2();
    const std::string second = testing::ReadTestFile(backups / "n_Public.txt");
    SetComment("Public", "/Software", "third");
    keep2();
    ASSERT_EQ(copies().size(), 2u);
    EXPECT_NE(testing::ReadTestFile(history / copies()[0]), first);
    EXPECT_EQ(testing::ReadTestFile(history / copies()[1]), second);
}

TEST_F(BackupCommandTest, APairWhoseOnlyPropertiesChangedIsKeptAndSaidSo) {
    const std::filesystem::path backups = folder / "b", history = backups / "history";
    const std::filesystem::path file = backups / "Public.txt";
    auto keep1 = [&] {
        EXPECT_EQ(Run({"--keep", "1", "", backups.string()}), kExitCharactersLost) << err.str();
        return err.str();
    };
    keep1();
    const std::string lines = testing::ReadTestFile(file),
                      before = testing::ReadTestFile(PropertiesFileOf(file));

    // A referral time is no backup line: the lines stay, the properties file does not.
    ASSERT_TRUE(directory
                    ->Modify(LinkDn("Public", "/Software"),
                             {{store::Modification::Op::Replace, "msDFS-Ttlv2", {"4321"}}})
                    .ok());
    EXPECT_NE(keep1().find("kestrune: Public: 8 lines, "), std::string::npos);
    EXPECT_NE(err.str().find(" s (properties changed)"), std::string::npos) << err.str();
    EXPECT_EQ(testing::ReadTestFile(file), lines);
    EXPECT_NE(testing::ReadTestFile(PropertiesFileOf(file)).find("TimeToLiveSec=\"4321\""),
              std::string::npos);
    const std::vector<std::filesystem::path> copies = HistoryCopies(history, file);
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(testing::ReadTestFile(copies[0]), lines);
    EXPECT_EQ(testing::ReadTestFile(PropertiesFileOf(copies[0])), before);

    // A properties file lost beside an unchanged backup file is written again, and said.
    std::filesystem::remove(PropertiesFileOf(file));
    keep1();
    EXPECT_NE(err.str().find("kestrune: Public: 8 lines, "), std::string::npos);
    EXPECT_NE(err.str().find(" s (properties changed)"), std::string::npos) << err.str();
    EXPECT_TRUE(std::filesystem::exists(PropertiesFileOf(file)));
    keep1();
    EXPECT_EQ(err.str().find(" s (properties changed)"), std::string::npos) << err.str();
}

TEST_F(BackupCommandTest, KeepNeedsAWholeNumberOfOneOrMoreAndABackup) {
    const std::string out = (folder / "out").string(), file = (folder / "x.txt").string();
    testing::WriteTestFile(file, "");
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--keep", "0", "", out}, "--keep needs a number of copies, 1 or more, not \"0\""},
        {{"--keep", "-1", "", out}, "--keep needs a number of copies, 1 or more, not \"-1\""},
        {{"--keep", "two", "", out}, "--keep needs a number of copies, 1 or more, not \"two\""},
        {{"--keep", "3x", "", out}, "--keep needs a number of copies, 1 or more, not \"3x\""},
        {{"--keep", "99999999999", "", out},
         "--keep needs a number of copies, 1 or more, not \"99999999999\""},
        {{"", out, "--keep"}, "--keep needs a number of copies, 1 or more\n"},
        {{"--keep", "3", "--diff", file, file}, "--keep goes with a backup (PREFIX FOLDER)"},
    };
    for (const auto& [arguments, error] : cases) {
        EXPECT_EQ(Run(arguments), kExitUsage) << arguments[1];
        EXPECT_NE(err.str().find("kestrune: " + error), std::string::npos) << err.str();
    }
    EXPECT_FALSE(std::filesystem::exists(out));
}

} // namespace
} // namespace kestrune
