#include "netdfs/netdfs.h"
#include "support/sample_domain_cli.h"
#include "support/test_files.h"

namespace kestrune {
namespace {

using testing::Lines;

class CompareCommandTest : public testing::SampleDomainCli {};

const std::string kPolicies =
    R"(dfscmd /map "\\example.com\Public\Policies" "\\FS1\Policies" "Read "before" you sign")";

TEST_F(CompareCommandTest, FindsAnAddedARemovedAndAChangedCommentLink) {
    const std::string file = (BackUp("b") / "Public.txt").string();
    EXPECT_EQ(Run({"--compare", file}), kExitSuccess);
    EXPECT_EQ(out.str(), "no differences: 8 targets in the file, all live\n");

    DeleteLink("Public", "/Policies");
    ASSERT_EQ(NetDfsAdd(u"\\\\example.com\\Public\\Added", u"FS4", u"Added", u"new", 0), 0u);
    ASSERT_EQ(NetDfsAdd(u"\\\\example.com\\Public\\Added", u"FS5", u"Added", u"", 0), 0u);
    SetComment("Public", "/Software", "Changed");
    const std::string domainBefore = testing::ReadTestFile(domainFile);

    EXPECT_EQ(Run({"--compare", file}), kExitFailure) << err.str();
    EXPECT_EQ(
        Lines(out.str()),
        (std::vector<std::string>{
            R"(+ dfscmd /map "\\example.com\Public\Added" "\\FS4\Added" "new")",
            R"(+ dfscmd /add "\\example.com\Public\Added" "\\FS5\Added" "new")", "- " + kPolicies,
            R"(~ dfscmd /map "\\example.com\Public\Software" "\\FS1\Software" "Changed" (was "Installers, "current" and older"))",
            "4 differences: 1 only in the file (a restore would add them), 2 added since, "
            "1 comment changed"}));
    EXPECT_EQ(err.str(), "");
    EXPECT_EQ(testing::ReadTestFile(domainFile), domainBefore);
}

TEST_F(CompareCommandTest, PathsAndTargetsMatchWithoutRegardToCase) {
    const std::string file = (BackUp("b") / "Public.txt").string();
    // The path and the target in capitals; the command and the comment as they were.
    std::string shouted;
    for (const std::string& line : Lines(testing::ReadTestFile(file))) {
        size_t comment = line.find("\" \"", line.find("\" \"") + 3) + 3;
        std::string head = line.substr(0, comment);
        for (size_t i = std::string("dfscmd /map ").size(); i < head.size(); ++i)
            head[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(head[i])));
        shouted += head + line.substr(comment) + "\n";
    }
    shouted += "not a backup line\n\n";
    testing::WriteTestFile(folder / "shouted.txt", shouted);
    EXPECT_EQ(Run({"--compare", (folder / "shouted.txt").string()}), kExitSuccess) << out.str();
    EXPECT_EQ(out.str(), "no differences: 8 targets in the file, all live\n");
    // A line that says nothing of the namespace is reported, not compared; a file without its
    // properties file has no properties to compare, and says so.
    EXPECT_EQ(err.str(), "kestrune: warning: the properties file \"" +
                             FullFileName(folder / "shouted.properties.xml") +
                             "\" is missing; properties are not compared\n"
                             "kestrune: line 9 is not a backup line and was left out: not a backup "
                             "line\n");
}

TEST_F(CompareCommandTest, DiffHoldsTwoBackupFilesAgainstEachOtherAsCompareHoldsOneAgainstLive) {
    const std::string before = (BackUp("a") / "Public.txt").string();
    DeleteLink("Public", "/Policies");
    ASSERT_EQ(NetDfsAdd(u"\\\\example.com\\Public\\Added", u"FS4", u"Added", u"new", 0), 0u);
    ASSERT_EQ(NetDfsAdd(u"\\\\example.com\\Public\\Added", u"FS5", u"Added", u"", 0), 0u);
    SetComment("Public", "/Software", "Changed");
    const std::string after = (BackUp("b") / "Public.txt").string();

    EXPECT_EQ(Run({"--diff", before, after}), kExitFailure) << err.str();
    EXPECT_EQ(
        Lines(out.str()),
        (std::vector<std::string>{
            R"(+ dfscmd /map "\\example.com\Public\Added" "\\FS4\Added" "new")",
            R"(+ dfscmd /add "\\example.com\Public\Added" "\\FS5\Added" "new")", "- " + kPolicies,
            R"(~ dfscmd /map "\\example.com\Public\Software" "\\FS1\Software" "Changed" (was "Installers, "current" and older"))",
            "4 differences: 1 only in the old file, 2 added since, 1 comment changed"}));
    EXPECT_EQ(err.str(), "");
    // The new file is what is live: --compare of the old one finds the same differences.
    std::vector<std::string> differences = Lines(out.str());
    EXPECT_EQ(Run({"--compare", before}), kExitFailure);
    differences.back() = Lines(out.str()).back();
    EXPECT_EQ(Lines(out.str()), differences);

    EXPECT_EQ(Run({"--diff", after, after}), kExitSuccess);
    EXPECT_EQ(out.str(), "no differences: 9 targets in both files\n");
    // An empty file holds no backup (a namespace has at least its root's line), in either
    // place; a line that is no backup line is said and left out.
    testing::WriteTestFile(folder / "empty.txt", "");
    testing::WriteTestFile(folder / "blank.txt", "\r\n\r\n");
    testing::WriteTestFile(folder / "noted.txt",
                           testing::ReadTestFile(before) + "checked on Monday\r\n");
    for (const char* empty : {"empty.txt", "blank.txt"}) {
        const std::string name = (folder / empty).string();
        EXPECT_EQ(Run({"--diff", name, before}), kExitUsage);
        EXPECT_EQ(err.str(),
                  "kestrune: " + name + " is not a backup file: it holds no backup line\n");
        EXPECT_EQ(out.str(), "");
        EXPECT_EQ(Run({"--diff", before, name}), kExitUsage);
        EXPECT_EQ(out.str(), "");
    }
    EXPECT_EQ(Run({"--diff", before, (folder / "noted.txt").string()}), kExitSuccess);
    EXPECT_EQ(err.str(), "kestrune: " + (folder / "noted.txt").string() +
                             ": line 9 is not a backup line and was left out: checked on Monday\n");
}

TEST_F(CompareCommandTest, VerifyListsTheMissingTargets) {
    const std::string file = (BackUp("b") / "Public.txt").string();
    EXPECT_EQ(Run({"--verify", file}), kExitSuccess);
    EXPECT_EQ(out.str(), "every target in the file is live (8)\n");

    DeleteLink("Public", "/Policies");
    // Added since: not verify's business.
    ASSERT_EQ(NetDfsAdd(u"\\\\example.com\\Public\\Added", u"FS4", u"Added", u"", 0), 0u);
    EXPECT_EQ(Run({"--quiet", "--verify", file}), kExitFailure);
    EXPECT_EQ(out.str(), "missing: " + kPolicies + "\n1 of 8 targets is missing\n");
    EXPECT_EQ(err.str(), "");
}

TEST_F(CompareCommandTest, NamesEachPropertyChangedSinceTheBackupWithBothValues) {
    const std::string file = (BackUp("b") / "Public.txt").string();
    DFS_INFO_102 ttl{300};
    ASSERT_EQ(NetDfsSetInfo(u"\\\\example.com\\Public\\Policies", nullptr, nullptr, 102,
                            reinterpret_cast<const uint8_t*>(&ttl)),
              0u);
    DFS_INFO_104 priority{{DfsSiteCostNormalPriorityClass, 0, 0}};
    ASSERT_EQ(NetDfsSetInfo(u"\\\\example.com\\Public\\Software", u"FS2", u"Software", 104,
                            reinterpret_cast<const uint8_t*>(&priority)),
              0u);
    DFS_INFO_101 online{DFS_STORAGE_STATE_ONLINE};
    ASSERT_EQ(NetDfsSetInfo(u"\\\\example.com\\Public\\Software", u"FS3", u"Software\\Mirror", 101,
                            reinterpret_cast<const uint8_t*>(&online)),
              0u);

    EXPECT_EQ(Run({"--compare", file}), kExitFailure) << err.str();
    EXPECT_EQ(
        Lines(out.str()),
        (std::vector<std::string>{
            R"(~ \\example.com\Public\Policies TimeToLiveSec 300 (was 600))",
            R"(~ \\example.com\Public\Software \\FS2\Software ReferralPriorityClass SiteCostNormal (was GlobalHigh))",
            R"(~ \\example.com\Public\Software \\FS3\Software\Mirror State Online (was Offline))",
            "3 differences: 0 only in the file (a restore would add them), 0 added since, "
            "0 comments changed, 3 properties changed"}));
    EXPECT_EQ(err.str(), "");
    // Verify holds only the targets against the namespace.
    EXPECT_EQ(Run({"--verify", file}), kExitSuccess) << out.str();
}

TEST_F(CompareCommandTest, PropertiesOfAnotherVersionOfTheFileAreNotCompared) {
    const std::filesystem::path file = BackUp("b") / "Public.txt";
    DFS_INFO_102 ttl{300};
    ASSERT_EQ(NetDfsSetInfo(u"\\\\example.com\\Public\\Policies", nullptr, nullptr, 102,
                            reinterpret_cast<const uint8_t*>(&ttl)),
              0u);
    testing::WriteTestFile(file, testing::ReadTestFile(file) + "\r\n");
    EXPECT_EQ(Run({"--compare", file.string()}), kExitSuccess);
    EXPECT_EQ(out.str(), "no differences: 8 targets in the file, all live\n");
    EXPECT_EQ(err.str(), "kestrune: warning: the properties file belongs to another version of "
                         "the backup file; properties are not compared\n");
}

} // namespace
} // namespace kestrune
