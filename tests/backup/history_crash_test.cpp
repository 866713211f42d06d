// A replacement that keeps history, its process killed (SIGKILL) after each of its steps and at
// moments chosen at random: the old backup file is in place or in history, never neither.
#include "backup/backup_history.h"

#include "base/file_io.h"
#include "base/sha256.h"
#include "support/temp_folder.h"
#include "support/test_files.h"

#include <csignal>
#include <gtest/gtest.h>
#include <random>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace kestrune {
namespace {

using Step = BackupHistory::Step;

class HistoryCrash : public ::testing::TestWithParam<bool> {
  protected:
    BackupHistory History(const std::filesystem::path& folder) {
        BackupHistory history;
        history.folder = HistoryFolder(folder);
        history.keep = 2;
        history.hardLinks = GetParam();
        return history;
    }
    std::vector<std::string> ContentsOfCopies(const BackupHistory& history,
                                              const std::filesystem::path& file) {
        std::vector<std::string> contents;
        for (const std::filesystem::path& copy : HistoryCopies(history.folder, file))
            contents.push_back(testing::ReadTestFile(copy));
        return contents;
    }
    // Waits for the child and says whether SIGKILL ended it.
    static bool Killed(pid_t child) {
        int status = 0;
        EXPECT_EQ(::waitpid(child, &status, 0), child);
        return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    }
};

TEST_P(HistoryCrash, AKillAfterAnyStepLeavesTheOldFileInPlaceOrInHistory) {
    for (Step killAt : {Step::OldKept, Step::PropertiesMoved, Step::Replaced,
                        Step::PropertiesWritten, Step::OldestRemoved}) {
        SCOPED_TRACE(static_cast<int>(killAt));
        testing::TempFolder folder;
        const std::filesystem::path file = folder / "Public.txt";
        const std::filesystem::path properties = PropertiesFileOf(file);
        BackupHistory history = History(folder.path());
        std::filesystem::create_directories(history.folder);
        testing::WriteTestFile(history.folder / "Public.20000101-000000.txt", "oldest");
        testing::WriteTestFile(history.folder / "Public.20000101-000000-2.txt", "older");
        testing::WriteTestFile(file, "old");
        testing::WriteTestFile(properties, "<old/>");

        pid_t child = ::fork();
        if (child == 0) {
            history.afterStep = [killAt](Step step) {
                if (step == killAt) ::raise(SIGKILL);
            };
            try {
                ReplaceKeepingHistory(file, "new", history, std::time(nullptr));
            } catch (...) {
                ::_exit(2);
            }
            ::_exit(0);
        }
        ASSERT_TRUE(Killed(child));

        std::vector<std::string> copies = ContentsOfCopies(history, file);
        const bool inPlace = std::filesystem::exists(file);
        const bool inHistory = std::count(copies.begin(), copies.end(), "old") == 1;
        EXPECT_TRUE((inPlace && testing::ReadTestFile(file) == "old") || inHistory);
        // A hard link keeps a file in place until the new one takes its name.
        EXPECT_TRUE(inPlace || !history.hardLinks);
        EXPECT_TRUE(!inPlace || testing::ReadTestFile(file) == "old" ||
                    testing::ReadTestFile(file) == "new");
        EXPECT_EQ(std::count(copies.begin(), copies.end(), "new"), 0);
        EXPECT_TRUE(std::filesystem::exists(properties) ||
                    std::any_of(std::filesystem::directory_iterator(history.folder),
                                std::filesystem::directory_iterator(), [](const auto& entry) {
                                    return entry.path().string().ends_with(".properties.xml") &&
                                           testing::ReadTestFile(entry.path()) == "<old/>";
                                }));

        // The next run, as the backup makes it: a file that is already the new one stays, a
        // missing one is written anew; the old file is then in history, once.
        history.afterStep = nullptr;
        bool pruned = killAt == Step::OldestRemoved;
        if (!inPlace) {
            OrThrowFileError(ReplaceFileContents(file, "new"));
        } else if (testing::ReadTestFile(file) != "new") {
            ReplaceKeepingHistory(file, "new", history, std::time(nullptr));
            pruned = true;
        }
        EXPECT_EQ(testing::ReadTestFile(file), "new");
        copies = ContentsOfCopies(history, file);
        EXPECT_EQ(std::count(copies.begin(), copies.end(), "old"), 1);
        // The oldest copy goes at the end of a replacement: once more may stay until the next.
        EXPECT_EQ(copies.size(), pruned ? 2u : 3u);
    }
}

// The file's text for one version: long enough that a write takes a while.
std::string Version(int n) {
    std::string text = "version " + std::to_string(n) + "\r\n";
    text.resize(256 * 1024, 'x');
    return text;
}

// Which version the text is; -1 when it is none in full.
int VersionOf(const std::string& text) {
    if (!text.starts_with("version ")) return -1;
    int n = std::atoi(text.c_str() + 8);
    return text == Version(n) ? n : -1;
}

TEST_P(HistoryCrash, AKillAtAnyMomentOfReplacementAfterReplacementLosesNoFile) {
    std::mt19937 random(20240620);
    for (int round = 0; round < 6; ++round) {
        testing::TempFolder folder;
        const std::filesystem::path file = folder / "Public.txt";
        BackupHistory history = History(folder.path());
        testing::WriteTestFile(file, Version(0));

        pid_t child = ::fork();
        if (child == 0) {
            try {
                for (int n = 1;; ++n)
                    ReplaceKeepingHistory(file, Version(n), history, std::time(nullptr));
            } catch (...) {
                ::_exit(2);
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5 + random() % 60));
        ::kill(child, SIGKILL);
        ASSERT_TRUE(Killed(child)) << "the child ended before it was killed";

        std::vector<int> kept;
        for (const std::string& copy : ContentsOfCopies(history, file))
            kept.push_back(VersionOf(copy));
        EXPECT_EQ(std::count(kept.begin(), kept.end(), -1), 0);
        EXPECT_LE(kept.size(), history.keep + 1u);
        if (!std::filesystem::exists(file)) {
            // Only a rename takes the old file out of its place, into history.
            EXPECT_FALSE(history.hardLinks);
            EXPECT_FALSE(kept.empty());
            continue;
        }
        const int current = VersionOf(testing::ReadTestFile(file));
        ASSERT_GE(current, 0) << "a backup file cut short";
        // The file it replaced is in history, whatever the moment.
        EXPECT_TRUE(current == 0 || std::count(kept.begin(), kept.end(), current - 1) == 1)
            << "version " << current << " is in place; kept: " << ::testing::PrintToString(kept);
    }
}

// Each backup file, in place and in history, beside the properties file that records its
// SHA-256, or beside none: never beside another version's.
void ExpectEachFileHasItsOwnPropertiesOrNone(const std::filesystem::path& folder) {
    for (const std::filesystem::path& place : {folder, HistoryFolder(folder)}) {
        std::error_code absent;
        for (const auto& entry : std::filesystem::directory_iterator(place, absent)) {
            const std::string name = entry.path().filename().string();
            if (!name.ends_with(".txt") || name.starts_with(".")) continue;
            const std::filesystem::path properties = PropertiesFileOf(entry.path());
            if (std::filesystem::exists(properties)) {
                EXPECT_EQ(testing::ReadTestFile(properties),
                          Sha256Hex(testing::ReadTestFile(entry.path())))
                    << name << " stands beside another version's properties file";
            }
        }
    }
}

TEST_P(HistoryCrash, AKillAtAnyMomentNeverLeavesABackupFileBesideAnotherOnesProperties) {
    std::mt19937 random(20260612);
    int withoutProperties = 0;
    for (int round = 0; round < 12; ++round) {
        testing::TempFolder folder;
        const std::filesystem::path file = folder / "Public.txt";
        BackupHistory history = History(folder.path());
        history.keep = 1;
        testing::WriteTestFile(file, Version(0));
        testing::WriteTestFile(PropertiesFileOf(file), Sha256Hex(Version(0)));

        pid_t child = ::fork();
        if (child == 0) {
            try {
                for (int n = 1;; ++n) {
                    const std::string sha256 = Sha256Hex(Version(n));
                    const std::string_view pieces[] = {std::string_view(sha256).substr(0, 9),
                                                       std::string_view(sha256).substr(9)};
                    ReplaceKeepingHistory(file, Version(n), history, std::time(nullptr),
                                          std::span<const std::string_view>(pieces));
                }
            } catch (...) {
                ::_exit(2);
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5 + random() % 60));
        ::kill(child, SIGKILL);
        ASSERT_TRUE(Killed(child)) << "the child ended before it was killed";

        ExpectEachFileHasItsOwnPropertiesOrNone(folder.path());
        if (std::filesystem::exists(file) && !std::filesystem::exists(PropertiesFileOf(file)))
            ++withoutProperties;
        // The next replacement makes the pair whole again.
        const std::string sha256 = Sha256Hex(Version(99));
        const std::string_view piece = sha256;
        ReplaceKeepingHistory(file, Version(99), history, std::time(nullptr),
                              std::span<const std::string_view>(&piece, 1));
        EXPECT_EQ(testing::ReadTestFile(PropertiesFileOf(file)), sha256);
        ExpectEachFileHasItsOwnPropertiesOrNone(folder.path());
    }
    // Some kills come between the two renames; none of them may leave a pair torn.
    RecordProperty("kills_between_the_files", withoutProperties);
}

INSTANTIATE_TEST_SUITE_P(HardLinksOrRenames, HistoryCrash, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "HardLinks" : "Renames"; });

} // namespace
} // namespace kestrune
