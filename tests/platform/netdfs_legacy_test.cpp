// A Windows 2000 mode namespace (the sample's Legacy, one fTDfs object whose pKT holds it all)
// behind the store-backed DFS interface: read as NetDfsEnum and NetDfsGetInfo read it, never
// written, and a pKT that cannot be read fails the namespace rather than shortening it.
#include "base/file_io.h"
#include "base/win_errors.h"
#include "platform/netdfs_over_store/dfs_pkt_blob.h"
#include "support/sample_store_dfs.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

namespace kestrune {
namespace {

const std::u16string kLegacy = u"\\\\example.com\\Legacy";
const std::string kLegacyDn = "CN=Legacy,CN=Dfs-Configuration,CN=System,DC=example,DC=com";

class LegacyNamespaceTest : public testing::SampleStoreDfsTest {
  protected:
    // Every record of a level 9 walk, prefMaxLen bytes a call.
    DfsStatus Walk9(const std::u16string& name, std::vector<DfsEntryRecord>& out,
                    uint32_t prefMaxLen = MAX_PREFERRED_LENGTH) {
        uint32_t resume = 0;
        out.clear();
        for (;;) {
            uint8_t* buffer = nullptr;
            uint32_t read = 0;
            DfsStatus status = dfs->Enum(name.c_str(), 9, prefMaxLen, &buffer, &read, &resume);
            if (status != NERR_Success) return status;
            for (uint32_t i = 0; i < read; ++i)
                out.push_back(UnpackDfsInfo9(reinterpret_cast<DFS_INFO_9*>(buffer)[i]));
            NetApiBufferFree(buffer);
        }
    }
    DfsStatus Info9(const std::u16string& path, DfsEntryRecord& out) {
        uint8_t* buffer = nullptr;
        DfsStatus status = dfs->GetInfo(path.c_str(), nullptr, nullptr, 9, &buffer);
        if (status == NERR_Success) out = UnpackDfsInfo9(*reinterpret_cast<DFS_INFO_9*>(buffer));
        NetApiBufferFree(buffer);
        return status;
    }
    DfsStatus Mode(const std::u16string& path, DFS_INFO_50& out) {
        uint8_t* buffer = nullptr;
        DfsStatus status = dfs->GetInfo(path.c_str(), nullptr, nullptr, 50, &buffer);
        if (status == NERR_Success) out = *reinterpret_cast<DFS_INFO_50*>(buffer);
        NetApiBufferFree(buffer);
        return status;
    }
    std::string StoredPkt() {
        std::vector<store::Entry> found;
        EXPECT_TRUE(store::SearchAll(*store,
                                     {kLegacyDn, store::Scope::Base, "(objectClass=*)", {"pKT"}, 0},
                                     found)
                        .ok());
        return found.empty() ? std::string() : found.front().First("pKT");
    }
    void StorePkt(const std::string& value) {
        ASSERT_TRUE(
            store->Modify(kLegacyDn, {{store::Modification::Op::Replace, "pKT", {value}}}).ok());
    }
};

TEST_F(LegacyNamespaceTest, Level9GivesTheRootThenEachLinkWithWhatThePktHolds) {
    std::vector<DfsEntryRecord> all;
    ASSERT_EQ(Walk9(kLegacy, all), ERROR_NO_MORE_ITEMS);
    ASSERT_EQ(all.size(), 4u);
    const DfsEntryRecord& root = all[0];
    EXPECT_EQ(root.entryPath, kLegacy);
    EXPECT_EQ(root.comment, u"Windows 2000 mode namespace");
    EXPECT_EQ(root.timeout, 300u);
    ASSERT_EQ(root.storages.size(), 2u);
    EXPECT_EQ(root.storages[1].server, u"DC2");

    EXPECT_EQ(all[1].entryPath, kLegacy + u"\\Apps");
    EXPECT_EQ(all[1].comment, u"Old applications");
    ASSERT_EQ(all[1].storages.size(), 2u);
    EXPECT_EQ(all[1].storages[0].state, DFS_STORAGE_STATE_ONLINE);
    EXPECT_EQ(all[1].storages[1].state, DFS_STORAGE_STATE_OFFLINE);
    // An empty pKT comment is no comment, as a v2 link without msDFS-Commentv2.
    EXPECT_EQ(all[2].entryPath, kLegacy + u"\\Scans\\2019");
    EXPECT_FALSE(all[2].comment.has_value());
    EXPECT_EQ(all[2].storages[0].share, u"Scans\\2019");

    const DfsEntryRecord& manuals = all[3];
    EXPECT_EQ(manuals.state, DFS_VOLUME_STATE_OFFLINE | DFS_VOLUME_FLAVOR_AD_BLOB);
    EXPECT_EQ(manuals.timeout, 600u);
    EXPECT_TRUE(manuals.securityDescriptor.empty());
    EXPECT_EQ(manuals.storages[1].priority.TargetPriorityClass, DfsGlobalLowPriorityClass);
    EXPECT_EQ(manuals.storages[1].priority.TargetPriorityRank, 2u);

    // A walk in small buffers gives the same records, one a call.
    std::vector<DfsEntryRecord> paged;
    ASSERT_EQ(Walk9(u"EXAMPLE\\legacy", paged, 1), ERROR_NO_MORE_ITEMS);
    ASSERT_EQ(paged.size(), all.size());
    EXPECT_EQ(paged[3].storages.size(), 2u);
    EXPECT_EQ(paged[0].entryPath, u"\\\\EXAMPLE\\Legacy");
}

TEST_F(LegacyNamespaceTest, GetInfoReadsEntriesAndTellsTheModeOfEachNamespace) {
    DfsEntryRecord record;
    ASSERT_EQ(Info9(kLegacy + u"\\MANUALS", record), NERR_Success);
    EXPECT_EQ(record.comment, u"Printed once, kept offline");
    EXPECT_EQ(record.state & DFS_VOLUME_STATES, DFS_VOLUME_STATE_OFFLINE);
    ASSERT_EQ(Info9(kLegacy, record), NERR_Success);
    EXPECT_EQ(record.storages.size(), 2u);
    EXPECT_EQ(Info9(kLegacy + u"\\Scans", record), ERROR_NOT_FOUND);

    DFS_INFO_50 mode{};
    ASSERT_EQ(Mode(kLegacy, mode), NERR_Success);
    EXPECT_EQ(mode.NamespaceMajorVersion, 1u);
    EXPECT_EQ(mode.NamespaceCapabilities, 0u);
    ASSERT_EQ(Mode(u"\\\\example.com\\Public", mode), NERR_Success);
    EXPECT_EQ(mode.NamespaceMajorVersion, 2u);
    EXPECT_EQ(mode.NamespaceCapabilities, DFS_NAMESPACE_CAPABILITY_ABDE);
    // The mode is the namespace's: a link path, or server and share, are no question of it.
    EXPECT_EQ(Mode(kLegacy + u"\\Apps", mode), ERROR_INVALID_PARAMETER);
    uint8_t* buffer = nullptr;
    EXPECT_EQ(dfs->GetInfo(kLegacy.c_str(), u"DC1", u"Legacy", 50, &buffer),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(Mode(u"\\\\example.com\\Nope", mode), ERROR_NOT_FOUND);
}

TEST_F(LegacyNamespaceTest, ChangesAreRefusedSayingWhereTheBackupCanGoAndNothingIsWritten) {
    const std::string before = testing::ReadTestFile(file);
    auto add = [&](const std::u16string& path, const char16_t* server, const char16_t* share,
                   uint32_t flags) { return dfs->Add(path.c_str(), server, share, u"", flags); };
    const std::string refusal =
        "\\\\example.com\\Legacy is a Windows 2000 mode namespace, which this platform does not "
        "change; restore its backup into a Windows Server 2008 mode namespace with --as "
        "\\\\example.com\\<new name>";
    const DfsStatus refused = add(kLegacy + u"\\New", u"FS1", u"New", DFS_ADD_VOLUME);
    EXPECT_EQ(refused, ERROR_NOT_SUPPORTED);
    EXPECT_EQ(refused.detail, refusal);
    EXPECT_EQ(add(kLegacy + u"\\Apps", u"FS9", u"Apps", 0), ERROR_NOT_SUPPORTED);
    // What is there already is answered as in either mode.
    EXPECT_EQ(add(kLegacy + u"\\apps", u"\\\\fs2", u"APPS", 0), ERROR_FILE_EXISTS);
    EXPECT_EQ(add(kLegacy + u"\\Apps", u"FS9", u"Apps", DFS_ADD_VOLUME), ERROR_FILE_EXISTS);
    EXPECT_EQ(add(kLegacy, u"DC3", u"Legacy", 0), ERROR_INVALID_PARAMETER);

    DFS_INFO_100 comment{const_cast<char16_t*>(u"changed")};
    const DfsStatus commented = dfs->SetInfo((kLegacy + u"\\Apps").c_str(), nullptr, nullptr, 100,
                                             reinterpret_cast<const uint8_t*>(&comment));
    EXPECT_EQ(commented, ERROR_NOT_SUPPORTED);
    EXPECT_EQ(commented.detail, refusal);
    DFS_INFO_101 offline{DFS_STORAGE_STATE_OFFLINE};
    EXPECT_EQ(dfs->SetInfo(kLegacy.c_str(), u"DC1", u"Legacy", 101,
                           reinterpret_cast<const uint8_t*>(&offline)),
              ERROR_NOT_SUPPORTED);
    dfs.reset();
    store.reset();
    EXPECT_EQ(testing::ReadTestFile(file), before);
}

// The name of a namespace is the RDN of its object in Dfs-Configuration in either mode, so the
// directory holds a name in one mode only; an fTDfs object goes nowhere else.
TEST_F(LegacyNamespaceTest, ANameIsTakenInOneModeOnlyAndAnFtDfsObjectLivesInTheContainer) {
    PktBlob blob;
    PktEntry root;
    root.type = PKT_ENTRY_TYPE_DFS | PKT_ENTRY_TYPE_REFERRAL_SVC;
    root.prefix = root.shortPrefix = u"\\EXAMPLE\\Public";
    root.targets = {{u"DC9", u"Public"}};
    blob.entries = {root};
    auto ftDfs = [&](const std::string& dn) {
        store::Entry e;
        e.dn = dn;
        e.attributes = {{"objectClass", {"top", "fTDfs"}},
                        {"remoteServerName", {"\\\\DC9\\Public", "*"}},
                        {"pKTGuid", {std::string(16, '\x01')}},
                        {"pKT", {EncodePktBlob(blob)}}};
        return store->Add(e);
    };
    const std::string configuration = "CN=Dfs-Configuration,CN=System,DC=example,DC=com";
    EXPECT_EQ(ftDfs("CN=Public," + configuration).code, store::ResultCode::EntryAlreadyExists);
    EXPECT_EQ(ftDfs("CN=Public,CN=Users,DC=example,DC=com").code,
              store::ResultCode::NamingViolation);
    // One of another name is listed and read at once.
    root.prefix = root.shortPrefix = u"\\EXAMPLE\\Old2";
    blob.entries = {root};
    ASSERT_TRUE(ftDfs("CN=Old2," + configuration).ok());
    std::vector<DfsEntryRecord> all;
    ASSERT_EQ(Walk9(u"\\\\example.com\\old2", all), ERROR_NO_MORE_ITEMS);
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].entryPath, u"\\\\example.com\\Old2");
}

TEST_F(LegacyNamespaceTest, APktThatCannotBeReadFailsTheNamespaceNamingItAndWhy) {
    const std::string good = StoredPkt();
    ASSERT_TRUE(DecodePktBlob(good));
    std::vector<DfsEntryRecord> all;
    // Cut inside the last link: never read as the namespace without it.
    StorePkt(good.substr(0, good.size() - 10));
    DfsStatus walked = Walk9(kLegacy, all);
    EXPECT_EQ(walked, ERROR_INVALID_DATA);
    EXPECT_EQ(walked.detail.rfind("\\\\example.com\\Legacy: its pKT cannot be read: ", 0), 0u)
        << walked.detail;
    DfsEntryRecord record;
    EXPECT_EQ(Info9(kLegacy + u"\\Apps", record), ERROR_INVALID_DATA);
    // The other namespaces read as before, and the name is still listed.
    EXPECT_EQ(Walk9(u"\\\\example.com\\Users", all), ERROR_NO_MORE_ITEMS);

    // The class requires the attribute, but an export may have been made without it.
    ASSERT_TRUE(store->Modify(kLegacyDn, {{store::Modification::Op::Delete, "pKT", {}}}).ok());
    walked = Walk9(kLegacy, all);
    EXPECT_EQ(walked, ERROR_INVALID_DATA);
    EXPECT_EQ(walked.detail, "\\\\example.com\\Legacy: it has no pKT");
}

} // namespace
} // namespace kestrune
