// The restore window and the status window without a window: selection, the run, cancel,
// the status lines and the log.
#include "backup/backup_pair.h"
#include "backup/properties_file.h"
#include "base/file_io.h"
#include "fake_program.h"
#include "gui/forms/message_box.h"
#include "netdfs/netdfs.h"
#include "platform/platform.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

namespace kestrune::testing {
namespace {

namespace fs = std::filesystem;

constexpr uint32_t kLime = 0x00FF00, kYellow = 0x00FFFF, kRed = 0x0000FF;

class RestoreFormTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::copy_file(fs::path(KESTRUNE_SAMPLES) / "example.ldif", work / "domain.ldif");
        std::string error;
        Expected<void> installed = InstallSimulatedDomain(work / "domain.ldif");
        ASSERT_TRUE(installed) << installed.error().text;
    }
    void TearDown() override { UninstallPlatform(); }

    // Opens the file through the Restore button; inside runs in the modal restore window.
    void OpenAndRestore(FakeProgram& p, const std::string& text, std::function<void()> inside) {
        WriteWholeFile(work / "pfxPublic.txt", text);
        p.OpenDialog1.answer = work / "pfxPublic.txt";
        p.restoreWindow.whileModal = std::move(inside);
        p.Form1->BitBtn3Click();
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
    EXPECT_EQ(Messages(p.re1),
              (std::vector<std::string>{
                  "Starting restore",
                  "Restoring \\\\example.com\\Public\\New to \\\\FS1\\New  a \"quoted\" note",
                  "Restored", "Restoring \\\\example.com\\Public\\Third to \\\\FS1\\Third  ",
                  "Restored", "", "** Complete **"}));
    EXPECT_EQ(Colours(p.re1),
              (std::vector<uint32_t>{kLime, kYellow, kLime, kYellow, kLime, kLime, kLime}));
    // The log beside the file holds the status lines as plain text, one per line.
    std::string log = ReadWholeFile(work / "pfxPublic.txt_restore.txt");
    EXPECT_NE(log.find("\tRestoring \\\\example.com\\Public\\New to \\\\FS1\\New  a \"quoted\" "
                       "note\r\n"),
              std::string::npos);
    EXPECT_TRUE(log.ends_with("\t** Complete **\r\n")) << log;
    EXPECT_FALSE(p.fStatus->PlainText());

    // A second run over the same lines: each run clears the log first; the targets are there.
    OpenAndRestore(p, kTwoLinks, [&] { p.fRestore->RestoreButtonClick(); });
    EXPECT_EQ(Messages(p.re1).front(), "Starting restore");
    EXPECT_EQ(p.re1.lines.size(), 9u);
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

TEST_F(RestoreFormTest, NoSlashesAndLinesThatAreNotBackupLines) {
    FakeProgram p;
    p.Start();
    p.Checkbox1.checked = true;
    OpenAndRestore(p,
                   "dfscmd /map \"\\\\example.com\\Public\\N2\" \"\\\\FS9\\S\" \"\"\r\nshort\r\n",
                   [&] { p.fRestore->RestoreButtonClick(); });
    std::vector<std::string> messages = Messages(p.re1);
    ASSERT_GE(messages.size(), 4u);
    EXPECT_EQ(messages[1], "Restoring \\\\example.com\\Public\\N2 to FS9\\S  ");
    EXPECT_EQ(messages[2], "Restored");
    // A line that is not a backup line is a red line of its own; the run goes on to its end.
    EXPECT_EQ(messages[3], "Skipped, not a backup line: short");
    EXPECT_EQ(p.re1.lines[3].second, kRed);
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
              (std::vector<std::string>{"Starting restore",
                                        "Restoring \\\\example.com\\Public\\New to "
                                        "\\\\FS1\\New  a \"quoted\" note",
                                        "Restored", "", "** Complete **"}));
    EXPECT_EQ(p.CloseButton.Caption(), u"Close");
    EXPECT_FALSE(p.fRestore->Running());
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
    std::string plain = ReadWholeFile(work / "plain.txt");
    EXPECT_TRUE(plain.ends_with("\tmore\r\n")) << plain;
    p.fStatus->SetPlainText(false);
    p.fStatus->SaveLinesToFile(work / "rich.txt");
    EXPECT_EQ(ReadWholeFile(work / "rich.txt"), "{\\rtf1 rich}");
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
