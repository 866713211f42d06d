#include "backup/restore_run.h"

#include "base/file_io.h"
#include "base/win_errors.h"
#include "support/scripted_netdfs.h"
#include "support/temp_folder.h"
#include "support/test_files.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

namespace kestrune {
namespace {

class RecordingLog : public RestoreLog {
  public:
    std::vector<std::pair<std::string, uint32_t>> lines;
    std::vector<std::string> events;
    bool plain = false;
    void ClearLines() override { lines.clear(); }
    void ShowLog() override { events.push_back("show"); }
    void AddLine(const AnsiString& msg, uint32_t color) override { lines.push_back({msg, color}); }
    void SetPlainText(bool p) override {
        plain = p;
        events.push_back(p ? "plain" : "rich");
    }
    void SaveLinesToFile(const std::filesystem::path& file) override {
        events.push_back(plain ? "save plain" : "save rich");
        std::string text;
        for (const auto& l : lines)
            text += l.first + "\r\n";
        testing::WriteTestFile(file, text);
    }
};

class RestoreRunTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fake = std::make_shared<testing::ScriptedNetDfs>();
        InstallNetDfsApi(fake);
    }
    void TearDown() override { InstallNetDfsApi(nullptr); }
    std::shared_ptr<testing::ScriptedNetDfs> fake;
    TOXLDFS dfs;
    RecordingLog log;
};

TEST_F(RestoreRunTest, NoSlashesDecidesTheServerNameAndTheProgressLine) {
    const AnsiString line = "dfscmd /map \"\\\\d\\n\\l\" \"\\\\srv\\share\\sub\" \"note\"";
    int pumped = 0;
    RestoreLineOptions options;
    options.processMessages = [&] {
        ++pumped;
        EXPECT_EQ(log.lines.size(), 1u); // after the progress line, before the call
        EXPECT_TRUE(fake->addCalls.empty());
    };
    RestoreBackupLine(BackupRecord(line), dfs, log, options);
    ASSERT_EQ(fake->addCalls.size(), 1u);
    EXPECT_EQ(fake->addCalls[0].entry, u"\\\\d\\n\\l");
    EXPECT_EQ(fake->addCalls[0].server, u"\\\\srv");
    EXPECT_EQ(fake->addCalls[0].share, u"share\\sub");
    EXPECT_EQ(fake->addCalls[0].comment, u"note");
    EXPECT_EQ(pumped, 1);
    ASSERT_EQ(log.lines.size(), 2u);
    EXPECT_EQ(log.lines[0],
              std::make_pair(std::string("Restoring \\\\d\\n\\l to \\\\srv\\share\\sub  note"),
                             clYellow));
    EXPECT_EQ(log.lines[1], std::make_pair(std::string("Restored"), clLime));

    log.lines.clear();
    RestoreBackupLine(BackupRecord("dfscmd /add \"\\\\d\\n\\l\" \"\\\\srv\\share\" \"\""), dfs, log,
                      {.noSlashes = true});
    EXPECT_EQ(fake->addCalls[1].server, u"srv");
    EXPECT_EQ(fake->addCalls[1].comment, u"");
    EXPECT_EQ(log.lines[0].first,
              "Restoring \\\\d\\n\\l to srv\\share  "); // two blanks, empty comment
}

// "Café ??" in the line; the properties file holds "Café ΩΩ".
TEST_F(RestoreRunTest, ACommentIsTakenWholeFromTheRecordAndALossyOneIsAYellowLine) {
    const BackupRecord record =
        BackupRecord("dfscmd /map \"\\\\d\\n\\l\" \"\\\\s\\h\" \"Caf\xE9 ??\"");
    NamespaceProperties p;
    p.root.path = "\\\\d\\n";
    p.links.push_back({});
    p.links[0].path = "\\\\d\\n\\l";
    p.links[0].description = "Caf\xC3\xA9 \xCE\xA9\xCE\xA9";
    p.links[0].timeToLiveSec = kNewLinkTimeout;
    p.links[0].targets = {{"\\\\s\\h", true, 0, 0}};
    const RecordedProperties recorded(p);

    // The file belongs to the backup: the platform gets the whole comment, silently.
    RestoredLine done = RestoreBackupLine(record, dfs, log, {.recorded = &recorded});
    EXPECT_EQ(fake->addCalls.at(0).comment, u"Caf\u00e9 \u03a9\u03a9");
    EXPECT_FALSE(done.lostCharacters);
    EXPECT_EQ(log.lines.back(), std::make_pair(std::string("Restored"), clLime));

    // Another version's file: the line's text, and a yellow line after "Restored".
    log.lines.clear();
    done = RestoreBackupLine(record, dfs, log, {.otherVersion = &recorded});
    EXPECT_EQ(fake->addCalls.at(1).comment, u"Caf\u00e9 ??");
    EXPECT_TRUE(done.lostCharacters);
    ASSERT_EQ(log.lines.size(), 3u);
    EXPECT_EQ(log.lines[2].second, clYellow);
    EXPECT_NE(log.lines[2].first.find("lost characters that code page 1252 cannot hold"),
              std::string::npos);

    // A comment that matches, or another that only looks alike, is no loss.
    for (const char* comment : {"Caf\xE9 ?", "plain"}) {
        log.lines.clear();
        done = RestoreBackupLine(
            BackupRecord(std::string("dfscmd /map \"\\\\d\\n\\l\" \"\\\\s\\h\" \"") + comment +
                         "\""),
            dfs, log, {.otherVersion = &recorded});
        EXPECT_FALSE(done.lostCharacters) << comment;
        EXPECT_EQ(log.lines.size(), 2u) << comment;
    }
}

TEST_F(RestoreRunTest, FailuresAndShortLinesAreRedLines) {
    fake->addStatus = ERROR_FILE_EXISTS;
    RestoreBackupLine(BackupRecord("dfscmd /map \"\\\\d\\n\\l\" \"\\\\s\\h\" \"\""), dfs, log);
    EXPECT_EQ(log.lines.back(), std::make_pair(std::string("Failed 80: The file exists."), clRed));
    fake->addStatus = 99999;
    RestoreBackupLine(BackupRecord("dfscmd /map \"\\\\d\\n\\l\" \"\\\\s\\h\" \"\""), dfs, log);
    EXPECT_EQ(log.lines.back().first, "Failed 99999:");

    size_t calls = fake->addCalls.size();
    for (const char* shortLine : {"", "dfscmd /map \"\\\\d\\n\\l\" \"\\\\s\\h\"", "hand edited"}) {
        log.lines.clear();
        RestoreBackupLine(BackupRecord(shortLine), dfs, log);
        ASSERT_EQ(log.lines.size(), 1u);
        EXPECT_EQ(log.lines[0].second, clRed);
        EXPECT_EQ(log.lines[0].first, "Skipped, not a backup line: " + std::string(shortLine));
    }
    EXPECT_EQ(fake->addCalls.size(), calls);
}

TEST_F(RestoreRunTest, TheLogIsNamedAfterTheWholeBackupFileName) {
    testing::TempFolder folder;
    log.AddLine("Starting restore", clLime);
    EXPECT_TRUE(FinishRestoreLog(log, folder / "pfxPublic.txt"));
    EXPECT_EQ(testing::ReadTestFile(folder / "pfxPublic.txt_restore.txt"),
              "Starting restore\r\n\r\n** Complete **\r\n");
    EXPECT_EQ(log.events, (std::vector<std::string>{"plain", "save plain", "rich"}));

    // A log that cannot be written is ignored; the window is put back all the same.
    log.events.clear();
    Expected<void> unsaved = FinishRestoreLog(log, folder / "missing" / "x.txt");
    ASSERT_FALSE(unsaved);
    EXPECT_TRUE(IsMissingFile(unsaved.error())) << unsaved.error().text;
    EXPECT_NE(unsaved.error().text.find("x.txt_restore.txt"), std::string::npos);
    EXPECT_EQ(log.events, (std::vector<std::string>{"plain", "save plain", "rich"}));
}

} // namespace
} // namespace kestrune

namespace kestrune {
namespace {

TEST_F(RestoreRunTest, TheRunRestoresFirstTargetsFirstAndPutsTheFlagsBack) {
    dfs.SetFlags(DFS_ADD_VOLUME);
    bool cancel = false;
    RestoreRun run(dfs, log, cancel);
    int seen = 0;
    run.lineDone = [&](const RestoredLine&) {
        if (++seen == 2) throw std::runtime_error("a window went away");
    };
    AllLines lines({"dfscmd /add \"\\\\d\\n\\l\" \"\\\\s2\\h\" \"\"",
                    "dfscmd /map \"\\\\d\\n\\l\" \"\\\\s1\\h\" \"\"",
                    "dfscmd /map \"\\\\d\\n\\m\" \"\\\\s1\\m\" \"\""});
    EXPECT_THROW(run.Run(lines), std::runtime_error);
    EXPECT_EQ(dfs.Flags(), uint32_t(DFS_ADD_VOLUME));
    // The lines of one group of changes are all made before the first of them is reported.
    ASSERT_EQ(fake->addCalls.size(), 3u);
    EXPECT_EQ(fake->addCalls[0].server, u"\\\\s1"); // the /map line first
    EXPECT_EQ(fake->addCalls[0].flags, 0u);

    // Without a backup file name there is no log file, and nothing lands in the working folder.
    fake->addCalls.clear();
    run.lineDone = nullptr;
    RestoreRunResult result = run.Run(lines);
    EXPECT_EQ(result.lines.size(), 3u);
    EXPECT_EQ(result.lines[1].index, 0); // the /add line, right after its link's /map line
    EXPECT_EQ(log.events.back(), "rich");
    EXPECT_EQ(std::count(log.events.begin(), log.events.end(), "save plain"), 0);
}

TEST_F(RestoreRunTest, HostileLinesAreRefusedOrExplained) {
    // A NUL would cut the path short on its way to the platform.
    using namespace std::string_literals;
    RestoredLine nul = RestoreBackupLine(
        BackupRecord("dfscmd /map \"\\\\d\\n\\l\0x\" \"\\\\s\\h\" \"\""s), dfs, log);
    EXPECT_EQ(nul.outcome, RestoredLine::Outcome::NotABackupLine);
    EXPECT_TRUE(fake->addCalls.empty());
    EXPECT_EQ(log.lines.back().second, clRed);

    // A field too long for the platform is named.
    std::string comment(300, 'c');
    RestoredLine longComment = RestoreBackupLine(
        BackupRecord("dfscmd /map \"\\\\d\\n\\l\" \"\\\\s\\h\" \"" + comment + "\""), dfs, log);
    EXPECT_EQ(longComment.outcome, RestoredLine::Outcome::Failed);
    EXPECT_EQ(longComment.status, ERROR_INVALID_PARAMETER);
    EXPECT_EQ(log.lines.back().first, "Failed 87: The parameter is incorrect. (the comment is "
                                      "longer than 255 characters)");
}

TEST_F(RestoreRunTest, ATargetAlreadyThereIsToldFromAnOverlappingPath) {
    // The platform answers "exists" for both; only what was live before tells them apart.
    fake->addStatus = ERROR_FILE_EXISTS;
    std::vector<std::string> asked;
    TargetIsLive live = [&](const BackupLineParts& line) {
        asked.push_back(line.entryPath + " " + line.target.server + " " + line.target.share);
        return line.target.server == "there";
    };
    RestoredLine there =
        RestoreBackupLine(BackupRecord("dfscmd /add \"\\\\d\\n\\l\" \"\\\\there\\h\" \"\""), dfs,
                          log, {.targetIsLive = live});
    EXPECT_EQ(there.outcome, RestoredLine::Outcome::AlreadyThere);
    EXPECT_EQ(log.lines.back(), std::make_pair(std::string("Already there"), clLime));
    RestoredLine overlap =
        RestoreBackupLine(BackupRecord("dfscmd /map \"\\\\d\\n\\l\" \"\\\\new\\h\" \"\""), dfs, log,
                          {.targetIsLive = live});
    EXPECT_EQ(overlap.outcome, RestoredLine::Outcome::Failed);
    EXPECT_EQ(overlap.reason, "80: The file exists.");
    EXPECT_EQ(asked, (std::vector<std::string>{"\\\\d\\n\\l there h", "\\\\d\\n\\l new h"}));

    // Any other answer is a failure, whatever was live.
    fake->addStatus = ERROR_ACCESS_DENIED;
    EXPECT_EQ(RestoreBackupLine(BackupRecord("dfscmd /add \"\\\\d\\n\\l\" \"\\\\there\\h\" \"\""),
                                dfs, log, {.targetIsLive = live})
                  .outcome,
              RestoredLine::Outcome::Failed);
    EXPECT_EQ(asked.size(), 2u);

    // The run hands its check to every line.
    fake->addStatus = ERROR_FILE_EXISTS;
    bool cancel = false;
    RestoreRun run(dfs, log, cancel);
    run.targetIsLive = live;
    RestoreRunResult result =
        run.Run(AllLines({"dfscmd /map \"\\\\d\\n\\l\" \"\\\\there\\h\" \"\""}));
    EXPECT_EQ(result.lines.at(0).outcome, RestoredLine::Outcome::AlreadyThere);
}

TEST(ReadBackupLines, LineEndsAndByteOrderMarks) {
    testing::TempFolder folder;
    testing::WriteTestFile(folder / "cr.txt", "one\rtwo\r\nthree\nfour");
    auto lines = ReadBackupLines(folder / "cr.txt");
    ASSERT_TRUE(lines);
    EXPECT_EQ(*lines, (std::vector<AnsiString>{"one", "two", "three", "four"}));

    testing::WriteTestFile(folder / "blank.txt", "a\r\n\r\nb\r\n");
    EXPECT_EQ(*ReadBackupLines(folder / "blank.txt"), (std::vector<AnsiString>{"a", "", "b"}));

    testing::WriteTestFile(folder / "utf16.txt", std::string("\xFF\xFE"
                                                             "d\0f\0",
                                                             6));
    auto utf16 = ReadBackupLines(folder / "utf16.txt");
    ASSERT_FALSE(utf16);
    EXPECT_EQ(utf16.error().text,
              "The file is not 8-bit text: it begins with a UTF-16 byte-order mark.");
    testing::WriteTestFile(folder / "utf8.txt", "\xEF\xBB\xBF"
                                                "dfscmd");
    EXPECT_FALSE(ReadBackupLines(folder / "utf8.txt"));
    // A file that cannot be read is an answer too, with the system's reason and the file's name.
    auto missing = ReadBackupLines(folder / "missing.txt");
    ASSERT_FALSE(missing);
    EXPECT_NE(missing.error().text.find("missing.txt"), std::string::npos);
    EXPECT_NE(missing.error().code, 0u);
}

TEST(RestoreOrder, LinkByLinkFirstTargetsLeadingEvenForLinesThatAreNoBackupLines) {
    const std::vector<BackupRecord> records = ParseBackupRecords({
        "dfscmd /add \"\\\\d\\n\\l\" \"\\\\s2\\h\" \"\"",
        "dfscmd /map \"\\\\d\\n\\l\" \"\\\\s1\\h\" \"\"",
        "dfscmd /add broken",
        "not a line",
        "dfscmd /map \"\\\\d\\n\\m\" \"\\\\s1\\m\" \"\"",
        "dfscmd /add \"\\\\d\\N\\L\" \"\\\\s3\\h\" \"\"",
        "dfscmd /add \"\\\\d\\n\" \"\\\\r2\\n\" \"\"",
        "dfscmd /map \"\\\\d\\n\" \"\\\\r1\\n\" \"\"",
    });
    // The root's targets lead; a link's lines come together, whatever the case of its path.
    EXPECT_EQ(RestoreOrder(records), (std::vector<int>{7, 6, 1, 0, 5, 3, 4, 2}));
    EXPECT_FALSE(records[2].Parts());
    EXPECT_TRUE(records[2].FurtherTarget());
}

// Thousands of links, their further targets first in the file and in another order: each
// link's lines come together, first target leading, links in the order of their first targets.
TEST(RestoreOrder, ThousandsOfLinksComeLinkByLink) {
    constexpr int kLinks = 3000;
    std::vector<AnsiString> lines;
    for (int k = kLinks - 1; k >= 0; --k) // further targets, the links backwards
        lines.push_back("dfscmd /add \"\\\\d\\n\\L" + std::to_string(k) + "\" \"\\\\s2\\h\" \"\"");
    for (int k = 0; k < kLinks; ++k) // first targets, the path in another case
        lines.push_back("dfscmd /map \"\\\\D\\N\\l" + std::to_string(k) + "\" \"\\\\s1\\h\" \"\"");
    const std::vector<int> order = RestoreOrder(ParseBackupRecords(lines));
    ASSERT_EQ(order.size(), lines.size());
    for (int k = 0; k < kLinks; ++k) {
        EXPECT_EQ(order[2 * k], kLinks + k) << k;
        EXPECT_EQ(order[2 * k + 1], kLinks - 1 - k) << k;
    }
}

} // namespace
} // namespace kestrune

namespace kestrune {
namespace {

// A platform whose groups of changes may not be kept (a disk that fills up under the simulated
// domain's file), and that counts its runs of changes.
class GroupingNetDfs : public testing::ScriptedNetDfs {
  public:
    DfsStatus ChangeGroup(const std::function<void()>& work) override {
        work();
        ++groups;
        if (groupStatus != NERR_Success) return {groupStatus, "the disk is full"};
        return groupStatus;
    }
    void BeginChanges() override { ++begun; }
    DfsStatus EndChanges() override {
        ++ended;
        return NERR_Success;
    }
    // The first links' writes answer as linkStatuses says, the others are kept.
    DfsStatus ChangeLink(const std::function<void()>& work) override {
        const size_t calls = addCalls.size();
        work();
        linkCalls.push_back(addCalls.size() - calls);
        if (linkStatuses.empty()) return NERR_Success;
        NET_API_STATUS status = linkStatuses.front();
        linkStatuses.erase(linkStatuses.begin());
        if (status != NERR_Success && status != ERROR_RETRY) return {status, "refused"};
        return status;
    }
    NET_API_STATUS groupStatus = NERR_Success;
    int groups = 0, begun = 0, ended = 0;
    std::vector<NET_API_STATUS> linkStatuses;
    std::vector<size_t> linkCalls; // the adds made inside each ChangeLink
};

TEST_F(RestoreRunTest, ALinksLinesAreMadeTogetherAndAgainOneByOneWhenAnotherProgramMadeIt) {
    auto grouping = std::make_shared<GroupingNetDfs>();
    InstallNetDfsApi(grouping);
    bool cancel = false;
    RestoreRun run(dfs, log, cancel);
    AllLines lines({"dfscmd /map \"\\\\d\\n\\a\" \"\\\\s1\\a\" \"\"",
                    "dfscmd /map \"\\\\d\\n\\b\" \"\\\\s1\\b\" \"\"",
                    "dfscmd /add \"\\\\d\\n\\a\" \"\\\\s2\\a\" \"\"",
                    "dfscmd /add \"\\\\d\\n\\b\" \"\\\\s2\\b\" \"\""});
    // a: another program made the link meanwhile; b: the directory refused the link's write.
    grouping->linkStatuses = {ERROR_RETRY, ERROR_ACCESS_DENIED};
    RestoreRunResult result = run.Run(lines);
    // a's two lines together, then again each on its own; b's two together.
    EXPECT_EQ(grouping->linkCalls, (std::vector<size_t>{2, 2}));
    EXPECT_EQ(grouping->addCalls.size(), 6u);
    ASSERT_EQ(result.lines.size(), 4u);
    std::vector<int> order;
    for (const RestoredLine& line : result.lines)
        order.push_back(line.index);
    EXPECT_EQ(order, (std::vector<int>{0, 2, 1, 3}));
    for (int i : {0, 1})
        EXPECT_EQ(result.lines[i].outcome, RestoredLine::Outcome::Restored) << i;
    for (int i : {2, 3}) {
        EXPECT_EQ(result.lines[i].outcome, RestoredLine::Outcome::Failed) << i;
        EXPECT_EQ(result.lines[i].status, uint32_t(ERROR_ACCESS_DENIED));
        EXPECT_NE(result.lines[i].reason.find("(refused)"), std::string::npos);
    }
    // Each line is told once: what the calls said before they were made again is not shown.
    EXPECT_EQ(std::count(log.lines.begin(), log.lines.end(),
                         std::pair<std::string, uint32_t>("Restored", clLime)),
              2);
}

TEST_F(RestoreRunTest, LinesAreReportedRestoredOnlyWhenTheirGroupIsKept) {
    auto grouping = std::make_shared<GroupingNetDfs>();
    InstallNetDfsApi(grouping);
    bool cancel = false;
    RestoreRun run(dfs, log, cancel);
    std::vector<RestoredLine::Outcome> reported;
    run.lineDone = [&](const RestoredLine& line) { reported.push_back(line.outcome); };
    std::vector<std::string> text;
    for (int i = 0; i < 1200; ++i)
        text.push_back("dfscmd /map \"\\\\d\\n\\l" + std::to_string(i) + "\" \"\\\\s\\h\" \"\"");
    AllLines lines(text);

    RestoreRunResult result = run.Run(lines);
    ASSERT_EQ(result.lines.size(), 1200u);
    EXPECT_GE(grouping->groups, 3); // at most 500 lines a group
    EXPECT_EQ(std::count(reported.begin(), reported.end(), RestoredLine::Outcome::Restored), 1200);
    EXPECT_EQ(grouping->begun, 1);
    EXPECT_EQ(grouping->ended, 1);

    // A group that is not kept: each of its lines failed, the log saying so after its line.
    grouping->groupStatus = ERROR_DISK_FULL;
    reported.clear();
    result = run.Run(AllLines(std::vector<std::string>(text.begin(), text.begin() + 2)));
    ASSERT_EQ(result.lines.size(), 2u);
    for (const RestoredLine& line : result.lines) {
        EXPECT_EQ(line.outcome, RestoredLine::Outcome::Failed);
        EXPECT_EQ(line.status, uint32_t(ERROR_DISK_FULL));
        EXPECT_NE(line.reason.find("(the disk is full)"), std::string::npos) << line.reason;
    }
    EXPECT_EQ(reported, std::vector<RestoredLine::Outcome>(2, RestoredLine::Outcome::Failed));
    std::vector<std::string> shown;
    for (const auto& [text, color] : log.lines)
        if (text.starts_with("Restor") || text.starts_with("Failed")) shown.push_back(text);
    ASSERT_EQ(shown.size(), 4u);
    EXPECT_TRUE(shown[0].starts_with("Restoring \\\\d\\n\\l0")) << shown[0];
    EXPECT_TRUE(shown[1].starts_with("Failed 112: ")) << shown[1];
    EXPECT_EQ(grouping->ended, 2); // marked changed all the same: what was kept stays
}

TEST_F(RestoreRunTest, ACancelledRunStillEndsItsRunOfChanges) {
    auto grouping = std::make_shared<GroupingNetDfs>();
    InstallNetDfsApi(grouping);
    bool cancel = false;
    RestoreRun run(dfs, log, cancel);
    // Cancel is pressed while the third line is on its way.
    run.processMessages = [&] {
        if (grouping->addCalls.size() == 2) cancel = true;
    };
    std::vector<std::string> text;
    for (int i = 0; i < 10; ++i)
        text.push_back("dfscmd /map \"\\\\d\\n\\l" + std::to_string(i) + "\" \"\\\\s\\h\" \"\"");
    RestoreRunResult result = run.Run(AllLines(text));
    EXPECT_TRUE(result.cancelled);
    EXPECT_EQ(result.lines.size(), 3u);
    EXPECT_EQ(grouping->ended, 1);
}

} // namespace
} // namespace kestrune
