// What the command line does with data a hostile or broken source hands it: a target list the
// program cannot read, backup files that are no backup files.
#include "backup/backup_history.h"
#include "backup/properties_file.h"
#include "backup/restore_run.h"
#include "platform/netdfs_over_store/dfs_target_list.h"
#include "support/sample_domain_cli.h"
#include "support/test_files.h"

#include <functional>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace kestrune {
namespace {

using namespace std::string_literals;

class HostileInputTest : public testing::SampleDomainCli {
  protected:
    std::string TargetList(const std::string& dn) {
        std::vector<store::Entry> found;
        EXPECT_TRUE(
            store::SearchAll(*directory,
                             {dn, store::Scope::Base, "(objectClass=*)", {"msDFS-TargetListv2"}, 0},
                             found)
                .ok());
        return found.empty() ? std::string() : found.front().First("msDFS-TargetListv2");
    }
    void SetTargetList(const std::string& dn, const std::string& bytes) {
        ASSERT_TRUE(
            directory
                ->Modify(dn, {{store::Modification::Op::Replace, "msDFS-TargetListv2", {bytes}}})
                .ok());
    }
};

TEST_F(HostileInputTest, AnUnreadableTargetListFailsTheReadAndIsNeverReplaced) {
    const auto backups = BackUp("b");
    const std::string before = testing::ReadTestFile(backups / "Public.txt");
    const std::string software = LinkDn("Public", "/Software");
    // Cut short in the middle of its second target.
    const std::string whole = TargetList(software);
    const std::string cut = whole.substr(0, whole.size() - 60);
    SetTargetList(software, cut);

    // The namespace is not read: its previous file stays, the link is named with the reason.
    EXPECT_EQ(Run({"", backups.string()}), kExitFailure);
    EXPECT_EQ(testing::ReadTestFile(backups / "Public.txt"), before);
    EXPECT_NE(
        err.str().find("  Public: 13: The data is invalid. (\\\\example.com\\Public\\Software: "
                       "its target list cannot be read: the list is cut short at character "),
        std::string::npos)
        << err.str();

    // A restore that would add to the list leaves it as it is and says why.
    testing::WriteTestFile(
        folder / "add.txt",
        "dfscmd /add \"\\\\example.com\\Public\\Software\" \"\\\\FS9\\Software\" \"\"\r\n");
    EXPECT_EQ(Run({"--quiet", "--restore", (folder / "add.txt").string()}), kExitFailure);
    EXPECT_NE(out.str().find("failed (13: The data is invalid. (\\\\example.com\\Public\\Software: "
                             "its target list cannot be read"),
              std::string::npos)
        << out.str();
    EXPECT_EQ(TargetList(software), cut);

    // The same for the namespace's own list, the root targets.
    SetTargetList(software, whole);
    const std::string root = "CN=Public,CN=Public,CN=Dfs-Configuration,CN=System,DC=example,DC=com";
    SetTargetList(root, "\xFF\xFE<\0t\0"s);
    EXPECT_EQ(Run({"", backups.string()}), kExitFailure);
    EXPECT_NE(err.str().find("(\\\\example.com\\Public: its target list cannot be read: "),
              std::string::npos)
        << err.str();
    EXPECT_EQ(testing::ReadTestFile(backups / "Public.txt"), before);
}

TEST_F(HostileInputTest, BackupInputIsARegularFileOfBoundedSize) {
    const std::string domainBefore = testing::ReadTestFile(domainFile);
    // Larger than any namespace's backup; sparse, so the test writes nothing.
    const std::filesystem::path huge = folder / "huge.txt";
    testing::WriteTestFile(huge,
                           "dfscmd /map \"\\\\example.com\\Public\\X\" \"\\\\FS1\\X\" \"\"\r\n");
    std::filesystem::resize_file(huge, kMaxBackupFileBytes + 1);
    std::vector<std::pair<std::filesystem::path, std::string>> inputs = {
        {huge, "It is larger than 512 MiB."}};
#ifndef _WIN32
    // A pipe nobody writes to would wait for ever; a device never ends.
    const std::filesystem::path fifo = folder / "fifo.txt";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    inputs.push_back({fifo, "It is not a regular file but a device, a pipe or a socket."});
    inputs.push_back({"/dev/zero", "It is not a regular file but a device, a pipe or a socket."});
#endif
    for (const auto& [input, reason] : inputs)
        for (const char* command : {"--restore", "--verify", "--compare"}) {
            EXPECT_EQ(Run({command, input.string()}), kExitUsage) << command << " " << input;
            EXPECT_NE(err.str().find("\"" + input.string() + "\". " + reason), std::string::npos)
                << err.str();
            EXPECT_EQ(out.str(), "");
        }
    EXPECT_EQ(testing::ReadTestFile(domainFile), domainBefore);
}

// The properties file beside a backup file: a pipe, a device or a huge file is refused without
// waiting and the links get defaults, as when it is missing; each run says so once.
TEST_F(HostileInputTest, WhatIsReadBesideABackupFileIsARegularFileOfBoundedSizeOrNamed) {
    const std::filesystem::path file = BackUp("b") / "Archive.txt";
    const std::filesystem::path properties = PropertiesFileOf(file);
    const std::string fullName = FullFileName(properties);
    std::vector<std::pair<std::function<void()>, std::string>> cases = {
        {[&] { std::filesystem::remove(properties); },
         "the properties file \"" + fullName + "\" is missing"},
        {[&] {
             testing::WriteTestFile(properties, "<");
             std::filesystem::resize_file(properties, kMaxPropertiesFileBytes + 1);
         },
         "\"" + fullName + "\". It is larger than 1024 MiB."},
    };
#ifndef _WIN32
    cases.push_back({[&] { ASSERT_EQ(::mkfifo(properties.c_str(), 0600), 0); },
                     "\"" + fullName + "\". It is not a regular file but a device, a pipe"});
    cases.push_back({[&] { std::filesystem::create_symlink("/dev/zero", properties); },
                     "\"" + fullName + "\". It is not a regular file but a device, a pipe"});
#endif
    for (const auto& [make, warning] : cases) {
        std::filesystem::remove(properties);
        make();
        for (std::vector<std::string> command :
             {std::vector<std::string>{"--restore", file.string(), "--dry-run"},
              {"--restore", file.string()},
              {"--compare", file.string()}}) {
            EXPECT_EQ(Run(command), kExitSuccess) << command[0] << " " << err.str();
            const std::string said = err.str();
            const size_t at = said.find(warning);
            EXPECT_NE(at, std::string::npos) << warning << "\n" << said;
            EXPECT_EQ(said.find(warning, at + 1), std::string::npos) << "said twice: " << said;
            EXPECT_NE(said.find(command[0] == "--compare"
                                    ? "; properties are not compared"
                                    : "restored with the platform's defaults"),
                      std::string::npos)
                << said;
        }
    }
}

} // namespace
} // namespace kestrune
