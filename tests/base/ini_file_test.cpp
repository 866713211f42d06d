#include "base/ini_file.h"

#include "base/file_io.h"
#include "temp_folder.h"

#include <filesystem>
#include <gtest/gtest.h>
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
    WriteWholeFile(file, "[Other]\r\nOutputpath=x\r\n[General]\r\nSomething=y\r\n");
    EXPECT_EQ(ReadIniString(file, "General", "Outputpath", ""), "");
    EXPECT_EQ(ReadIniString(file, "general", "SOMETHING", ""), "y");
}

TEST_F(IniFileTest, ReadStripsBlanksAndSurroundingQuotes) {
    WriteWholeFile(
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
    EXPECT_EQ(ReadWholeFile(file), "[General]\r\nOutputpath=/srv/backups/\r\nNext=1\r\n");
}

TEST_F(IniFileTest, WriteKeepsOtherSectionsKeysAndComments) {
    WriteWholeFile(file, "; settings\n[Skin]\nName=Blue\n\n[general]\n; where backups "
                         "go\nOutputpath=old\nKeep=me\n\n[Tail]\nX=1\n");
    ASSERT_TRUE(WriteIniString(file, "General", "Outputpath", "new"));
    ASSERT_TRUE(WriteIniString(file, "Tail", "Y", "2"));
    ASSERT_TRUE(WriteIniString(file, "Fresh", "Z", "3"));
    EXPECT_EQ(ReadWholeFile(file), "; settings\n[Skin]\nName=Blue\n\n[general]\n; where backups "
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

} // namespace
} // namespace kestrune
