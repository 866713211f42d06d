// --forest: every domain of the sample forest in one run, on a private copy of the sample.
#include "backup/backup_history.h"
#include "base/file_io.h"
#include "support/sample_domain_cli.h"
#include "support/test_files.h"

#include <regex>

namespace kestrune {
namespace {

using testing::Lines;

class ForestCommandTest : public testing::SampleDomainCli {
  protected:
    // The lines of standard error that name a domain or a namespace, times taken out.
    std::vector<std::string> Said() const {
        const std::regex time(", [0-9.]+ s"),
            named("kestrune: (domain [^ ]+|[^ ]+: [0-9]+ lines?, .*)");
        std::vector<std::string> said;
        for (const std::string& line : Lines(err.str()))
            if (std::regex_match(line, named))
                said.push_back(std::regex_replace(line, time, ", T s"));
        return said;
    }
    // The Sales namespace's link in the sales domain.
    std::string SalesLinkDn() {
        std::vector<store::Entry> found;
        EXPECT_TRUE(store::SearchAll(*directory,
                                     {"CN=Dfs-Configuration,CN=System,DC=sales,DC=example,DC=com",
                                      store::Scope::Subtree,
                                      "(objectClass=msDFS-Linkv2)",
                                      {"1.1"},
                                      0},
                                     found)
                        .ok());
        EXPECT_EQ(found.size(), 1u);
        return found.empty() ? std::string() : found.front().dn;
    }
};

TEST_F(ForestCommandTest, EveryDomainGoesIntoAFolderOfItsOwnWithItsHistory) {
    const std::filesystem::path backups = folder / "forest";
    // The Greek names of a namespace of example.com do not fit the default code page.
    ASSERT_EQ(Run({"--forest", "--keep", "3", "n_", backups.string()}), kExitCharactersLost)
        << err.str();
    EXPECT_EQ(Said(), (std::vector<std::string>{
                          "kestrune: domain example.com",
                          "kestrune: Archive: 1 line, T s (new)",
                          "kestrune: Legacy: 7 lines, T s (new)",
                          "kestrune: Projets: 4 lines, T s (new)",
                          "kestrune: Public: 8 lines, T s (new)",
                          "kestrune: Users: 3 lines, T s (new)",
                          "kestrune: domain sales.example.com",
                          "kestrune: Sales: 3 lines, T s (new)",
                      }));
    EXPECT_TRUE(std::filesystem::exists(backups / "example.com" / "n_Public.txt"));
    EXPECT_TRUE(std::filesystem::exists(backups / "example.com" / "n_Public.properties.xml"));
    const std::filesystem::path sales = backups / "sales.example.com" / "n_Sales.txt";
    const std::string before = testing::ReadTestFile(sales);
    // A domain's namespaces are its own: no file of example.com lands in sales' folder.
    EXPECT_EQ(before.find("\\\\example.com\\"), std::string::npos) << before;

    ASSERT_TRUE(directory->Delete(SalesLinkDn()).ok());
    ASSERT_EQ(Run({"--forest", "--keep", "3", "n_", backups.string()}), kExitCharactersLost);
    EXPECT_EQ(Said().back(), "kestrune: Sales: 1 line, T s (0 added, 2 removed, 0 changed)");
    const std::vector<std::filesystem::path> copies =
        HistoryCopies(backups / "sales.example.com" / "history", sales);
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(testing::ReadTestFile(copies.front()), before);
}

TEST_F(ForestCommandTest, ADomainNotReadKeepsItsFilesAndTheOthersStillRun) {
    const std::filesystem::path backups = folder / "forest";
    ASSERT_EQ(Run({"--forest", "", backups.string()}), kExitCharactersLost) << err.str();
    const std::filesystem::path sales = backups / "sales.example.com" / "Sales.txt";
    const std::string before = testing::ReadTestFile(sales);
    // A target list that cannot be read: the namespace is not read, never taken for empty.
    ASSERT_TRUE(directory
                    ->Modify(SalesLinkDn(), {{store::Modification::Op::Replace,
                                              "msDFS-TargetListv2",
                                              {std::string("\xFF\xFE<\0t\0", 6)}}})
                    .ok());
    const std::string publicBefore = testing::ReadTestFile(backups / "example.com" / "Public.txt");
    EXPECT_EQ(Run({"--forest", "", backups.string()}), kExitFailure);
    EXPECT_EQ(testing::ReadTestFile(sales), before);
    EXPECT_NE(err.str().find("kestrune: not every domain was backed up whole: sales.example.com"),
              std::string::npos)
        << err.str();
    EXPECT_EQ(testing::ReadTestFile(backups / "example.com" / "Public.txt"), publicBefore);
    EXPECT_NE(err.str().find("kestrune: Public: 8 lines"), std::string::npos);

    // The command line's own mistakes change nothing.
    EXPECT_EQ(Run({"--forest", "", backups.string(), "example.com"}), kExitUsage);
    EXPECT_EQ(Run({"--forest", "../x_", backups.string()}), kExitUsage);
    EXPECT_EQ(Run({"--forest", "--restore", sales.string()}), kExitUsage);
}

} // namespace
} // namespace kestrune
