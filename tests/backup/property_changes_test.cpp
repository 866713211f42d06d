#include "backup/property_changes.h"

#include "backup/restore_properties.h"
#include "backup/restore_run.h"
#include "base/file_io.h"
#include "base/win_errors.h"
#include "support/backup_pair.h"
#include "support/scoped_backends.h"
#include "support/scripted_netdfs.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

namespace kestrune {
namespace {

EntryProperties Link() {
    return {"\\\\d\\N\\L",
            std::nullopt,
            true,
            1800,
            0,
            "",
            {{"\\\\S1\\A", true, 0, 0}, {"\\\\S2\\B", true, 0, 0}}};
}

std::vector<std::string> Described(const std::vector<PropertyChange>& changes) {
    std::vector<std::string> lines;
    for (const PropertyChange& c : changes)
        lines.push_back(c.target + "|" + c.property + "|" + c.now + "|" + c.recorded);
    return lines;
}

TEST(ChangedProperties, NamesEveryPropertyThatDiffersWithBothValues) {
    EntryProperties now = Link(), recorded = Link();
    EXPECT_TRUE(ChangedProperties(now, recorded).empty());

    recorded.online = false;
    recorded.timeToLiveSec = 300;
    recorded.flags = DFS_PROPERTY_FLAG_TARGET_FAILBACK;
    now.flags = DFS_PROPERTY_FLAG_INSITE_REFERRALS;
    recorded.viewSddl = "D:(A;;FA;;;BA)";
    recorded.description = "a comment is the backup line's to tell";
    recorded.targets[1] = {"\\\\s2\\b", false, 1, 7};       // the same target, case aside
    recorded.targets.push_back({"\\\\S3\\C", false, 4, 0}); // not live: no property change
    EXPECT_EQ(Described(ChangedProperties(now, recorded)),
              (std::vector<std::string>{
                  "|State|Online|Offline", "|TimeToLiveSec|1800|300",
                  "|EnableInsiteReferrals|true|false", "|EnableTargetFailback|false|true",
                  "|ViewPermissions|none|D:(A;;FA;;;BA)", "\\\\s2\\b|State|Online|Offline",
                  "\\\\s2\\b|ReferralPriorityClass|SiteCostNormal|GlobalHigh",
                  "\\\\s2\\b|ReferralPriorityRank|0|7"}));
}

TEST(ChangedProperties, ViewPermissionsCompareByMeaningNotBySpelling) {
    EntryProperties now = Link(), recorded = Link();
    const DomainSids example{"S-1-5-21-1-2-3", "S-1-5-21-1-2-3"};
    now.viewSddl = "D:P(A;;0x1200a9;;;S-1-5-32-545)(A;;0x10000000;;;S-1-5-21-1-2-3-512)";
    recorded.viewSddl = "D:P(A;;FRFX;;;BU)(A;;GA;;;DA)";
    EXPECT_TRUE(ChangedProperties(now, recorded, example).empty());
    // Without the domain's SID, DA cannot be told equal: it stays a difference.
    EXPECT_EQ(ChangedProperties(now, recorded).size(), 1u);
    // The same spelling and another meaning: a right, a SID, the protection.
    for (const char* other : {"D:P(A;;FR;;;BU)(A;;GA;;;DA)", "D:P(A;;FRFX;;;BA)(A;;GA;;;DA)",
                              "D:(A;;FRFX;;;BU)(A;;GA;;;DA)"}) {
        recorded.viewSddl = other;
        EXPECT_EQ(Described(ChangedProperties(now, recorded, example)),
                  std::vector<std::string>{"|ViewPermissions|" + now.viewSddl + "|" + other});
    }
}

TEST(ChangedProperties, ALineTakesItsTargetsChangesAndItsEntrysWhenItStandsForIt) {
    EntryProperties recorded = Link();
    recorded.timeToLiveSec = 60;
    recorded.targets[0].online = false;
    recorded.targets[1].priorityRank = 2;
    const std::vector<PropertyChange> all = ChangedProperties(Link(), recorded);
    EXPECT_EQ(Described(ChangesOfLine(all, {"s2", "B"}, false)),
              (std::vector<std::string>{"\\\\S2\\B|ReferralPriorityRank|0|2"}));
    EXPECT_EQ(
        Described(ChangesOfLine(all, {"S1", "a"}, true)),
        (std::vector<std::string>{"|TimeToLiveSec|1800|60", "\\\\S1\\A|State|Online|Offline"}));
    EXPECT_EQ(DescribeChanges(ChangesOfLine(all, {"S1", "A"}, true)),
              "TimeToLiveSec 60, State Offline");
    // A new link has Windows' defaults.
    EXPECT_EQ(Described(ChangedProperties(NewLinkProperties("\\\\d\\N\\L", {"S1", "A"}), Link())),
              std::vector<std::string>());
}

// A restore sets what it creates; a link or target already there keeps its own properties
// unless --properties asks for them (existing).
TEST(ChangedProperties, ARestoreSetsWhatItCreatesAndWhatIsThereOnlyWhenAsked) {
    EntryProperties recorded = Link();
    recorded.timeToLiveSec = 60;
    recorded.targets[0].priorityRank = 3;
    recorded.targets[1].online = false;
    EntryProperties live = Link(); // only \\S1\A is there, with a TTL of its own
    live.timeToLiveSec = 900;
    live.targets.pop_back();
    const TargetParts s1{"S1", "A"}, s2{"S2", "B"};
    auto changes = [&](const EntryProperties* now, const TargetParts& target, bool targetIsLive,
                       bool entryLine, bool existing) {
        return Described(
            ChangesOfRestore(recorded, now, target, targetIsLive, entryLine, existing));
    };
    using Lines = std::vector<std::string>;
    // A link the line creates: its entry and its target against Windows' defaults.
    EXPECT_EQ(changes(nullptr, s1, false, true, false),
              (Lines{"|TimeToLiveSec|1800|60", "\\\\S1\\A|ReferralPriorityRank|0|3"}));
    // A target added to a link already there: the target only, then with --properties the
    // link's own against its live values.
    EXPECT_EQ(changes(&live, s2, false, true, false), (Lines{"\\\\S2\\B|State|Online|Offline"}));
    EXPECT_EQ(changes(&live, s2, false, true, true),
              (Lines{"|TimeToLiveSec|900|60", "\\\\S2\\B|State|Online|Offline"}));
    // A target already there: nothing, or with --properties what differs from the live values.
    EXPECT_EQ(changes(&live, s1, true, true, false), Lines{});
    EXPECT_EQ(changes(&live, s1, true, true, true),
              (Lines{"|TimeToLiveSec|900|60", "\\\\S1\\A|ReferralPriorityRank|0|3"}));
    // A line for a further target never sets its entry's.
    EXPECT_EQ(changes(nullptr, s2, false, false, true), (Lines{"\\\\S2\\B|State|Online|Offline"}));
    // Live values unknown: nothing is set on a target that is there.
    EXPECT_EQ(changes(nullptr, s1, true, true, true), Lines{});
}

TEST(ChangedProperties, AnExistingTargetWhosePropertyIsRefusedFailsItsLine) {
    auto fake = std::make_shared<testing::ScriptedNetDfs>(); // no NetDfsSetInfo of its own
    fake->addStatus = ERROR_FILE_EXISTS;
    testing::ScopedNetDfsApi installed(fake);
    testing::TempFolder folder;
    const std::filesystem::path txt = folder.path() / "N.txt";
    const std::string text = "dfscmd /map \"\\\\d\\N\\L\" \"\\\\S1\\A\" \"\"\r\n";
    NamespaceProperties p;
    p.root = {"\\\\d\\N", std::nullopt, true, 300, 0, "", {}};
    p.links = {Link()};
    p.links[0].timeToLiveSec = 60;
    testing::WriteBackupPair(txt, text, p);

    TOXLDFS dfs;
    SilentRestoreLog log;
    bool cancel = false;
    RestoreRun run(dfs, log, cancel);
    run.backupFile = txt;
    run.targetIsLive = [](const BackupLineParts&) { return true; };
    const EntryProperties live = Link();
    run.liveProperties = [&live](const AnsiString&) { return &live; };
    run.setExistingProperties = true;
    RestoreRunResult result =
        run.Run(AllLines(std::vector<AnsiString>{text.substr(0, text.size() - 2)}));
    ASSERT_EQ(result.lines.size(), 1u);
    EXPECT_EQ(result.lines[0].outcome, RestoredLine::Outcome::Failed);
    EXPECT_EQ(result.lines[0].status, 50u);
    EXPECT_NE(result.lines[0].reason.find("(the target was there; TimeToLiveSec was not set)"),
              std::string::npos)
        << result.lines[0].reason;
}

TEST(RecordedProperties, EntriesAreFoundWithoutRegardToCaseInEveryScript) {
    NamespaceProperties p;
    p.root.path = "\\\\d\\N";
    p.links.push_back(Link());
    p.links.back().path = "\\\\d\\N\\\xC3\x89"
                          "cole"; // UTF-8, with a capital E acute
    const RecordedProperties recorded(p);
    EXPECT_EQ(recorded.Entry("\\\\D\\n"), recorded.Entry("\\\\d\\N"));
    EXPECT_NE(recorded.Entry("\\\\d\\N"), nullptr);
    // The same link with a small letter, as a hand-edited backup line may hold it.
    EXPECT_EQ(recorded.Entry(WideToAnsi(u"\\\\d\\n\\\u00E9COLE")),
              recorded.Entry(WideToAnsi(u"\\\\d\\N\\\u00C9cole")));
    EXPECT_NE(recorded.Entry(WideToAnsi(u"\\\\d\\N\\\u00C9cole")), nullptr);
    EXPECT_EQ(recorded.Entry("\\\\d\\N\\other"), nullptr);

    // Two links of one path, as a hand-edited file may hold them: the first recorded is the one.
    p.links.push_back(Link());
    p.links.back().path = "\\\\d\\N\\other";
    p.links.back().description = "first";
    p.links.push_back(p.links.back());
    p.links.back().path = "\\\\d\\N\\OTHER";
    p.links.back().description = "second";
    const RecordedProperties twice(p);
    ASSERT_NE(twice.Entry("\\\\d\\n\\Other"), nullptr);
    EXPECT_EQ(twice.Entry("\\\\d\\n\\Other")->description, "first");
}

} // namespace
} // namespace kestrune
