#include "base/file_io.h"
#include "base/win_errors.h"
#include "netdfs/netdfs.h"
#include "support/sample_domain_cli.h"
#include "support/test_files.h"

#include <cerrno>
#include <regex>

namespace kestrune {
namespace {

using namespace std::string_literals;
using testing::Lines;

class RestoreCommandTest : public testing::SampleDomainCli {};

const std::string kPublicRoot = R"("\\example.com\Public" "\\DC1\Public" "Company public share")";
const std::string kSoftware = R"("\\example.com\Public\Software")";
const std::string kSoftwareComment = R"("Installers, "current" and older")";

TEST_F(RestoreCommandTest, RestoreAfterDeletingLinksGivesTheSameBackupAndALog) {
    const auto first = BackUp("first");
    for (const char* link : {"/Software", "/Data/Projects", "/Data/Templates", "/Policies"})
        DeleteLink("Public", link);
    DeleteLink("Users", "/alice");

    const std::string file = (first / "Public.txt").string();
    EXPECT_EQ(Run({"--restore", file}), kExitSuccess) << err.str();
    // The namespace's own targets first, then first targets before further ones; the roots
    // were never gone.
    EXPECT_EQ(
        Lines(out.str()),
        (std::vector<std::string>{
            "already there: dfscmd /map " + kPublicRoot,
            R"(already there: dfscmd /add "\\example.com\Public" "\\DC2\Public" "Company public share")",
            R"(restored: dfscmd /map "\\example.com\Public\Data\Projects" "\\FS1\Projects" "")",
            R"(restored: dfscmd /map "\\example.com\Public\Data\Templates" "\\FS2\Templates" "")",
            R"(restored: dfscmd /map "\\example.com\Public\Policies" "\\FS1\Policies" "Read "before" you sign")",
            "restored: dfscmd /map " + kSoftware + R"( "\\FS1\Software" )" + kSoftwareComment,
            "restored: dfscmd /add " + kSoftware + R"( "\\FS2\Software" )" + kSoftwareComment,
            "restored: dfscmd /add " + kSoftware + R"( "\\FS3\Software\Mirror" )" +
                kSoftwareComment}));
    EXPECT_EQ(err.str(), "kestrune: 8 lines: 6 restored, 2 already there, 0 failed; the log is " +
                             file + "_restore.txt\n");
    ASSERT_EQ(Run({"--quiet", "--restore", (first / "Users.txt").string()}), kExitSuccess);
    EXPECT_EQ(err.str(), "");

    // The log holds what the status window would: stamped lines, CR LF after each.
    const std::string log = testing::ReadTestFile(file + "_restore.txt");
    std::vector<std::string> logLines = Lines(log);
    ASSERT_EQ(logLines.size(), 19u);
    const std::regex stamped("[^\t]+\t.*\r");
    for (const std::string& line : logLines)
        EXPECT_TRUE(std::regex_match(line, stamped)) << line;
    EXPECT_EQ(logLines.front().substr(logLines.front().find('\t')), "\tStarting restore\r");
    EXPECT_NE(log.find("\tRestoring \\\\example.com\\Public to \\\\DC1\\Public  Company public "
                       "share\r\n"),
              std::string::npos);
    EXPECT_NE(log.find("\tAlready there\r\n"), std::string::npos);
    EXPECT_TRUE(log.ends_with("\t\r\n" + logLines.back().substr(0, logLines.back().find('\t')) +
                              "\t** Complete **\r\n"));

    const auto second = BackUp("second");
    for (const char* name : {"Archive.txt", "Legacy.txt", "Projets.txt", "Public.txt", "Users.txt"})
        EXPECT_EQ(testing::ReadTestFile(second / name), testing::ReadTestFile(first / name))
            << name;

    // Once more: everything is there, which is no failure.
    EXPECT_EQ(Run({"--restore", file}), kExitSuccess);
    for (const std::string& line : Lines(out.str()))
        EXPECT_TRUE(line.starts_with("already there: ")) << line;
}

TEST_F(RestoreCommandTest, DryRunSaysWhatARestoreWouldDoAndChangesNothing) {
    const auto backups = BackUp("b");
    DeleteLink("Public", "/Software");
    DeleteLink("Public", "/Policies");
    const std::string domainBefore = testing::ReadTestFile(domainFile);
    const std::string file = (backups / "Public.txt").string();
    const std::string policies =
        R"(dfscmd /map "\\example.com\Public\Policies" "\\FS1\Policies" "Read "before" you sign")";
    const std::string software1 =
        "dfscmd /map " + kSoftware + R"( "\\FS1\Software" )" + kSoftwareComment;
    const std::string software2 =
        "dfscmd /add " + kSoftware + R"( "\\FS2\Software" )" + kSoftwareComment;
    const std::string software3 =
        "dfscmd /add " + kSoftware + R"( "\\FS3\Software\Mirror" )" + kSoftwareComment;

    // A link or target to add gets the recorded properties that differ from the defaults.
    EXPECT_EQ(Run({"--restore", file, "--dry-run"}), kExitSuccess) << err.str();
    EXPECT_EQ(
        Lines(out.str()),
        (std::vector<std::string>{
            "already there: dfscmd /map " + kPublicRoot,
            R"(already there: dfscmd /add "\\example.com\Public" "\\DC2\Public" "Company public share")",
            R"(already there: dfscmd /map "\\example.com\Public\Data\Projects" "\\FS1\Projects" "")",
            R"(already there: dfscmd /map "\\example.com\Public\Data\Templates" "\\FS2\Templates" "")",
            "would add the link: " + policies,
            "would set State Offline (default Online): " + policies,
            "would set TimeToLiveSec 600 (default 1800): " + policies,
            "would set EnableTargetFailback true (default false): " + policies,
            "would add the link: " + software1,
            "would set EnableInsiteReferrals true (default false): " + software1,
            "would add a target: " + software2,
            "would set ReferralPriorityClass of the target GlobalHigh (default SiteCostNormal): " +
                software2,
            "would add a target: " + software3,
            "would set State of the target Offline (default Online): " + software3,
            "would set ReferralPriorityClass of the target SiteCostLow (default SiteCostNormal): " +
                software3,
            "would set ReferralPriorityRank of the target 3 (default 0): " + software3}));
    EXPECT_EQ(err.str(), "kestrune: dry run, nothing was changed: 2 links and 2 targets to add, "
                         "4 already there, 0 would fail, 8 properties to set\n");
    EXPECT_EQ(Run({"--quiet", "--dry-run", "--restore", file}), kExitSuccess);
    EXPECT_EQ(err.str(), "");
    EXPECT_EQ(testing::ReadTestFile(domainFile), domainBefore);
    EXPECT_FALSE(std::filesystem::exists(file + "_restore.txt"));
}

// Every rule the dry run knows, and the restore that follows doing just what it said.
TEST_F(RestoreCommandTest, TheDryRunForetellsTheRestoreLineByLine) {
    const std::string file = (folder / "mixed.txt").string();
    testing::WriteTestFile(
        file,
        // Above an existing link.
        "dfscmd /map \"\\\\example.com\\Public\\Data\" \"\\\\FS9\\Data\" \"\"\r\n"
        "dfscmd /map \"\\\\example.com\\Public\\New\\Deep\" \"\\\\FS9\\Deep\" \"x\"\r\n"
        // The same target again, and in another case.
        "dfscmd /add \"\\\\EXAMPLE.com\\public\\new\\deep\" \"\\\\fs9\\deep\" \"x\"\r\n"
        "dfscmd /add \"\\\\example.com\\Public\\New\\Deep\" \"\\\\FS8\\Deep\" \"x\"\r\n"
        "garbage\r\n"
        "\r\n"
        // Above a link that the line before it adds.
        "dfscmd /map \"\\\\example.com\\Public\\New\" \"\\\\FS9\\New\" \"\"\r\n"
        "dfscmd /map \"\\\\example.com\\Gone\\a\" \"\\\\FS9\\New\" \"\"\r\n"
        "dfscmd /map \"\\\\example.com\\Public\\Bad?\" \"\\\\FS9\\New\" \"\"\r\n"
        "dfscmd /map \"\\\\example.com\\Public\\NoShare\" \"\\\\FS9\" \"\"\r\n"
        "dfscmd /map \"\\\\example.com\\Public\" \"\\\\DC3\\Public\" \"\"\r\n"
        "dfscmd /map \"\\\\example.com\\Public\\Long\" \"\\\\FS9\\Long\" \"" +
            std::string(300, 'c') + "\"\r\n");
    const std::string domainBefore = testing::ReadTestFile(domainFile);
    ASSERT_EQ(Run({"--restore", file, "--dry-run"}), kExitFailure);
    const std::vector<std::string> foretold = Lines(out.str());
    EXPECT_EQ(testing::ReadTestFile(domainFile), domainBefore);
    const std::string overlap = "80: The file exists. (the path overlaps the link ";
    // A namespace's own targets go first: a namespace that is there gains one.
    EXPECT_EQ(foretold[0], "would add a root target: dfscmd /map \"\\\\example.com\\Public\" "
                           "\"\\\\DC3\\Public\" \"\"");
    EXPECT_EQ(foretold[1], "would fail (" + overlap +
                               "\\\\example.com\\Public\\Data\\Projects)): dfscmd /map "
                               "\"\\\\example.com\\Public\\Data\" \"\\\\FS9\\Data\" \"\"");
    EXPECT_TRUE(foretold[2].starts_with("would add the link: ")) << foretold[2];
    // The link's further targets right after it.
    EXPECT_TRUE(foretold[3].starts_with("already there: dfscmd /add \"\\\\EXAMPLE.com"));
    EXPECT_TRUE(foretold[4].starts_with("would add a target: "));
    EXPECT_EQ(foretold[5], "would fail (not a backup line): garbage");
    EXPECT_TRUE(foretold[6].starts_with("would fail (" + overlap +
                                        "\\\\example.com\\Public\\New\\Deep)): "));
    EXPECT_TRUE(foretold[7].starts_with("would fail (1168: Element not found. "
                                        "(\\\\example.com\\Gone is gone; a line of its root "
                                        "creates it)): "))
        << foretold[7];
    EXPECT_TRUE(foretold[8].starts_with("would fail (123: The filename, directory name, or volume "
                                        "label syntax is incorrect.): "));
    EXPECT_TRUE(foretold[9].starts_with(
        "would fail (87: The parameter is incorrect. (the target needs a server and a share)): "));
    EXPECT_TRUE(foretold[10].starts_with("would fail (87: The parameter is incorrect. (the comment "
                                         "is longer than 255 characters)): "));
    ASSERT_EQ(foretold.size(), 11u);

    ASSERT_EQ(Run({"--restore", file}), kExitFailure);
    const std::vector<std::string> done = Lines(out.str());
    ASSERT_EQ(done.size(), foretold.size());
    for (size_t i = 0; i < done.size(); ++i) {
        std::string expected = foretold[i];
        for (auto [from, to] :
             {std::pair<std::string, std::string>{"would add the link: ", "restored: "},
              {"would add a target: ", "restored: "},
              {"would add a root target: ", "restored: "},
              {"would fail (", "failed ("}})
            if (expected.starts_with(from)) expected = to + expected.substr(from.size());
        EXPECT_EQ(done[i], expected);
    }
    EXPECT_NE(err.str().find("kestrune: \\\\example.com\\Gone is not there (1168: Element not "
                             "found.); a line of its root creates it"),
              std::string::npos)
        << err.str();
    EXPECT_NE(err.str().find("kestrune: 11 lines: 3 restored, 1 already there, 7 failed"),
              std::string::npos)
        << err.str();
    // Failures stay on standard error when quiet.
    ASSERT_EQ(Run({"--quiet", "--restore", file}), kExitFailure);
    EXPECT_NE(err.str().find("kestrune: 11 lines: 0 restored, 4 already there, 7 failed"),
              std::string::npos)
        << err.str();
}

TEST_F(RestoreCommandTest, ProgressEveryFewHundredLinesOrABarOnATerminal) {
    const int count = 600;
    std::string text;
    for (int i = 0; i < count; ++i)
        text += "dfscmd /map \"\\\\example.com\\Public\\Bulk\\L" + std::to_string(i) +
                "\" \"\\\\FS1\\L" + std::to_string(i) + "\" \"\"\r\n";
    const std::string file = (folder / "bulk.txt").string();
    testing::WriteTestFile(file, text);

    ASSERT_EQ(Run({"--restore", file, "--dry-run"}), kExitSuccess);
    EXPECT_EQ(err.str().find("of 600 lines"), std::string::npos); // a dry run is quick

    // Progress, the missing properties file said once, the summary.
    ASSERT_EQ(Run({"--restore", file}), kExitSuccess);
    EXPECT_TRUE(err.str().starts_with("kestrune: 500 of 600 lines, ")) << err.str();
    EXPECT_EQ(Lines(err.str()).size(), 3u) << err.str();
    const std::string missing = "kestrune: warning: the properties file \"" +
                                FullFileName(folder / "bulk.properties.xml") +
                                "\" is missing; links are restored with the platform's defaults\n";
    EXPECT_NE(err.str().find(missing), std::string::npos) << err.str();

    // A terminal: a bar drawn in place, and gone before the summary.
    std::ostringstream terminalOut, terminalErr;
    ASSERT_EQ(Run({"--restore", file}, {terminalOut, terminalErr, true, true}), kExitSuccess);
    const std::string bar = terminalErr.str();
    EXPECT_NE(bar.find("\r[" + std::string(30, '#') + "] 600/600 lines"), std::string::npos);
    EXPECT_NE(bar.find("\r[#   "), std::string::npos);
    EXPECT_EQ(bar.find("of 600 lines"), std::string::npos);
    ASSERT_NE(bar.find("kestrune: 600 lines: 0 restored, 600 already there"), std::string::npos);
    const size_t afterBar = bar.find(missing);
    ASSERT_NE(afterBar, std::string::npos);
    EXPECT_EQ(bar[afterBar - 1], '\r');
    // Standard output stays one line per backup line, the bar stepping aside.
    EXPECT_EQ(Lines(terminalOut.str()).size(), 600u);

    ASSERT_EQ(Run({"--quiet", "--restore", file}, {out, err, true, false}), kExitSuccess);
    EXPECT_EQ(err.str(), missing);
}

// What each system says when a folder is opened as a file, and when a file is not there.
#ifdef _WIN32
const std::string kFolderIsNoFile = SystemError(ERROR_ACCESS_DENIED).text;
const std::string kNoSuchFile = SystemError(ERROR_FILE_NOT_FOUND).text;
#else
const std::string kFolderIsNoFile = SystemError(EISDIR).text;
const std::string kNoSuchFile = SystemError(ENOENT).text;
#endif

TEST_F(RestoreCommandTest, BadArgumentsAndUnreadableFilesChangeNothing) {
    const auto backups = BackUp("b");
    DeleteLink("Public", "/Policies");
    const std::string domainBefore = testing::ReadTestFile(domainFile);
    const std::string good = (backups / "Public.txt").string();
    testing::WriteTestFile(folder / "utf16.txt", "\xFF\xFE"
                                                 "d\0f\0"s);
    testing::WriteTestFile(folder / "utf8.txt", "\xEF\xBB\xBF"
                                                "dfscmd");
    testing::WriteTestFile(folder / "empty.txt", "");
    testing::WriteTestFile(folder / "notes.txt", "Monday: backed up\r\n\r\nTuesday: restored\r\n");
    testing::WriteTestFile(folder / "gone.txt",
                           "dfscmd /map \"\\\\example.com\\Gone\\a\" \"\\\\FS1\\a\" \"\"\r\n");

    struct Case {
        std::vector<std::string> arguments;
        std::string error;
    };
    const std::string missing = (folder / "missing.txt").string();
    const std::vector<Case> cases = {
        {{"--restore", missing},
         "kestrune: Cannot open file \"" + missing + "\". " + kNoSuchFile + "\n"},
        {{"--restore", (folder / "utf16.txt").string()},
         "kestrune: The file is not 8-bit text: it begins with a UTF-16 byte-order mark.\n"},
        {{"--restore", (folder / "utf8.txt").string(), "--dry-run"},
         "kestrune: The file is not 8-bit text: it begins with a UTF-8 byte-order mark.\n"},
        {{"--compare", folder.path().string()}, kFolderIsNoFile},
        {{"--verify", (folder / "empty.txt").string()}, "names no namespace"},
        {{"--compare", (folder / "gone.txt").string()},
         "kestrune: \\\\example.com\\Gone could not be read: 1168: Element not found.\n"},
        {{"--restore", good, "--verify", good}, "cannot be combined"},
        {{"--verify", good, "extra"}, "unexpected argument extra"},
        {{"--compare"}, "--compare needs a file name"},
        {{"--dry-run", "--compare", good}, "--dry-run goes with --restore"},
        {{"--restore", good, "--check-targets"},
         "--check-targets goes with --restore FILE --dry-run"},
        {{"--compare", good, "--check-targets"}, "--check-targets goes with"},
        {{"--restore", good, "--force"}, "unknown option --force"},
        {{"--diff", good, missing},
         "kestrune: Cannot open file \"" + missing + "\". " + kNoSuchFile + "\n"},
        {{"--diff", (folder / "utf16.txt").string(), good}, "UTF-16 byte-order mark"},
        {{"--diff", good, (folder / "notes.txt").string()},
         "kestrune: " + (folder / "notes.txt").string() + " is not a backup file\n"},
        {{"--diff", good}, "--diff needs two file names"},
        {{"--diff", good, good, "--compare", good}, "cannot be combined"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Run(c.arguments), kExitUsage) << c.arguments.front();
        EXPECT_NE(err.str().find(c.error), std::string::npos) << err.str();
        EXPECT_EQ(out.str(), "");
    }
    EXPECT_EQ(testing::ReadTestFile(domainFile), domainBefore);
    EXPECT_FALSE(std::filesystem::exists(missing + "_restore.txt"));
    EXPECT_FALSE(std::filesystem::exists(folder / "utf16.txt_restore.txt"));
    EXPECT_FALSE(std::filesystem::exists(good + "_restore.txt"));
}

TEST_F(RestoreCommandTest, ALogThatCannotBeWrittenIsSaidButTheRestoreStands) {
    const auto backups = BackUp("b");
    DeleteLink("Public", "/Policies");
    // A folder where the log would go.
    std::filesystem::create_directory(backups / "Public.txt_restore.txt");
    EXPECT_EQ(Run({"--quiet", "--restore", (backups / "Public.txt").string()}), kExitSuccess);
    EXPECT_TRUE(err.str().starts_with("kestrune: the restore log was not written: Cannot create "
                                      "file \"" +
                                      (backups / "Public.txt_restore.txt").string()))
        << err.str();
    EXPECT_EQ(Run({"--verify", (backups / "Public.txt").string()}), kExitSuccess);
}

} // namespace
} // namespace kestrune
