// The DFS network interface over any store: the memory store and a real domain controller
// answer NetDfsEnum and NetDfsAdd alike for the sample's namespaces.
#include "base/win_errors.h"
#include "platform/netdfs_over_store/dfs_target_list.h"
#include "platform/netdfs_over_store/netdfs_over_store.h"
#include "platform/store/dn.h"
#include "support/store_under_test.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace kestrune {
namespace {

using store::Entry;
using store::Scope;
using testing::OpenStoreUnderTest;

const std::string kDfs = "CN=Dfs-Configuration,CN=System,DC=example,DC=com";
const std::string kArchive = "CN=Archive,CN=Archive," + kDfs;

// Counts what the DFS interface asks of the store beneath it.
class CountingStore : public store::DirectoryStore {
  public:
    explicit CountingStore(std::shared_ptr<store::DirectoryStore> inner)
        : inner_(std::move(inner)) {}
    store::Status Search(const store::SearchRequest& request,
                         std::unique_ptr<store::SearchCursor>& cursor) override {
        bool links = request.filter.find("msDFS-Linkv2") != std::string::npos;
        if (links) ++linkSearches;
        std::unique_ptr<store::SearchCursor> inner;
        store::Status status = inner_->Search(request, inner);
        if (status.ok())
            cursor = links ? std::make_unique<Cursor>(std::move(inner), *this) : std::move(inner);
        return status;
    }
    store::Status Add(const Entry& e) override { return inner_->Add(e); }
    store::Status Modify(const std::string& dn,
                         const std::vector<store::Modification>& m) override {
        return inner_->Modify(dn, m);
    }
    store::Status Delete(const std::string& dn) override { return inner_->Delete(dn); }
    store::Status Rename(const std::string& dn, const std::string& rdn, bool del,
                         const std::string& sup) override {
        return inner_->Rename(dn, rdn, del, sup);
    }
    int linkSearches = 0; // searches for link objects
    size_t linksRead = 0;

  private:
    class Cursor : public store::SearchCursor {
      public:
        Cursor(std::unique_ptr<store::SearchCursor> inner, CountingStore& owner)
            : inner_(std::move(inner)), owner_(owner) {}
        store::Status NextPage(std::vector<Entry>& page) override {
            store::Status status = inner_->NextPage(page);
            owner_.linksRead += page.size();
            return status;
        }

      private:
        std::unique_ptr<store::SearchCursor> inner_;
        CountingStore& owner_;
    };
    std::shared_ptr<store::DirectoryStore> inner_;
};

struct Record {
    std::u16string path;
    std::u16string comment;
    std::vector<std::u16string> targets;
    bool operator==(const Record&) const = default;
};

class NetDfsContractTest : public ::testing::Test {
  protected:
    void SetUp() override {
        auto inner = OpenStoreUnderTest();
        ASSERT_TRUE(inner);
        directory = std::make_shared<CountingStore>(inner);
        dfs = std::make_unique<StoreNetDfs>(directory);
        DeleteAddedLinks();
    }
    void TearDown() override {
        if (directory) DeleteAddedLinks();
    }
    // The sample's Archive namespace has no links; what a test adds there goes again.
    void DeleteAddedLinks() {
        std::vector<Entry> links;
        EXPECT_TRUE(
            store::SearchAll(*directory,
                             {kArchive, Scope::OneLevel, "(objectClass=msDFS-Linkv2)", {"1.1"}, 0},
                             links)
                .ok());
        for (const Entry& l : links)
            EXPECT_TRUE(directory->Delete(l.dn).ok()) << l.dn;
    }
    DfsStatus Walk(const std::u16string& name, uint32_t level, uint32_t prefMaxLen,
                   std::vector<Record>& out, int& calls) {
        out.clear();
        uint32_t resume = 0;
        for (calls = 1;; ++calls) {
            uint8_t* buffer = nullptr;
            uint32_t read = 0;
            DfsStatus status = dfs->Enum(name.c_str(), level, prefMaxLen, &buffer, &read, &resume);
            if (status != NERR_Success) return status;
            for (uint32_t i = 0; i < read; ++i) {
                Record r;
                if (level == 200) {
                    r.path = reinterpret_cast<DFS_INFO_200*>(buffer)[i].FtDfsName;
                } else {
                    const DFS_INFO_3& e = reinterpret_cast<DFS_INFO_3*>(buffer)[i];
                    r.path = e.EntryPath;
                    if (e.Comment) r.comment = e.Comment;
                    for (uint32_t s = 0; s < e.NumberOfStorages; ++s)
                        r.targets.push_back(std::u16string(e.Storage[s].ServerName) + u"\\" +
                                            e.Storage[s].ShareName);
                }
                out.push_back(std::move(r));
            }
            NetApiBufferFree(buffer);
        }
    }
    std::shared_ptr<CountingStore> directory;
    std::unique_ptr<StoreNetDfs> dfs;
};

TEST_F(NetDfsContractTest, ListsTheSampleNamespacesAndTheirLinks) {
    std::vector<Record> roots;
    int calls = 0;
    ASSERT_EQ(Walk(u"\\\\example.com", 200, MAX_PREFERRED_LENGTH, roots, calls),
              ERROR_NO_MORE_ITEMS);
    std::vector<std::u16string> names;
    for (const Record& r : roots)
        names.push_back(r.path);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::u16string>{u"Archive", u"Legacy", u"Projets", u"Public",
                                                  u"Users"}));

    std::vector<Record> entries;
    ASSERT_EQ(Walk(u"\\\\example.com\\Public", 3, MAX_PREFERRED_LENGTH, entries, calls),
              ERROR_NO_MORE_ITEMS);
    ASSERT_EQ(entries.size(), 5u);
    // The root first; the links in the directory's order.
    EXPECT_EQ(entries[0], (Record{u"\\\\example.com\\Public",
                                  u"Company public share",
                                  {u"DC1\\Public", u"DC2\\Public"}}));
    std::sort(entries.begin() + 1, entries.end(),
              [](const Record& a, const Record& b) { return a.path < b.path; });
    EXPECT_EQ(entries[1],
              (Record{u"\\\\example.com\\Public\\Data\\Projects", u"", {u"FS1\\Projects"}}));
    EXPECT_EQ(entries[3], (Record{u"\\\\example.com\\Public\\Policies",
                                  u"Read \"before\" you sign",
                                  {u"FS1\\Policies"}}));
    EXPECT_EQ(entries[4], (Record{u"\\\\example.com\\Public\\Software",
                                  u"Installers, \"current\" and older",
                                  {u"FS1\\Software", u"FS2\\Software", u"FS3\\Software\\Mirror"}}));
    EXPECT_EQ(Walk(u"\\\\example.com\\Nowhere", 3, MAX_PREFERRED_LENGTH, entries, calls),
              ERROR_NOT_FOUND);
    EXPECT_EQ(Walk(u"\\\\nowhere.example", 200, MAX_PREFERRED_LENGTH, entries, calls),
              ERROR_BAD_NETPATH);
}

TEST_F(NetDfsContractTest, SmallBuffersReadEachLinkOnce) {
    std::vector<Record> whole, pieces;
    int calls = 0;
    ASSERT_EQ(Walk(u"\\\\example.com\\Public", 3, MAX_PREFERRED_LENGTH, whole, calls),
              ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(calls, 2);
    directory->linkSearches = 0;
    directory->linksRead = 0;
    ASSERT_EQ(Walk(u"\\\\example.com\\Public", 3, 1, pieces, calls), ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(calls, 6); // one record per buffer, then the end
    EXPECT_EQ(pieces, whole);
    // One search of the links for the whole walk, each link read once.
    EXPECT_EQ(directory->linkSearches, 1);
    EXPECT_EQ(directory->linksRead, 4u);
}

TEST_F(NetDfsContractTest, AddedLinksPassTheDirectorysChecksAndMoveTheGeneration) {
    auto read = [&](const std::string& dn) {
        std::vector<Entry> found;
        EXPECT_TRUE(
            store::SearchAll(*directory, {dn, Scope::Base, "(objectClass=*)", {}, 0}, found).ok());
        return found.empty() ? Entry{} : found.front();
    };
    Entry before = read(kArchive);
    ASSERT_EQ(dfs->Add(u"\\\\example.com\\Archive\\Old\\2020", u"FS1", u"Old2020", u"Year 2020",
                       DFS_ADD_VOLUME),
              NERR_Success);
    // A link path already there is refused; so is one above or below it.
    EXPECT_EQ(
        dfs->Add(u"\\\\example.com\\Archive\\OLD\\2020", u"FS2", u"Old2020", u"", DFS_ADD_VOLUME),
        ERROR_FILE_EXISTS);
    EXPECT_EQ(dfs->Add(u"\\\\example.com\\Archive\\Old", u"FS2", u"Old", u"", DFS_ADD_VOLUME),
              ERROR_FILE_EXISTS);
    // A further target rewrites the link's target list; an empty comment is left out.
    ASSERT_EQ(
        dfs->Add(u"\\\\example.com\\Archive\\Old\\2020", u"\\\\FS2", u"Old2020\\Copy", u"", 0),
        NERR_Success);
    EXPECT_EQ(dfs->Add(u"\\\\example.com\\Archive\\Old\\2020", u"fs2", u"old2020\\copy", u"", 0),
              ERROR_FILE_EXISTS);
    ASSERT_EQ(dfs->Add(u"\\\\example.com\\Archive\\New", u"FS1", u"New", u"", DFS_ADD_VOLUME),
              NERR_Success);

    std::vector<Record> entries;
    int calls = 0;
    ASSERT_EQ(Walk(u"\\\\example.com\\Archive", 3, MAX_PREFERRED_LENGTH, entries, calls),
              ERROR_NO_MORE_ITEMS);
    ASSERT_EQ(entries.size(), 3u);
    std::sort(entries.begin() + 1, entries.end(),
              [](const Record& a, const Record& b) { return a.path < b.path; });
    EXPECT_EQ(entries[1], (Record{u"\\\\example.com\\Archive\\New", u"", {u"FS1\\New"}}));
    EXPECT_EQ(entries[2], (Record{u"\\\\example.com\\Archive\\Old\\2020",
                                  u"Year 2020",
                                  {u"FS1\\Old2020", u"FS2\\Old2020\\Copy"}}));

    std::vector<Entry> links;
    ASSERT_TRUE(store::SearchAll(*directory,
                                 {kArchive, Scope::OneLevel, "(msDFS-LinkPathv2=/Old/2020)", {}, 0},
                                 links)
                    .ok());
    ASSERT_EQ(links.size(), 1u);
    const Entry& link = links[0];
    EXPECT_EQ(link.First("msDFS-LinkIdentityGUIDv2").size(), 16u);
    EXPECT_EQ(link.First("msDFS-GenerationGUIDv2").size(), 16u);
    EXPECT_EQ(link.First("msDFS-NamespaceIdentityGUIDv2"),
              before.First("msDFS-NamespaceIdentityGUIDv2"));
    EXPECT_EQ(link.First("msDFS-LastModifiedv2").size(), 17u);
    EXPECT_EQ(link.First("msDFS-LastModifiedv2").substr(14), ".0Z");
    EXPECT_FALSE(link.First("msDFS-Ttlv2").empty());
    EXPECT_FALSE(link.First("msDFS-Propertiesv2").empty());
    auto targets = DecodeTargetList(link.First("msDFS-TargetListv2"));
    ASSERT_TRUE(targets);
    EXPECT_EQ(targets->size(), 2u);
    Entry after = read(kArchive);
    EXPECT_NE(after.First("msDFS-GenerationGUIDv2"), before.First("msDFS-GenerationGUIDv2"));
    EXPECT_EQ(after.First("msDFS-GenerationGUIDv2").size(), 16u);
}

TEST_F(NetDfsContractTest, TargetListsAreReadAsWindowsWritesThemAndNeverTakenForEmpty) {
    const std::u16string link = u"\\\\example.com\\Archive\\Kept";
    ASSERT_EQ(dfs->Add(link.c_str(), u"FS1", u"Kept", u"", DFS_ADD_VOLUME), NERR_Success);
    std::vector<Entry> found;
    ASSERT_TRUE(
        store::SearchAll(
            *directory,
            {kArchive, Scope::OneLevel, "(msDFS-LinkPathv2=/Kept)", {"msDFS-TargetListv2"}, 0},
            found)
            .ok());
    ASSERT_EQ(found.size(), 1u);
    const std::string dn = found.front().dn;
    auto setList = [&](std::u16string_view xml, bool bom) {
        std::string bytes = bom ? "\xFF\xFE" : "";
        for (char16_t c : xml) {
            bytes += static_cast<char>(c & 0xFF);
            bytes += static_cast<char>(c >> 8);
        }
        EXPECT_TRUE(
            directory
                ->Modify(dn, {{store::Modification::Op::Replace, "msDFS-TargetListv2", {bytes}}})
                .ok());
        return bytes;
    };
    std::vector<Record> entries;
    int calls = 0;

    // A layout the program does not write itself: declared UTF-16 without a mark, attributes
    // in another order and quoted with apostrophes, white space around the targets.
    setList(u"<?xml version=\"1.0\" encoding=\"utf-16\"?>\r\n<targets targetCount='2'>\r\n"
            u"  <target priorityRank='0' state='online'>\r\n    \\\\FS1\\Kept\r\n  </target>\r\n"
            u"  <target state='online'>\\\\FS2\\K&amp;pt</target>\r\n</targets>",
            false);
    ASSERT_EQ(Walk(u"\\\\example.com\\Archive", 3, MAX_PREFERRED_LENGTH, entries, calls),
              ERROR_NO_MORE_ITEMS);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1].targets, (std::vector<std::u16string>{u"FS1\\Kept", u"FS2\\K&pt"}));

    // One it cannot read fails the walk, naming the link, and is never replaced.
    const std::string cut =
        setList(u"<targets><target>\\\\FS1\\Kept</target><target>\\\\FS2\\K", true);
    const DfsStatus walked =
        Walk(u"\\\\example.com\\Archive", 3, MAX_PREFERRED_LENGTH, entries, calls);
    EXPECT_EQ(walked, ERROR_INVALID_DATA);
    EXPECT_EQ(walked.detail, "\\\\example.com\\Archive\\Kept: its target list cannot be "
                             "read: the list is cut short at character 52");
    const DfsStatus added = dfs->Add(link.c_str(), u"FS3", u"Kept", u"", 0);
    EXPECT_EQ(added, ERROR_INVALID_DATA);
    EXPECT_NE(added.detail.find("Kept: its target list cannot be read"), std::string::npos);
    EXPECT_EQ(dfs->Add(link.c_str(), u"FS3", u"Kept", u"", DFS_ADD_VOLUME), ERROR_FILE_EXISTS);
    found.clear();
    ASSERT_TRUE(store::SearchAll(*directory,
                                 {dn, Scope::Base, "(objectClass=*)", {"msDFS-TargetListv2"}, 0},
                                 found)
                    .ok());
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found.front().First("msDFS-TargetListv2"), cut);
}

} // namespace
} // namespace kestrune
