// Runs of changes over LDAP (a restore) against a real domain controller: a link that
// ldapmodify changes between the run's read and its write, and two programs adding to one
// namespace at once. Nothing another program did is lost, and nothing is reported done that
// is not there.
#include "base/ansi_string.h"
#include "base/file_io.h"
#include "base/win_errors.h"
#include "platform/ldap/ldap_store.h"
#include "platform/netdfs_over_store/dfs_target_list.h"
#include "platform/netdfs_over_store/netdfs_over_store.h"
#include "platform/store/base64.h"
#include "samba_dc.h"
#include "support/temp_folder.h"
#include "support/test_files.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace kestrune {
namespace {

const std::string kPublic = "CN=Public,CN=Public,CN=Dfs-Configuration,CN=System,DC=example,DC=com";

class SambaRestoreRun : public ::testing::Test {
  protected:
    std::shared_ptr<ldap::LdapStore> Connect() {
        auto store = std::make_shared<ldap::LdapStore>(testing::SambaSettings());
        std::vector<std::string> notes;
        store::Status status = store->Connect(notes);
        EXPECT_TRUE(status.ok()) << status.message;
        return store;
    }
    void SetUp() override { directory = Connect(); }
    // The links a test added go again however it ends.
    void TearDown() override {
        std::vector<store::Entry> found;
        ASSERT_TRUE(store::SearchAll(*directory,
                                     {kPublic,
                                      store::Scope::OneLevel,
                                      "(msDFS-LinkPathv2=/SambaRun/*)",
                                      {"msDFS-LinkPathv2"},
                                      0},
                                     found)
                        .ok());
        for (const store::Entry& e : found)
            EXPECT_TRUE(directory->Delete(e.dn).ok()) << e.dn;
    }
    std::vector<store::Entry> Objects(const std::string& link) {
        std::vector<store::Entry> found;
        EXPECT_TRUE(store::SearchAll(*directory,
                                     {kPublic,
                                      store::Scope::OneLevel,
                                      "(msDFS-LinkPathv2=/SambaRun/" + link + ")",
                                      {},
                                      0},
                                     found)
                        .ok());
        return found;
    }
    // The targets of each object of the link.
    std::vector<std::vector<std::u16string>> Targets(const std::string& link) {
        std::vector<std::vector<std::u16string>> targets;
        for (const store::Entry& e : Objects(link))
            targets.push_back(DecodeTargetList(e.First("msDFS-TargetListv2")).value_or({}));
        return targets;
    }
    // ldapmodify, as an administrator would run it, replacing the link's targets.
    void LdapModify(const std::string& link, const std::vector<std::u16string>& targets) {
        std::vector<store::Entry> objects = Objects(link);
        ASSERT_EQ(objects.size(), 1u);
        const std::string ldif = (scratch.path() / "change.ldif").string();
        testing::WriteTestFile(ldif, "dn: " + objects.front().dn +
                                         "\nchangetype: modify\nreplace: msDFS-TargetListv2\n"
                                         "msDFS-TargetListv2:: " +
                                         store::Base64Encode(EncodeTargetList(targets)) + "\n-\n");
        const std::string command =
            "ldapmodify -x -H ldap://127.0.0.1 -D Administrator@EXAMPLE.COM -y '" +
            testing::SambaState() + "/password' -f '" + ldif + "' >/dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }
    static DfsStatus Add(StoreNetDfs& api, const std::string& link, const char16_t* server) {
        std::u16string path = u"\\\\example.com\\Public\\SambaRun\\" + Utf8ToWide(link);
        return api.Add(path.c_str(), server, u"S", u"", 0);
    }

    ::kestrune::testing::TempFolder scratch;
    std::shared_ptr<ldap::LdapStore> directory;
};

TEST_F(SambaRestoreRun, ALinkLdapmodifyChangesBetweenTheReadAndTheWriteKeepsItsChange) {
    StoreNetDfs api(directory);
    api.BeginChanges();
    ASSERT_EQ(Add(api, "Changed", u"FS1"), NERR_Success);
    ASSERT_EQ(Add(api, "Removed", u"FS1"), NERR_Success);
    ASSERT_EQ(Add(api, "Removed", u"FS2"), NERR_Success);
    LdapModify("Changed", {u"\\\\FS1\\S", u"\\\\OTHER\\S"});
    LdapModify("Removed", {u"\\\\FS1\\S"});
    EXPECT_EQ(Add(api, "Changed", u"FS2"), NERR_Success);
    // The run added FS2 before, but it is gone: added again, not "already there".
    EXPECT_EQ(Add(api, "Removed", u"FS2"), NERR_Success);
    // Already there, as the directory says now.
    EXPECT_EQ(Add(api, "Changed", u"OTHER"), ERROR_FILE_EXISTS);
    EXPECT_EQ(api.EndChanges(), NERR_Success);
    EXPECT_EQ(Targets("Changed"), (std::vector<std::vector<std::u16string>>{
                                      {u"\\\\FS1\\S", u"\\\\OTHER\\S", u"\\\\FS2\\S"}}));
    EXPECT_EQ(Targets("Removed"),
              (std::vector<std::vector<std::u16string>>{{u"\\\\FS1\\S", u"\\\\FS2\\S"}}));
}

TEST_F(SambaRestoreRun, TwoProgramsAddingToOneNamespaceAtOnceLoseNothing) {
    // Each with its own connection, as two processes; their calls interleaved.
    StoreNetDfs first(Connect()), second(Connect());
    first.BeginChanges();
    second.BeginChanges();
    for (int i = 0; i < 20; ++i) {
        const std::string link = "L" + std::to_string(i % 5);
        ASSERT_EQ(Add(first, link, (u"A" + Utf8ToWide(std::to_string(i))).c_str()), NERR_Success)
            << i;
        ASSERT_EQ(Add(second, link, (u"B" + Utf8ToWide(std::to_string(i))).c_str()), NERR_Success)
            << i;
    }
    EXPECT_EQ(first.EndChanges(), NERR_Success);
    EXPECT_EQ(second.EndChanges(), NERR_Success);
    for (int l = 0; l < 5; ++l) {
        // One object per link, with all eight targets of both programs.
        auto targets = Targets("L" + std::to_string(l));
        ASSERT_EQ(targets.size(), 1u) << "L" << l;
        EXPECT_EQ(targets.front().size(), 8u) << "L" << l;
    }
}

TEST_F(SambaRestoreRun, TwoProgramsCreatingOneLinkAtOnceMakeOneObject) {
    StoreNetDfs first(Connect()), second(Connect());
    first.BeginChanges();
    second.BeginChanges();
    // The second program writes the link while the first still holds its calls for it.
    DfsStatus inner = NERR_Success;
    const DfsStatus outer = first.ChangeLink([&] {
        ASSERT_EQ(Add(first, "Created", u"FS1"), NERR_Success);
        ASSERT_EQ(Add(first, "Created", u"FS2"), NERR_Success);
        inner = second.ChangeLink([&] { ASSERT_EQ(Add(second, "Created", u"B1"), NERR_Success); });
    });
    EXPECT_EQ(inner, NERR_Success);
    // The first is told to make its calls again, and nothing of them is there.
    EXPECT_EQ(outer, ERROR_RETRY);
    EXPECT_EQ(Targets("Created"), (std::vector<std::vector<std::u16string>>{{u"\\\\B1\\S"}}));
    ASSERT_EQ(Add(first, "Created", u"FS1"), NERR_Success);
    ASSERT_EQ(Add(first, "Created", u"FS2"), NERR_Success);
    EXPECT_EQ(first.EndChanges(), NERR_Success);
    EXPECT_EQ(second.EndChanges(), NERR_Success);
    EXPECT_EQ(Targets("Created"), (std::vector<std::vector<std::u16string>>{
                                      {u"\\\\B1\\S", u"\\\\FS1\\S", u"\\\\FS2\\S"}}));
}

} // namespace
} // namespace kestrune
