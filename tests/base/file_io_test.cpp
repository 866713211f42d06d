#include "base/file_io.h"
#include "base/paths.h"
#include "support/expect_ok.h"
#include "support/temp_folder.h"
#include "support/test_files.h"

#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <thread>
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
    ASSERT_OK(ReplaceFileContents(file, "old contents, longer than the new ones\r\n"));
    ASSERT_OK(ReplaceFileContents(file, bytes));
    EXPECT_EQ(testing::ReadTestFile(file), bytes);
    EXPECT_EQ(FilesInFolder(), 1u);
    ASSERT_OK(WriteWholeFile(file, "a\n"));
    EXPECT_EQ(testing::ReadTestFile(file), "a\n");

    // In pieces: short ones gathered, one longer than a gathered write, and empty ones.
    std::vector<std::string> parts;
    for (int i = 0; i < 40000; ++i)
        parts.push_back(std::to_string(i) + (i % 7 == 0 ? "" : ","));
    parts.insert(parts.begin() + 20000, std::string(700000, 'x'));
    parts.emplace_back();
    std::vector<std::string_view> pieces(parts.begin(), parts.end());
    ASSERT_OK(ReplaceFileContents(file, pieces));
    std::string whole;
    for (const std::string& part : parts)
        whole += part;
    EXPECT_EQ(testing::ReadTestFile(file), whole);
    EXPECT_EQ(FilesInFolder(), 1u);

    // A replacement that cannot be made names the target and leaves nothing beside it.
    Expected<void> refused = ReplaceFileContents(folder / "missing" / "data.txt", "x");
    ASSERT_FALSE(refused);
    EXPECT_TRUE(IsMissingFile(refused.error())) << refused.error().text;
    EXPECT_EQ(refused.error().text.rfind("Cannot create file \"" +
                                             FullFileName(folder / "missing" / "data.txt") + "\". ",
                                         0),
              0u)
        << refused.error().text;
    EXPECT_EQ(FilesInFolder(), 1u);
}

// A file a user names is read whole, or the answer says why with the system's code and the
// file's name; a read of a file that is not there tells it apart from one that failed.
TEST_F(FileIo, ARegularFileIsReadOrTheReasonComesWithTheSystemsCode) {
    testing::WriteTestFile(folder / "small", "a\r\nb");
    Expected<std::string> read = ReadRegularFile(folder / "small", 4);
    ASSERT_OK(read);
    EXPECT_EQ(*read, "a\r\nb");

    Expected<std::string> large = ReadRegularFile(folder / "small", 3);
    ASSERT_FALSE(large);
    EXPECT_NE(large.error().code, 0u);
    EXPECT_EQ(large.error().text, "Cannot read file \"" + FullFileName(folder / "small") +
                                      "\". It is larger than 3 bytes.");

    for (Expected<std::string> missing :
         {ReadRegularFile(folder / "missing", 4), ReadWholeFile(folder / "missing")}) {
        ASSERT_FALSE(missing);
        EXPECT_TRUE(IsMissingFile(missing.error())) << missing.error().text;
        EXPECT_EQ(missing.error().text.rfind(
                      "Cannot open file \"" + FullFileName(folder / "missing") + "\". ", 0),
                  0u)
            << missing.error().text;
        EXPECT_GT(missing.error().text.size(), FullFileName(folder / "missing").size() + 20)
            << "the system's reason follows the name";
    }
    Expected<std::string> folderItself = ReadRegularFile(folder, 4);
    ASSERT_FALSE(folderItself);
    EXPECT_FALSE(IsMissingFile(folderItself.error()));
}

// History moves a backup file only to a name nothing holds: a taken name is refused, both
// files staying as they were.
TEST_F(FileIo, LinksAndMovesNeverTakeATakenName) {
    const std::filesystem::path a = folder / "a.txt", b = folder / "b.txt", c = folder / "c.txt";
    testing::WriteTestFile(a, "a");
    testing::WriteTestFile(b, "b");
    Expected<void> linked = LinkFile(a, b);
    ASSERT_FALSE(linked);
    EXPECT_TRUE(IsNameTaken(linked.error())) << linked.error().text;
    Expected<void> moved = MoveFileNoReplace(a, b);
    ASSERT_FALSE(moved);
    EXPECT_TRUE(IsNameTaken(moved.error())) << moved.error().text;
    EXPECT_EQ(testing::ReadTestFile(a), "a");
    EXPECT_EQ(testing::ReadTestFile(b), "b");

    ASSERT_OK(LinkFile(a, c));
    Expected<FileIdentity> first = IdentifyNamedFile(a), second = IdentifyNamedFile(c);
    ASSERT_OK(first);
    ASSERT_OK(second);
    EXPECT_EQ(first->index, second->index);
    std::filesystem::remove(c);
    ASSERT_OK(MoveFileNoReplace(a, c));
    EXPECT_FALSE(std::filesystem::exists(a));
    EXPECT_EQ(testing::ReadTestFile(c), "a");
    moved = MoveFileNoReplace(a, b);
    ASSERT_FALSE(moved);
    EXPECT_TRUE(IsMissingFile(moved.error())) << moved.error().text;
    EXPECT_FALSE(IsNameTaken(moved.error()));
}

// A name in the code page reaches the file system as the characters it stands for.
TEST_F(FileIo, NamesFromAnsiTextKeepTheirCharacters) {
    const AnsiString name = "R\xe9sum\xe9 \x80.txt"; // Windows-1252: "Résumé €.txt"
    std::filesystem::path file = folder / PathFromAnsi(name);
    ASSERT_OK(ReplaceFileContents(file, "x"));
    EXPECT_EQ(AnsiFromPath(file.filename()), name);
    EXPECT_EQ(testing::ReadTestFile(file), "x");
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
    testing::WriteTestFile(file, "0123456789");
    Expected<FileDescriptor> opened = OpenFileDescriptor(file, O_RDWR);
    ASSERT_OK(opened);
    const FileDescriptor& fd = *opened;
    auto size = [&] {
        Expected<FileIdentity> identity = IdentifyOpenFile(fd);
        EXPECT_OK(identity);
        return identity ? identity->size : 0;
    };
    ASSERT_OK(WriteAll(fd, "ab"));
    ASSERT_OK(TruncateFileDescriptor(fd, 4));
    EXPECT_EQ(size(), 4u);
    ASSERT_OK(TruncateFileDescriptor(fd, 6));
    ASSERT_OK(WriteAll(fd, "cd"));
    EXPECT_EQ(size(), 6u);

    const uint64_t large = (uint64_t(1) << 32) + 3;
    bool room = true;
#ifdef _WIN32
    // Without the sparse attribute, Windows reserves the space of the zeros it adds.
    room = std::filesystem::space(folder).available > 2 * large;
#endif
    if (room) {
        ASSERT_OK(TruncateFileDescriptor(fd, large));
        EXPECT_EQ(size(), large);
        char tail[8] = {1, 1, 1, 1, 1, 1, 1, 1};
        Expected<size_t> read = ReadFileAt(fd, tail, sizeof tail, large - 3);
        ASSERT_OK(read);
        EXPECT_EQ(*read, 3u);
        EXPECT_EQ(std::string(tail, 3), "\0\0\0"s);
        ASSERT_OK(TruncateFileDescriptor(fd, 6));
    }
    EXPECT_OK(opened->Close());
    EXPECT_EQ(testing::ReadTestFile(file), "abcd\0\0"s);
}

// A descriptor closes itself when it goes, also when it is handed on: a folder's lock is let
// go with it, and a moved-from descriptor closes nothing a second time.
TEST_F(FileIo, DescriptorsAndLocksGoWithTheirOwner) {
    testing::WriteTestFile(folder / "locked", "x");
    // Another thread stands for another program (a Windows mutex lets its owner in again).
    auto takenElsewhere = [&] {
        std::optional<Error> refused;
        std::thread([&] {
            if (Expected<FolderLock> lock = FolderLock::TryTake(folder); !lock)
                refused = lock.error();
        }).join();
        return refused;
    };
    {
        Expected<FolderLock> held = FolderLock::TryTake(folder);
        ASSERT_OK(held);
        std::optional<Error> refused = takenElsewhere();
        ASSERT_TRUE(refused);
        EXPECT_TRUE(IsHeldByAnother(*refused)) << refused->text;
        FolderLock moved = std::move(*held);
        EXPECT_TRUE(takenElsewhere());
    }
    EXPECT_FALSE(takenElsewhere());

    Expected<FileDescriptor> first = OpenFileDescriptor(folder / "locked", O_RDWR);
    Expected<FileDescriptor> second = OpenFileDescriptor(folder / "locked", O_RDWR);
    ASSERT_OK(first);
    ASSERT_OK(second);
    ASSERT_OK(LockFileDescriptor(*first, FileLock::Exclusive));
    Expected<void> blocked = TryLockFileDescriptor(*second, FileLock::Shared);
    ASSERT_FALSE(blocked);
    EXPECT_TRUE(IsHeldByAnother(blocked.error())) << blocked.error().text;
    {
        FileDescriptor owner = std::move(*first);
        EXPECT_FALSE(first->IsOpen());
    }
    EXPECT_OK(TryLockFileDescriptor(*second, FileLock::Exclusive));
    EXPECT_OK(first->Close()); // nothing left to close
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
