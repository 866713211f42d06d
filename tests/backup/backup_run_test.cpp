#include "backup/backup_run.h"

#include "backup/run_report.h"
#include "base/file_io.h"
#include "base/win_errors.h"
#include "support/expect_ok.h"
#include "support/scripted_netdfs.h"
#include "support/temp_folder.h"
#include "support/test_files.h"

#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>
#ifndef _WIN32
#include <sys/file.h>
#endif

namespace kestrune {
namespace {

using testing::ScriptedAnswer;

DfsEntryRecord Link(std::u16string path, std::u16string comment,
                    std::vector<DfsStorageRecord> storages) {
    return {std::move(path), std::move(comment), std::move(storages)};
}

class BackupRunTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fake = std::make_shared<testing::ScriptedNetDfs>();
        InstallNetDfsApi(fake);
    }
    void TearDown() override { InstallNetDfsApi(nullptr); }

    BackupRunResult Run(const std::vector<WideString>& names) {
        BackupRun run(dfs, lines, cancel);
        ConnectBackupRun connect(dfs, run);
        return run.Run("example.com", names, folder.path(), "");
    }

    std::shared_ptr<testing::ScriptedNetDfs> fake;
    TOXLDFS dfs;
    TStringList lines;
    bool cancel = false;
    testing::TempFolder folder;
};

TEST_F(BackupRunTest, AFailedEnumerationLeavesThePreviousBackupAsItWas) {
    testing::WriteTestFile(folder / "Broken.txt", "last night's complete backup\r\n");
    testing::WriteTestFile(folder / "Down.txt", "kept too\r\n");
    fake->answers = {
        // Broken: one page of reports, then the connection fails.
        {0, {}, {Link(u"\\\\example.com\\Broken\\A", u"", {{u"FS1", u"A"}})}},
        {ERROR_BAD_NETPATH, {}, {}},
        // Down: fails at the first call.
        {ERROR_ACCESS_DENIED, {}, {}},
        // Fine: read to its end (the script answers 259 afterwards).
        {0, {}, {Link(u"\\\\example.com\\Fine\\B", u"b", {{u"FS1", u"B"}, {u"FS2", u"B"}})}},
    };
    BackupRunResult result = Run({u"Broken", u"Down", u"Fine"});

    EXPECT_EQ(testing::ReadTestFile(folder / "Broken.txt"), "last night's complete backup\r\n");
    EXPECT_EQ(testing::ReadTestFile(folder / "Down.txt"), "kept too\r\n");
    EXPECT_EQ(testing::ReadTestFile(folder / "Fine.txt"),
              "dfscmd /add \"\\\\example.com\\Fine\\B\" \"\\\\FS2\\B\" \"b\"\r\n"
              "dfscmd /map \"\\\\example.com\\Fine\\B\" \"\\\\FS1\\B\" \"b\"\r\n");
    ASSERT_EQ(result.namespaces.size(), 3u);
    EXPECT_EQ(result.namespaces[0].outcome, NamespaceBackup::Outcome::ReadFailed);
    EXPECT_EQ(result.namespaces[0].status, ERROR_BAD_NETPATH);
    EXPECT_EQ(result.namespaces[1].error, "5: Access is denied.");
    EXPECT_EQ(result.namespaces[2].outcome, NamespaceBackup::Outcome::Written);
    EXPECT_EQ(result.namespaces[2].lines, 2);

    RunReport report = DescribeBackupRun(result);
    EXPECT_EQ(report.exitStatus, kExitFailure);
    EXPECT_NE(report.errors.find("  Broken: 53: The network path was not found."),
              std::string::npos)
        << report.errors;
    EXPECT_NE(report.errors.find("  Down: 5: Access is denied."), std::string::npos);
    EXPECT_EQ(report.errors.find("Fine"), std::string::npos);
}

TEST_F(BackupRunTest, ANamespaceThatReportsNothingGetsAnEmptyFile) {
    testing::WriteTestFile(folder / "Empty.txt", "old");
    fake->answers = {{ERROR_NO_MORE_ITEMS, {}, {}}};
    BackupRunResult result = Run({u"Empty"});
    EXPECT_EQ(result.namespaces[0].outcome, NamespaceBackup::Outcome::Written);
    EXPECT_EQ(testing::ReadTestFile(folder / "Empty.txt"), "");
    EXPECT_EQ(DescribeBackupRun(result).exitStatus, kExitSuccess);
}

TEST_F(BackupRunTest, LinesThatLoseCharactersAreCountedAndShown) {
    // The default code page is 1252: Greek does not survive, and a line break would split
    // the line in two.
    fake->answers = {{0,
                      {},
                      {Link(u"\\\\example.com\\N\\\u0391\u03c1\u03c7\u03b5\u03af\u03b1", u"",
                            {{u"FS1", u"Greek"}}),
                       Link(u"\\\\example.com\\N\\Caf\u00e9", u"two\r\nlines", {{u"FS1", u"C"}}),
                       Link(u"\\\\example.com\\N\\Plain", u"", {{u"FS1", u"P"}})}}};
    BackupRunResult result = Run({u"N"});
    const NamespaceBackup& n = result.namespaces[0];
    EXPECT_EQ(n.outcome, NamespaceBackup::Outcome::Written);
    EXPECT_EQ(n.lines, 3);
    EXPECT_EQ(n.lossyLines, 2);
    ASSERT_EQ(n.lossySamples.size(), 2u);
    EXPECT_EQ(n.lossySamples[0],
              "dfscmd /map \"\\\\example.com\\N\\??????\" \"\\\\FS1\\Greek\" \"\"");
    RunReport report = DescribeBackupRun(result);
    EXPECT_EQ(report.exitStatus, kExitCharactersLost);
    EXPECT_NE(report.warnings.find("N.txt: 2 lines"), std::string::npos) << report.warnings;
    EXPECT_NE(report.warnings.find("KESTRUNE_CODEPAGE=65001"), std::string::npos);
    EXPECT_TRUE(report.errors.empty());
}

TEST_F(BackupRunTest, FileAndFolderNamesKeepEveryCharacter) {
    fake->answers = {{0, {}, {Link(u"\\\\example.com\\Caf\u00e9\\A", u"", {{u"FS1", u"A"}})}}};
    // Names from UTF-16 text: a narrow literal would be read byte by byte on Windows.
    std::filesystem::path target = folder / std::filesystem::path(u"Sicherung-\u0394\u03bf\u03ba");
    std::filesystem::create_directories(target);
    BackupRun run(dfs, lines, cancel);
    ConnectBackupRun connect(dfs, run);
    // Cyrillic names cannot pass through code page 1252 to the platform: refused, not mixed up
    // as one "??????" with each other.
    BackupRunResult result = run.Run("example.com",
                                     {u"Caf\u00e9", u"\u041e\u0442\u0447\u0451\u0442\u044b",
                                      u"\u0421\u043a\u043b\u0430\u0434\u044b"},
                                     target, std::filesystem::path(u"\u00dc-"));
    EXPECT_TRUE(std::filesystem::exists(target / std::filesystem::path(u"\u00dc-Caf\u00e9.txt")));
    EXPECT_EQ(result.namespaces[1].outcome, NamespaceBackup::Outcome::ReadFailed);
    EXPECT_EQ(result.namespaces[2].outcome, NamespaceBackup::Outcome::ReadFailed);
    EXPECT_NE(result.namespaces[1].error.find("code page 1252"), std::string::npos);
    EXPECT_EQ(fake->enumCalls.size(), 2u); // only Café was asked for (a page and the end)
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(target), {}),
              2); // and its properties

    // The parts are joined as text: a prefix that looks like an absolute path stays inside.
    EXPECT_EQ(BackupFileName("/out", "/etc/", u"N").lexically_normal(), "/out/etc/N.txt");
    EXPECT_EQ(BackupFileName("/out/", "p-", u"N"), "/out/p-N.txt");
}

TEST_F(BackupRunTest, AFailedWriteStopsTheRunAndCancelStopsBetweenNamespaces) {
    testing::WriteTestFile(folder / "file", "");
    BackupRun run(dfs, lines, cancel);
    ConnectBackupRun connect(dfs, run);
    BackupRunResult result = run.Run("example.com", {u"A", u"B"}, folder / "file", "");
    ASSERT_EQ(result.namespaces.size(), 1u);
    EXPECT_EQ(result.namespaces[0].outcome, NamespaceBackup::Outcome::WriteFailed);
#ifdef _WIN32
    const std::string reason = "A.txt\". " + SystemError(ERROR_PATH_NOT_FOUND).text;
#else
    const std::string reason = "A.txt\". " + SystemError(ENOTDIR).text;
#endif
    EXPECT_NE(result.namespaces[0].error.find(reason), std::string::npos)
        << result.namespaces[0].error;

    // A cancel during a namespace lets it finish and be written, then stops.
    run.processMessages = [&] { cancel = true; };
    result = run.Run("example.com", {u"A", u"B"}, folder.path(), "");
    EXPECT_TRUE(result.cancelled);
    ASSERT_EQ(result.namespaces.size(), 1u);
    EXPECT_TRUE(std::filesystem::exists(folder / "A.txt"));
    EXPECT_FALSE(std::filesystem::exists(folder / "B.txt"));
}

TEST_F(BackupRunTest, AReportLostToAnErrorFailsTheReadAndKeepsThePreviousBackup) {
    testing::WriteTestFile(folder / "N.txt", "last night's complete backup\r\n");
    fake->answers = {{0,
                      {},
                      {Link(u"\\\\example.com\\N\\A", u"", {{u"FS1", u"A"}, {u"FS2", u"A"}}),
                       Link(u"\\\\example.com\\N\\B", u"", {{u"FS1", u"B"}})}}};
    BackupRun run(dfs, lines, cancel);
    ConnectBackupRun connect(dfs, run);
    // The component swallows what a report raises and goes on with the next one.
    dfs.ONDFSEnum2Wide = [&run](TOXLDFS*, const WideString& path, const WideString& share,
                                const WideString& comment) {
        if (share == u"FS2\\A") throw std::bad_alloc();
        run.ReportWide(path, share, comment);
    };
    BackupRunResult result = run.Run("example.com", {u"N"}, folder.path(), "");
    ASSERT_EQ(result.namespaces.size(), 1u);
    EXPECT_EQ(result.namespaces[0].outcome, NamespaceBackup::Outcome::ReadFailed);
    EXPECT_EQ(result.namespaces[0].error,
              "1 report was lost to an error while the namespace was read; the previous backup "
              "was kept.");
    EXPECT_EQ(testing::ReadTestFile(folder / "N.txt"), "last night's complete backup\r\n");
    EXPECT_EQ(DescribeBackupRun(result).exitStatus, kExitFailure);
}

TEST_F(BackupRunTest, APrefixThatNamesAFolderWritesNothing) {
    fake->answers = {{0, {}, {Link(u"\\\\example.com\\A\\L", u"", {{u"FS1", u"L"}})}}};
    std::filesystem::create_directory(folder / "sub");
    BackupRun run(dfs, lines, cancel);
    ConnectBackupRun connect(dfs, run);
    BackupRunResult result = run.Run("example.com", {u"A", u"B"}, folder / "sub", "../x_");
    ASSERT_EQ(result.namespaces.size(), 1u);
    EXPECT_EQ(result.namespaces[0].outcome, NamespaceBackup::Outcome::WriteFailed);
    EXPECT_EQ(result.namespaces[0].error.rfind("The prefix \"../x_\" holds a path separator", 0),
              0u);
    EXPECT_FALSE(std::filesystem::exists(folder / "x_A.txt"));
    EXPECT_TRUE(std::filesystem::is_empty(folder / "sub"));
    EXPECT_EQ(DescribeBackupRun(result).exitStatus, kExitFailure);
}

TEST_F(BackupRunTest, TheComponentsHandlersComeBackAfterTheRun) {
    int before = 0;
    dfs.ONDFSEnum2 = [&](TOXLDFS*, AnsiString, AnsiString, AnsiString, int32_t, bool&) {
        ++before;
    };
    {
        BackupRun run(dfs, lines, cancel);
        ConnectBackupRun connect(dfs, run);
        EXPECT_FALSE(dfs.ONDFSEnum2Wide == nullptr);
    }
    bool abort = false;
    dfs.ONDFSEnum2(&dfs, "", "", "", 0, abort);
    EXPECT_EQ(before, 1);
    EXPECT_TRUE(dfs.ONDFSEnum2Wide == nullptr);
}

TEST(StaleTemporaries, KilledWritesAreRemovedLiveOnesAndOtherFilesKept) {
    testing::TempFolder folder;
    testing::WriteTestFile(folder / ".Big.txt.kestrune-AbC123", "left by kill -9");
    testing::WriteTestFile(folder / ".Live.txt.kestrune-XyZ789", "being written");
    testing::WriteTestFile(folder / ".notes.txt.backup", "the user's own");
    testing::WriteTestFile(folder / "Big.txt", "a backup");
    // A write in progress holds its file: locked on POSIX, open (so undeletable) on Windows.
    Expected<FileDescriptor> live =
        OpenFileDescriptor(folder / ".Live.txt.kestrune-XyZ789", O_WRONLY | O_CREAT);
    ASSERT_OK(live);
#ifndef _WIN32
    ASSERT_EQ(::flock(live->Get(), LOCK_EX), 0);
#endif
    RemoveStaleTemporaries(folder.path());
    EXPECT_OK(live->Close());
    EXPECT_FALSE(std::filesystem::exists(folder / ".Big.txt.kestrune-AbC123"));
    EXPECT_TRUE(std::filesystem::exists(folder / ".Live.txt.kestrune-XyZ789"));
    EXPECT_TRUE(std::filesystem::exists(folder / ".notes.txt.backup"));
    EXPECT_TRUE(std::filesystem::exists(folder / "Big.txt"));
}

} // namespace
} // namespace kestrune
