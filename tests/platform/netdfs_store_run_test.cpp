// Runs of changes over the directory store (a restore): a namespace read once, each namespace
// marked changed once, and what another program changes between the read and the write kept.
#include "base/ansi_string.h"
#include "base/win_errors.h"
#include "platform/netdfs_over_store/dfs_target_list.h"
#include "platform/netdfs_over_store/netdfs_store_links.h"
#include "support/sample_store_dfs.h"

#include <gtest/gtest.h>

#include <map>

namespace kestrune {
namespace {

const std::string kPublic = "CN=Public,CN=Public,CN=Dfs-Configuration,CN=System,DC=example,DC=com";

// A directory that, as a server over LDAP, cannot tell whether it changed since it was read;
// counts the searches made through it.
class UntoldStore : public store::DirectoryStore {
  public:
    explicit UntoldStore(std::shared_ptr<store::DirectoryStore> inner) : inner_(std::move(inner)) {}
    store::Status Search(const store::SearchRequest& request,
                         std::unique_ptr<store::SearchCursor>& cursor) override {
        ++searches;
        return inner_->Search(request, cursor);
    }
    store::Status Add(const store::Entry& entry) override {
        ++adds;
        if (refuseAdds) return {store::ResultCode::InsufficientAccessRights, "no right to add"};
        return inner_->Add(entry);
    }
    store::Status Modify(const std::string& dn,
                         const std::vector<store::Modification>& changes) override {
        ++modifies;
        return inner_->Modify(dn, changes);
    }
    store::Status Delete(const std::string& dn) override { return inner_->Delete(dn); }
    store::Status Rename(const std::string& dn, const std::string& newRdn, bool deleteOldRdn,
                         const std::string& newSuperior) override {
        return inner_->Rename(dn, newRdn, deleteOldRdn, newSuperior);
    }
    int searches = 0, adds = 0, modifies = 0;
    bool refuseAdds = false;

  private:
    std::shared_ptr<store::DirectoryStore> inner_;
};

class StoreRunTest : public testing::SampleStoreDfsTest {
  protected:
    // The link objects of the path in the Public namespace, each with its targets.
    std::vector<std::vector<std::u16string>> LinkObjects(store::DirectoryStore& directory,
                                                         const std::string& path) {
        std::vector<store::Entry> found;
        EXPECT_TRUE(store::SearchAll(
                        directory,
                        {kPublic, store::Scope::OneLevel, "(msDFS-LinkPathv2=" + path + ")", {}, 0},
                        found)
                        .ok());
        std::vector<std::vector<std::u16string>> objects;
        for (const store::Entry& e : found)
            objects.push_back(DecodeTargetList(e.First("msDFS-TargetListv2")).value_or({}));
        return objects;
    }
    std::string Generation(store::DirectoryStore& directory) {
        std::vector<store::Entry> found;
        EXPECT_TRUE(
            store::SearchAll(
                directory,
                {kPublic, store::Scope::Base, "(objectClass=*)", {"msDFS-GenerationGUIDv2"}, 0},
                found)
                .ok());
        return found.empty() ? std::string() : found.front().First("msDFS-GenerationGUIDv2");
    }
    // Another program's change of the link's targets, as ldapmodify makes it.
    void ReplaceTargets(store::DirectoryStore& directory, const std::string& path,
                        const std::vector<std::u16string>& targets) {
        std::vector<store::Entry> found;
        ASSERT_TRUE(store::SearchAll(
                        directory,
                        {kPublic, store::Scope::OneLevel, "(msDFS-LinkPathv2=" + path + ")", {}, 0},
                        found)
                        .ok());
        ASSERT_EQ(found.size(), 1u);
        ASSERT_TRUE(directory
                        .Modify(found.front().dn, {{store::Modification::Op::Replace,
                                                    "msDFS-TargetListv2",
                                                    {EncodeTargetList(targets)}}})
                        .ok());
    }
    DfsStatus Add(StoreNetDfs& api, const std::u16string& link, const std::u16string& server,
                  const std::u16string& share = u"S") {
        std::u16string path = u"\\\\example.com\\Public\\" + link;
        return api.Add(path.c_str(), server.c_str(), share.c_str(), u"", 0);
    }
};

TEST_F(StoreRunTest, ARunReadsTheNamespaceOnceAndMarksItChangedOnceAtItsEnd) {
    auto untold = std::make_shared<UntoldStore>(store);
    StoreNetDfs api(untold);
    const std::string before = Generation(*store);
    api.BeginChanges();
    for (int i = 0; i < 100; ++i) {
        std::u16string link = u"Run\\L" + Utf8ToWide(std::to_string(i));
        ASSERT_EQ(Add(api, link, u"FS1"), NERR_Success) << i;
        ASSERT_EQ(Add(api, link, u"FS2"), NERR_Success) << i;
    }
    // The domain, the namespace and its links: a few searches for 200 changes, not 200 times.
    EXPECT_LE(untold->searches, 6);
    EXPECT_EQ(Generation(*store), before) << "marked changed before the run's end";
    EXPECT_EQ(api.EndChanges(), NERR_Success);
    EXPECT_NE(Generation(*store), before);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(LinkObjects(*store, "/Run/L" + std::to_string(i)),
                  (std::vector<std::vector<std::u16string>>{{u"\\\\FS1\\S", u"\\\\FS2\\S"}}));
    // Outside a run each change is marked at once.
    const std::string after = Generation(*store);
    ASSERT_EQ(Add(api, u"Run\\Single", u"FS1"), NERR_Success);
    EXPECT_NE(Generation(*store), after);
}

TEST_F(StoreRunTest, WhatAnotherProgramChangesBetweenTheReadAndTheWriteIsKept) {
    // The simulated domain tells that it changed; a server over LDAP does not, and there each
    // write asserts what it replaces.
    for (bool told : {true, false}) {
        SCOPED_TRACE(told ? "a store that tells" : "a store that cannot tell");
        Reload();
        std::shared_ptr<store::DirectoryStore> directory = store;
        if (!told) directory = std::make_shared<UntoldStore>(store);
        StoreNetDfs api(directory);
        // The other program works on its own load of the file, as another process does.
        auto otherStore = store::MemoryStore::Open(file);
        ASSERT_TRUE(otherStore);
        std::shared_ptr<store::DirectoryStore> other = std::move(*otherStore);
        if (!told) other = store; // changes made behind the run's back, in the same directory
        StoreNetDfs otherApi(other);
        const std::string tag = told ? "T" : "U";
        const std::u16string wtag = Utf8ToWide(tag);

        api.BeginChanges();
        ASSERT_EQ(Add(api, wtag + u"\\Changed", u"FS1"), NERR_Success);
        ASSERT_EQ(Add(api, wtag + u"\\Gone", u"FS1"), NERR_Success);
        ASSERT_EQ(Add(api, wtag + u"\\Removed", u"FS1"), NERR_Success);
        ASSERT_EQ(Add(api, wtag + u"\\Removed", u"FS2"), NERR_Success);
        // Meanwhile: a target added to one link, another link's target replaced, a target
        // removed, and a link added under the same name the run adds next.
        ReplaceTargets(*other, "/" + tag + "/Changed", {u"\\\\FS1\\S", u"\\\\OTHER\\S"});
        ReplaceTargets(*other, "/" + tag + "/Gone", {u"\\\\OTHER\\S"});
        ReplaceTargets(*other, "/" + tag + "/Removed", {u"\\\\FS1\\S"});
        ASSERT_EQ(Add(otherApi, wtag + u"\\Both", u"OTHER"), NERR_Success);

        EXPECT_EQ(Add(api, wtag + u"\\Changed", u"FS2"), NERR_Success);
        EXPECT_EQ(Add(api, wtag + u"\\Gone", u"FS2"), NERR_Success);
        // Not "already there": the target the run added is gone.
        EXPECT_EQ(Add(api, wtag + u"\\Removed", u"FS2"), NERR_Success);
        EXPECT_EQ(Add(api, wtag + u"\\Both", u"FS1"), NERR_Success);
        EXPECT_EQ(api.EndChanges(), NERR_Success);

        auto check = [&](const std::string& link, std::vector<std::u16string> targets) {
            EXPECT_EQ(LinkObjects(*directory, "/" + tag + "/" + link),
                      std::vector<std::vector<std::u16string>>{targets})
                << link;
        };
        check("Changed", {u"\\\\FS1\\S", u"\\\\OTHER\\S", u"\\\\FS2\\S"});
        check("Gone", {u"\\\\OTHER\\S", u"\\\\FS2\\S"});
        check("Removed", {u"\\\\FS1\\S", u"\\\\FS2\\S"});
        // One object of the link, with both programs' targets.
        check("Both", {u"\\\\OTHER\\S", u"\\\\FS1\\S"});
    }
}

TEST_F(StoreRunTest, ALinksCallsInOneBatchMakeItInOneWrite) {
    auto untold = std::make_shared<UntoldStore>(store);
    StoreNetDfs api(untold);
    const char16_t* path = u"\\\\example.com\\Public\\Batch\\One";
    api.BeginChanges();
    DFS_INFO_102 timeout{900};
    DFS_INFO_104 priority{{DfsGlobalLowPriorityClass, 7, 0}};
    DFS_INFO_102 root{1};
    DfsStatus badLevel = NERR_Success, duplicate = NERR_Success;
    uint8_t* read = nullptr;
    const DfsStatus kept = api.ChangeLink([&] {
        ASSERT_EQ(Add(api, u"Batch\\One", u"FS1"), NERR_Success);
        ASSERT_EQ(Add(api, u"Batch\\One", u"FS2"), NERR_Success);
        duplicate = Add(api, u"Batch\\One", u"FS2");
        ASSERT_EQ(api.SetInfo(path, nullptr, nullptr, 102, reinterpret_cast<uint8_t*>(&timeout)),
                  NERR_Success);
        ASSERT_EQ(api.SetInfo(path, u"FS2", u"S", 104, reinterpret_cast<uint8_t*>(&priority)),
                  NERR_Success);
        badLevel = api.SetInfo(path, nullptr, nullptr, 7, reinterpret_cast<uint8_t*>(&root));
        // What the batch made is read as made.
        ASSERT_EQ(api.GetInfo(path, nullptr, nullptr, 9, &read), NERR_Success);
    });
    ASSERT_EQ(kept, NERR_Success);
    EXPECT_EQ(duplicate, ERROR_FILE_EXISTS);
    EXPECT_EQ(badLevel, ERROR_INVALID_LEVEL);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(reinterpret_cast<DFS_INFO_9*>(read)->Timeout, 900u);
    EXPECT_EQ(reinterpret_cast<DFS_INFO_9*>(read)->NumberOfStorages, 2u);
    NetApiBufferFree(read);
    EXPECT_EQ(untold->adds, 1);
    EXPECT_EQ(untold->modifies, 0);
    EXPECT_EQ(api.EndChanges(), NERR_Success);
    EXPECT_EQ(LinkObjects(*store, "/Batch/One"),
              (std::vector<std::vector<std::u16string>>{{u"\\\\FS1\\S", u"\\\\FS2\\S"}}));

    // The whole object as the same calls one by one make it, but for what is new each time.
    StoreNetDfs single(store);
    const char16_t* other = u"\\\\example.com\\Public\\Batch\\Two";
    ASSERT_EQ(Add(single, u"Batch\\Two", u"FS1"), NERR_Success);
    ASSERT_EQ(Add(single, u"Batch\\Two", u"FS2"), NERR_Success);
    ASSERT_EQ(single.SetInfo(other, nullptr, nullptr, 102, reinterpret_cast<uint8_t*>(&timeout)),
              NERR_Success);
    ASSERT_EQ(single.SetInfo(other, u"FS2", u"S", 104, reinterpret_cast<uint8_t*>(&priority)),
              NERR_Success);
    auto object = [&](const std::string& linkPath) {
        std::vector<store::Entry> found;
        EXPECT_TRUE(store::SearchAll(*store,
                                     {kPublic,
                                      store::Scope::OneLevel,
                                      "(msDFS-LinkPathv2=" + linkPath + ")",
                                      {"msDFS-TargetListv2", "msDFS-Ttlv2", "msDFS-Propertiesv2",
                                       "objectClass", "msDFS-Commentv2"},
                                      0},
                                     found)
                        .ok());
        std::map<std::string, std::vector<std::string>> values;
        if (found.size() == 1)
            for (const store::Attribute& a : found.front().attributes)
                values[a.type] = a.values;
        return values;
    };
    EXPECT_EQ(object("/Batch/One"), object("/Batch/Two"));
}

// A run keeps a link its batch wrote by its path alone, so that a run of many links does not hold
// every target it wrote: a later target of that link is added to the link as it is then.
TEST_F(StoreRunTest, ALinkABatchWroteIsReadAgainWhenTheRunComesBackToIt) {
    auto untold = std::make_shared<UntoldStore>(store);
    StoreNetDfs api(untold);
    api.BeginChanges();
    ASSERT_EQ(api.ChangeLink([&] { ASSERT_EQ(Add(api, u"Back\\Again", u"FS1"), NERR_Success); }),
              NERR_Success);
    ReplaceTargets(*store, "/Back/Again", {u"\\\\FS1\\S", u"\\\\OTHER\\S"});
    const int searches = untold->searches;
    EXPECT_EQ(Add(api, u"Back\\Again", u"OTHER"), ERROR_FILE_EXISTS);
    EXPECT_EQ(untold->searches, searches + 1);
    EXPECT_EQ(Add(api, u"Back\\Again", u"FS2"), NERR_Success);
    // A link below it is still refused.
    EXPECT_EQ(Add(api, u"Back\\Again\\Below", u"FS3"), ERROR_FILE_EXISTS);
    EXPECT_EQ(api.EndChanges(), NERR_Success);
    EXPECT_EQ(LinkObjects(*store, "/Back/Again"),
              (std::vector<std::vector<std::u16string>>{
                  {u"\\\\FS1\\S", u"\\\\OTHER\\S", u"\\\\FS2\\S"}}));
}

TEST_F(StoreRunTest, ABatchWhoseLinkAnotherProgramMadeOrTheDirectoryRefusedLeavesNoTrace) {
    for (bool told : {true, false}) {
        SCOPED_TRACE(told ? "a store that tells" : "a store that cannot tell");
        Reload();
        auto untold = std::make_shared<UntoldStore>(store);
        std::shared_ptr<store::DirectoryStore> directory = store;
        if (!told) directory = untold;
        StoreNetDfs api(directory);
        auto otherStore = store::MemoryStore::Open(file);
        ASSERT_TRUE(otherStore);
        std::shared_ptr<store::DirectoryStore> other = std::move(*otherStore);
        if (!told) other = store;
        StoreNetDfs otherApi(other);
        const std::u16string both = told ? u"BothT" : u"BothU";
        const std::string bothPath = "/" + WideToUtf8(both);

        api.BeginChanges();
        DfsStatus status = api.ChangeLink([&] {
            ASSERT_EQ(Add(api, both, u"FS1"), NERR_Success);
            ASSERT_EQ(Add(otherApi, both, u"OTHER"), NERR_Success);
        });
        EXPECT_EQ(status, ERROR_RETRY);
        EXPECT_EQ(LinkObjects(*directory, bothPath),
                  (std::vector<std::vector<std::u16string>>{{u"\\\\OTHER\\S"}}));
        // Made again on its own, the target joins the other program's link.
        EXPECT_EQ(Add(api, both, u"FS1"), NERR_Success);
        EXPECT_EQ(LinkObjects(*directory, bothPath),
                  (std::vector<std::vector<std::u16string>>{{u"\\\\OTHER\\S", u"\\\\FS1\\S"}}));

        if (!told) {
            // A write the directory refuses: the reason is told, and the run does not take the
            // link as made.
            untold->refuseAdds = true;
            status = api.ChangeLink([&] { ASSERT_EQ(Add(api, u"Refused", u"FS1"), NERR_Success); });
            EXPECT_EQ(status, ERROR_ACCESS_DENIED);
            EXPECT_NE(status.detail.find("no right to add"), std::string::npos) << status.detail;
            untold->refuseAdds = false;
            EXPECT_EQ(Add(api, u"Refused", u"FS1"), NERR_Success);
            EXPECT_EQ(LinkObjects(*directory, "/Refused"),
                      (std::vector<std::vector<std::u16string>>{{u"\\\\FS1\\S"}}));
        }
        EXPECT_EQ(api.EndChanges(), NERR_Success);
    }
}

TEST(LinksByPath, FindsTheLinksAboveAndBelowAPathWithoutRegardToCase) {
    using dfs_store::LinksByPath;
    using dfs_store::StoredLink;
    LinksByPath links;
    for (const char* path : {"/Data", "/Data-Old/Sub", "/Tools/Win/x64", "/DATA2"})
        links.Put(StoredLink{std::string("dn of ") + path, path, {}, {}, {}, {}});
    EXPECT_EQ(links.Find("/data")->dn, "dn of /Data");
    EXPECT_EQ(links.Find("/Data/Projects"), nullptr);
    // Above, below, and names that only begin the same way (which sort between them).
    EXPECT_EQ(links.Overlapping("/data/Projects"), "/data");
    EXPECT_EQ(links.Overlapping("/tools"), "/tools/win/x64");
    EXPECT_EQ(links.Overlapping("/Tools/Win"), "/tools/win/x64");
    EXPECT_EQ(links.Overlapping("/Data-Old"), "/data-old/sub");
    EXPECT_EQ(links.Overlapping("/Dat"), "");
    EXPECT_EQ(links.Overlapping("/Tools/Winter"), "");
    EXPECT_EQ(links.Overlapping("/Data2"), "");

    // A link kept by its path alone still stands in the way of others, but has no targets to
    // give; put in full again, it has.
    links.KeepPathOnly("/DATA-old/sub");
    EXPECT_EQ(links.Find("/Data-Old/Sub"), nullptr);
    EXPECT_TRUE(links.Has("/data-old/SUB"));
    EXPECT_EQ(links.Overlapping("/Data-Old"), "/data-old/sub");
    links.Put(StoredLink{"again", "/Data-Old/Sub", {}, {}, {}, {}});
    EXPECT_EQ(links.Find("/Data-Old/Sub")->dn, "again");
    links.KeepPathOnly("/Data-Old/Sub");

    // Read again around a path: what was known there goes, the rest stays.
    links.ReplaceAround("/Tools/Win", {StoredLink{"new", "/Tools/Win", {}, {}, {}, {}}});
    EXPECT_EQ(links.Find("/Tools/Win/x64"), nullptr);
    EXPECT_EQ(links.Find("/tools/win")->dn, "new");
    EXPECT_NE(links.Find("/Data"), nullptr);
    EXPECT_NE(links.Find("/Data2"), nullptr);
    links.ReplaceAround("/Data/Projects", {});
    EXPECT_EQ(links.Find("/Data"), nullptr);
    EXPECT_TRUE(links.Has("/Data-Old/Sub"));
    EXPECT_EQ(links.size(), 3u);
}

} // namespace
} // namespace kestrune
