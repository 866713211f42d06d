// The main window's behaviour without a window: start-up, refresh, backup, cancel, close.
#include "base/file_io.h"
#include "base/ini_file.h"
#include "base/paths.h"
#include "fake_program.h"
#include "gui/forms/message_box.h"
#include "gui/forms/session.h"
#include "platform/platform.h"
#include "support/expect_ok.h"
#include "support/scoped_environment.h"
#include "support/scoped_platform.h"
#include "support/temp_folder.h"
#include "support/test_files.h"
#include <cstdlib>

#include <gtest/gtest.h>
#include <optional>

namespace kestrune::testing {
namespace {

namespace fs = std::filesystem;

class MainFormTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::copy_file(fs::path(KESTRUNE_SAMPLES) / "example.ldif", work / "domain.ldif");
        domain.emplace(work / "domain.ldif");
        ASSERT_OK(domain->installed());
        RemoveSettings();
    }
    void TearDown() override {
        RemoveSettings();
        domain.reset();
    }
    std::optional<ScopedSimulatedDomain> domain;
    void RemoveSettings() {
        FakeProgram probe;
        fs::remove(probe.Form1->SettingsFile());
    }
    static std::vector<std::string> FilesIn(const fs::path& folder) {
        std::vector<std::string> names;
        if (!fs::exists(folder)) return names;
        for (const auto& entry : fs::directory_iterator(folder))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    // The folder as the window shows it: native separators, one at the end.
    WideString Folder(const fs::path& relative) const {
        fs::path folder = work / relative;
        return folder.make_preferred().u16string() + static_cast<char16_t>(kPathDelim);
    }

    TempFolder work;
    std::vector<MessageBoxShown> boxes;
    ScopedMessageBoxHook hook{[this](const MessageBoxShown& box) { boxes.push_back(box); }};
};

TEST_F(MainFormTest, WithoutADirectoryTheProgramEndsWithoutWritingSettings) {
    UninstallPlatform();
    FakeProgram p;
    p.Start();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].kind, MessageKind::Error);
    EXPECT_EQ(boxes[0].text, "Active Directory is not available");
    EXPECT_FALSE(p.BitBtn1.Enabled());
    EXPECT_FALSE(p.BitBtn3.Enabled());
    EXPECT_EQ(p.mainWindow.terminatedWith, 1);
    p.mainWindow.Close(); // whatever closes it afterwards
    EXPECT_FALSE(fs::exists(p.Form1->SettingsFile()));
}

TEST_F(MainFormTest, InteractiveStartListsTheForestAndTheOwnDomainsNamespaces) {
    FakeProgram p;
    p.Start();
    EXPECT_FALSE(p.Timer1.Enabled()); // once
    EXPECT_EQ(p.cbDomains.items,
              (std::vector<WideString>{u"DC=example,DC=com", u"DC=sales,DC=example,DC=com"}));
    EXPECT_EQ(p.cbDomains.Text(), u"DC=example,DC=com");
    EXPECT_EQ(p.ListBox1.Names(),
              (std::vector<WideString>{u"Archive", u"Legacy", u"Projets", u"Public", u"Users"}));
    EXPECT_EQ(p.ListBox1.SelectedRows(), std::vector<int>{0});
    // No settings file: the program's folder, with its separator.
    EXPECT_EQ(p.ePath.Text(), AnsiToWide(p.Form1->AppFolder()));
    EXPECT_TRUE(boxes.empty());
    EXPECT_FALSE(p.mainWindow.closed);

    // A stored folder gets its separator; the close stores what the field holds.
    p.ePath.SetText(Folder("kept"));
    p.mainWindow.Close();
    EXPECT_TRUE(p.mainWindow.closed);
    FakeProgram again;
    ASSERT_TRUE(WriteIniString(again.Form1->SettingsFile(), "General", "Outputpath",
                               WideToAnsi((work / "stored").u16string())));
    again.Start();
    EXPECT_EQ(again.ePath.Text(), Folder("stored"));
}

TEST_F(MainFormTest, LeavingTheDomainBoxListsAgainWithOnlyTheFirstSelected) {
    FakeProgram p;
    p.Start();
    p.ListBox1.SelectAll();
    p.Form1->cbDomainsExit();
    EXPECT_EQ(p.ListBox1.Count(), 5);
    EXPECT_EQ(p.ListBox1.SelectedRows(), std::vector<int>{0});
    // The dotted form and the distinguished name list the same; an unknown domain nothing.
    p.cbDomains.SetText(u"sales.example.com");
    p.Form1->cbDomainsExit();
    EXPECT_EQ(p.ListBox1.Names(), std::vector<WideString>{u"Sales"});
    p.cbDomains.SetText(u"DC=sales,DC=example,DC=com");
    p.Form1->cbDomainsExit();
    EXPECT_EQ(p.ListBox1.Names(), std::vector<WideString>{u"Sales"});
    p.cbDomains.SetText(u"nowhere.test");
    p.Form1->cbDomainsExit();
    EXPECT_EQ(p.ListBox1.Count(), 0);
}

TEST_F(MainFormTest, OneArgumentSelectsEverythingAndWritesNothing) {
    FakeProgram p({u"pfx"});
    p.Start();
    EXPECT_EQ(p.ePrefix.Text(), u"pfx");
    EXPECT_EQ(p.ePath.Text(), u"");
    EXPECT_EQ(p.cbDomains.Text(), u"example.com");
    EXPECT_TRUE(p.cbDomains.items.empty());
    EXPECT_EQ(p.ListBox1.SelectedRows(), (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_FALSE(p.mainWindow.closed);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(MainFormTest, UnattendedRunsBackUpTheNamedDomainAndClose) {
    // Three arguments, the domain as a distinguished name; the folder as typed.
    const WideString typed = (work / "dn").u16string();
    FakeProgram p({u"p-", typed, u"DC=sales,DC=example,DC=com"});
    p.Start();
    EXPECT_TRUE(p.mainWindow.closed);
    EXPECT_EQ(FilesIn(work / "dn"),
              (std::vector<std::string>{"p-Sales.properties.xml", "p-Sales.txt"}));
    // The window's run hears the namespace's properties, as the console's does.
    EXPECT_NE(testing::ReadTestFile(work / "dn" / "p-Sales.properties.xml")
                  .find("<Namespace Path=\"\\\\sales.example.com\\Sales\""),
              std::string::npos);
    // The run appended the separator, and the close stored it.
    EXPECT_EQ(ReadIniString(p.Form1->SettingsFile(), "General", "Outputpath", ""),
              WideToAnsi(Folder("dn")));

    // Four arguments: the third is ignored. A mistyped domain writes nothing, and closes.
    FakeProgram four({u"", (work / "four").u16string(), u"sales.example.com", u"extra"});
    four.Start();
    EXPECT_EQ(FilesIn(work / "four").size(), 10u);
    FakeProgram mistyped({u"", (work / "typo").u16string(), u"exmaple.com"});
    mistyped.Start();
    EXPECT_TRUE(mistyped.mainWindow.closed);
    EXPECT_TRUE(FilesIn(work / "typo").empty());
    for (const auto& box :
         boxes) // a warning about lost characters, with a code page that lacks some
        if (box.kind == MessageKind::Error) ADD_FAILURE() << box.text;
}

TEST_F(MainFormTest, ARunDisablesTheControlsAndPutsThemAndTheFocusBack) {
    FakeProgram p;
    p.Start();
    p.ListBox1.SelectAll();
    p.ePath.SetText((work / "out").u16string());
    p.BitBtn1.SetFocus();
    bool checked = false;
    p.mainWindow.onProcessMessages = [&] {
        EXPECT_EQ(p.Bitbtn2.Caption(), u"Cancel");
        for (Control* c : std::initializer_list<Control*>{&p.ListBox1, &p.BitBtn1, &p.BitBtn3,
                                                          &p.ePath, &p.ePrefix})
            EXPECT_FALSE(c->Enabled());
        EXPECT_TRUE(p.cbDomains.Enabled());
        checked = true;
    };
    p.Form1->BitBtn1Click();
    EXPECT_TRUE(checked);
    EXPECT_EQ(p.Bitbtn2.Caption(), u"Close");
    EXPECT_TRUE(p.BitBtn1.Enabled() && p.ListBox1.Enabled() && p.ePath.Enabled());
    EXPECT_TRUE(p.BitBtn1.Focused()); // not left on Close, where Space would end the program
    EXPECT_EQ(p.ePath.Text(), Folder("out"));
    EXPECT_EQ(FilesIn(work / "out"),
              (std::vector<std::string>{
                  "Archive.properties.xml", "Archive.txt", "Legacy.properties.xml", "Legacy.txt",
                  "Projets.properties.xml", "Projets.txt", "Public.properties.xml", "Public.txt",
                  "Users.properties.xml", "Users.txt"}));
    EXPECT_FALSE(p.mainWindow.closed); // no arguments: the window stays
}

TEST_F(MainFormTest, CancelFinishesTheNamespaceInProgressAndCloseWaitsForIt) {
    FakeProgram p;
    p.Start();
    p.ListBox1.SelectAll();
    p.ePath.SetText((work / "out").u16string());
    int pumps = 0;
    // The first pump is before the loop; the second after the first namespace.
    p.mainWindow.onProcessMessages = [&] {
        if (++pumps == 2) p.Form1->BitBtn2Click();
    };
    p.Form1->BitBtn1Click();
    EXPECT_EQ(FilesIn(work / "out"),
              (std::vector<std::string>{"Archive.properties.xml", "Archive.txt"}));
    EXPECT_FALSE(p.mainWindow.closed);

    // Closing during a run first stops it; the run then closes the window, which writes the
    // settings.
    p.ePath.SetText((work / "out2").u16string());
    pumps = 0;
    p.mainWindow.onProcessMessages = [&] {
        if (++pumps == 2) {
            p.mainWindow.Close();
            EXPECT_FALSE(p.mainWindow.closed);
        }
    };
    p.Form1->BitBtn1Click();
    EXPECT_EQ(FilesIn(work / "out2"),
              (std::vector<std::string>{"Archive.properties.xml", "Archive.txt"}));
    EXPECT_TRUE(p.mainWindow.closed);
    EXPECT_TRUE(fs::exists(p.Form1->SettingsFile()));

    // Captions compare exactly.
    FakeProgram idle;
    idle.Bitbtn2.SetCaption(u"close");
    idle.Form1->BitBtn2Click();
    EXPECT_FALSE(idle.mainWindow.closed);
}

TEST_F(MainFormTest, AFailedWriteIsReportedOnceAndKeepsAnUnattendedWindowOpen) {
    testing::WriteTestFile(work / "plain", "x");
    FakeProgram p({u"p", (work / "plain" / "sub").u16string()});
    p.Start();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].kind, MessageKind::Error);
    EXPECT_NE(boxes[0].text.find(WideToUtf8(Folder("plain/sub")) + "pArchive.txt"),
              std::string::npos)
        << boxes[0].text;
    EXPECT_FALSE(p.mainWindow.closed);
    EXPECT_EQ(p.Bitbtn2.Caption(), u"Close");
}

TEST_F(MainFormTest, RestoreOpensTheChosenFileWithEveryLineChecked) {
    FakeProgram p;
    p.Start();
    // Cancelling the dialog leaves the restore window closed and its list unchanged.
    p.fRestore->LoadLines({"kept"});
    p.ePath.SetText(u"somewhere");
    p.Form1->BitBtn3Click();
    EXPECT_EQ(p.OpenDialog1.initialDir, u"somewhere");
    EXPECT_EQ(p.restoreWindow.modalShows, 0);
    EXPECT_EQ(p.CheckListBox1.items, std::vector<WideString>{u"kept"});

    testing::WriteTestFile(work / "b.txt",
                           "dfscmd /map \"\\\\x\\N\\a\" \"\\\\S\\a\" \"\"\r\nsecond\r\n");
    p.OpenDialog1.answer = work / "b.txt";
    p.restoreWindow.whileModal = [&] {
        EXPECT_EQ(p.CheckListBox1.Count(), 2);
        EXPECT_EQ(p.CheckListBox1.checks, (std::vector<bool>{true, true}));
    };
    p.Form1->BitBtn3Click();
    EXPECT_EQ(p.restoreWindow.modalShows, 1);
    EXPECT_EQ(p.Form1->RestoreFileName(), work / "b.txt");

    // A file that is not a backup file (UTF-16) is refused with a message.
    testing::WriteTestFile(work / "u16.txt", std::string("\xFF\xFE"
                                                         "d\0",
                                                         4));
    p.OpenDialog1.answer = work / "u16.txt";
    p.Form1->BitBtn3Click();
    EXPECT_EQ(p.restoreWindow.modalShows, 1);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].kind, MessageKind::Error);
}

class OwnedBoxes : public FakeWindow {
  public:
    void ShowMessage(MessageKind, const std::string&, const std::string& text) override {
        shown.push_back(text);
    }
    std::vector<std::string> shown;
};

TEST(MessageBoxes, GoToTheTestThenTheOwnerThenTheToolkitsOwnBox) {
    OwnedBoxes owner;
    std::vector<std::string> ownerless;
    ScopedOwnerlessMessageBox toolkit(
        [&](const MessageBoxShown& box) { ownerless.push_back(box.text); });
    ShowMessageBox(&owner, MessageKind::Error, "Kestrune", "owned");
    ShowMessageBox(nullptr, MessageKind::Warning, "Kestrune", "no window");
    EXPECT_EQ(owner.shown, std::vector<std::string>{"owned"});
    EXPECT_EQ(ownerless, std::vector<std::string>{"no window"});
    {
        std::vector<MessageBoxShown> answered;
        ScopedMessageBoxHook hook([&](const MessageBoxShown& box) { answered.push_back(box); });
        ShowMessageBox(&owner, MessageKind::Error, "Kestrune", "answered");
        ASSERT_EQ(answered.size(), 1u);
        EXPECT_EQ(answered[0].kind, MessageKind::Error);
    }
    // Nobody can see a box: the text goes to standard error, never to a box that waits.
    SetRunningHeadless(true);
    ShowMessageBox(&owner, MessageKind::Error, "Kestrune", "headless");
    ShowMessageBox(nullptr, MessageKind::Error, "Kestrune", "headless");
    SetRunningHeadless(false);
    EXPECT_EQ(owner.shown.size(), 1u);
    EXPECT_EQ(ownerless.size(), 1u);
}

TEST(SettingsPlace, AFolderThatCannotBeWrittenIsTold) {
    TempFolder work;
    EXPECT_TRUE(FolderIsWritable(work.path()));
    EXPECT_TRUE(std::filesystem::is_empty(work.path())); // the probe leaves nothing
    EXPECT_FALSE(FolderIsWritable(work / "missing"));
    EXPECT_FALSE(UserSettingsFolder().empty());
#ifndef _WIN32
    // Without a home of its own, the user has no settings folder: never one under /tmp.
    ScopedEnvironment noConfig("XDG_CONFIG_HOME", "");
    {
        ScopedEnvironment noHome("HOME", "");
        EXPECT_EQ(UserSettingsFolder(), std::filesystem::path());
    }
    {
        ScopedEnvironment relativeHome("HOME", "relative");
        EXPECT_EQ(UserSettingsFolder(), std::filesystem::path());
    }
    ScopedEnvironment someHome("HOME", "/home/someone");
    EXPECT_EQ(UserSettingsFolder(), std::filesystem::path("/home/someone/.config/kestrune"));
#endif
}

} // namespace
} // namespace kestrune::testing
