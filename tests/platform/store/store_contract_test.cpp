// What every directory store answers alike: the memory store and a real domain controller
// holding the sample's example.com objects.
#include "platform/store/dn.h"
#include "support/store_under_test.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <set>

namespace kestrune::store {
namespace {

using testing::OpenStoreUnderTest;
using testing::StoreUnderTestName;

const std::string kStaff = "OU=Staff,DC=example,DC=com";
const std::string kScratch = "OU=Contract Scratch,DC=example,DC=com";

std::set<std::string> Names(const std::vector<Entry>& entries) {
    std::set<std::string> names;
    for (const Entry& e : entries)
        names.insert(RdnValue(FirstRdn(e.dn)));
    return names;
}

class StoreContractTest : public ::testing::Test {
  protected:
    void SetUp() override {
        store = OpenStoreUnderTest();
        ASSERT_TRUE(store);
        RemoveScratch();
    }
    void TearDown() override {
        if (store) RemoveScratch();
    }
    void RemoveScratch() {
        std::vector<Entry> left;
        if (!SearchAll(*store, {kScratch, Scope::Subtree, "(objectClass=*)", {"1.1"}, 0}, left)
                 .ok())
            return;
        // Deepest first.
        std::sort(left.begin(), left.end(),
                  [](const Entry& a, const Entry& b) { return a.dn.size() > b.dn.size(); });
        for (const Entry& e : left)
            EXPECT_TRUE(store->Delete(e.dn).ok()) << e.dn;
    }
    std::vector<Entry> Find(const SearchRequest& request) {
        std::vector<Entry> out;
        Status status = SearchAll(*store, request, out);
        EXPECT_TRUE(status.ok()) << StoreUnderTestName() << ": " << status.message;
        return out;
    }
    std::shared_ptr<DirectoryStore> store;
};

TEST_F(StoreContractTest, RootDseNamesTheNamingContexts) {
    auto root = Find({"", Scope::Base, "(objectClass=*)", {}, 0});
    ASSERT_EQ(root.size(), 1u);
    EXPECT_EQ(root[0].dn, "");
    EXPECT_EQ(NormalizeDn(root[0].First("defaultNamingContext")), "dc=example,dc=com");
    EXPECT_EQ(NormalizeDn(root[0].First("rootDomainNamingContext")), "dc=example,dc=com");
    EXPECT_EQ(NormalizeDn(root[0].First("configurationNamingContext")),
              "cn=configuration,dc=example,dc=com");
    EXPECT_EQ(NormalizeDn(root[0].First("schemaNamingContext")),
              "cn=schema,cn=configuration,dc=example,dc=com");
}

TEST_F(StoreContractTest, ScopesFiltersAndAttributeNamesInAnyCase) {
    EXPECT_EQ(Names(Find({kStaff, Scope::OneLevel, "(objectClass=user)", {"1.1"}, 0})),
              (std::set<std::string>{"Ann Lee", "Bob Stone", "Carol King"}));
    EXPECT_EQ(Names(Find({kStaff, Scope::Subtree, "(objectClass=group)", {"1.1"}, 0})),
              (std::set<std::string>{"Staff", "Managers", "Everyone"}));
    // Values and attribute names compare without regard to case; the entry answers to any
    // spelling of the name.
    auto ann = Find({kStaff,
                     Scope::Subtree,
                     "(&(SAMACCOUNTNAME=ANN)(objectclass=USER))",
                     {"SAMAccountName"},
                     0});
    ASSERT_EQ(ann.size(), 1u);
    EXPECT_EQ(NormalizeDn(ann[0].dn), "cn=ann lee,ou=staff,dc=example,dc=com");
    EXPECT_EQ(ann[0].First("samaccountname"), "ann");
    // Only the attributes asked for.
    EXPECT_EQ(ann[0].Find("objectClass"), nullptr);
    auto base = Find({"CN=Ann Lee," + kStaff, Scope::Base, "(objectClass=*)", {}, 0});
    ASSERT_EQ(base.size(), 1u);
    EXPECT_NE(base[0].Find("objectClass"), nullptr);
    EXPECT_TRUE(Find({"CN=Ann Lee," + kStaff, Scope::Base, "(objectClass=group)", {}, 0}).empty());
    // Presence, substring and negation.
    EXPECT_EQ(Names(Find({kStaff,
                          Scope::OneLevel,
                          "(&(objectClass=user)(sAMAccountName=*o*)(!(sAMAccountName=carol)))",
                          {"1.1"},
                          0})),
              (std::set<std::string>{"Bob Stone"}));
}

TEST_F(StoreContractTest, PagesDeliverEveryEntryOnceWithinThePageSize) {
    std::unique_ptr<SearchCursor> cursor;
    ASSERT_TRUE(
        store->Search({kStaff, Scope::Subtree, "(objectClass=*)", {"1.1"}, 2}, cursor).ok());
    std::vector<std::string> seen;
    std::vector<Entry> page;
    int pages = 0;
    for (;;) {
        ASSERT_TRUE(cursor->NextPage(page).ok());
        if (page.empty()) break;
        EXPECT_LE(page.size(), 2u);
        ++pages;
        for (const Entry& e : page)
            seen.push_back(NormalizeDn(e.dn));
    }
    std::set<std::string> unique(seen.begin(), seen.end());
    EXPECT_EQ(seen.size(), unique.size());
    EXPECT_EQ(seen.size(), 7u); // the OU, three users, three groups
    EXPECT_GE(pages, 4);

    // A search left after its first page lets the next ones run as usual.
    ASSERT_TRUE(
        store->Search({kStaff, Scope::Subtree, "(objectClass=*)", {"1.1"}, 2}, cursor).ok());
    ASSERT_TRUE(cursor->NextPage(page).ok());
    EXPECT_EQ(page.size(), 2u);
    cursor.reset();
    EXPECT_EQ(Find({kStaff, Scope::Subtree, "(objectClass=*)", {"1.1"}, 2}).size(), 7u);
}

TEST_F(StoreContractTest, BinaryValuesComeBackByteForByte) {
    auto ns = Find({"CN=Public,CN=Public,CN=Dfs-Configuration,CN=System,DC=example,DC=com",
                    Scope::Base,
                    "(objectClass=msDFS-Namespacev2)",
                    {"msDFS-TargetListv2", "msDFS-NamespaceIdentityGUIDv2"},
                    0});
    ASSERT_EQ(ns.size(), 1u);
    std::string targets = ns[0].First("msDFS-TargetListv2");
    ASSERT_GE(targets.size(), 2u);
    EXPECT_EQ(targets.substr(0, 2), "\xff\xfe"); // UTF-16LE with its byte-order mark
    EXPECT_EQ(ns[0].First("msDFS-NamespaceIdentityGUIDv2"),
              std::string("\xe1\x69\x58\xbe\x57\xe5\xa8\x5c\x91\x3e\x1a\xf7\x00\xba\x11\xcc", 16));
}

TEST_F(StoreContractTest, FailuresCarryTheirLdapResult) {
    std::vector<Entry> out;
    EXPECT_EQ(SearchAll(*store,
                        {"OU=Missing,DC=example,DC=com", Scope::Base, "(objectClass=*)", {}, 0},
                        out)
                  .code,
              ResultCode::NoSuchObject);
    EXPECT_EQ(store
                  ->Add({"OU=Inner,OU=Missing,DC=example,DC=com",
                         {{"objectClass", {"top", "organizationalUnit"}}}})
                  .code,
              ResultCode::NoSuchObject);
    EXPECT_EQ(store
                  ->Modify("OU=Missing,DC=example,DC=com",
                           {{Modification::Op::Replace, "description", {"x"}}})
                  .code,
              ResultCode::NoSuchObject);
    EXPECT_EQ(store->Delete("OU=Missing,DC=example,DC=com").code, ResultCode::NoSuchObject);
    EXPECT_EQ(store->Add({kStaff, {{"objectClass", {"top", "organizationalUnit"}}}}).code,
              ResultCode::EntryAlreadyExists);
    EXPECT_EQ(store->Delete(kStaff).code, ResultCode::NotAllowedOnNonLeaf);
}

TEST_F(StoreContractTest, AddModifyRenameAndDelete) {
    const std::string inner = "OU=Inner," + kScratch;
    ASSERT_TRUE(store->Add({kScratch, {{"objectClass", {"top", "organizationalUnit"}}}}).ok());
    ASSERT_TRUE(
        store
            ->Add({inner,
                   {{"objectClass", {"top", "organizationalUnit"}}, {"description", {"first"}}}})
            .ok());
    auto read = [&](const std::string& dn) {
        auto found = Find({dn, Scope::Base, "(objectClass=*)", {"description", "ou"}, 0});
        return found.empty() ? Entry{} : found.front();
    };
    EXPECT_EQ(read(inner).First("description"), "first");
    EXPECT_EQ(store->Modify(inner, {{Modification::Op::Add, "description", {"first"}}}).code,
              ResultCode::AttributeOrValueExists);
    EXPECT_EQ(store->Modify(inner, {{Modification::Op::Delete, "description", {"other"}}}).code,
              ResultCode::NoSuchAttribute);
    ASSERT_TRUE(
        store->Modify(inner, {{Modification::Op::Replace, "description", {"second"}}}).ok());
    EXPECT_EQ(read(inner).First("description"), "second");
    ASSERT_TRUE(store->Modify(inner, {{Modification::Op::Delete, "description", {}}}).ok());
    EXPECT_EQ(read(inner).Find("description"), nullptr);
    EXPECT_EQ(store->Delete(kScratch).code, ResultCode::NotAllowedOnNonLeaf);

    // A new name, then a new parent: the entry follows, its naming attribute too.
    ASSERT_TRUE(store->Rename(inner, "OU=Renamed", true, "").ok());
    EXPECT_EQ(read("OU=Renamed," + kScratch).First("ou"), "Renamed");
    std::vector<Entry> gone;
    EXPECT_EQ(SearchAll(*store, {inner, Scope::Base, "(objectClass=*)", {}, 0}, gone).code,
              ResultCode::NoSuchObject);
    ASSERT_TRUE(
        store->Add({"OU=Other," + kScratch, {{"objectClass", {"top", "organizationalUnit"}}}})
            .ok());
    ASSERT_TRUE(
        store->Rename("OU=Renamed," + kScratch, "OU=Renamed", true, "OU=Other," + kScratch).ok());
    EXPECT_EQ(
        Names(Find({kScratch, Scope::Subtree, "(objectClass=organizationalUnit)", {"1.1"}, 0})),
        (std::set<std::string>{"Contract Scratch", "Other", "Renamed"}));
    ASSERT_TRUE(store->Delete("OU=Renamed,OU=Other," + kScratch).ok());
    ASSERT_TRUE(store->Delete("OU=Other," + kScratch).ok());
    ASSERT_TRUE(store->Delete(kScratch).ok());
}

} // namespace
} // namespace kestrune::store
