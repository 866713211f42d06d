// The restore window and the status window without a window: selection, the run, cancel,
// the status lines and the log; a restore into another place.
#include "backup/backup_history.h"
#include "backup/live_namespaces.h"
#include "backup/properties_file.h"
#include "base/file_io.h"
#include "base/time_stamp.h"
#include "fake_program.h"
#include "gui/forms/message_box.h"
#include "netdfs/netdfs.h"
#include "platform/memory_store/memory_store.h"
#include "platform/platform.h"
#include "support/backup_pair.h"
#include "support/delete_subtree.h"
#include "support/expect_ok.h"
#include "support/scoped_platform.h"
#include "support/temp_folder.h"
#include "support/test_files.h"

#include <algorithm>
#include <chrono>
#include <gtest/gtest.h>
#include <optional>

namespace kestrune::testing {
namespace {

namespace fs = std::filesystem;

constexpr uint32_t kLime = 0x00FF00, kYellow = 0x00FFFF, kRed = 0x0000FF;

class RestoreFormTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::copy_file(fs::path(KESTRUNE_SAMPLES) / "example.ldif", work / "domain.ldif");
        domain.emplace(work / "domain.ldif");
        ASSERT_OK(domain->installed());
    }
    // The domain's file is let go before its folder is removed: Windows removes no open file.
    void TearDown() override { domain.reset(); }
    std::optional<ScopedSimulatedDomain> domain;

    // Opens the file through the Restore button; inside runs in the modal restore window.
    void OpenAndRestore(FakeProgram& p, const std::string& text, std::function<void()> inside) {
        testing::WriteTestFile(work / "pfxPublic.txt", text);
        p.OpenDialog1.answer = work / "pfxPublic.txt";
        p.restoreWindow.whileModal = std::move(inside);
        p.Form1->BitBtn3Click();
    }
    // The status line of a backup file restored without its properties file.
    std::string MissingProperties() const {
        return "Properties not applied: the properties file \"" +
               FullFileName(work / "pfxPublic.properties.xml") +
               "\" is missing; links are restored with the platform's defaults";
    }
    // The messages of the status lines, after their time stamps.
    static std::vector<std::string> Messages(const FakeRichLog& log) {
        std::vector<std::string> out;
        for (const auto& line : log.lines)
            out.push_back(WideToUtf8(line.first.substr(line.first.find(u'\t') + 1)));
        return out;
    }
    static std::vector<uint32_t> Colours(const FakeRichLog& log) {
        std::vector<uint32_t> out;
        for (const auto& line : log.lines)
            out.push_back(line.second);
        return out;
    }

    TempFolder work;
    ScopedMessageBoxHook hook{[](const MessageBoxShown& box) { FAIL() << box.text; }};
};

const char* const kTwoLinks =
    "dfscmd /map \"\\\\example.com\\Public\\New\" \"\\\\FS1\\New\" \"a \"quoted\" note\"\r\n"
    "dfscmd /map \"\\\\example.com\\Public\\Other\" \"\\\\FS1\\Other\" \"\"\r\n"
    "dfscmd /map \"\\\\example.com\\Public\\Third\" \"\\\\FS1\\Third\" \"\"\r\n";

TEST_F(RestoreFormTest, TheCheckedLinesAreRestoredWithColouredLinesAndALog) {
    FakeProgram p;
    p.Start();
    OpenAndRestore(p, kTwoLinks, [&] {
        p.fRestore->DeselectAllButtonClick();
        EXPECT_EQ(p.CheckListBox1.checks, (std::vector<bool>{false, false, false}));
        p.fRestore->SelectAllButtonClick();
        p.CheckListBox1.checks[1] = false;
        p.fRestore->RestoreButtonClick();
        EXPECT_EQ(p.CloseButton.Caption(), u"Close");
        p.fRestore->CloseButtonClick();
    });
    EXPECT_FALSE(p.restoreWindow.visible);
    EXPECT_TRUE(p.statusWindow.visible);
    // A backup file without its properties file: said once, in yellow, before the lines.
    EXPECT_EQ(Messages(p.re1),
              (std::vector<std::string>{
                  "Starting restore", MissingProperties(),
                  "Restoring \\\\example.com\\Public\\New to \\\\FS1\\New  a \"quoted\" note",
                  "Restored", "Restoring \\\\example.com\\Public\\Third to \\\\FS1\\Third  ",
                  "Restored", "", "** Complete **"}));
    EXPECT_EQ(Colours(p.re1), (std::vector<uint32_t>{kLime, kYellow, kYellow, kLime, kYellow, kLime,
                                                     kLime, kLime}));
    // The log beside the file holds the status lines as plain text, one per line.
    std::string log = testing::ReadTestFile(work / "pfxPublic.txt_restore.txt");
    EXPECT_NE(log.find("\tRestoring \\\\example.com\\Public\\New to \\\\FS1\\New  a \"quoted\" "
                       "note\r\n"),
              std::string::npos);
    EXPECT_TRUE(log.ends_with("\t** Complete **\r\n")) << log;
    EXPECT_FALSE(p.fStatus->PlainText());

    // A second run over the same lines: each run clears the log first; the targets restored
    // before are there, and the window says so, as the console does.
    OpenAndRestore(p, kTwoLinks, [&] { p.fRestore->RestoreButtonClick(); });
    const std::vector<std::string> again = Messages(p.re1);
    ASSERT_EQ(again.size(), 10u);
    EXPECT_EQ(again.front(), "Starting restore");
    EXPECT_EQ(again[3], "Already there");
    EXPECT_EQ(again[5], "Restored");
    EXPECT_EQ(again[7], "Already there");
    EXPECT_EQ(p.re1.lines[3].second, kLime);
}

// The window, like the console program, gives a target it adds to a link already there its
// recorded properties and leaves the link's own alone.
TEST_F(RestoreFormTest, ATargetAddedToALinkThereLeavesTheLinksOwnPropertiesAlone) {
    const std::string text =
        "dfscmd /map \"\\\\example.com\\Public\\Software\" \"\\\\FS9\\Software\" \"\"\r\n";
    NamespaceProperties recorded;
    recorded.root = {"\\\\example.com\\Public", std::nullopt, true, 300, 0, "", {}};
    recorded.links = {{"\\\\example.com\\Public\\Software",
                       std::nullopt,
                       false,
                       60,
                       0,
                       "",
                       {{"\\\\FS9\\Software", false, 0, 0}}}};
    WriteBackupPair(work / "pfxPublic.txt", text, recorded);
    FakeProgram p;
    p.Start();
    OpenAndRestore(p, text, [&] { p.fRestore->RestoreButtonClick(); });
    EXPECT_EQ(Messages(p.re1)[2], "Restored");
    uint8_t* buffer = nullptr;
    ASSERT_EQ(NetDfsGetInfo(u"\\\\example.com\\Public\\Software", nullptr, nullptr, 9, &buffer),
              0u);
    const auto* link = reinterpret_cast<const DFS_INFO_9*>(buffer);
    EXPECT_EQ(link->Timeout, 1800u);
    EXPECT_NE(link->State & DFS_VOLUME_STATES, DFS_VOLUME_STATE_OFFLINE);
    ASSERT_EQ(link->NumberOfStorages, 4u);
    EXPECT_EQ(std::u16string(link->Storage[3].ServerName), u"FS9");
    EXPECT_EQ(link->Storage[3].State, DFS_STORAGE_STATE_OFFLINE);
    NetApiBufferFree(buffer);
}

// The Restore button takes an export of dfsutil root export as it takes a backup file: its lines
// to choose from, and a link it creates gets the export's comment, state and referral time.
TEST_F(RestoreFormTest, AnExportOfDfsutilIsRestoredWithItsRecordedValues) {
    FakeProgram p;
    p.Start();
    OpenAndRestore(p,
                   "<?xml version=\"1.0\"?>\r\n"
                   "<Root Name=\"\\\\example.com\\Public\" State=\"1\" Timeout=\"300\">\r\n"
                   "<Target Server=\"DC1\" Folder=\"Public\" State=\"2\" />\r\n"
                   "<Link Name=\"R&D\" State=\"3\" Timeout=\"900\" Comment=\"Research & more\">\r\n"
                   "<Target Server=\"FS1\" Folder=\"R&D\" State=\"2\" />\r\n"
                   "</Link>\r\n</Root>\r\n",
                   [&] {
                       EXPECT_EQ(p.CheckListBox1.checks, (std::vector<bool>{true, true}));
                       p.fRestore->RestoreButtonClick();
                   });
    uint8_t* buffer = nullptr;
    ASSERT_EQ(NetDfsGetInfo(u"\\\\example.com\\Public\\R&D", nullptr, nullptr, 9, &buffer), 0u);
    const auto* link = reinterpret_cast<const DFS_INFO_9*>(buffer);
    EXPECT_EQ(std::u16string(link->Comment), u"Research & more");
    EXPECT_EQ(link->Timeout, 900u);
    EXPECT_EQ(link->State & DFS_VOLUME_STATES, DFS_VOLUME_STATE_OFFLINE);
    NetApiBufferFree(buffer);
}

TEST_F(RestoreFormTest, NoSlashesAndLinesThatAreNotBackupLines) {
    FakeProgram p;
    p.Start();
    p.Checkbox1.checked = true;
    OpenAndRestore(p,
                   "dfscmd /map \"\\\\example.com\\Public\\N2\" \"\\\\FS9\\S\" \"\"\r\nshort\r\n",
                   [&] { p.fRestore->RestoreButtonClick(); });
    std::vector<std::string> messages = Messages(p.re1);
    ASSERT_GE(messages.size(), 5u);
    EXPECT_EQ(messages[1], MissingProperties());
    EXPECT_EQ(messages[2], "Restoring \\\\example.com\\Public\\N2 to FS9\\S  ");
    EXPECT_EQ(messages[3], "Restored");
    // A line that is not a backup line is a red line of its own; the run goes on to its end.
    EXPECT_EQ(messages[4], "Skipped, not a backup line: short");
    EXPECT_EQ(p.re1.lines[4].second, kRed);
    EXPECT_EQ(messages.back(), "** Complete **");
}

TEST_F(RestoreFormTest, CancelStopsAtTheNextLineAndTheWindowStaysDuringARun) {
    FakeProgram p;
    p.Start();
    int pumps = 0;
    p.restoreWindow.onProcessMessages = [&] {
        if (++pumps != 1) return;
        EXPECT_EQ(p.CloseButton.Caption(), u"Cancel");
        p.restoreWindow.Close(); // the frame or Esc during a run: asks the run to stop
        EXPECT_FALSE(p.restoreWindow.closed);
        p.fRestore->RestoreButtonClick(); // a second click while running is ignored
    };
    OpenAndRestore(p, kTwoLinks, [&] { p.fRestore->RestoreButtonClick(); });
    EXPECT_EQ(pumps, 1);
    EXPECT_EQ(Messages(p.re1),
              (std::vector<std::string>{"Starting restore", MissingProperties(),
                                        "Restoring \\\\example.com\\Public\\New to "
                                        "\\\\FS1\\New  a \"quoted\" note",
                                        "Restored", "", "** Complete **"}));
    EXPECT_EQ(p.CloseButton.Caption(), u"Close");
    EXPECT_FALSE(p.fRestore->Running());
}

// A pass of the message loop costs as much as a line restored into memory: a fast run passes
// at most once every few milliseconds, however many lines it restores.
TEST_F(RestoreFormTest, AFastRunPassesTheMessageLoopOnlyEveryFewMilliseconds) {
    FakeProgram p;
    p.Start();
    std::string text;
    for (int i = 0; i < 2000; ++i)
        text += "dfscmd /map \"\\\\example.com\\Public\\L" + std::to_string(i) + "\" \"\\\\FS1\\S" +
                std::to_string(i) + "\" \"\"\r\n";
    std::chrono::duration<double> took{};
    OpenAndRestore(p, text, [&] {
        const auto start = std::chrono::steady_clock::now();
        p.fRestore->RestoreButtonClick();
        took = std::chrono::steady_clock::now() - start;
    });
    const std::vector<std::string> messages = Messages(p.re1);
    ASSERT_EQ(std::count(messages.begin(), messages.end(), "Restored"), 2000);
    EXPECT_LE(p.restoreWindow.messagePumps, 2 + static_cast<int>(took.count() / 0.005))
        << took.count() << " s";
}

TEST_F(RestoreFormTest, TheStatusWindowStampsFollowsAndSaves) {
    FakeProgram p;
    p.fStatus->now = [] {
        std::tm moment{};
        moment.tm_year = 126;
        moment.tm_mon = 11;
        moment.tm_mday = 7;
        moment.tm_isdst = -1;
        return std::mktime(&moment); // exactly midnight: the date alone
    };
    p.statusWindow.Show();
    p.fStatus->FormShow();
    EXPECT_EQ(p.re1.tabStop, 100.0);
    p.fStatus->AddLine("Restored", kLime);
    p.fStatus->AddLine("", kRed);
    const WideString first = p.re1.lines[0].first;
    const size_t tab = first.find(u'\t');
    ASSERT_NE(tab, WideString::npos);
    EXPECT_EQ(first.substr(tab), u"\tRestored");
    EXPECT_EQ(first.find(u' '), WideString::npos) << WideToUtf8(first); // no time at midnight
    EXPECT_EQ(p.re1.lines[1].first, first.substr(0, tab + 1));
    EXPECT_EQ(p.re1.scrollsToEnd, 2);
    // Someone reading back or selecting keeps their place.
    p.re1.scrolledUp = true;
    p.fStatus->AddLine("more", kLime);
    EXPECT_EQ(p.re1.scrollsToEnd, 2);

    p.fStatus->SetPlainText(true);
    p.fStatus->SaveLinesToFile(work / "plain.txt");
    std::string plain = testing::ReadTestFile(work / "plain.txt");
    EXPECT_TRUE(plain.ends_with("\tmore\r\n")) << plain;
    p.fStatus->SetPlainText(false);
    p.fStatus->SaveLinesToFile(work / "rich.txt");
    EXPECT_EQ(testing::ReadTestFile(work / "rich.txt"), "{\\rtf1 rich}");

    // A second later the stamp moves on, with the time now.
    const auto midnight = p.fStatus->now();
    p.fStatus->now = [midnight] { return midnight + 1; };
    p.fStatus->AddLine("Restored", kLime);
    EXPECT_EQ(p.re1.lines[3].first, LocalTimeStamp(midnight + 1) + u"\tRestored");
    EXPECT_NE(p.re1.lines[3].first.find(u' '), WideString::npos);
}

// A restore through the window into a namespace that is gone, another namespace or renamed
// servers, on a private copy of the sample domain with the directory at hand.
class RestoreElsewhereTest : public ::testing::Test {
  protected:
    void SetUp() override {
        domainFile = work / "domain.ldif";
        fs::copy_file(fs::path(KESTRUNE_SAMPLES) / "example.ldif", domainFile);
        auto opened = store::MemoryStore::Open(domainFile);
        ASSERT_TRUE(opened) << opened.error().text;
        directory = std::move(*opened);
        platform.emplace(directory);
        p = std::make_unique<FakeProgram>();
        p->Start();
    }
    void TearDown() override { platform.reset(); }
    std::optional<ScopedPlatform> platform;

    // Backs up one namespace of the domain through the main window into work/folder.
    fs::path BackUp(const WideString& domain, const WideString& ns, const std::string& folder) {
        p->cbDomains.SetText(domain);
        p->Form1->cbDomainsExit();
        const std::vector<WideString> names = p->ListBox1.Names();
        const auto row = std::find(names.begin(), names.end(), ns);
        EXPECT_NE(row, names.end()) << WideToUtf8(ns);
        if (row == names.end()) return {};
        p->ListBox1.SelectOnly(static_cast<int>(row - names.begin()));
        p->ePrefix.SetText(u"");
        p->ePath.SetText((work / folder).u16string());
        p->Form1->BitBtn1Click();
        return work / folder / (WideToUtf8(ns) + ".txt");
    }
    // Opens the file through the main window's Restore; inside runs in the modal window.
    void Open(const fs::path& file, std::function<void()> inside) {
        p->OpenDialog1.answer = file;
        p->restoreWindow.whileModal = std::move(inside);
        p->Form1->BitBtn3Click();
    }
    // Deletes a namespace of example.com with everything below it, anchor included.
    void DeleteNamespace(const std::string& ns) {
        ASSERT_GT(testing::DeleteExampleNamespace(*directory, ns), 0u) << ns;
    }
    void ChooseAnotherPlace(const WideString& into, const WideString& servers) {
        p->chkAnotherPlace.checked = true;
        p->fRestore->chkAnotherPlaceClick();
        p->eRestoreInto.SetText(into);
        p->eServerNames.SetText(servers);
    }
    static std::vector<std::string> Messages(const FakeRichLog& log) {
        std::vector<std::string> out;
        for (const auto& line : log.lines)
            out.push_back(WideToUtf8(line.first.substr(line.first.find(u'\t') + 1)));
        return out;
    }
    static std::string Replaced(std::string text, const std::string& from, const std::string& to) {
        for (size_t at = text.find(from); at != std::string::npos;
             at = text.find(from, at + to.size()))
            text.replace(at, from.size(), to);
        return text;
    }

    TempFolder work;
    fs::path domainFile;
    std::shared_ptr<store::MemoryStore> directory;
    ScopedMessageBoxHook hook{[](const MessageBoxShown& box) { FAIL() << box.text; }};
    std::unique_ptr<FakeProgram> p; // made once the domain is there
};

TEST_F(RestoreElsewhereTest, ADeletedNamespaceComesBackAsItWasBackedUp) {
    const fs::path first = BackUp(u"example.com", u"Public", "first");
    const std::string txt = testing::ReadTestFile(first);
    const std::string xml = testing::ReadTestFile(PropertiesFileOf(first));
    DeleteNamespace("Public");
    p->writesIntoDirectory = true;
    Open(first, [&] {
        EXPECT_FALSE(p->pnlAnotherPlace.visible); // off by default: the window as it always was
        p->fRestore->RestoreButtonClick();
        p->fRestore->CloseButtonClick();
    });
    const std::vector<std::string> messages = Messages(p->re1);
    ASSERT_GE(messages.size(), 3u);
    EXPECT_EQ(messages[2], "Created the namespace \\\\example.com\\Public");
    EXPECT_EQ(p->re1.lines[2].second, kLime);
    EXPECT_EQ(std::count(messages.begin(), messages.end(), "Restored") + 1,
              std::count(txt.begin(), txt.end(), '\n'));
    // After the log's last line: the propagation note, then what the servers need.
    ASSERT_GE(messages.size(), 2u);
    EXPECT_TRUE(messages.back().starts_with("The namespace \\\\example.com\\Public was created "
                                            "in the directory, but no server serves it yet"))
        << messages.back();
    EXPECT_NE(messages.back().find("On DC2, as an administrator"), std::string::npos);
    EXPECT_EQ(p->re1.lines.back().second, kYellow);
    EXPECT_EQ(messages[messages.size() - 3], "** Complete **");
    EXPECT_TRUE(fs::exists(first.string() + "_restore.txt"));

    // Both files of a new backup are the first ones, byte for byte.
    const fs::path second = BackUp(u"example.com", u"Public", "second");
    EXPECT_EQ(testing::ReadTestFile(second), txt);
    EXPECT_EQ(testing::ReadTestFile(PropertiesFileOf(second)), xml);
}

TEST_F(RestoreElsewhereTest, IntoAnotherNamespaceOfAnotherDomainOnARenamedServer) {
    const fs::path file = BackUp(u"example.com", u"Public", "b");
    const std::string txt = testing::ReadTestFile(file);
    const std::string xml = testing::ReadTestFile(PropertiesFileOf(file));
    const std::string as = "\\\\sales.example.com\\Copy";
    std::vector<WideString> shown;
    Open(file, [&] {
        ChooseAnotherPlace(u"  " + Utf8ToWide(as) + u" ", u"fs1=FS9");
        EXPECT_TRUE(p->pnlAnotherPlace.visible);
        shown = p->CheckListBox1.items;
        p->fRestore->RestoreButtonClick();
        // The list keeps the file's own lines; the log says where they went.
        EXPECT_EQ(p->CheckListBox1.items, shown);
        p->fRestore->CloseButtonClick();
    });
    ASSERT_FALSE(shown.empty());
    EXPECT_NE(WideToUtf8(shown.front()).find("\\\\example.com\\Public"), std::string::npos);
    const std::vector<std::string> messages = Messages(p->re1);
    EXPECT_EQ(messages[2], "Created the namespace " + as);
    EXPECT_NE(std::find_if(messages.begin(), messages.end(),
                           [&](const std::string& m) {
                               return m.starts_with("Restoring " + as +
                                                    "\\Software to \\\\FS9\\Software  ");
                           }),
              messages.end());
    for (const std::string& m : messages)
        EXPECT_EQ(m.find("\\\\FS1\\"), std::string::npos) << m;
    // No note of the servers' part where the platform serves what it creates.
    EXPECT_EQ(messages.back(), "** Complete **");
    EXPECT_TRUE(fs::exists(file.string() + "_restore.txt"));

    // The copy backs up as the original with its new names, properties included (the hash
    // differs with the file); the original is as it was.
    const fs::path copy = BackUp(u"sales.example.com", u"Copy", "sales");
    auto moved = [&](const std::string& text) {
        return Replaced(Replaced(text, "\\\\example.com\\Public", as), "\\\\FS1\\", "\\\\FS9\\");
    };
    EXPECT_EQ(testing::ReadTestFile(copy), moved(txt));
    auto withoutHash = [](const std::string& text) {
        return text.substr(text.find("<Namespace "));
    };
    EXPECT_EQ(withoutHash(testing::ReadTestFile(PropertiesFileOf(copy))), withoutHash(moved(xml)));
    EXPECT_EQ(testing::ReadTestFile(BackUp(u"example.com", u"Public", "again")), txt);
}

TEST_F(RestoreElsewhereTest, FieldsThatSayNoPlaceAreRefusedAndNothingChanges) {
    const fs::path file = BackUp(u"example.com", u"Public", "b");
    DeleteNamespace("Public");
    const std::string domainBefore = testing::ReadTestFile(domainFile);
    const struct {
        WideString into, servers;
        std::string box;
    } bad[] = {
        {u"example.com\\Public", u"", "Restore into: \"example.com\\Public\" is not a namespace"},
        {u"\\\\example.com\\Public\\Link", u"", "Restore into: "},
        {u"", u"FS1", "Server names: \"FS1\" is not OLD=NEW"},
        {u"", u"FS1=\\\\FS9", "Server names: \"FS1=\\\\FS9\" is not OLD=NEW"},
        {u"", u"FS1=A;, fs1=B", "Server names: the server fs1 is renamed twice"},
        {u" ", u" , ", "Restore into: give the namespace"},
    };
    for (const auto& b : bad) {
        std::vector<MessageBoxShown> boxes;
        ScopedMessageBoxHook answer([&](const MessageBoxShown& box) { boxes.push_back(box); });
        Open(file, [&] {
            ChooseAnotherPlace(b.into, b.servers);
            p->fRestore->RestoreButtonClick();
            EXPECT_FALSE(p->fRestore->Running());
            EXPECT_EQ(p->CloseButton.Caption(), u"Close");
        });
        ASSERT_EQ(boxes.size(), 1u) << b.box;
        EXPECT_EQ(boxes[0].kind, MessageKind::Error);
        EXPECT_TRUE(boxes[0].text.starts_with(b.box)) << boxes[0].text;
    }
    // Lines of two namespaces cannot go into one.
    testing::WriteTestFile(work / "two.txt",
                           "dfscmd /map \"\\\\example.com\\Public\\A\" \"\\\\FS1\\A\" \"\"\r\n"
                           "dfscmd /map \"\\\\example.com\\Data\\B\" \"\\\\FS1\\B\" \"\"\r\n");
    std::vector<MessageBoxShown> boxes;
    {
        ScopedMessageBoxHook answer([&](const MessageBoxShown& box) { boxes.push_back(box); });
        Open(work / "two.txt", [&] {
            ChooseAnotherPlace(u"\\\\example.com\\Copy", u"");
            p->fRestore->RestoreButtonClick();
        });
    }
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].text.starts_with("Restore into: the lines name two namespaces"))
        << boxes[0].text;
    // Nothing ran: no status line, no log, the directory as it was.
    EXPECT_TRUE(p->re1.lines.empty());
    EXPECT_FALSE(fs::exists(file.string() + "_restore.txt"));
    EXPECT_EQ(testing::ReadTestFile(domainFile), domainBefore);

    // Unchecked, the fields are not used: the lines go where they came from.
    Open(file, [&] {
        p->chkAnotherPlace.checked = false;
        p->fRestore->chkAnotherPlaceClick();
        EXPECT_FALSE(p->pnlAnotherPlace.visible);
        p->fRestore->RestoreButtonClick();
    });
    EXPECT_EQ(Messages(p->re1)[2], "Created the namespace \\\\example.com\\Public");
}

TEST(LogPlacement, BesideTheWindowWhereTheScreenHasRoom) {
    const ScreenRect screen{0, 0, 1920, 1040};
    EXPECT_EQ(LeftBeside({100, 100, 535, 341}, 543, screen), 635);  // right of it
    EXPECT_EQ(LeftBeside({1300, 100, 535, 341}, 543, screen), 757); // left of it
    // No room on either side: as far aside as the screen goes, on the roomier side.
    EXPECT_EQ(LeftBeside({372, 220, 535, 341}, 543, {0, 0, 1280, 800}), 737);
    EXPECT_EQ(LeftBeside({400, 220, 535, 341}, 543, {0, 0, 1000, 800}), 0);
}

} // namespace
} // namespace kestrune::testing
