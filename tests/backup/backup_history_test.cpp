#include "backup/backup_history.h"

#include "base/file_io.h"
#include "support/expect_ok.h"
#include "support/temp_folder.h"
#include "support/test_files.h"

#include <gtest/gtest.h>
#include <regex>

namespace kestrune {
namespace {

class BackupHistoryTest : public ::testing::TestWithParam<bool> {
  protected:
    void SetUp() override {
        history.folder = HistoryFolder(folder.path());
        history.keep = 2;
        history.hardLinks = GetParam();
        testing::WriteTestFile(file, "v1\r\n");
    }

    std::vector<std::string> Copies() {
        std::vector<std::string> names;
        for (const std::filesystem::path& copy : HistoryCopies(history.folder, file))
            names.push_back(copy.filename().string());
        return names;
    }
    std::vector<std::string> ContentsOfCopies() {
        std::vector<std::string> contents;
        for (const std::filesystem::path& copy : HistoryCopies(history.folder, file))
            contents.push_back(testing::ReadTestFile(copy));
        return contents;
    }

    testing::TempFolder folder;
    std::filesystem::path file = folder / "pfx Public.txt";
    BackupHistory history;
    const std::time_t noon = 1718877600; // a moment on 20 June 2024, whatever the time zone
};

TEST_P(BackupHistoryTest, OldFilesMoveToHistoryStampedOnceASecondAndTheOldestGoFirst) {
    // A namespace whose name begins like this one's, and a file that is no copy, are left be.
    std::filesystem::create_directories(history.folder);
    testing::WriteTestFile(history.folder / "pfx Public.x.20240101-000000.txt", "other namespace");
    testing::WriteTestFile(history.folder / "pfx Public.notes.txt", "mine");

    HistoryReplacement first = ReplaceKeepingHistory(file, "v2\r\n", history, noon);
    EXPECT_EQ(first.problem, "");
    EXPECT_EQ(testing::ReadTestFile(file), "v2\r\n");
    ASSERT_EQ(Copies().size(), 1u);
    EXPECT_TRUE(std::regex_match(Copies()[0], std::regex(R"(pfx Public\.2024062[01]-\d{6}\.txt)")))
        << Copies()[0];
    EXPECT_EQ(first.kept.filename().string(), Copies()[0]);

    // Within the same second a copy never takes another's place.
    ReplaceKeepingHistory(file, "v3\r\n", history, noon);
    const std::string stamp = Copies()[0].substr(std::string("pfx Public.").size(), 15);
    EXPECT_EQ(Copies(), (std::vector<std::string>{"pfx Public." + stamp + ".txt",
                                                  "pfx Public." + stamp + "-2.txt"}));
    EXPECT_EQ(ContentsOfCopies(), (std::vector<std::string>{"v1\r\n", "v2\r\n"}));

    // Two are kept: the oldest goes.
    ReplaceKeepingHistory(file, "v4\r\n", history, noon + 1);
    EXPECT_EQ(ContentsOfCopies(), (std::vector<std::string>{"v2\r\n", "v3\r\n"}));
    EXPECT_EQ(Copies()[0], "pfx Public." + stamp + "-2.txt");
    EXPECT_EQ(testing::ReadTestFile(file), "v4\r\n");
    EXPECT_EQ(testing::ReadTestFile(history.folder / "pfx Public.x.20240101-000000.txt"),
              "other namespace");
    EXPECT_EQ(testing::ReadTestFile(history.folder / "pfx Public.notes.txt"), "mine");

    // Fewer kept from now on: the surplus goes at the next replacement.
    history.keep = 1;
    ReplaceKeepingHistory(file, "v5\r\n", history, noon + 2);
    EXPECT_EQ(ContentsOfCopies(), (std::vector<std::string>{"v4\r\n"}));
    // A number that a removed copy freed is not taken again: that copy would pass for the oldest.
    ReplaceKeepingHistory(file, "v6\r\n", history, noon + 2);
    ReplaceKeepingHistory(file, "v7\r\n", history, noon + 2);
    EXPECT_EQ(ContentsOfCopies(), (std::vector<std::string>{"v6\r\n"}));
}

TEST_P(BackupHistoryTest, APropertiesFileMovesWithItsBackupFileAndGoesWithItsCopy) {
    const std::filesystem::path properties = folder / "pfx Public.properties.xml";
    EXPECT_EQ(PropertiesFileOf(file), properties);
    testing::WriteTestFile(properties, "<properties 1/>");
    HistoryReplacement first = ReplaceKeepingHistory(file, "v2\r\n", history, noon);
    EXPECT_FALSE(std::filesystem::exists(properties));
    EXPECT_EQ(testing::ReadTestFile(PropertiesFileOf(first.kept)), "<properties 1/>");

    // The next backup has none of its own: its copy has none either.
    HistoryReplacement second = ReplaceKeepingHistory(file, "v3\r\n", history, noon);
    EXPECT_FALSE(std::filesystem::exists(PropertiesFileOf(second.kept)));
    testing::WriteTestFile(properties, "<properties 3/>");
    HistoryReplacement third = ReplaceKeepingHistory(file, "v4\r\n", history, noon);
    EXPECT_EQ(testing::ReadTestFile(PropertiesFileOf(third.kept)), "<properties 3/>");
    EXPECT_FALSE(std::filesystem::exists(first.kept));
    EXPECT_FALSE(std::filesystem::exists(PropertiesFileOf(first.kept)));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(history.folder),
                            std::filesystem::directory_iterator()),
              3);
}

TEST_P(BackupHistoryTest, AFailureBeforeTheNewFileIsInPlacePutsTheOldOneBack) {
    const std::filesystem::path properties = PropertiesFileOf(file);
    for (BackupHistory::Step failAt :
         {BackupHistory::Step::OldKept, BackupHistory::Step::PropertiesMoved}) {
        testing::WriteTestFile(properties, "<properties/>");
        history.afterStep = [failAt](BackupHistory::Step step) {
            if (step == failAt) throw EFileError("Cannot write file \"x\". Disk full.", ENOSPC);
        };
        EXPECT_THROW(ReplaceKeepingHistory(file, "v2\r\n", history, noon), EFileError);
        EXPECT_EQ(testing::ReadTestFile(file), "v1\r\n");
        EXPECT_EQ(testing::ReadTestFile(properties), "<properties/>");
        EXPECT_TRUE(Copies().empty());
    }
    // A folder in the file's place is not moved: the replacement refuses it.
    history.afterStep = nullptr;
    const std::filesystem::path blocked = folder / "blocked.txt";
    std::filesystem::create_directories(blocked / "inside");
    EXPECT_THROW(ReplaceKeepingHistory(blocked, "v2\r\n", history, noon), EFileError);
    EXPECT_TRUE(std::filesystem::exists(blocked / "inside"));
    EXPECT_TRUE(HistoryCopies(history.folder, blocked).empty());
}

TEST_P(BackupHistoryTest, ACopyThatAnInterruptedReplacementLeftIsNotKeptTwice) {
    std::filesystem::create_directories(history.folder);
    const std::filesystem::path left = history.folder / "pfx Public.20240101-000000.txt";
    if (history.hardLinks)
        ASSERT_OK(LinkFile(file, left));
    else
        std::filesystem::copy_file(file, left); // a copy, not the same file: kept again
    ReplaceKeepingHistory(file, "v2\r\n", history, noon);
    const std::vector<std::string> expected = history.hardLinks
                                                  ? std::vector<std::string>{"v1\r\n"}
                                                  : std::vector<std::string>{"v1\r\n", "v1\r\n"};
    EXPECT_EQ(ContentsOfCopies(), expected);
    EXPECT_EQ(testing::ReadTestFile(file), "v2\r\n");
}

INSTANTIATE_TEST_SUITE_P(HardLinksOrRenames, BackupHistoryTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "HardLinks" : "Renames"; });

} // namespace
} // namespace kestrune
