// When a restore says that namespace servers see its changes only at their next poll: after
// lines that changed the directory, naming each changed namespace once, and only where the
// links were written straight into the directory.
#include "backup/propagation_note.h"
#include "backup/restore_run.h"
#include "backup/text_restore_log.h"
#include "base/file_io.h"
#include "support/sample_domain_cli.h"
#include "support/test_files.h"

#include <gtest/gtest.h>
#include <set>

namespace kestrune {
namespace {

class PropagationNoteTest : public testing::SampleDomainCli {
  protected:
    // Restores every line of file as --restore does; the namespaces the run changed.
    std::vector<AnsiString> Restore(const std::filesystem::path& file) {
        std::vector<AnsiString> lines;
        for (const std::string& line : testing::Lines(testing::ReadTestFile(file)))
            lines.push_back(line.substr(0, line.find('\r')));
        const std::vector<BackupRecord> records = ParseBackupRecords(lines);
        TOXLDFS dfs;
        TextRestoreLog log;
        const bool cancel = false;
        RestoreRun run(dfs, log, cancel);
        run.backupFile = file;
        return run.Run(AllLines(std::span<const BackupRecord>(records))).changedNamespaces;
    }
};

TEST_F(PropagationNoteTest, OnlyLinesThatChangedTheDirectoryCount) {
    const std::filesystem::path file = BackUp("b") / "Public.txt";
    // Every line already there: nothing to propagate.
    EXPECT_EQ(Restore(file), std::vector<AnsiString>());

    DeleteLink("Public", "/Policies");
    const std::vector<AnsiString> changed = Restore(file);
    ASSERT_FALSE(changed.empty());
    EXPECT_EQ(std::set<AnsiString>(changed.begin(), changed.end()),
              std::set<AnsiString>{"\\\\example.com\\Public"});
    // The link is back: a second run changes nothing again.
    EXPECT_EQ(Restore(file), std::vector<AnsiString>());
}

TEST_F(PropagationNoteTest, EachChangedNamespaceIsNamedOnceInTheOrderOfTheRun) {
    const AnsiString note = PropagationNote(
        {"\\\\example.com\\Public", "\\\\example.com\\Legacy", "\\\\EXAMPLE.COM\\public"});
    EXPECT_NE(note.find("run on the namespace servers: dfsutil root forcesync "
                        "\\\\example.com\\Public; dfsutil root forcesync "
                        "\\\\example.com\\Legacy (or restart"),
              std::string::npos)
        << note;
    EXPECT_EQ(note.find("EXAMPLE.COM"), std::string::npos) << note;
}

// The simulated domain is no directory that namespace servers poll: its restore says nothing
// of forcesync, on standard error or anywhere else.
TEST_F(PropagationNoteTest, NothingIsSaidWhenNoServerPollsTheDirectoryWritten) {
    const std::filesystem::path file = BackUp("b") / "Public.txt";
    DeleteLink("Public", "/Policies");
    EXPECT_EQ(Run({"--restore", file.string()}), kExitSuccess) << err.str();
    EXPECT_NE(out.str().find("restored: "), std::string::npos) << out.str();
    EXPECT_EQ(err.str().find("forcesync"), std::string::npos) << err.str();
    EXPECT_EQ(out.str().find("forcesync"), std::string::npos) << out.str();
}

} // namespace
} // namespace kestrune
