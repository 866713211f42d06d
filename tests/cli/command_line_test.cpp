#include "cli/command_line.h"

#include "backup/run_report.h"
#include "base/file_io.h"
#include "base/win_errors.h"
#include "directory/tntads.h"
#include "platform/platform.h"
#include "support/expect_ok.h"
#include "support/scoped_backends.h"
#include "support/scoped_platform.h"
#include "support/scripted_netdfs.h"
#include "support/temp_folder.h"
#include "support/test_files.h"

#include <gtest/gtest.h>
#include <optional>
#include <sstream>

namespace kestrune {
namespace {

class CommandLineTest : public ::testing::Test {
  protected:
    void UseSampleDomain() {
        std::filesystem::copy_file(std::string(KESTRUNE_SAMPLES) + "/example.ldif",
                                   folder / "domain.ldif");
        domain.emplace(folder / "domain.ldif");
        ASSERT_OK(domain->installed());
    }
    // The domain's file is let go before its folder is removed: Windows removes no open file.
    void TearDown() override { domain.reset(); }
    std::optional<testing::ScopedSimulatedDomain> domain;
    int Run(std::vector<std::string> arguments) {
        out.str("");
        err.str("");
        return RunCommandLine(arguments, {out, err});
    }
    std::vector<std::string> FilesIn(const std::string& name) {
        std::vector<std::string> names;
        std::error_code ignored;
        for (const auto& e : std::filesystem::directory_iterator(folder / name, ignored))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    testing::TempFolder folder;
    std::ostringstream out, err;
};

TEST_F(CommandLineTest, UsageErrorsEndWithStatusTwoAndChangeNothing) {
    UseSampleDomain();
    // An empty folder would otherwise wait for someone to close a window nobody sees.
    EXPECT_EQ(Run({"", ""}), kExitUsage);
    EXPECT_NE(err.str().find("no output folder"), std::string::npos);
    EXPECT_EQ(Run({"pfx"}), kExitUsage);
    EXPECT_NE(err.str().find("usage: kestrune PREFIX FOLDER [DOMAIN]"), std::string::npos);
    EXPECT_EQ(Run({"--bogus"}), kExitUsage);
    EXPECT_NE(err.str().find("unknown option --bogus"), std::string::npos);
    EXPECT_EQ(Run({"--restore"}), kExitUsage);
    EXPECT_EQ(Run({"--dry-run", "p", "f"}), kExitUsage);

    // A prefix names files in the folder, never another folder.
    EXPECT_EQ(Run({"../x_", (folder / "out").string()}), kExitUsage);
    EXPECT_EQ(err.str(), "kestrune: the prefix \"../x_\" holds a path separator; a prefix begins "
                         "the names of the backup files in the output folder and cannot name a "
                         "folder\n");
    EXPECT_EQ(Run({"a\\b", (folder / "out").string()}), kExitUsage);
    EXPECT_FALSE(std::filesystem::exists(folder / "out"));
    EXPECT_TRUE(FilesIn("").size() == 1); // the domain file alone

    EXPECT_EQ(Run({"--help"}), kExitSuccess);
    EXPECT_NE(out.str().find("usage:"), std::string::npos);
    EXPECT_TRUE(err.str().empty());
    EXPECT_EQ(Run({"--version"}), kExitSuccess);
    EXPECT_EQ(out.str().rfind("kestrune ", 0), 0u);
}

TEST_F(CommandLineTest, TheDirectorysMessagesGoToTheConsoleOnlyWhileTheCommandRuns) {
    std::vector<std::string> shown;
    TNTADS::MessageHookScope outer([&shown](const AnsiString& text) { shown.push_back(text); });
    {
        std::ostringstream err2;
        EXPECT_EQ(RunCommandLine({"--verify", (folder / "missing.txt").string()}, {out, err2}),
                  kExitUsage);
    }
    // The command's console is gone; the message reaches the hook that was there before.
    TNTADS::ShowMessage("after the command");
    EXPECT_EQ(shown, std::vector<std::string>{"after the command"});
}

TEST_F(CommandLineTest, BacksUpTheOwnDomainWithProgressAndALoneDoubleDashEndsOptions) {
    UseSampleDomain();
    const std::string target = (folder / "out").string();
    // The sample's Greek link names do not fit code page 1252: written, but said, even when
    // quiet, with a status of its own.
    EXPECT_EQ(Run({"--quiet", "--", "--pfx", target}), kExitCharactersLost) << err.str();
    EXPECT_EQ(FilesIn("out"),
              (std::vector<std::string>{"--pfxArchive.properties.xml", "--pfxArchive.txt",
                                        "--pfxLegacy.properties.xml", "--pfxLegacy.txt",
                                        "--pfxProjets.properties.xml", "--pfxProjets.txt",
                                        "--pfxPublic.properties.xml", "--pfxPublic.txt",
                                        "--pfxUsers.properties.xml", "--pfxUsers.txt"}));
    EXPECT_EQ(err.str().find("kestrune: Some lines lost characters"), 0u) << err.str();
    EXPECT_NE(err.str().find("  --pfxProjets.txt: 2 lines, for example\n    dfscmd /map "
                             "\"\\\\example.com\\Projets\\????????\""),
              std::string::npos);

    EXPECT_EQ(Run({"", target, "DC=sales,DC=example,DC=com"}), kExitSuccess) << err.str();
    EXPECT_TRUE(std::filesystem::exists(folder / "out" / "Sales.txt"));
    EXPECT_NE(err.str().find("kestrune: Sales: "), std::string::npos) << err.str();
}

TEST_F(CommandLineTest, NothingToBackUpIsNeverReportedAsSuccess) {
    // No platform at all.
    EXPECT_EQ(Run({"", (folder / "out").string()}), kExitFailure);
    EXPECT_EQ(err.str(), "kestrune: Active Directory is not available\n"
                         "kestrune: The specified domain either does not exist or could not be "
                         "contacted; name the domain on the command line\n");

    // A mistyped domain.
    UseSampleDomain();
    EXPECT_EQ(Run({"", (folder / "out").string(), "exmaple.com"}), kExitFailure);
    EXPECT_NE(err.str().find("the namespaces of exmaple.com could not be listed: "),
              std::string::npos)
        << err.str();
    EXPECT_TRUE(FilesIn("out").empty());
}

TEST_F(CommandLineTest, ADomainWithoutNamespacesSaysSo) {
    auto fake = std::make_shared<testing::ScriptedNetDfs>();
    fake->answers = {{ERROR_NO_MORE_ITEMS, {}, {}}};
    testing::ScopedNetDfsApi installed(fake);
    EXPECT_EQ(Run({"", (folder / "out").string(), "empty.test"}), kExitSuccess);
    EXPECT_EQ(err.str(), "kestrune: empty.test has no DFS namespaces; nothing to back up\n");
}

TEST_F(CommandLineTest, AnUnreadableNamespaceKeepsItsFileAndFailsTheRun) {
    auto fake = std::make_shared<testing::ScriptedNetDfs>();
    fake->answers = {{0, {u"Good", u"Bad"}, {}},
                     {ERROR_NO_MORE_ITEMS, {}, {}},
                     // Bad, listed first in order, fails; Good reads nothing.
                     {ERROR_ACCESS_DENIED, {}, {}},
                     {ERROR_NO_MORE_ITEMS, {}, {}}};
    testing::ScopedNetDfsApi installed(fake);
    std::filesystem::create_directories(folder / "out");
    testing::WriteTestFile(folder / "out" / "Bad.txt", "yesterday");
    EXPECT_EQ(Run({"", (folder / "out").string(), "d.test"}), kExitFailure);
    EXPECT_EQ(testing::ReadTestFile(folder / "out" / "Bad.txt"), "yesterday");
    EXPECT_EQ(testing::ReadTestFile(folder / "out" / "Good.txt"), "");
    EXPECT_NE(err.str().find("  Bad: 5: Access is denied."), std::string::npos) << err.str();
}

} // namespace
} // namespace kestrune
