// Exports of "dfsutil root export" made by hand after Microsoft's documented example, and the
// newer attributes, read into backup lines and properties; a backup pair written back.
#include "backup/dfsutil_export.h"
#include "netdfs/netdfs.h"

#include <gtest/gtest.h>

namespace kestrune {
namespace {

// The shape of Microsoft's migration and recovery articles, with the bare "&" the tool leaves
// unescaped in a path.
constexpr std::string_view kArticleShape = R"(<?xml version="1.0"?>
<Root Name="\\CONTOSO\Public" State="1" Timeout="300" Attributes="64" >
<Target Server="CONTOSOROOT1" Folder="Public" State="2" />
<Target Server="CONTOSOROOT2" Folder="Public" State="2" />
<Link Name="Accounting" State="1" Timeout="1800" >
<Target Server="fs1" Folder="accounting" State="2" />
<Target Server="fs2" Folder="accounting" State="1" />
</Link>
<Link Name="R&D" State="1" Timeout="900" >
<Target Server="fs1" Folder="R&D\Shared" State="2" />
</Link>
</Root>
)";

std::string Utf16LeWithMark(std::string_view ascii) {
    std::string bytes = "\xFF\xFE";
    for (char c : ascii) {
        bytes += c;
        bytes += '\0';
    }
    return bytes;
}

TEST(DfsutilExportTest, TheArticlesShapeBecomesBackupLinesAndProperties) {
    ASSERT_TRUE(IsDfsutilExport(kArticleShape));
    Expected<DfsutilExport> read = ParseDfsutilExport(kArticleShape);
    ASSERT_TRUE(read) << read.error().text;
    EXPECT_EQ(read->lines, (std::vector<AnsiString>{
                               R"(dfscmd /map "\\CONTOSO\Public" "\\CONTOSOROOT1\Public" "")",
                               R"(dfscmd /add "\\CONTOSO\Public" "\\CONTOSOROOT2\Public" "")",
                               R"(dfscmd /map "\\CONTOSO\Public\Accounting" "\\fs1\accounting" "")",
                               R"(dfscmd /add "\\CONTOSO\Public\Accounting" "\\fs2\accounting" "")",
                               R"(dfscmd /map "\\CONTOSO\Public\R&D" "\\fs1\R&D\Shared" "")",
                           }));
    const NamespaceProperties& p = read->properties;
    EXPECT_EQ(p.root.path, R"(\\CONTOSO\Public)");
    EXPECT_EQ(p.root.timeToLiveSec, 300u);
    EXPECT_EQ(p.root.flags, 0u) << "64 is no property flag";
    EXPECT_FALSE(p.root.description);
    ASSERT_EQ(p.links.size(), 2u);
    EXPECT_TRUE(p.links[0].online);
    EXPECT_TRUE(p.links[0].targets[0].online);
    EXPECT_FALSE(p.links[0].targets[1].online) << "State 1 is an offline target";
    EXPECT_EQ(p.links[1].path, R"(\\CONTOSO\Public\R&D)");
    EXPECT_EQ(p.links[1].timeToLiveSec, 900u);
}

TEST(DfsutilExportTest, TheNewerAttributesAndUtf16AreRead) {
    const std::string bytes = Utf16LeWithMark(
        "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n"
        "<!-- exported -->\r\n"
        "<Root Name=\"\\\\example.com\\Tools\" State=\"1\" Timeout=\"600\" Attributes=\"0x25\" "
        "Comment=\"Tools &amp; more\">\r\n"
        "  <Target Server=\"DC1\" Folder=\"Tools\" State=\"2\"></Target>\r\n"
        "  <Link Name=\"Caf&#233;/Old\" State=\"3\" Timeout=\"1800\" Attributes=\"9\" "
        "Comment=\"Fish & chips\">\r\n"
        "    <Target Server=\"FS1\" Folder=\"Cafe\" State=\"2\" PriorityClass=\"GlobalHigh\" "
        "PriorityRank=\"2\"/>\r\n"
        "    <Target Server=\"FS2\" Folder=\"Cafe\" State=\"2\" "
        "ReferralPriorityClass=\"site-cost-low\"/>\r\n"
        "  </Link>\r\n"
        "</Root>\r\n");
    ASSERT_TRUE(IsDfsutilExport(bytes));
    Expected<DfsutilExport> read = ParseDfsutilExport(bytes);
    ASSERT_TRUE(read) << read.error().text;
    const NamespaceProperties& p = read->properties;
    EXPECT_EQ(p.root.description, "Tools & more");
    EXPECT_EQ(p.root.flags, DFS_PROPERTY_FLAG_INSITE_REFERRALS | DFS_PROPERTY_FLAG_SITE_COSTING |
                                DFS_PROPERTY_FLAG_ABDE);
    ASSERT_EQ(p.links.size(), 1u);
    const EntryProperties& link = p.links[0];
    EXPECT_EQ(link.path, "\\\\example.com\\Tools\\Café\\Old");
    EXPECT_EQ(link.description, "Fish & chips");
    EXPECT_FALSE(link.online);
    EXPECT_EQ(link.flags, DFS_PROPERTY_FLAG_INSITE_REFERRALS | DFS_PROPERTY_FLAG_TARGET_FAILBACK);
    EXPECT_EQ(link.targets[0].priorityClass, uint32_t(DfsGlobalHighPriorityClass));
    EXPECT_EQ(link.targets[0].priorityRank, 2u);
    EXPECT_EQ(link.targets[1].priorityClass, uint32_t(DfsSiteCostLowPriorityClass));
    EXPECT_EQ(read->lines[1],
              WideToAnsi(u"dfscmd /map \"\\\\example.com\\Tools\\Café\\Old\" \"\\\\FS1\\Cafe\" "
                         u"\"Fish & chips\""));
}

TEST(DfsutilExportTest, WhatCannotBeReadIsRefusedNamingTheElement) {
    auto refusal = [](std::string xml) {
        Expected<DfsutilExport> read = ParseDfsutilExport(xml);
        return read ? std::string("read") : read.error().text;
    };
    const std::string head = R"(<Root Name="\\example.com\Ns"><Target Server="DC1" Folder="Ns"/>)";
    EXPECT_NE(
        refusal(head + R"(<Link Name="Data"><Security Sddl="D:"/></Link></Root>)")
            .find(R"(<Link Name="Data">: an element <Security> that an export does not hold)"),
        std::string::npos);
    EXPECT_NE(refusal(head + R"(<Link Name="Data"><Target Server="FS1"/></Link></Root>)")
                  .find(R"(<Link Name="Data">: a <Target> without Folder)"),
              std::string::npos);
    EXPECT_NE(refusal(head + R"(<Link Name="Data" Timeout="soon"><Target Server="FS1" )"
                             R"(Folder="D"/></Link></Root>)")
                  .find(R"(<Link Name="Data">: Timeout is no number ("soon"))"),
              std::string::npos);
    EXPECT_NE(
        refusal(head + R"(<Link Name="Data"></Link></Root>)").find("a link without a <Target>"),
        std::string::npos);
    EXPECT_NE(refusal(head + R"(<Link Name="Data"><Target Server="FS1" Folder="D"/>)")
                  .find("the file ends before </Root>"),
              std::string::npos);
    EXPECT_NE(refusal(R"(<Root Name="\\example.com\Ns"></Root>)").find("without a root target"),
              std::string::npos);
    EXPECT_NE(refusal(R"(<Root Name="Public"><Target Server="DC1" Folder="Ns"/></Root>)")
                  .find(R"(<Root Name="Public">: )"),
              std::string::npos);
    EXPECT_FALSE(IsDfsutilExport("dfscmd /map \"\\\\a\\b\" \"\\\\c\\d\" \"<Root>\"\r\n"));
    EXPECT_FALSE(IsDfsutilExport(R"(<?xml version="1.0"?><DfsnProperties FormatVersion="1"/>)"));
}

TEST(DfsutilExportTest, ABackupPairIsWrittenInTheArticlesShapeAndReadsBackTheSame) {
    const std::vector<AnsiString> lines = {
        R"(dfscmd /add "\\example.com\Public" "\\DC2\Public" "Company & friends")",
        R"(dfscmd /add "\\example.com\Public\Software" "\\FS2\Software" "Installers")",
        R"(dfscmd /map "\\example.com\Public" "\\DC1\Public" "Company & friends")",
        R"(dfscmd /map "\\example.com\Public\Software" "\\FS1\Software" "Installers")",
    };
    NamespaceProperties recorded;
    recorded.root = {R"(\\example.com\Public)", "Company & friends", true, 300, 0, "", {}};
    recorded.links.push_back({R"(\\example.com\Public\Software)",
                              "Installers",
                              false,
                              600,
                              DFS_PROPERTY_FLAG_TARGET_FAILBACK,
                              "",
                              {{R"(\\FS1\Software)", true, 0, 0},
                               {R"(\\FS2\Software)", false, DfsSiteCostLowPriorityClass, 3}}});
    Expected<std::string> xml = FormatDfsutilExport(lines, &recorded);
    ASSERT_TRUE(xml) << xml.error().text;
    EXPECT_EQ(*xml, "<?xml version=\"1.0\"?>\r\n"
                    "<Root Name=\"\\\\example.com\\Public\" State=\"1\" Timeout=\"300\" "
                    "Attributes=\"0\" Comment=\"Company &amp; friends\" >\r\n"
                    "\t<Target Server=\"DC1\" Folder=\"Public\" State=\"2\" />\r\n"
                    "\t<Target Server=\"DC2\" Folder=\"Public\" State=\"2\" />\r\n"
                    "\t<Link Name=\"Software\" State=\"3\" Timeout=\"600\" Attributes=\"8\" "
                    "Comment=\"Installers\" >\r\n"
                    "\t\t<Target Server=\"FS1\" Folder=\"Software\" State=\"2\" />\r\n"
                    "\t\t<Target Server=\"FS2\" Folder=\"Software\" State=\"1\" "
                    "PriorityClass=\"SiteCostLow\" PriorityRank=\"3\" />\r\n"
                    "\t</Link>\r\n"
                    "</Root>\r\n");
    Expected<DfsutilExport> back = ParseDfsutilExport(*xml);
    ASSERT_TRUE(back) << back.error().text;
    // The first target ("/map") leads, as in the namespace, though the file sorts it later.
    EXPECT_EQ(back->properties.links[0].targets[1].targetPath, R"(\\FS2\Software)");
    EXPECT_FALSE(back->properties.links[0].targets[1].online);
    EXPECT_EQ(back->properties.links[0].flags, DFS_PROPERTY_FLAG_TARGET_FAILBACK);
    EXPECT_EQ(back->properties.links[0].targets[1].priorityRank, 3u);

    EXPECT_FALSE(
        FormatDfsutilExport({R"(dfscmd /map "\\example.com\Public\A" "\\FS1\A" "")"}, nullptr));
    EXPECT_FALSE(FormatDfsutilExport({R"(dfscmd /map "\\example.com\Public" "\\DC1\Public" "")",
                                      R"(dfscmd /map "\\example.com\Other\A" "\\FS1\A" "")"},
                                     nullptr));
}

} // namespace
} // namespace kestrune
