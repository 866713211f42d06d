#include "base/file_io.h"
#include "base/paths.h"
#include "temp_folder.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

namespace kestrune {
namespace {

using namespace std::string_literals;

class FileIo : public ::testing::Test {
  protected:
    void SetUp() override { folder = scratch.path(); }
    size_t FilesInFolder() const {
        return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(folder), {}));
    }
    testing::TempFolder scratch;
    std::filesystem::path folder;
};

// Bytes go to the disk unchanged (Windows' text mode would turn LF into CR LF and drop a lone
// CR on reading), and the replace takes the place of an existing file without a trace.
TEST_F(FileIo, ReplaceKeepsBytesExactlyAndLeavesNothingBeside) {
    const std::string bytes = "one\r\ntwo\nthree\r\x1a\0four"s;
    std::filesystem::path file = folder / "data.txt";
    ReplaceFileContents(file, "old contents, longer than the new ones\r\n");
    ReplaceFileContents(file, bytes);
    EXPECT_EQ(ReadWholeFile(file), bytes);
    EXPECT_EQ(FilesInFolder(), 1u);
    WriteWholeFile(file, "a\n");
    EXPECT_EQ(ReadWholeFile(file), "a\n");
}

// History moves a backup file only to a name nothing holds: a taken name is refused, both
// files staying as they were.
TEST_F(FileIo, LinksAndMovesNeverTakeATakenName) {
    const std::filesystem::path a = folder / "a.txt", b = folder / "b.txt", c = folder / "c.txt";
    WriteWholeFile(a, "a");
    WriteWholeFile(b, "b");
    EXPECT_FALSE(LinkFile(a, b));
    EXPECT_EQ(errno, EEXIST);
    EXPECT_FALSE(MoveFileNoReplace(a, b));
    EXPECT_EQ(errno, EEXIST);
    EXPECT_EQ(ReadWholeFile(a), "a");
    EXPECT_EQ(ReadWholeFile(b), "b");

    ASSERT_TRUE(LinkFile(a, c));
    FileIdentity first, second;
    ASSERT_TRUE(IdentifyNamedFile(a, first) && IdentifyNamedFile(c, second));
    EXPECT_EQ(first.index, second.index);
    std::filesystem::remove(c);
    ASSERT_TRUE(MoveFileNoReplace(a, c));
    EXPECT_FALSE(std::filesystem::exists(a));
    EXPECT_EQ(ReadWholeFile(c), "a");
    EXPECT_FALSE(MoveFileNoReplace(a, b));
    EXPECT_EQ(errno, ENOENT);
}

// A name in the code page reaches the file system as the characters it stands for.
TEST_F(FileIo, NamesFromAnsiTextKeepTheirCharacters) {
    const AnsiString name = "R\xe9sum\xe9 \x80.txt"; // Windows-1252: "Résumé €.txt"
    std::filesystem::path file = folder / PathFromAnsi(name);
    ReplaceFileContents(file, "x");
    EXPECT_EQ(AnsiFromPath(file.filename()), name);
    EXPECT_EQ(ReadWholeFile(file), "x");
#ifdef _WIN32
    EXPECT_EQ(file.filename().wstring(), L"R\u00e9sum\u00e9 \u20ac.txt");
#endif
    EXPECT_NE(FullFileName(file).find(name), std::string::npos);
}

TEST(Paths, ProgramFolderHoldsTheRunningProgram) {
    AnsiString folder = ProgramFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), kPathDelim);
    EXPECT_TRUE(std::filesystem::is_directory(PathFromAnsi(folder)));
    EXPECT_EQ(IncludeTrailingPathDelimiter("out"), AnsiString("out") + kPathDelim);
    EXPECT_EQ(IncludeTrailingPathDelimiter(""), "");
}

} // namespace
} // namespace kestrune
