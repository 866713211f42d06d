#include "base/file_io.h"
#include "base/paths.h"
#include "support/temp_folder.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>
#include <vector>

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

    // In pieces: short ones gathered, one longer than a gathered write, and empty ones.
    std::vector<std::string> parts;
    for (int i = 0; i < 40000; ++i)
        parts.push_back(std::to_string(i) + (i % 7 == 0 ? "" : ","));
    parts.insert(parts.begin() + 20000, std::string(700000, 'x'));
    parts.emplace_back();
    std::vector<std::string_view> pieces(parts.begin(), parts.end());
    ReplaceFileContents(file, pieces);
    std::string whole;
    for (const std::string& part : parts)
        whole += part;
    EXPECT_EQ(ReadWholeFile(file), whole);
    EXPECT_EQ(FilesInFolder(), 1u);
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

// The size is set in 64 bits (Windows' C library takes 32, and a size past 4 GiB would wrap to a
// small one): shorter cuts the end off, longer adds zero bytes, and the next write still goes
// where the file position was.
TEST_F(FileIo, TruncateSetsSixtyFourBitSizesAndKeepsThePosition) {
    std::filesystem::path file = folder / "sized.bin";
    WriteWholeFile(file, "0123456789");
    int fd = OpenFileDescriptor(file, O_RDWR);
    ASSERT_GE(fd, 0);
    auto size = [&] {
        FileIdentity identity;
        EXPECT_TRUE(IdentifyOpenFile(fd, identity));
        return identity.size;
    };
    ASSERT_TRUE(WriteAll(fd, "ab"));
    ASSERT_TRUE(TruncateFileDescriptor(fd, 4));
    EXPECT_EQ(size(), 4u);
    ASSERT_TRUE(TruncateFileDescriptor(fd, 6));
    ASSERT_TRUE(WriteAll(fd, "cd"));
    EXPECT_EQ(size(), 6u);

    const uint64_t large = (uint64_t(1) << 32) + 3;
    bool room = true;
#ifdef _WIN32
    // Without the sparse attribute, Windows reserves the space of the zeros it adds.
    room = std::filesystem::space(folder).available > 2 * large;
#endif
    if (room) {
        ASSERT_TRUE(TruncateFileDescriptor(fd, large)) << SystemErrorText(errno);
        EXPECT_EQ(size(), large);
        char tail[8] = {1, 1, 1, 1, 1, 1, 1, 1};
        EXPECT_EQ(ReadFileAt(fd, tail, sizeof tail, large - 3), 3);
        EXPECT_EQ(std::string(tail, 3), "\0\0\0"s);
        ASSERT_TRUE(TruncateFileDescriptor(fd, 6));
    }
    ::close(fd);
    EXPECT_EQ(ReadWholeFile(file), "abcd\0\0"s);
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
