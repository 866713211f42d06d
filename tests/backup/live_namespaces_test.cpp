#include "backup/live_namespaces.h"
#include "backup/namespace_compare.h"
#include "backup/restore_plan.h"
#include "base/win_errors.h"
#include "support/scripted_netdfs.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace kestrune {
namespace {

TEST(LiveNamespaces, TheNamespaceOfAnEntryPath) {
    EXPECT_EQ(NamespaceOfEntry("\\\\d.test\\Public\\a\\b"), "\\\\d.test\\Public");
    EXPECT_EQ(NamespaceOfEntry("\\\\d.test\\Public"), "\\\\d.test\\Public");
    for (const char* none : {"", "\\\\d.test", "\\\\d.test\\", "\\\\\\Public", "\\\\d\\\\x",
                             "d.test\\Public", "\\d.test\\Public"})
        EXPECT_EQ(NamespaceOfEntry(none), "") << none;
}

TEST(LiveNamespaces, PathsAndTargetsMatchWithoutRegardToCaseAndLinksMayNotNest) {
    LiveNamespaces live;
    live.Add("\\\\d\\N", "DC1\\N", "root");
    live.Add("\\\\d\\N\\Data\\Projects", "FS1\\Projects", "");
    // Code page 1252: É and é are one letter in two cases.
    live.Add("\\\\d\\N\\R\xC9sum\xC9s", "FS1\\R", "");
    live.Add("\\\\d\\N\\r\xE9sum\xE9s", "fs1\\r", "again"); // the same target of the same link
    live.Add("\\\\d\\N\\r\xE9sum\xE9s", "FS2\\R", "");
    ASSERT_EQ(live.Entries().size(), 3u);
    EXPECT_EQ(live.TargetCount(), 4);
    EXPECT_EQ(live.Find("\\\\D\\n\\R\xE9SUM\xE9S")->targets,
              (std::vector<AnsiString>{"FS1\\R", "FS2\\R"}));
    EXPECT_EQ(live.Find("\\\\d\\N\\R\xC9sum\xC9s")->comment, "");
    EXPECT_TRUE(live.HasTarget("\\\\D\\N\\DATA\\PROJECTS", {"fs1", "projects"}));
    EXPECT_FALSE(live.HasTarget("\\\\d\\N\\Data\\Projects", {"FS1", "Projects\\sub"}));

    auto overlapping = [&](const char* path) {
        const LiveEntry* other = live.Overlapping(path);
        return other ? other->path : AnsiString("none");
    };
    EXPECT_EQ(overlapping("\\\\d\\N\\DATA"), "\\\\d\\N\\Data\\Projects"); // below it
    EXPECT_EQ(overlapping("\\\\d\\N\\Data\\Projects\\2026"), "\\\\d\\N\\Data\\Projects"); // above
    EXPECT_EQ(overlapping("\\\\d\\N\\Data\\Projects"), "none"); // the link itself
    EXPECT_EQ(overlapping("\\\\d\\N\\Data\\Templates"), "none");
    EXPECT_EQ(overlapping("\\\\d\\N\\Dat"), "none"); // a prefix of a name is no parent
    EXPECT_EQ(overlapping("\\\\d\\N"), "none");      // the root holds every link
    EXPECT_EQ(overlapping("\\\\d\\Other\\Data"), "none");
}

class LiveReadTest : public ::testing::Test {
  protected:
    void SetUp() override { InstallNetDfsApi(fake); }
    void TearDown() override { InstallNetDfsApi(nullptr); }
    std::shared_ptr<testing::ScriptedNetDfs> fake = std::make_shared<testing::ScriptedNetDfs>();
    TOXLDFS dfs;
};

TEST_F(LiveReadTest, EachNamespaceIsReadOnceAndAFailedReadingCountsAsNone) {
    fake->answers = {
        {0,
         {},
         {{u"\\\\d\\A", u"root", {{u"DC1", u"A"}}},
          {u"\\\\d\\A\\x", std::nullopt, {{u"FS1", u"x"}, {u"FS2", u"x"}}}}},
        {ERROR_NO_MORE_ITEMS, {}, {}},
        // B: one page, then the connection is gone.
        {0, {}, {{u"\\\\d\\B\\y", u"", {{u"FS1", u"y"}}}}},
        {RPC_S_SERVER_UNAVAILABLE, {}, {}},
    };
    bool ownHandlerCalled = false;
    dfs.ONDFSEnum2 = [&](TOXLDFS*, AnsiString, AnsiString, AnsiString, int32_t, bool&) {
        ownHandlerCalled = true;
    };
    LiveNamespaces live;
    live.ReadNamespacesOf(
        dfs, ParseBackupRecords({"dfscmd /map \"\\\\d\\A\\x\" \"\\\\FS1\\x\" \"\"",
                                 "dfscmd /add \"\\\\D\\a\\x\" \"\\\\FS2\\x\" \"\"", "not a line",
                                 "dfscmd /map \"\\\\d\\B\\y\" \"\\\\FS1\\y\" \"\""}));
    ASSERT_EQ(fake->enumCalls.size(), 4u); // A once, B once, each to its end
    EXPECT_EQ(fake->enumCalls[0].name, u"\\\\d\\A");
    EXPECT_EQ(live.Namespaces(), (std::vector<AnsiString>{"\\\\d\\A"}));
    EXPECT_EQ(live.TargetCount(), 3);
    EXPECT_EQ(live.Find("\\\\d\\A")->comment, "root");
    ASSERT_EQ(live.Failures().size(), 1u);
    EXPECT_EQ(live.Failures()[0].status, RPC_S_SERVER_UNAVAILABLE);
    EXPECT_EQ(live.Failures()[0].error, "1722: The RPC server is unavailable.");
    EXPECT_EQ(live.FailureFor("\\\\d\\b\\z"), &live.Failures()[0]);
    EXPECT_EQ(live.FailureFor("\\\\d\\A\\x"), nullptr);
    EXPECT_EQ(live.Find("\\\\d\\B\\y"), nullptr); // half a namespace would mislead
    // The component's own handler is back.
    bool abort = false;
    dfs.ONDFSEnum2(&dfs, "", "", "", 0, abort);
    EXPECT_TRUE(ownHandlerCalled);
}

// A Windows 2000 mode namespace would fail a restore only on a platform that does not change
// such namespaces; on one that does (netapi32), its lines are planned as any others.
TEST_F(LiveReadTest, TheModeDecidesTheDryRunOnlyWhereThePlatformRefusesIt) {
    const std::vector<BackupRecord> lines =
        ParseBackupRecords({"dfscmd /map \"\\\\d\\Old\\x\" \"\\\\FS1\\x\" \"\"",
                            "dfscmd /map \"\\\\d\\Old\" \"\\\\DC1\\Old\" \"\""});
    auto plan = [&](uint32_t major, bool changes) {
        fake->answers = {{0, {}, {{u"\\\\d\\Old", std::nullopt, {{u"DC1", u"Old"}}}}},
                         {ERROR_NO_MORE_ITEMS, {}, {}}};
        fake->enumCalls.clear();
        fake->namespaceMajorVersion = major;
        fake->changesLegacyNamespaces = changes;
        LiveNamespaces live;
        live.ReadNamespacesOf(dfs, lines);
        std::vector<PlannedLine> planned = PlanRestore(lines, live);
        std::sort(planned.begin(), planned.end(),
                  [](const PlannedLine& a, const PlannedLine& b) { return a.index < b.index; });
        return planned;
    };
    std::vector<PlannedLine> refused = plan(1, false);
    ASSERT_EQ(refused.size(), 2u);
    EXPECT_EQ(refused[0].action, PlannedLine::Action::WouldFail);
    EXPECT_EQ(refused[0].status, 50u);
    EXPECT_NE(refused[0].reason.find("(\\\\d\\Old is a Windows 2000 mode namespace, which this "
                                     "platform does not change; restore its backup into a "
                                     "Windows Server 2008 mode namespace with --as \\\\d\\<new "
                                     "name>)"),
              std::string::npos)
        << refused[0].reason;
    // What is there already stays so.
    EXPECT_EQ(refused[1].action, PlannedLine::Action::AlreadyThere);
    EXPECT_EQ(plan(1, true)[0].action, PlannedLine::Action::AddLink);
    EXPECT_EQ(plan(2, false)[0].action, PlannedLine::Action::AddLink);
    // A platform that cannot tell the mode has none it refuses.
    EXPECT_EQ(plan(0, false)[0].action, PlannedLine::Action::AddLink);
}

TEST(NamespaceComparison, EachTargetCountsOnceAndTheOrderIsStable) {
    LiveNamespaces live;
    live.Add("\\\\d\\N", "DC1\\N", "");
    live.Add("\\\\d\\N\\b", "FS1\\b", "now");
    live.Add("\\\\d\\N\\b", "FS2\\b", "now");
    live.Add("\\\\d\\N\\A", "FS1\\a", "");
    const std::vector<AnsiString> lines = {
        "dfscmd /map \"\\\\d\\N\\b\" \"\\\\FS1\\b\" \"then\"",
        "dfscmd /map \"\\\\d\\N\\b\" \"\\\\fs1\\B\" \"then\"", // the same target again
        "dfscmd /map \"\\\\d\\N\\c\" \"\\\\FS1\\c\" \"\"",
        "dfscmd /map \"\\\\d\\N\" \"\\\\DC1\\N\" \"\"",
        "",
        "junk"};
    NamespaceComparison c = CompareWithLive(ParseBackupRecords(lines), live);
    EXPECT_EQ(c.fileTargets, 3);
    EXPECT_EQ(c.notBackupLines, (std::vector<int>{5}));
    using Kind = NamespaceDifference::Kind;
    std::vector<std::pair<Kind, AnsiString>> found;
    for (const NamespaceDifference& d : c.differences)
        found.push_back({d.kind, d.line});
    EXPECT_EQ(found,
              (std::vector<std::pair<Kind, AnsiString>>{
                  {Kind::OnlyLive, "dfscmd /map \"\\\\d\\N\\A\" \"\\\\FS1\\a\" \"\""},
                  {Kind::CommentChanged, "dfscmd /map \"\\\\d\\N\\b\" \"\\\\FS1\\b\" \"now\""},
                  {Kind::OnlyLive, "dfscmd /add \"\\\\d\\N\\b\" \"\\\\FS2\\b\" \"now\""},
                  {Kind::OnlyInFile, lines[2]}}));
    EXPECT_EQ(c.differences[1].fileComment, "then");
    EXPECT_EQ(c.Count(Kind::OnlyLive), 2);
}

TEST(NamespaceComparison, ChangedLinesAreCountedByPathAndTargetWithoutRegardToCase) {
    const std::vector<AnsiString> before = {"dfscmd /add \"\\\\d\\N\\b\" \"\\\\FS2\\b\" \"then\"",
                                            "dfscmd /map \"\\\\d\\N\\b\" \"\\\\FS1\\b\" \"then\"",
                                            "dfscmd /map \"\\\\d\\N\\gone\" \"\\\\FS1\\gone\" \"\"",
                                            "dfscmd /map \"\\\\d\\N\\same\" \"\\\\FS1\\same\" \"\"",
                                            "hand-written note",
                                            ""};
    const std::vector<AnsiString> after = {
        // The comment of both targets of b: two lines changed.
        "dfscmd /add \"\\\\d\\N\\b\" \"\\\\FS2\\b\" \"now\"",
        "dfscmd /map \"\\\\d\\N\\b\" \"\\\\FS1\\b\" \"now\"",
        "dfscmd /map \"\\\\d\\N\\new\" \"\\\\FS1\\new\" \"\"",
        "dfscmd /map \"\\\\d\\N\\new\" \"\\\\fs1\\NEW\" \"\"", // the same target again
        // Matched in spite of case; its text changed all the same.
        "dfscmd /map \"\\\\d\\N\\SAME\" \"\\\\fs1\\same\" \"\"", "   "};
    EXPECT_EQ(CountChangedLines(before, after), (LineChanges{1, 2, 3}));
    EXPECT_EQ(CountChangedLines(after, before), (LineChanges{2, 1, 3}));
    EXPECT_EQ(CountChangedLines(before, before), LineChanges{});
    EXPECT_EQ(CountChangedLines({}, before), (LineChanges{5, 0, 0}));
}

TEST(RestorePlan, LinesSeeWhatTheLinesBeforeThemWouldDo) {
    LiveNamespaces live;
    live.Add("\\\\d\\N", "DC1\\N", "");
    const std::vector<AnsiString> lines = {
        "dfscmd /add \"\\\\d\\N\\new\" \"\\\\FS2\\new\" \"\"",
        "dfscmd /map \"\\\\d\\N\\new\" \"\\\\FS1\\new\" \"\"",
        "dfscmd /map \"\\\\d\\N\\new\" \"\\\\FS1\\new\" \"\"",
        "dfscmd /map \"\\\\d\\N\\new\\below\" \"\\\\FS1\\below\" \"\"",
        "dfscmd /map \"\\\\d\\N\\x\" \"\\\\" + std::string(254, 's') + "\\x\" \"\""};
    std::vector<PlannedLine> plan = PlanRestore(ParseBackupRecords(lines), live);
    std::vector<std::pair<int, PlannedLine::Action>> got;
    for (const PlannedLine& p : plan)
        got.push_back({p.index, p.action});
    using A = PlannedLine::Action;
    // A link's lines together, its first target leading.
    EXPECT_EQ(got, (std::vector<std::pair<int, A>>{{1, A::AddLink},
                                                   {2, A::AlreadyThere},
                                                   {0, A::AddTarget},
                                                   {3, A::WouldFail},
                                                   {4, A::WouldFail}}));
    EXPECT_EQ(plan[3].status, ERROR_FILE_EXISTS);
    EXPECT_NE(plan[3].reason.find("overlaps"), std::string::npos) << plan[3].reason;
    // The server name goes to the platform with its two backslashes.
    EXPECT_EQ(plan[4].reason, "87: The parameter is incorrect. (the server name is longer than "
                              "255 characters)");
    EXPECT_EQ(live.Find("\\\\d\\N\\new")->targets,
              (std::vector<AnsiString>{"FS1\\new", "FS2\\new"}));
}

} // namespace
} // namespace kestrune
