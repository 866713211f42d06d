#include "backup/run_report.h"
#include "base/file_io.h"
#include "cli/command_line.h"
#include "support/temp_folder.h"
#include "support/test_files.h"

#include <gtest/gtest.h>
#include <sstream>

namespace kestrune {
namespace {

class ServersCommandTest : public ::testing::Test {
  protected:
    void Write(const std::filesystem::path& relative, const std::string& text) {
        std::filesystem::create_directories((folder / relative).parent_path());
        testing::WriteTestFile(folder / relative, text);
    }
    int Run(std::vector<std::string> arguments) {
        out.str("");
        err.str("");
        return RunCommandLine(arguments, {out, err});
    }
    // A forest's backup folder: a folder per domain, history, a restore log; one server written
    // in two cases, and once by its DNS name.
    void SetUp() override {
        Write("example.com/Public.txt",
              "dfscmd /map \"\\\\example.com\\Public\" \"\\\\DC1\\Public\" \"Company\"\r\n"
              "dfscmd /map \"\\\\example.com\\Public\\Software\" \"\\\\FS1\\Software\" \"x\"\r\n"
              "dfscmd /add \"\\\\example.com\\Public\\Software\" \"\\\\fs2\\Software\" \"x\"\r\n"
              "dfscmd /map \"\\\\example.com\\Public\\Data, old\" \"\\\\fs1\\Data\\Old\" "
              "\"\"\r\n"
              "dfscmd /map \"\\\\example.com\\Public\\Home\" \"\\\\FS1.example.com\\home$\" "
              "\"\"\r\n");
        Write("example.com/history/Public.20240101-000000.txt",
              "dfscmd /map \"\\\\example.com\\Public\\Retired\" \"\\\\FS9\\Old\" \"\"\r\n"
              "dfscmd /map \"\\\\example.com\\Public\\Software\" \"\\\\FS1\\Software\" \"x\"\r\n");
        Write("example.com/Public.txt_restore.txt",
              "2024-01-01 10:00:00\trestored: dfscmd /map \"\\\\example.com\\Public\\Logged\" "
              "\"\\\\FS7\\Logged\" \"\"\r\n");
        Write("sales.example.com/Sales.txt",
              "dfscmd /map \"\\\\sales.example.com\\Sales\\Reports\" \"\\\\FS1\\SalesReports\" "
              "\"\"\r\n");
    }

    testing::TempFolder folder;
    std::ostringstream out, err;
};

TEST_F(ServersCommandTest, ReportsEachServersSharesAndTheLinksThatGoDarkWithIt) {
    // The folder and one of its files named again: a target counts once however often it is read.
    ASSERT_EQ(Run({"--servers", folder.path().string(),
                   (folder / "example.com" / "Public.txt").string()}),
              kExitSuccess)
        << err.str();
    EXPECT_EQ(out.str(),
              "DC1: 1 share, 1 link, 1 with no target on another server\n"
              "  \\\\DC1\\Public\n"
              "    \\\\example.com\\Public (no target on another server)\n"
              "FS1: 3 shares, 3 links, 2 with no target on another server\n"
              "  \\\\FS1\\Data\n"
              "    \\\\example.com\\Public\\Data, old -> \\\\fs1\\Data\\Old (no target on "
              "another server)\n"
              "  \\\\FS1\\SalesReports\n"
              "    \\\\sales.example.com\\Sales\\Reports (no target on another server)\n"
              "  \\\\FS1\\Software\n"
              "    \\\\example.com\\Public\\Software (also on 1 other server)\n"
              "FS1.example.com: 1 share, 1 link, 1 with no target on another server\n"
              "  \\\\FS1.example.com\\home$\n"
              "    \\\\example.com\\Public\\Home (no target on another server)\n"
              "fs2: 1 share, 1 link, 0 with no target on another server\n"
              "  \\\\fs2\\Software\n"
              "    \\\\example.com\\Public\\Software (also on 1 other server)\n");

    // History copies only when asked for: a server retired since shows up then.
    ASSERT_EQ(Run({"--servers", "--history", folder.path().string()}), kExitSuccess);
    EXPECT_NE(out.str().find("FS9: 1 share, 1 link, 1 with no target on another server\n"
                             "  \\\\FS9\\Old\n"
                             "    \\\\example.com\\Public\\Retired"),
              std::string::npos)
        << out.str();
    EXPECT_EQ(out.str().find("FS7"), std::string::npos) << "a restore log is no backup";
}

TEST_F(ServersCommandTest, CsvQuotesAPathWithACommaAndEndsRowsWithCrLf) {
    ASSERT_EQ(Run({"--servers", "--format", "csv", (folder / "example.com").string()}),
              kExitSuccess)
        << err.str();
    EXPECT_EQ(out.str(),
              "Server,Share,Link,Target,Other servers\r\n"
              "DC1,Public,\\\\example.com\\Public,\\\\DC1\\Public,0\r\n"
              "FS1,Data,\"\\\\example.com\\Public\\Data, old\",\\\\fs1\\Data\\Old,0\r\n"
              "FS1,Software,\\\\example.com\\Public\\Software,\\\\FS1\\Software,1\r\n"
              "FS1.example.com,home$,\\\\example.com\\Public\\Home,\\\\FS1.example.com\\home$,0\r\n"
              "fs2,Software,\\\\example.com\\Public\\Software,\\\\fs2\\Software,1\r\n");
}

TEST_F(ServersCommandTest, ExportsInAFolderAreReadAndOtherXmlIsPassedOver) {
    Write("old/public-2019.xml",
          "<?xml version=\"1.0\"?>\r\n<Root Name=\"\\\\CONTOSO\\Public\" State=\"1\">\r\n"
          "<Target Server=\"CONTOSOROOT1\" Folder=\"Public\" State=\"2\" />\r\n"
          "<Link Name=\"R&D\"><Target Server=\"fs9\" Folder=\"R&D\" State=\"2\" /></Link>\r\n"
          "</Root>\r\n");
    Write("old/settings.xml", "\xEF\xBB\xBF<settings/>\r\n");
    Write("old/Public.properties.xml", "<DfsnProperties FormatVersion=\"1\"/>\r\n");
    ASSERT_EQ(Run({"--servers", (folder / "old").string()}), kExitSuccess) << err.str();
    EXPECT_EQ(out.str(), "CONTOSOROOT1: 1 share, 1 link, 1 with no target on another server\n"
                         "  \\\\CONTOSOROOT1\\Public\n"
                         "    \\\\CONTOSO\\Public (no target on another server)\n"
                         "fs9: 1 share, 1 link, 1 with no target on another server\n"
                         "  \\\\fs9\\R&D\n"
                         "    \\\\CONTOSO\\Public\\R&D (no target on another server)\n");
}

TEST_F(ServersCommandTest, UnreadableInputIsStatusTwoAndTheRestIsStillReported) {
    EXPECT_EQ(Run({"--servers", (folder / "missing.txt").string(),
                   (folder / "sales.example.com").string()}),
              kExitUsage);
    EXPECT_NE(err.str().find("missing.txt"), std::string::npos) << err.str();
    EXPECT_EQ(out.str().substr(0, 4), "FS1:") << out.str();

    EXPECT_EQ(Run({"--servers"}), kExitUsage);
    EXPECT_NE(err.str().find("--servers needs backup files or folders"), std::string::npos);
    EXPECT_EQ(Run({"--servers", "--format", "xls", folder.path().string()}), kExitUsage);
    EXPECT_EQ(Run({"--history", folder.path().string()}), kExitUsage);
}

} // namespace
} // namespace kestrune
