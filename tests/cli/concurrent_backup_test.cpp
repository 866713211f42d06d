// Backups with --keep 1 running at the same time in two programs into one folder, each seeing a
// different version of a namespace: every run succeeds, nothing is torn, and the file each run
// replaced is in history.
#include "backup/backup_folder_lock.h"
#include "backup/backup_history.h"
#include "base/sha256.h"
#include "support/sample_domain_cli.h"
#include "support/test_files.h"

#include <sys/wait.h>
#include <unistd.h>

namespace kestrune {
namespace {

class ConcurrentBackup : public testing::SampleDomainCli {
  protected:
    static void ExpectPairWhole(const std::filesystem::path& file) {
        ASSERT_TRUE(std::filesystem::exists(PropertiesFileOf(file))) << file;
        EXPECT_NE(testing::ReadTestFile(PropertiesFileOf(file))
                      .find("BackupFileSha256=\"" + Sha256Hex(testing::ReadTestFile(file)) + "\""),
                  std::string::npos)
            << file << " stands beside another version's properties file";
    }
};

TEST_F(ConcurrentBackup, TwoRunsIntoOneFolderTakeTurnsAndPruneOnlyWhatTheyKept) {
    // A second domain file whose Public namespace says something else.
    const std::filesystem::path otherFile = folder / "other.ldif";
    std::filesystem::copy_file(domainFile, otherFile);
    auto opened = store::MemoryStore::Open(otherFile);
    ASSERT_TRUE(opened) << opened.error().text;
    std::shared_ptr<store::MemoryStore> other = std::move(*opened);
    ASSERT_TRUE(other
                    ->Modify(LinkDn("Public", "/Software"),
                             {{store::Modification::Op::Replace, "msDFS-Commentv2", {"other"}}})
                    .ok());
    const std::filesystem::path backups = folder / "b", file = backups / "Public.txt";
    std::filesystem::create_directories(backups);

    constexpr int kRuns = 20;
    int start[2];
    ASSERT_EQ(::pipe(start), 0);
    std::vector<pid_t> children;
    for (int p = 0; p < 2; ++p) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::close(start[1]);
            char go;
            (void)!::read(start[0], &go, 1); // the end of the pipe starts both
            if (p == 1) InstallStorePlatform(other);
            int failed = 0;
            for (int run = 0; run < kRuns; ++run)
                if (Run({"--quiet", "--keep", "1", "", backups.string()}) != kExitCharactersLost)
                    ++failed;
            ::_exit(failed);
        }
        children.push_back(pid);
    }
    ::close(start[0]);
    ::close(start[1]);
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status)) << status;
        EXPECT_EQ(WEXITSTATUS(status), 0) << "runs that failed";
    }

    // The runs took turns: the newest replaced file is in history, beside its own properties.
    ExpectPairWhole(file);
    const std::vector<std::filesystem::path> copies = HistoryCopies(HistoryFolder(backups), file);
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_NE(testing::ReadTestFile(copies[0]), testing::ReadTestFile(file));
    ExpectPairWhole(copies[0]);
    for (const auto& entry : std::filesystem::directory_iterator(backups))
        EXPECT_FALSE(IsTemporaryFileName(entry.path().filename().string())) << entry.path();

    // A run that finds the folder taken for longer than it waits writes nothing and says so.
    auto held = BackupFolderLock::Take(backups, std::chrono::milliseconds(0));
    ASSERT_TRUE(held) << held.error().text;
    const pid_t pid = ::fork();
    if (pid == 0) {
        auto again = BackupFolderLock::Take(backups, std::chrono::milliseconds(200));
        ::_exit(!again && again.error().text.find("Another backup is writing into the folder") !=
                              std::string::npos
                    ? 0
                    : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

} // namespace
} // namespace kestrune
