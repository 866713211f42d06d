#include "backup/backup_file.h"

#include "base/file_io.h"
#include "base/paths.h"
#include "support/temp_folder.h"
#include "support/test_files.h"

#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>
#ifdef _WIN32
#include "base/windows_sdk.h"
#else
#include <sys/resource.h>
#endif

namespace kestrune {
namespace {

TEST(BackupFile, LineLayoutQuotesEachFieldAndEscapesNothing) {
    EXPECT_EQ(
        FormatBackupLine("\\\\example.com\\Public\\Software", "FS1\\Software", "Installers", 0),
        "dfscmd /map \"\\\\example.com\\Public\\Software\" \"\\\\FS1\\Software\" \"Installers\"");
    EXPECT_EQ(FormatBackupLine("\\\\d\\n\\l", "S\\s", "", 1),
              "dfscmd /add \"\\\\d\\n\\l\" \"\\\\S\\s\" \"\"");
    EXPECT_EQ(FormatBackupLine("\\\\d\\n\\l", "S\\s", "say \"hi\"", 2),
              "dfscmd /add \"\\\\d\\n\\l\" \"\\\\S\\s\" \"say \"hi\"\"");
    EXPECT_EQ(FormatBackupLine("p", "s", "c", -5).substr(0, 11), "dfscmd /map");
}

TEST(BackupFile, OnlyPlainNamesAreFileNames) {
    for (const char* good : {"Public", "R\xe9sum\xe9s", "a.b", "..hidden", "with space"})
        EXPECT_TRUE(IsPlainFileName(good)) << good;
    for (const char* bad : {".", "..", "a/b", "a\\b", "../etc", "tab\there", "nl\n"})
        EXPECT_FALSE(IsPlainFileName(bad)) << bad;
}

class BackupFileWrite : public ::testing::Test {
  protected:
    void SetUp() override { folder = scratch.path(); }
    testing::TempFolder scratch;
    std::filesystem::path folder;
};

TEST_F(BackupFileWrite, SortsWithoutRegardToCaseAndEndsEveryLineWithCrLf) {
    TStringList lines;
    lines.Add(FormatBackupLine("\\\\d\\n\\b", "S\\x", "", 0));
    lines.Add(FormatBackupLine("\\\\d\\n\\a", "S\\x", "", 0));
    lines.Add(FormatBackupLine("\\\\d\\n\\b", "T\\y", "", 1));
    lines.Add(FormatBackupLine("\\\\D\\N\\A", "S\\x", "", 1));
    WriteBackupFile(folder / "n.txt", lines);
    EXPECT_EQ(testing::ReadTestFile(folder / "n.txt"),
              "dfscmd /add \"\\\\D\\N\\A\" \"\\\\S\\x\" \"\"\r\n"
              "dfscmd /add \"\\\\d\\n\\b\" \"\\\\T\\y\" \"\"\r\n"
              "dfscmd /map \"\\\\d\\n\\a\" \"\\\\S\\x\" \"\"\r\n"
              "dfscmd /map \"\\\\d\\n\\b\" \"\\\\S\\x\" \"\"\r\n");

    TStringList none;
    WriteBackupFile(folder / "empty.txt", none);
    EXPECT_EQ(std::filesystem::file_size(folder / "empty.txt"), 0u);
    // Nothing is left beside the files.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 2);
}

TEST_F(BackupFileWrite, AFailedWriteNamesTheFileAndKeepsThePreviousOne) {
    std::filesystem::path file = folder / "Public.txt";
    testing::WriteTestFile(file, "previous good backup\r\n");
    TStringList lines;
    for (int i = 0; i < 2000; ++i)
        lines.Add(FormatBackupLine("\\\\d\\n\\l" + std::to_string(i), "S\\s", "", 0));

#ifdef _WIN32
    // A backup file that another program holds open cannot be replaced.
    HANDLE held = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
#else
    // A file size limit makes the write fail part way, as a full disk would, even for root.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 4096;
    setrlimit(RLIMIT_FSIZE, &small);
#endif
    try {
        WriteBackupFile(file, lines);
        ADD_FAILURE() << "the write should fail";
    } catch (const EFileError& e) {
        EXPECT_NE(std::string(e.what()).find("\"" + AnsiFromPath(file) + "\""), std::string::npos)
            << e.what();
    }
#ifdef _WIN32
    CloseHandle(held);
#else
    setrlimit(RLIMIT_FSIZE, &old);
#endif
    EXPECT_EQ(testing::ReadTestFile(file), "previous good backup\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);

    try {
        WriteBackupFile(folder / "no" / "such" / "folder.txt", lines);
        ADD_FAILURE() << "a missing folder cannot hold a file";
    } catch (const EFileError& e) {
        EXPECT_NE(std::string(e.what()).find(AnsiFromPath(folder / "no" / "such" / "folder.txt")),
                  std::string::npos);
    }
}

} // namespace
} // namespace kestrune
