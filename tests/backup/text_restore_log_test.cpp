#include "backup/text_restore_log.h"

#include "base/file_io.h"
#include "base/time_stamp.h"
#include "support/temp_folder.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

namespace kestrune {
namespace {

std::time_t LocalTime(int year, int month, int day, int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_isdst = -1;
    return std::mktime(&t);
}

TEST(TextRestoreLog, LinesAreStampedAsTheStatusWindowStampsThem) {
    // The date alone at midnight, a blank and the time otherwise: on POSIX in the C locale's
    // formats, on Windows in the user's.
    const std::string midnight = LogTimeStamp(LocalTime(2026, 12, 8, 0, 0, 0));
    EXPECT_EQ(midnight.find(' '), std::string::npos) << midnight;
    EXPECT_TRUE(LogTimeStamp(LocalTime(2026, 12, 8, 0, 0, 1)).starts_with(midnight + ' '));
#ifndef _WIN32
    EXPECT_EQ(midnight, "12/08/26");
    EXPECT_EQ(LogTimeStamp(LocalTime(2026, 12, 8, 0, 0, 1)), "12/08/26 00:00:01");
#endif
    const std::string stamp = LogTimeStamp(LocalTime(2026, 1, 2, 13, 4, 5));
    EXPECT_EQ(stamp, WideToAnsi(LocalTimeStamp(LocalTime(2026, 1, 2, 13, 4, 5))));

    TextRestoreLog log;
    log.now = [] { return LocalTime(2026, 1, 2, 13, 4, 5); };
    log.AddLine("Starting restore", clLime);
    log.AddLine("", clLime);
    EXPECT_EQ(log.Lines(), (std::vector<AnsiString>{stamp + "\tStarting restore", stamp + "\t"}));

    testing::TempFolder folder;
    log.SaveLinesToFile(folder / "x.txt_restore.txt");
    EXPECT_EQ(testing::ReadTestFile(folder / "x.txt_restore.txt"),
              stamp + "\tStarting restore\r\n" + stamp + "\t\r\n");
    EXPECT_THROW(log.SaveLinesToFile(folder / "missing" / "x.txt_restore.txt"), EFileError);
    log.ClearLines();
    EXPECT_TRUE(log.Lines().empty());

    // Left to its own clock, a log stamps the time it is now, as the C library tells it.
    const std::time_t before = std::time(nullptr);
    const std::time_t now = TimeNow();
    EXPECT_GE(now, before);
    EXPECT_LE(now, std::time(nullptr));
}

TEST(TextRestoreLog, ALongLogWaitsInAScratchFileAndIsSavedWhole) {
    testing::TempFolder folder;
    const std::filesystem::path backup = folder / "Big.txt";
    TextRestoreLog log(backup);
    log.now = [] { return LocalTime(2026, 1, 2, 13, 4, 5); };
    const std::string stamp = LogTimeStamp(LocalTime(2026, 1, 2, 13, 4, 5));
    std::string expected;
    for (int i = 0; i < 5000; ++i) {
        const std::string line = "Restoring \\\\example.com\\Big\\Link" + std::to_string(i);
        log.AddLine(line, clYellow);
        expected += stamp + "\t" + line + "\r\n";
    }
    ASSERT_GT(expected.size(), 128u * 1024); // more than is held in memory
    const std::vector<AnsiString> lines = log.Lines();
    ASSERT_EQ(lines.size(), 5000u);
    EXPECT_EQ(lines[4999], stamp + "\tRestoring \\\\example.com\\Big\\Link4999");
    log.SaveLinesToFile(folder / "Big.txt_restore.txt");
    EXPECT_EQ(testing::ReadTestFile(folder / "Big.txt_restore.txt"), expected);
    // Cleared, the next run's log starts empty and its scratch file is gone.
    log.ClearLines();
    log.AddLine("Starting restore", clLime);
    log.SaveLinesToFile(folder / "Big.txt_restore.txt");
    EXPECT_EQ(testing::ReadTestFile(folder / "Big.txt_restore.txt"),
              stamp + "\tStarting restore\r\n");

    // Where no scratch file can be made, the lines stay in memory and are saved all the same.
    TextRestoreLog homeless(folder / "missing" / "Big.txt");
    homeless.now = log.now;
    for (int i = 0; i < 5000; ++i)
        homeless.AddLine("Restoring \\\\example.com\\Big\\Link" + std::to_string(i), clYellow);
    homeless.SaveLinesToFile(folder / "again.txt");
    EXPECT_EQ(testing::ReadTestFile(folder / "again.txt"), expected);
}

} // namespace
} // namespace kestrune
