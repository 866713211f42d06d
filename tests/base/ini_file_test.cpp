#include "base/ini_file.h"

#include "base/file_io.h"
#include "support/temp_folder.h"
#include "support/test_files.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrune {
namespace {

class IniFileTest : public ::testing::Test {
  protected:
    void SetUp() override { file = scratch / "kestrune.ini"; }
    testing::TempFolder scratch;
    std::filesystem::path file;
};

TEST_F(IniFileTest, MissingFileSectionOrKeyGiveTheDefault) {
    EXPECT_EQ(ReadIniString(file, "General", "Outputpath", "dflt"), "dflt");
    testing::WriteTestFile(file, "[Other]\r\nOutputpath=x\r\n[General]\r\nSomething=y\r\n");
    EXPECT_EQ(ReadIniString(file, "General", "Outputpath", ""), "");
    EXPECT_EQ(ReadIniString(file, "general", "SOMETHING", ""), "y");
}

TEST_F(IniFileTest, ReadStripsBlanksAndSurroundingQuotes) {
    testing::WriteTestFile(
        file, "  [ General ]  \n Outputpath =  \"C:\\My Backups\\\"  \nKey2='a'\nKey3=\"half\n");
    EXPECT_EQ(ReadIniString(file, "General", "Outputpath", ""), "C:\\My Backups\\");
    EXPECT_EQ(ReadIniString(file, "General", "Key2", ""), "a");
    EXPECT_EQ(ReadIniString(file, "General", "Key3", ""), "\"half");
}

TEST_F(IniFileTest, TrailingSeparatorsRoundTripAndTheNextKeySurvives) {
    ASSERT_TRUE(WriteIniString(file, "General", "Outputpath", "C:\\Backups\\"));
    ASSERT_TRUE(WriteIniString(file, "General", "Next", "1"));
    EXPECT_EQ(ReadIniString(file, "General", "Outputpath", ""), "C:\\Backups\\");
    EXPECT_EQ(ReadIniString(file, "General", "Next", ""), "1");
    ASSERT_TRUE(WriteIniString(file, "General", "Outputpath", "/srv/backups/"));
    EXPECT_EQ(ReadIniString(file, "General", "Outputpath", ""), "/srv/backups/");
    EXPECT_EQ(testing::ReadTestFile(file), "[General]\r\nOutputpath=/srv/backups/\r\nNext=1\r\n");
}

TEST_F(IniFileTest, WriteKeepsOtherSectionsKeysAndComments) {
    testing::WriteTestFile(file, "; settings\n[Skin]\nName=Blue\n\n[general]\n; where backups "
                                 "go\nOutputpath=old\nKeep=me\n\n[Tail]\nX=1\n");
    ASSERT_TRUE(WriteIniString(file, "General", "Outputpath", "new"));
    ASSERT_TRUE(WriteIniString(file, "Tail", "Y", "2"));
    ASSERT_TRUE(WriteIniString(file, "Fresh", "Z", "3"));
    EXPECT_EQ(testing::ReadTestFile(file),
              "; settings\n[Skin]\nName=Blue\n\n[general]\n; where backups "
              "go\nOutputpath=new\nKeep=me\n\n"
              "[Tail]\nX=1\nY=2\r\n[Fresh]\r\nZ=3\r\n");
}

TEST_F(IniFileTest, WritesNeverShareAFixedTemporaryName) {
    // Another instance closing at the same moment has its own temporary file; a name both
    // would use (here taken by a folder) must not stop or mix the write.
    std::filesystem::path fixed = file;
    fixed += ".tmp";
    std::filesystem::create_directory(fixed);
    EXPECT_TRUE(WriteIniString(file, "General", "Outputpath", "x"));
    EXPECT_EQ(ReadIniString(file, "General", "Outputpath", ""), "x");
    std::filesystem::remove(fixed);
}

TEST_F(IniFileTest, UnwritableFolderReportsFailure) {
    EXPECT_FALSE(WriteIniString("/nonexistent-folder/kestrune.ini", "General", "Outputpath", "x"));
}

// A settings file is read at every start: one that is a pipe nobody writes to, a device that
// never ends or a huge file gives the defaults at once and says why; nothing is written over it.
TEST_F(IniFileTest, ASettingsFileThatIsNoRegularFileIsNeitherWaitedOnNorReadWhole) {
    std::vector<std::pair<std::filesystem::path, std::string>> files;
    const std::filesystem::path huge = scratch / "huge.ini";
    testing::WriteTestFile(huge, "[General]\r\nOutputpath=x\r\n");
    std::filesystem::resize_file(huge, kMaxIniFileBytes + 1);
    files.push_back({huge, "It is larger than 1 MiB."});
#ifndef _WIN32
    ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
    files.push_back({file, "It is not a regular file but a device, a pipe or a socket."});
    files.push_back({"/dev/zero", "It is not a regular file but a device, a pipe or a socket."});
#endif
    for (const auto& [settings, reason] : files) {
        std::string problem;
        EXPECT_EQ(ReadIniString(settings, "General", "Outputpath", "dflt", &problem), "dflt");
        EXPECT_NE(problem.find(reason), std::string::npos) << problem;
        if (settings != "/dev/zero") {
            EXPECT_FALSE(WriteIniString(settings, "General", "Outputpath", "y"));
        }
    }
    std::string problem = "stale";
    EXPECT_EQ(ReadIniString(scratch / "missing.ini", "General", "Outputpath", "d", &problem), "d");
    EXPECT_EQ(problem, "");
}

} // namespace
} // namespace kestrune
