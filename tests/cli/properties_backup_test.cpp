// The properties file a backup writes beside each backup file, and what the restore and the
// compare make of it, through the command line on the sample domain.
#include "backup/properties_file.h"
#include "base/file_io.h"
#include "base/sha256.h"
#include "support/sample_domain_cli.h"
#include "support/test_files.h"

#include <gtest/gtest.h>
#include <regex>

namespace kestrune {
namespace {

class PropertiesBackupTest : public testing::SampleDomainCli {};

TEST_F(PropertiesBackupTest, EachBackupFileGetsItsPropertiesTiedToItsBytes) {
    std::filesystem::path out = BackUp("out");
    for (const char* name : {"Archive", "Legacy", "Projets", "Public", "Users"}) {
        std::filesystem::path txt = out / (std::string(name) + ".txt");
        Expected<NamespaceProperties> p =
            ParsePropertiesFile(testing::ReadTestFile(PropertiesFileOf(txt)));
        ASSERT_TRUE(p) << name << ": " << p.error().text;
        EXPECT_EQ(p->backupFileSha256, Sha256Hex(testing::ReadTestFile(txt))) << name;
    }
    Expected<NamespaceProperties> publicNs =
        ParsePropertiesFile(testing::ReadTestFile(out / "Public.properties.xml"));
    ASSERT_TRUE(publicNs);
    ASSERT_EQ(publicNs->links.size(), 4u);
    EXPECT_EQ(publicNs->links[2].path, "\\\\example.com\\Public\\Policies");
    EXPECT_FALSE(publicNs->links[2].online);
    EXPECT_EQ(publicNs->links[2].timeToLiveSec, 600u);
}

TEST_F(PropertiesBackupTest, PropertiesThatCannotBeKeptKeepThePreviousPairOfFiles) {
    std::filesystem::path out = BackUp("out");
    const std::string txt = testing::ReadTestFile(out / "Public.txt");
    const std::string xml = testing::ReadTestFile(out / "Public.properties.xml");
    // View permissions naming an owner: no SDDL of ours can hold them, and nothing is dropped.
    std::string sd = SddlToSecurityDescriptor("D:(A;;0x1;;;S-1-5-18)").value_or("");
    sd[4] = 20;
    ASSERT_TRUE(
        directory
            ->Modify(LinkDn("Public", "/Software"),
                     {{store::Modification::Op::Replace, "msDFS-LinkSecurityDescriptorv2", {sd}},
                      {store::Modification::Op::Replace, "msDFS-Commentv2", {"changed"}}})
            .ok());
    EXPECT_EQ(Run({"", out.string()}), kExitFailure);
    EXPECT_NE(err.str().find("Public"), std::string::npos);
    EXPECT_NE(err.str().find("SDDL"), std::string::npos) << err.str();
    EXPECT_EQ(testing::ReadTestFile(out / "Public.txt"), txt);
    EXPECT_EQ(testing::ReadTestFile(out / "Public.properties.xml"), xml);
}

TEST_F(PropertiesBackupTest, DeletedLinksComeBackWithEveryRecordedProperty) {
    std::filesystem::path first = BackUp("first");
    // View permissions too, which the sample does not have.
    std::string sd = SddlToSecurityDescriptor("D:P(A;;0x1200a9;;;S-1-5-32-545)").value_or("");
    ASSERT_TRUE(
        directory
            ->Modify(LinkDn("Public", "/Policies"),
                     {{store::Modification::Op::Replace, "msDFS-LinkSecurityDescriptorv2", {sd}}})
            .ok());
    first = BackUp("first");
    for (const char* link : {"/Software", "/Policies", "/Data/Projects", "/Data/Templates"})
        DeleteLink("Public", link);
    EXPECT_EQ(Run({"--restore", (first / "Public.txt").string()}), kExitSuccess) << err.str();
    std::filesystem::path second = BackUp("second");
    EXPECT_EQ(testing::ReadTestFile(second / "Public.txt"),
              testing::ReadTestFile(first / "Public.txt"));
    EXPECT_EQ(testing::ReadTestFile(second / "Public.properties.xml"),
              testing::ReadTestFile(first / "Public.properties.xml"));
}

// Permissions as Windows' tools write them: a domain's group by alias, right codes. The
// restore gives them their meaning in the namespace's domain, and the compare finds the link's
// permissions the same.
// View permissions come back in the platform's spelling: an alias as its SID, a right code as
// a number, and, where the platform maps them, a generic right as what it grants on a folder.
// None of these is a change, for --compare as for --properties.
TEST_F(PropertiesBackupTest, ViewPermissionsReadBackInThePlatformsSpellingAreNoChange) {
    const std::filesystem::path backup = BackUp("out");
    const std::string file = (backup / "Public.txt").string();
    const std::filesystem::path xml = backup / "Public.properties.xml";
    const std::string policies = "<Folder Path=\"\\\\example.com\\Public\\Policies\" ";
    std::string text = testing::ReadTestFile(xml);
    ASSERT_NE(text.find(policies), std::string::npos);
    text.replace(text.find(policies), policies.size(),
                 policies + "ViewPermissions=\"D:(A;;GA;;;WD)\" ");
    OrThrowFileError(ReplaceFileContents(xml, text));
    DeleteLink("Public", "/Policies");
    EXPECT_EQ(Run({"--restore", file}), kExitSuccess) << err.str();

    auto setLive = [&](const std::string& sddl) {
        const std::string sd = SddlToSecurityDescriptor(sddl).value_or("");
        ASSERT_FALSE(sd.empty()) << sddl;
        ASSERT_TRUE(directory
                        ->Modify(LinkDn("Public", "/Policies"), {{store::Modification::Op::Replace,
                                                                  "msDFS-LinkSecurityDescriptorv2",
                                                                  {sd}}})
                        .ok());
    };
    for (const char* live : {"D:(A;;0x10000000;;;S-1-1-0)", "D:(A;;0x1f01ff;;;S-1-1-0)"}) {
        SCOPED_TRACE(live);
        setLive(live);
        EXPECT_EQ(Run({"--compare", file}), kExitSuccess) << out.str();
        EXPECT_EQ(Run({"--restore", file, "--properties"}), kExitSuccess) << err.str();
        EXPECT_EQ(out.str().find("ViewPermissions"), std::string::npos) << out.str();
    }
    // What grants less is a change, and set back.
    setLive("D:(A;;0x1200a9;;;S-1-1-0)");
    EXPECT_EQ(Run({"--compare", file}), kExitFailure);
    EXPECT_NE(out.str().find("ViewPermissions"), std::string::npos) << out.str();
    EXPECT_EQ(Run({"--restore", file, "--properties"}), kExitSuccess) << err.str();
    EXPECT_NE(out.str().find("set properties (ViewPermissions D:(A;;GA;;;WD))"), std::string::npos)
        << out.str();
}

TEST_F(PropertiesBackupTest, ViewPermissionsNamingTheDomainsGroupsMeanThisDomainsGroups) {
    const std::filesystem::path backup = BackUp("out");
    const std::filesystem::path xml = backup / "Public.properties.xml";
    const std::string policies = "<Folder Path=\"\\\\example.com\\Public\\Policies\" ";
    std::string text = testing::ReadTestFile(xml);
    ASSERT_NE(text.find(policies), std::string::npos);
    text.replace(text.find(policies), policies.size(),
                 policies + "ViewPermissions=\"D:P(A;;FRFX;;;DA)(A;;GR;;;BU)\" ");
    OrThrowFileError(ReplaceFileContents(xml, text));
    DeleteLink("Public", "/Policies");
    EXPECT_EQ(Run({"--restore", (backup / "Public.txt").string()}), kExitSuccess) << err.str();

    std::vector<store::Entry> found;
    ASSERT_TRUE(store::SearchAll(*directory,
                                 {LinkDn("Public", "/Policies"),
                                  store::Scope::Base,
                                  "(objectClass=*)",
                                  {"msDFS-LinkSecurityDescriptorv2"},
                                  0},
                                 found)
                    .ok());
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(SecurityDescriptorToSddl(found[0].First("msDFS-LinkSecurityDescriptorv2"))
                  .value_or("unreadable"),
              "D:P(A;;0x1200a9;;;S-1-5-21-1004336348-1177238915-682003330-512)"
              "(A;;0x80000000;;;S-1-5-32-545)");
    EXPECT_EQ(Run({"--compare", (backup / "Public.txt").string()}), kExitSuccess) << out.str();
}

TEST_F(PropertiesBackupTest, AMismatchedOrMalformedFileIsNotAppliedAndTheLinksStillComeBack) {
    std::filesystem::path out = BackUp("out");
    const std::filesystem::path txt = out / "Public.txt";
    const std::filesystem::path xml = out / "Public.properties.xml";
    const std::string good = testing::ReadTestFile(xml);
    for (std::string bad : {good.substr(0, good.size() / 2),
                            std::regex_replace(good, std::regex("BackupFileSha256=\"[0-9a-f]+\""),
                                               "BackupFileSha256=\"00\"")}) {
        OrThrowFileError(ReplaceFileContents(xml, bad));
        DeleteLink("Public", "/Policies");
        EXPECT_EQ(Run({"--restore", txt.string()}), kExitSuccess) << err.str();
        EXPECT_NE(err.str().find("warning: the properties file"), std::string::npos) << err.str();
        EXPECT_NE(
            testing::ReadTestFile(out / "Public.txt_restore.txt").find("Properties not applied"),
            std::string::npos);
        // Back, with a new link's defaults rather than the recorded offline state.
        Expected<NamespaceProperties> now =
            (BackUp("check"), ParsePropertiesFile(testing::ReadTestFile(folder / "check" /
                                                                        "Public.properties.xml")));
        ASSERT_TRUE(now);
        ASSERT_EQ(now->links.size(), 4u);
        EXPECT_TRUE(now->links[2].online);
    }
}

} // namespace
} // namespace kestrune
