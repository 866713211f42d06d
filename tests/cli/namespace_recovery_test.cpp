// A namespace that is gone brought back from its backup, and a backup restored into another
// namespace or onto renamed file servers, on a private copy of the sample domain.
#include "backup/backup_history.h"
#include "base/file_io.h"
#include "support/delete_subtree.h"
#include "support/sample_domain_cli.h"
#include "support/test_files.h"

#include <regex>

namespace kestrune {
namespace {

using testing::Lines;

class NamespaceRecoveryTest : public testing::SampleDomainCli {
  protected:
    // Deletes a namespace of example.com with everything below it, anchor included.
    void DeleteNamespace(const std::string& ns) {
        ASSERT_GT(testing::DeleteExampleNamespace(*directory, ns), 0u) << ns;
    }
    static std::string Replaced(std::string text, const std::string& from, const std::string& to) {
        for (size_t at = text.find(from); at != std::string::npos;
             at = text.find(from, at + to.size()))
            text.replace(at, from.size(), to);
        return text;
    }
    // A properties file without the hash of its backup file, which differs with the file.
    static std::string WithoutHash(const std::string& xml) {
        return std::regex_replace(xml, std::regex("BackupFileSha256=\"[0-9a-f]+\""), "");
    }
};

TEST_F(NamespaceRecoveryTest, ADeletedNamespaceComesBackAsItWasBackedUp) {
    const std::filesystem::path first = BackUp("first") / "Public.txt";
    const std::string txt = testing::ReadTestFile(first);
    const std::string xml = testing::ReadTestFile(PropertiesFileOf(first));
    DeleteNamespace("Public");

    // The dry run says what it would create, and changes nothing.
    const std::string domainBefore = testing::ReadTestFile(domainFile);
    EXPECT_EQ(Run({"--restore", first.string(), "--dry-run"}), kExitSuccess) << err.str();
    const std::vector<std::string> planned = Lines(out.str());
    ASSERT_FALSE(planned.empty());
    EXPECT_EQ(planned.front(),
              R"(would create the namespace \\example.com\Public with root target \\DC1\Public: )"
              R"(dfscmd /map "\\example.com\Public" "\\DC1\Public" "Company public share")");
    EXPECT_EQ(planned[1], R"(would add a root target: dfscmd /add "\\example.com\Public" )"
                          R"("\\DC2\Public" "Company public share")");
    EXPECT_NE(err.str().find("1 namespace to create, 4 links and 3 targets to add, 0 already "
                             "there, 0 would fail"),
              std::string::npos)
        << err.str();
    EXPECT_EQ(testing::ReadTestFile(domainFile), domainBefore);

    EXPECT_EQ(Run({"--restore", first.string()}), kExitSuccess) << err.str();
    EXPECT_EQ(Lines(out.str()).front(),
              R"(created the namespace: dfscmd /map "\\example.com\Public" "\\DC1\Public" )"
              R"("Company public share")");
    // Both files of a new backup are the first ones, byte for byte.
    const std::filesystem::path second = BackUp("second") / "Public.txt";
    EXPECT_EQ(testing::ReadTestFile(second), txt);
    EXPECT_EQ(testing::ReadTestFile(PropertiesFileOf(second)), xml);
    EXPECT_EQ(Run({"--compare", first.string()}), kExitSuccess) << out.str();
}

TEST_F(NamespaceRecoveryTest, ANamespaceIsOnlyCreatedFromItsOwnLines) {
    const std::filesystem::path file = BackUp("b") / "Public.txt";
    DeleteNamespace("Public");
    // Without the root's lines the links have nowhere to go: each line fails and says why.
    std::string links;
    for (const std::string& line : Lines(testing::ReadTestFile(file)))
        if (line.find(R"("\\example.com\Public" )") == std::string::npos) links += line + "\n";
    const std::filesystem::path linksOnly = folder / "links.txt";
    testing::WriteTestFile(linksOnly, links);
    EXPECT_EQ(Run({"--restore", linksOnly.string(), "--dry-run"}), kExitFailure);
    EXPECT_NE(out.str().find("is gone; a line of its root creates it"), std::string::npos)
        << out.str();
    EXPECT_EQ(Run({"--restore", linksOnly.string()}), kExitFailure);
    EXPECT_EQ(Run({"--", "", (folder / "after").string()}), kExitCharactersLost);
    EXPECT_FALSE(std::filesystem::exists(folder / "after" / "Public.txt"));

    // The whole file brings it back; a second time, everything is there.
    EXPECT_EQ(Run({"--restore", file.string()}), kExitSuccess) << err.str();
    EXPECT_EQ(Run({"--restore", file.string()}), kExitSuccess);
    EXPECT_EQ(Lines(out.str()).size(), Lines(testing::ReadTestFile(file)).size());
    for (const std::string& line : Lines(out.str()))
        EXPECT_TRUE(line.starts_with("already there: ")) << line;
}

TEST_F(NamespaceRecoveryTest, ABackupGoesIntoAnotherNamespaceOfAnotherDomain) {
    const std::filesystem::path file = BackUp("b") / "Public.txt";
    const std::string as = R"(\\sales.example.com\Copy)";
    EXPECT_EQ(Run({"--restore", file.string(), "--as", as, "--dry-run"}), kExitSuccess)
        << err.str();
    EXPECT_TRUE(out.str().starts_with(
        R"(would create the namespace \\sales.example.com\Copy with root target \\DC1\Public: )"
        R"(dfscmd /map "\\sales.example.com\Copy" )"))
        << out.str();
    EXPECT_EQ(Run({"--restore", file.string(), "--as", as}), kExitSuccess) << err.str();
    EXPECT_EQ(Run({"--verify", file.string(), "--as", as}), kExitSuccess) << out.str();
    EXPECT_EQ(Run({"--compare", file.string(), "--as", as}), kExitSuccess) << out.str();

    // The copy backs up as the original with its new name, properties included.
    EXPECT_EQ(Run({"", (folder / "sales").string(), "sales.example.com"}), kExitSuccess)
        << err.str();
    const std::filesystem::path copy = folder / "sales" / "Copy.txt";
    EXPECT_EQ(testing::ReadTestFile(copy),
              Replaced(testing::ReadTestFile(file), R"(\\example.com\Public)", as));
    EXPECT_EQ(WithoutHash(testing::ReadTestFile(PropertiesFileOf(copy))),
              WithoutHash(Replaced(testing::ReadTestFile(PropertiesFileOf(file)),
                                   R"(\\example.com\Public)", as)));
    // The original is untouched.
    EXPECT_EQ(Run({"--compare", file.string()}), kExitSuccess) << out.str();
}

TEST_F(NamespaceRecoveryTest, RenamedFileServersAreMatchedByTheWholeName) {
    const std::filesystem::path file = BackUp("b") / "Public.txt";
    DeleteNamespace("Public");
    EXPECT_EQ(Run({"--restore", file.string(), "--map-server", "fs1=FS9", "--map-server",
                   "DC2=dc2.example.com"}),
              kExitSuccess)
        << err.str();
    EXPECT_NE(out.str().find(R"("\\FS9\Software")"), std::string::npos) << out.str();
    EXPECT_EQ(out.str().find(R"(\\FS1\)"), std::string::npos) << out.str();
    EXPECT_EQ(Run({"--compare", file.string(), "--map-server", "FS1=FS9", "--map-server",
                   "dc2=dc2.example.com"}),
              kExitSuccess)
        << out.str();
    // Held against the original names, every FS1 target is missing.
    EXPECT_EQ(Run({"--verify", file.string()}), kExitFailure);
    EXPECT_NE(
        out.str().find(R"(missing: dfscmd /map "\\example.com\Public\Policies" "\\FS1\Policies")"),
        std::string::npos)
        << out.str();

    // Names that cannot be servers, a server renamed twice, --as that is no namespace: usage.
    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{"--map-server", "FS1"},
          std::vector<std::string>{"--map-server", "FS1=\\\\FS9"},
          std::vector<std::string>{"--map-server", "FS1=A", "--map-server", "fs1=B"},
          std::vector<std::string>{"--as", "example.com\\Public"},
          std::vector<std::string>{"--as", "\\\\example.com\\Public\\Link"}}) {
        std::vector<std::string> arguments{"--restore", file.string()};
        arguments.insert(arguments.end(), bad.begin(), bad.end());
        EXPECT_EQ(Run(arguments), kExitUsage) << bad.back();
    }
    EXPECT_EQ(Run({"", (folder / "x").string(), "--as", "\\\\example.com\\Public"}), kExitUsage);
}

} // namespace
} // namespace kestrune
