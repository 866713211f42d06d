#include "backup/properties_file.h"

#include "backup/backup_history.h"
#include "backup/restore_run.h"
#include "base/security_descriptor.h"
#include "base/sha256.h"
#include "support/backup_pair.h"
#include "support/scoped_backends.h"
#include "support/scripted_netdfs.h"
#include "support/temp_folder.h"
#include "support/test_files.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <regex>

namespace kestrune {
namespace {

NamespaceProperties Sample() {
    NamespaceProperties p;
    p.backupFileSha256 = Sha256Hex("dfscmd\r\n");
    p.root = {"\\\\example.com\\Public",
              "Company <public> & \"shared\"",
              true,
              300,
              DFS_PROPERTY_FLAG_SITE_COSTING | DFS_PROPERTY_FLAG_ABDE,
              "",
              {{"\\\\DC1\\Public", true, 0, 0}}};
    p.links = {
        {"\\\\example.com\\Public\\Zeta",
         std::nullopt,
         false,
         600,
         DFS_PROPERTY_FLAG_TARGET_FAILBACK,
         "D:P(A;;0x1200a9;;;S-1-5-32-545)",
         {{"\\\\FS2\\Z", false, 1, 31}, {"\\\\FS1\\Z", true, 4, 0}}},
        {"\\\\example.com\\Public\\alpha\t\u00e9",
         std::string(),
         true,
         1800,
         0,
         "",
         {{"\\\\FS1\\A", true, 0, 0}}},
    };
    return p;
}

TEST(PropertiesFile, RoundTripsEveryValueWithLinksInPathOrder) {
    NamespaceProperties p = Sample();
    std::string bytes = FormatPropertiesFile(p);
    EXPECT_NE(bytes.find("TimeToLiveSec=\"600\""), std::string::npos);
    EXPECT_NE(bytes.find("ReferralPriorityClass=\"GlobalHigh\" ReferralPriorityRank=\"31\""),
              std::string::npos);
    Expected<NamespaceProperties> back = ParsePropertiesFile(bytes);
    ASSERT_TRUE(back) << back.error().text;
    std::swap(p.links[0], p.links[1]); // "alpha" before "Zeta", case aside
    EXPECT_EQ(*back, p);
    EXPECT_EQ(FormatPropertiesFile(*back), bytes);
}

// A namespace's elements fill several blocks of the writer's, one of them larger than a block,
// and still come out whole and in path order.
TEST(PropertiesFile, ALargeNamespaceIsWrittenWholeInPathOrder) {
    NamespaceProperties p = Sample();
    p.links.clear();
    for (int i = 19999; i >= 0; --i)
        p.links.push_back({"\\\\example.com\\Public\\L" + std::to_string(100000 + i),
                           "comment " + std::to_string(i),
                           i % 3 != 0,
                           static_cast<uint32_t>(i),
                           0,
                           "",
                           {{"\\\\FS" + std::to_string(i % 10) + "\\S", true, 0, 0}}});
    p.links[5000].description = std::string(1500000, 'd');
    std::string bytes = FormatPropertiesFile(p);
    ASSERT_GT(bytes.size(), 3000000u);
    Expected<NamespaceProperties> back = ParsePropertiesFile(bytes);
    ASSERT_TRUE(back) << back.error().text;

    // The same with the full blocks waiting in a scratch file, which is gone afterwards; and
    // beside a folder that does not exist, where they stay in memory.
    testing::TempFolder scratch;
    for (const std::filesystem::path& beside :
         {scratch.path() / "Public.properties.xml", scratch.path() / "gone" / "P.properties.xml"}) {
        {
            PropertiesFileBuilder builder(beside);
            builder.Add(p.root);
            for (const EntryProperties& link : p.links)
                builder.Add(link);
            std::string spilled;
            for (std::string_view piece : builder.Pieces(p.backupFileSha256))
                spilled += piece;
            EXPECT_EQ(spilled, bytes) << beside;
            if (std::filesystem::exists(beside.parent_path()))
                EXPECT_GT(builder.SpilledBytes(), 2000000u);
            else
                EXPECT_EQ(builder.SpilledBytes(), 0u);
        }
        EXPECT_TRUE(std::filesystem::is_empty(scratch.path()));
    }
    std::reverse(p.links.begin(), p.links.end());
    EXPECT_EQ(*back, p);
}

TEST(PropertiesFile, ANewerFileIsReadForWhatThisVersionKnows) {
    std::string newer =
        "\xEF\xBB\xBF<?xml version='1.0'?><!-- written by a later version -->"
        "<DfsnProperties FormatVersion='7' BackupFileSha256='ab' Written='today'>"
        "<Origin><Host Name='x'/>text</Origin>"
        "<Namespace Path='\\\\d\\N' TimeToLiveSec='300' EnableFutureThing='true'>"
        "<RootTarget TargetPath='\\\\DC1\\N' Weight='5'/><Unknown/></Namespace>"
        "<Folder Path='\\\\d\\N\\L' State='offline'><FolderTarget TargetPath='\\\\S\\L' "
        "ReferralPriorityClass='sitecosthigh'><Note>x</Note></FolderTarget></Folder>"
        "</DfsnProperties>";
    Expected<NamespaceProperties> p = ParsePropertiesFile(newer);
    ASSERT_TRUE(p) << p.error().text;
    EXPECT_EQ(p->root.targets.size(), 1u);
    ASSERT_EQ(p->links.size(), 1u);
    EXPECT_FALSE(p->links[0].online);
    EXPECT_EQ(p->links[0].targets.at(0).priorityClass, 2u);
}

TEST(PropertiesFile, WindowsToolsSpellingsAreReadAndMalformedValuesNamed) {
    // Get-DfsnFolderTarget's priority classes, SDDL right codes and aliases, and a domain's
    // group, which is resolved where the permissions are compared or set.
    std::string file =
        "<DfsnProperties FormatVersion='1' BackupFileSha256='ab'><Namespace Path='\\\\d\\N'/>"
        "<Folder Path='\\\\d\\N\\L' ViewPermissions='D:P(A;;FRFX;;;BU)(A;;GA;;;DA)'>"
        "<FolderTarget TargetPath='\\\\S\\A' ReferralPriorityClass='global-high'/>"
        "<FolderTarget TargetPath='\\\\S\\B' ReferralPriorityClass='SITE-COST-LOW'/>"
        "<FolderTarget TargetPath='\\\\S\\C' ReferralPriorityClass='site-cost-normal'/>"
        "<FolderTarget TargetPath='\\\\S\\D' ReferralPriorityClass='Global-Low'/>"
        "<FolderTarget TargetPath='\\\\S\\E' ReferralPriorityClass='site-cost-high'/>"
        "</Folder></DfsnProperties>";
    Expected<NamespaceProperties> p = ParsePropertiesFile(file);
    ASSERT_TRUE(p) << p.error().text;
    ASSERT_EQ(p->links.size(), 1u);
    EXPECT_EQ(p->links[0].viewSddl, "D:P(A;;FRFX;;;BU)(A;;GA;;;DA)");
    std::vector<uint32_t> classes;
    for (const TargetProperties& t : p->links[0].targets)
        classes.push_back(t.priorityClass);
    EXPECT_EQ(classes, (std::vector<uint32_t>{1, 3, 0, 4, 2}));

    // What is truly wrong is still refused, naming the element.
    auto refusal = [](const std::string& folder) {
        Expected<NamespaceProperties> bad =
            ParsePropertiesFile("<DfsnProperties FormatVersion='1'><Namespace Path='\\\\d\\N'/>" +
                                folder + "</DfsnProperties>");
        return bad ? std::string("read") : bad.error().text;
    };
    for (const char* priority : {"global high", "globalhigh-", "global--high", "-"})
        EXPECT_NE(refusal(std::string("<Folder Path='\\\\d\\N\\L'><FolderTarget "
                                      "TargetPath='\\\\S\\A' ReferralPriorityClass='") +
                          priority + "'/></Folder>")
                      .find("<FolderTarget TargetPath=\"\\\\S\\A\">: an unknown "
                            "ReferralPriorityClass"),
                  std::string::npos)
            << priority;
    for (const char* sddl : {"D:(A;;FRQ;;;BU)", "D:(A;;FR;;;ZZ)", "D:(A;;FR;;;S-1-5-x)"})
        EXPECT_NE(
            refusal(std::string("<Folder Path='\\\\d\\N\\L' ViewPermissions='") + sddl + "'/>")
                .find("<Folder Path=\"\\\\d\\N\\L\">: ViewPermissions that cannot be read"),
            std::string::npos)
            << sddl;
}

TEST(PropertiesFile, MalformedFilesAreRefusedWithAReason) {
    std::string whole = FormatPropertiesFile(Sample());
    // Every cut of a valid file is refused, never read as a shorter one.
    for (size_t n = 0; n < whole.size(); n += 7)
        EXPECT_FALSE(ParsePropertiesFile(whole.substr(0, n))) << n;
    for (const char* bad : {
             "<Other/>",
             "<DfsnProperties BackupFileSha256='x'><Namespace Path='p'/></DfsnProperties>",
             "<DfsnProperties FormatVersion='1'></DfsnProperties>",
             "<DfsnProperties FormatVersion='1'><Namespace Path='p' State='maybe'/>"
             "</DfsnProperties>",
             "<DfsnProperties FormatVersion='1'><Namespace Path='p'/><Folder Path='f'>"
             "<FolderTarget TargetPath='t' ReferralPriorityRank='32'/></Folder></DfsnProperties>",
             "<DfsnProperties FormatVersion='1'><Namespace Path='p'/><Folder Path='f' "
             "ViewPermissions='O:BA'/></DfsnProperties>",
             "<DfsnProperties FormatVersion='1'><Namespace Path='p &bogus;'/></DfsnProperties>",
         })
        EXPECT_FALSE(ParsePropertiesFile(bad)) << bad;
}

// Read a piece at a time, a file gives what it gives whole, wherever the pieces end: the same
// properties, or the same error at the same byte.
TEST(PropertiesFile, PiecesCutAnywhereReadAsTheWholeText) {
    const std::string whole = FormatPropertiesFile(Sample());
    const std::string texts[] = {
        "\xEF\xBB\xBF<?xml version='1.0'?><!-- a > b --><DfsnProperties FormatVersion='7' "
        "BackupFileSha256='ab'><Origin><Host Name='x'/>text</Origin><Namespace Path='\\\\d\\N'>"
        "<RootTarget TargetPath='\\\\DC1\\N' Note='a /> b'/></Namespace></DfsnProperties>",
        whole,
        whole.substr(0, whole.size() / 2),
        whole + "<after/>",
        "\xEF\xBB",
        "<DfsnProperties FormatVersion='1'><Namespace Path='p'/><Folder Path='f'>"
        "<FolderTarget TargetPath='t' ReferralPriorityRank='32'/></Folder></DfsnProperties>",
        "\xEF\xBB\xBF<DfsnProperties FormatVersion='1'><Namespace Path='p &bogus;'/>"
        "</DfsnProperties>",
        "<DfsnProperties FormatVersion='1'><Namespace Path='p'/><!-- open",
    };
    auto describe = [](const Expected<NamespaceProperties>& read) {
        return read ? FormatPropertiesFile(*read) : "error: " + read.error().text;
    };
    for (const std::string& text : texts) {
        const std::string expected = describe(ParsePropertiesFile(text));
        for (size_t cut = 0; cut <= text.size(); ++cut) {
            PropertiesFileParser parser;
            parser.Add(text.substr(0, cut));
            parser.Add(text.substr(cut));
            ASSERT_EQ(describe(parser.Finish()), expected) << text << " cut at " << cut;
        }
        PropertiesFileParser byteByByte;
        for (char c : text)
            byteByByte.Add(std::string_view(&c, 1));
        EXPECT_EQ(describe(byteByByte.Finish()), expected) << text;
    }
}

// Larger than the pieces a file is read in, with a link's element across each piece's end.
TEST(PropertiesFile, AFileIsReadAPieceAtATimeAsItsWholeText) {
    NamespaceProperties p = Sample();
    for (int i = 0; i < 3000; ++i)
        p.links.push_back({"\\\\example.com\\Public\\L" + std::to_string(i),
                           "link " + std::to_string(i),
                           i % 2 == 0,
                           300,
                           0,
                           "",
                           {{"\\\\FS1\\L" + std::to_string(i), true, 0, 0}}});
    const std::string bytes = FormatPropertiesFile(p);
    ASSERT_GT(bytes.size(), 200000u);
    testing::TempFolder folder;
    const std::filesystem::path file = folder.path() / "N.properties.xml";
    testing::WriteTestFile(file, bytes);
    Expected<NamespaceProperties> read = ReadPropertiesFile(file);
    ASSERT_TRUE(read) << read.error().text;
    EXPECT_EQ(*read, *ParsePropertiesFile(bytes));
    EXPECT_EQ(read->links.capacity(), read->links.size());

    testing::WriteTestFile(file, bytes.substr(0, bytes.size() - 10));
    read = ReadPropertiesFile(file);
    ASSERT_FALSE(read);
    EXPECT_EQ(read.error().text,
              "the properties file cannot be read (" +
                  ParsePropertiesFile(bytes.substr(0, bytes.size() - 10)).error().text + ")");
    std::filesystem::remove(file);
    EXPECT_FALSE(ReadPropertiesFile(file));
}

// A restore would set one of the two values and the comparison hold the other: neither may
// choose, and the message names the element.
TEST(PropertiesFile, DuplicatesAreRefusedNamingTheElement) {
    const std::string head = "<DfsnProperties FormatVersion='1'><Namespace Path='\\\\d\\N'/>";
    const std::pair<std::string, std::string> cases[] = {
        {"<Folder Path='\\\\d\\N\\L' TimeToLiveSec='1' TimeToLiveSec='600'/>",
         "<Folder>: the attribute TimeToLiveSec given twice at byte "},
        {"<Folder Path='\\\\d\\N\\L' State='Online'/>"
         "<Folder Path='\\\\D\\n\\l' State='Offline'/>",
         "<Folder Path=\"\\\\D\\n\\l\">: a second <Folder> for that path at byte "},
        {"<Folder Path='\\\\d\\N\\L'><FolderTarget TargetPath='\\\\FS1\\L'/>"
         "<FolderTarget TargetPath='\\\\fs1\\l' State='Offline'/></Folder>",
         "<FolderTarget TargetPath=\"\\\\fs1\\l\">: a second <FolderTarget> for that target"},
    };
    for (const auto& [body, error] : cases) {
        Expected<NamespaceProperties> read = ParsePropertiesFile(head + body + "</DfsnProperties>");
        ASSERT_FALSE(read) << body;
        EXPECT_EQ(read.error().text.find(error), 0u) << read.error().text;
    }
    // One target on two links, and a link and its target of one name, are no duplicates.
    EXPECT_TRUE(ParsePropertiesFile(
        head + "<Folder Path='\\\\d\\N\\A'><FolderTarget TargetPath='\\\\FS1\\X'/></Folder>"
               "<Folder Path='\\\\d\\N\\B'><FolderTarget TargetPath='\\\\FS1\\X'/></Folder>"
               "</DfsnProperties>"));
}

TEST(PropertiesRestore, APropertyThePlatformRefusesFailsTheLineAndSaysWhich) {
    auto fake = std::make_shared<testing::ScriptedNetDfs>(); // no NetDfsSetInfo of its own
    testing::ScopedNetDfsApi installed(fake);
    testing::TempFolder folder;
    const std::filesystem::path txt = folder.path() / "N.txt";
    const std::string text = "dfscmd /map \"\\\\d\\N\\L\" \"\\\\S\\L\" \"\"\r\n";
    NamespaceProperties p;
    p.root = {"\\\\d\\N", std::nullopt, true, 300, 0, "", {}};
    p.links = {{"\\\\d\\N\\L", std::nullopt, false, 1800, 0, "", {{"\\\\S\\L", true, 0, 0}}}};
    testing::WriteBackupPair(txt, text, p);

    TOXLDFS dfs;
    SilentRestoreLog log;
    bool cancel = false;
    RestoreRun run(dfs, log, cancel);
    run.backupFile = txt;
    RestoreRunResult result =
        run.Run(AllLines(std::vector<AnsiString>{text.substr(0, text.size() - 2)}));
    ASSERT_EQ(result.lines.size(), 1u);
    EXPECT_EQ(fake->addCalls.size(), 1u);
    EXPECT_EQ(result.lines[0].outcome, RestoredLine::Outcome::Failed);
    EXPECT_EQ(result.lines[0].status, 50u);
    EXPECT_NE(result.lines[0].reason.find("State was not set"), std::string::npos)
        << result.lines[0].reason;
    EXPECT_TRUE(result.propertiesWarning.empty());
}

} // namespace
} // namespace kestrune
