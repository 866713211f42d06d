#include "backup/backup_history.h"
#include "backup/live_namespaces.h"
#include "backup/propagation_note.h"
#include "backup/properties_file.h"
#include "backup/restore_run.h"
#include "backup/text_restore_log.h"
#include "base/file_io.h"
#include "netdfs/netdfs.h"
#include "support/backup_pair.h"
#include "support/sample_domain_cli.h"
#include "support/test_files.h"

#include <regex>

namespace kestrune {
namespace {

using testing::Lines;

class RestorePropertiesCommandTest : public testing::SampleDomainCli {
  protected:
    // The Policies link back online with a 60-second referral time, the Software link's
    // mirror online and first of its site.
    void ChangeProperties() {
        DFS_INFO_101 online{DFS_VOLUME_STATE_ONLINE};
        ASSERT_EQ(Set(u"\\\\example.com\\Public\\Policies", nullptr, nullptr, 101, &online), 0u);
        DFS_INFO_102 ttl{60};
        ASSERT_EQ(Set(u"\\\\example.com\\Public\\Policies", nullptr, nullptr, 102, &ttl), 0u);
        DFS_INFO_104 first{{DfsSiteCostHighPriorityClass, 0, 0}};
        ASSERT_EQ(
            Set(u"\\\\example.com\\Public\\Software", u"FS3", u"Software\\Mirror", 104, &first),
            0u);
    }
    static NET_API_STATUS Set(const char16_t* entry, const char16_t* server, const char16_t* share,
                              uint32_t level, const void* info) {
        return NetDfsSetInfo(entry, server, share, level, static_cast<const uint8_t*>(info));
    }
};

const std::string kPolicies =
    R"(dfscmd /map "\\example.com\Public\Policies" "\\FS1\Policies" "Read "before" you sign")";
const std::string kMirror =
    R"(dfscmd /add "\\example.com\Public\Software" "\\FS3\Software\Mirror" "Installers, "current" and older")";

std::vector<std::string> Without(const std::vector<std::string>& lines, const std::string& head) {
    std::vector<std::string> kept;
    for (const std::string& line : lines)
        if (!line.starts_with(head)) kept.push_back(line);
    return kept;
}

TEST_F(RestorePropertiesCommandTest, ExistingLinksGetTheirRecordedPropertiesOnlyWhenAsked) {
    const std::string file = (BackUp("b") / "Public.txt").string();
    ChangeProperties();
    const std::string domainBefore = testing::ReadTestFile(domainFile);

    // Without --properties, neither the dry run nor the restore touches a link that is there.
    EXPECT_EQ(Run({"--restore", file, "--dry-run"}), kExitSuccess);
    EXPECT_EQ(Without(Lines(out.str()), "already there: "), std::vector<std::string>());
    EXPECT_EQ(Run({"--restore", file}), kExitSuccess);
    EXPECT_EQ(Without(Lines(out.str()), "already there: "), std::vector<std::string>());
    EXPECT_EQ(Run({"--compare", file}), kExitFailure);

    EXPECT_EQ(Run({"--restore", file, "--dry-run", "--properties"}), kExitSuccess);
    EXPECT_EQ(Without(Lines(out.str()), "already there: "),
              (std::vector<std::string>{
                  "would set State Offline (now Online): " + kPolicies,
                  "would set TimeToLiveSec 600 (now 60): " + kPolicies,
                  "would set ReferralPriorityClass of the target SiteCostLow (now SiteCostHigh): " +
                      kMirror,
                  "would set ReferralPriorityRank of the target 3 (now 0): " + kMirror}));
    EXPECT_EQ(err.str(), "kestrune: dry run, nothing was changed: 0 links and 0 targets to add, "
                         "8 already there, 0 would fail, 4 properties to set\n");
    EXPECT_EQ(testing::ReadTestFile(domainFile), domainBefore);

    EXPECT_EQ(Run({"--restore", file, "--properties"}), kExitSuccess) << err.str();
    EXPECT_EQ(Without(Lines(out.str()), "already there: "),
              (std::vector<std::string>{
                  "set properties (State Offline, TimeToLiveSec 600): " + kPolicies,
                  "set properties (ReferralPriorityClass SiteCostLow, ReferralPriorityRank 3): " +
                      kMirror}));
    EXPECT_NE(err.str().find("0 restored, 6 already there, 2 with properties set, 0 failed"),
              std::string::npos)
        << err.str();
    EXPECT_EQ(Run({"--compare", file}), kExitSuccess) << out.str();

    // Everything as recorded: nothing more to set.
    EXPECT_EQ(Run({"--restore", file, "--properties"}), kExitSuccess);
    EXPECT_EQ(Without(Lines(out.str()), "already there: "), std::vector<std::string>());
}

// The propagation note names every namespace a restore changed: properties set on links that
// were there count as much as links added; lines that found everything as recorded do not.
TEST_F(RestorePropertiesCommandTest, SettingOnlyPropertiesChangesTheNamespace) {
    const std::filesystem::path file = BackUp("b") / "Public.txt";
    std::vector<AnsiString> lines;
    for (const std::string& line : Lines(testing::ReadTestFile(file)))
        lines.push_back(line.substr(0, line.find('\r')));
    const std::vector<BackupRecord> records = ParseBackupRecords(lines);
    auto restore = [&] {
        TOXLDFS dfs;
        LiveNamespaces live;
        live.withProperties = true;
        live.ReadNamespacesOf(dfs, records);
        TextRestoreLog log;
        const bool cancel = false;
        RestoreRun run(dfs, log, cancel);
        run.backupFile = file;
        run.targetIsLive = [&live](const BackupLineParts& line) {
            return live.HasTarget(line.entryPath, line.target);
        };
        run.liveProperties = [&live](const AnsiString& path) { return live.PropertiesOf(path); };
        run.setExistingProperties = true;
        return run.Run(AllLines(std::span<const BackupRecord>(records)));
    };
    ChangeProperties();
    RestoreRunResult result = restore();
    std::vector<std::string> changed;
    for (const RestoredLine& line : result.lines)
        if (line.changedNamespace) changed.push_back(records[line.index].Text());
    EXPECT_EQ(changed, (std::vector<std::string>{kPolicies, kMirror}));
    EXPECT_EQ(result.changedNamespaces, std::vector<AnsiString>{"\\\\example.com\\Public"});
    EXPECT_NE(PropagationNote(result.changedNamespaces)
                  .find("dfsutil root forcesync \\\\example.com\\Public (or restart"),
              std::string::npos);
    // Read through the platform, the namespace's root servers are named.
    TOXLDFS dfs;
    EXPECT_NE(PropagationNote(result.changedNamespaces, &dfs)
                  .find("run on the namespace servers: on DC1, DC2: dfsutil root forcesync "
                        "\\\\example.com\\Public (or restart"),
              std::string::npos)
        << PropagationNote(result.changedNamespaces, &dfs);
    // Run again, nothing is left to set: nothing to propagate.
    EXPECT_EQ(restore().changedNamespaces, std::vector<AnsiString>());
}

TEST_F(RestorePropertiesCommandTest, PropertiesOfAnotherVersionOfTheFileAreNeverSet) {
    const std::filesystem::path file = BackUp("b") / "Public.txt";
    ChangeProperties();
    testing::WriteTestFile(file, testing::ReadTestFile(file) + "\r\n");
    const std::string domainBefore = testing::ReadTestFile(domainFile);
    EXPECT_EQ(Run({"--restore", file.string(), "--dry-run", "--properties"}), kExitSuccess);
    EXPECT_EQ(Without(Lines(out.str()), "already there: "), std::vector<std::string>());
    EXPECT_NE(err.str().find("kestrune: warning: the properties file belongs to another version "
                             "of the backup file"),
              std::string::npos)
        << err.str();
    EXPECT_EQ(Run({"--restore", file.string(), "--properties"}), kExitSuccess);
    EXPECT_EQ(Without(Lines(out.str()), "already there: "), std::vector<std::string>());
    EXPECT_EQ(testing::ReadTestFile(domainFile), domainBefore);
}

// A line that adds a target to a link already there gives the target its recorded properties
// and leaves the link's own alone, unless --properties asks for them.
TEST_F(RestorePropertiesCommandTest, ATargetAddedToALinkThereLeavesTheLinksOwnAlone) {
    const std::filesystem::path txt = folder / "Public.txt";
    const std::string line =
        R"(dfscmd /map "\\example.com\Public\Software" "\\FS9\Software" "Installers")";
    NamespaceProperties p;
    p.root = {"\\\\example.com\\Public", std::nullopt, true, 300, 0, "", {}};
    p.links = {{"\\\\example.com\\Public\\Software",
                std::nullopt,
                true,
                60,
                0,
                "",
                {{"\\\\FS9\\Software", true, 0, 5}}}};
    testing::WriteBackupPair(txt, line + "\r\n", p);
    auto live = [] {
        uint8_t* buffer = nullptr;
        EXPECT_EQ(NetDfsGetInfo(u"\\\\example.com\\Public\\Software", nullptr, nullptr, 9, &buffer),
                  0u);
        const auto* info = reinterpret_cast<const DFS_INFO_9*>(buffer);
        std::string said = "TTL " + std::to_string(info->Timeout);
        for (uint32_t i = 0; i < info->NumberOfStorages; ++i)
            said += " " + WideToUtf8(info->Storage[i].ServerName) + ":" +
                    std::to_string(info->Storage[i].TargetPriority.TargetPriorityRank);
        NetApiBufferFree(buffer);
        return said;
    };
    const std::string before = live();
    ASSERT_EQ(before.rfind("TTL 1800 ", 0), 0u) << before;

    EXPECT_EQ(Run({"--restore", txt.string(), "--dry-run"}), kExitSuccess);
    EXPECT_EQ(Lines(out.str()),
              (std::vector<std::string>{
                  "would add a target: " + line,
                  "would set ReferralPriorityRank of the target 5 (default 0): " + line}));
    EXPECT_EQ(Run({"--restore", txt.string(), "--dry-run", "--properties"}), kExitSuccess);
    EXPECT_EQ(Lines(out.str())[1], "would set TimeToLiveSec 60 (now 1800): " + line);

    EXPECT_EQ(Run({"--restore", txt.string()}), kExitSuccess) << err.str();
    EXPECT_EQ(live(), before + " FS9:5");
    EXPECT_EQ(Run({"--restore", txt.string(), "--properties"}), kExitSuccess) << err.str();
    EXPECT_EQ(Lines(out.str()),
              std::vector<std::string>{
                  "set properties (TimeToLiveSec 60, EnableInsiteReferrals false): " + line});
    EXPECT_EQ(live(), "TTL 60" + before.substr(8) + " FS9:5");
}

// A comment that code page 1252 cannot hold in full: the backup line has "Café ??", the
// properties file "Café ΩΩ".
TEST_F(RestorePropertiesCommandTest, ACommentComesBackInFullFromThePropertiesFile) {
    const std::string full = "Caf\xC3\xA9 \xCE\xA9\xCE\xA9", lossy = "Caf\xC3\xA9 ??"; // UTF-8
    const std::string line =
        "dfscmd /map \"\\\\example.com\\Public\\Policies\" \"\\\\FS1\\Policies\" \"Caf\xE9 ??\"";
    auto stored = [&] {
        std::vector<store::Entry> found;
        EXPECT_TRUE(store::SearchAll(*directory,
                                     {LinkDn("Public", "/Policies"),
                                      store::Scope::Base,
                                      "(objectClass=*)",
                                      {"msDFS-Commentv2"},
                                      0},
                                     found)
                        .ok());
        return found.empty() ? std::string() : found.front().First("msDFS-Commentv2");
    };
    SetComment("Public", "/Policies", full);
    const std::filesystem::path txt = BackUp("b") / "Public.txt";
    ASSERT_NE(testing::ReadTestFile(txt).find(line + "\r\n"), std::string::npos);
    DeleteLink("Public", "/Policies");
    EXPECT_EQ(Run({"--restore", txt.string()}), kExitSuccess) << err.str();
    EXPECT_EQ(stored(), full) << out.str() << err.str();
    EXPECT_EQ(Run({"--compare", txt.string()}), kExitSuccess) << out.str();

    // Another comment that the code page writes the same is a difference all the same.
    SetComment("Public", "/Policies", "Caf\xC3\xA9 \xCE\xA3\xCE\xA3");
    EXPECT_EQ(Run({"--compare", txt.string()}), kExitFailure);
    EXPECT_EQ(Lines(out.str()),
              (std::vector<std::string>{"~ \\\\example.com\\Public\\Policies Description \"Caf"
                                        "\xC3\xA9 \xCE\xA3\xCE\xA3\" (was \"" +
                                            full + "\")",
                                        "1 difference: 0 only in the file (a restore would add "
                                        "them), 0 added since, 0 comments changed, 1 property "
                                        "changed"}));

    // A properties file of another version: the line comes back as it is, and says what it
    // lost, as the backup did.
    const std::filesystem::path xml = PropertiesFileOf(txt);
    testing::WriteTestFile(xml, std::regex_replace(testing::ReadTestFile(xml),
                                                   std::regex("BackupFileSha256=\"[0-9a-f]+\""),
                                                   "BackupFileSha256=\"00\""));
    DeleteLink("Public", "/Policies");
    EXPECT_EQ(Run({"--restore", txt.string()}), kExitCharactersLost) << err.str();
    EXPECT_NE(out.str().find("restored: " + ConsoleText(line) + "\n"), std::string::npos);
    EXPECT_NE(err.str().find("kestrune: Some lines lost characters that code page 1252 cannot "
                             "hold, or a line break inside a comment, and were restored without "
                             "them"),
              std::string::npos)
        << err.str();
    EXPECT_NE(err.str().find("\n    " + ConsoleText(line) + "\n"), std::string::npos) << err.str();
    EXPECT_NE(
        testing::ReadTestFile(txt.string() + "_restore.txt").find("The comment lost characters"),
        std::string::npos);
    EXPECT_EQ(stored(), lossy);
    // --quiet keeps the warning; a line that was there already lost nothing now.
    EXPECT_EQ(Run({"--quiet", "--restore", txt.string()}), kExitSuccess) << err.str();

    // Nothing beside the backup to tell: restored as the line says, as before.
    std::filesystem::remove(xml);
    DeleteLink("Public", "/Policies");
    EXPECT_EQ(Run({"--restore", txt.string()}), kExitSuccess) << err.str();
    EXPECT_EQ(err.str().find("lost characters"), std::string::npos) << err.str();
    EXPECT_EQ(stored(), lossy);
}

TEST_F(RestorePropertiesCommandTest, PropertiesGoWithARestoreOnly) {
    for (std::vector<std::string> arguments : {std::vector<std::string>{"--properties"},
                                               {"--compare", "f.txt", "--properties"},
                                               {"p", (folder / "out").string(), "--properties"}}) {
        EXPECT_EQ(Run(arguments), kExitUsage) << arguments.front();
        EXPECT_NE(err.str().find("--properties goes with --restore"), std::string::npos)
            << err.str();
    }
}

} // namespace
} // namespace kestrune
