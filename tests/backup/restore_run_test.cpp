#include "backup/restore_run.h"

#include "base/file_io.h"
#include "base/win_errors.h"
#include "dfs/scripted_netdfs.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

namespace kestrune {
namespace {

class RecordingLog : public RestoreLog {
  public:
    std::vector<std::pair<std::string, uint32_t>> lines;
    std::vector<std::string> events;
    bool plain = false;
    void ClearLines() override { lines.clear(); }
    void ShowLog() override { events.push_back("show"); }
    void AddLine(const AnsiString& msg, uint32_t color) override { lines.push_back({msg, color}); }
    void SetPlainText(bool p) override {
        plain = p;
        events.push_back(p ? "plain" : "rich");
    }
    void SaveLinesToFile(const std::filesystem::path& file) override {
        events.push_back(plain ? "save plain" : "save rich");
        std::string text;
        for (const auto& l : lines)
            text += l.first + "\r\n";
        WriteWholeFile(file, text);
    }
};

class RestoreRunTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fake = std::make_shared<testing::ScriptedNetDfs>();
        InstallNetDfsApi(fake);
    }
    void TearDown() override { InstallNetDfsApi(nullptr); }
    std::shared_ptr<testing::ScriptedNetDfs> fake;
    TOXLDFS dfs;
    RecordingLog log;
};

TEST_F(RestoreRunTest, NoSlashesDecidesTheServerNameAndTheProgressLine) {
    const AnsiString line = "dfscmd /map \"\\\\d\\n\\l\" \"\\\\srv\\share\\sub\" \"note\"";
    int pumped = 0;
    RestoreBackupLine(line, false, dfs, log, [&] {
        ++pumped;
        EXPECT_EQ(log.lines.size(), 1u); // after the progress line, before the call
        EXPECT_TRUE(fake->addCalls.empty());
    });
    ASSERT_EQ(fake->addCalls.size(), 1u);
    EXPECT_EQ(fake->addCalls[0].entry, u"\\\\d\\n\\l");
    EXPECT_EQ(fake->addCalls[0].server, u"\\\\srv");
    EXPECT_EQ(fake->addCalls[0].share, u"share\\sub");
    EXPECT_EQ(fake->addCalls[0].comment, u"note");
    EXPECT_EQ(pumped, 1);
    ASSERT_EQ(log.lines.size(), 2u);
    EXPECT_EQ(log.lines[0],
              std::make_pair(std::string("Restoring \\\\d\\n\\l to \\\\srv\\share\\sub  note"),
                             clYellow));
    EXPECT_EQ(log.lines[1], std::make_pair(std::string("Restored"), clLime));

    log.lines.clear();
    RestoreBackupLine("dfscmd /add \"\\\\d\\n\\l\" \"\\\\srv\\share\" \"\"", true, dfs, log,
                      nullptr);
    EXPECT_EQ(fake->addCalls[1].server, u"srv");
    EXPECT_EQ(fake->addCalls[1].comment, u"");
    EXPECT_EQ(log.lines[0].first,
              "Restoring \\\\d\\n\\l to srv\\share  "); // two blanks, empty comment
}

TEST_F(RestoreRunTest, FailuresAndShortLinesAreRedLines) {
    fake->addStatus = ERROR_FILE_EXISTS;
    RestoreBackupLine("dfscmd /map \"\\\\d\\n\\l\" \"\\\\s\\h\" \"\"", false, dfs, log, nullptr);
    EXPECT_EQ(log.lines.back(), std::make_pair(std::string("Failed 80: The file exists."), clRed));
    fake->addStatus = 99999;
    RestoreBackupLine("dfscmd /map \"\\\\d\\n\\l\" \"\\\\s\\h\" \"\"", false, dfs, log, nullptr);
    EXPECT_EQ(log.lines.back().first, "Failed 99999:");

    size_t calls = fake->addCalls.size();
    for (const char* shortLine : {"", "dfscmd /map \"\\\\d\\n\\l\" \"\\\\s\\h\"", "hand edited"}) {
        log.lines.clear();
        RestoreBackupLine(shortLine, false, dfs, log, nullptr);
        ASSERT_EQ(log.lines.size(), 1u);
        EXPECT_EQ(log.lines[0].second, clRed);
        EXPECT_EQ(log.lines[0].first, "Skipped, not a backup line: " + std::string(shortLine));
    }
    EXPECT_EQ(fake->addCalls.size(), calls);
}

TEST_F(RestoreRunTest, TheLogIsNamedAfterTheWholeBackupFileName) {
    auto folder =
        std::filesystem::temp_directory_path() / ("kestrune_restore_" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    log.AddLine("Starting restore", clLime);
    FinishRestoreLog(log, folder / "pfxPublic.txt");
    EXPECT_EQ(ReadWholeFile(folder / "pfxPublic.txt_restore.txt"),
              "Starting restore\r\n\r\n** Complete **\r\n");
    EXPECT_EQ(log.events, (std::vector<std::string>{"plain", "save plain", "rich"}));

    // A log that cannot be written is ignored; the window is put back all the same.
    log.events.clear();
    FinishRestoreLog(log, folder / "missing" / "x.txt");
    EXPECT_EQ(log.events, (std::vector<std::string>{"plain", "save plain", "rich"}));
    std::filesystem::remove_all(folder);
}

} // namespace
} // namespace kestrune
