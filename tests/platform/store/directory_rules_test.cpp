// The rules a domain controller keeps that the memory store keeps too: references follow
// renames and deletes, DN values compare as DNs, the size limit, naming contexts, where an
// object may be placed, and AD's standard classes in a file without a schema.
#include "platform/memory_store/memory_store.h"

#include <gtest/gtest.h>

namespace kestrune::store {
namespace {

// A forest written by hand: no schema objects, no object categories.
const char* kForest = R"(dn:
defaultNamingContext: DC=x,DC=test
rootDomainNamingContext: DC=x,DC=test
configurationNamingContext: CN=Configuration,DC=x,DC=test

dn: DC=x,DC=test
objectClass: top
objectClass: domain
objectClass: domainDNS

dn: OU=Staff,DC=x,DC=test
objectClass: top
objectClass: organizationalUnit

dn: OU=Old,OU=Staff,DC=x,DC=test
objectClass: top
objectClass: organizationalUnit

dn: CN=Ann\, Lee,OU=Old,OU=Staff,DC=x,DC=test
objectClass: top
objectClass: person
objectClass: organizationalPerson
objectClass: user
seeAlso: CN=Bob,OU=Staff,DC=x,DC=test

dn: CN=Bob,OU=Staff,DC=x,DC=test
objectClass: top
objectClass: person
objectClass: organizationalPerson
objectClass: user
manager: cn=ann\2C lee, ou=old, ou=staff, dc=x, dc=test

dn: CN=Team,OU=Staff,DC=x,DC=test
objectClass: top
objectClass: group
member: CN=ANN\2C LEE,OU=Old,OU=Staff,DC=x,DC=test
member: CN=Bob,OU=Staff,DC=x,DC=test

dn: DC=child,DC=x,DC=test
objectClass: top
objectClass: domain
objectClass: domainDNS

dn: CN=Configuration,DC=x,DC=test
objectClass: top
objectClass: configuration

dn: CN=Partitions,CN=Configuration,DC=x,DC=test
objectClass: top
objectClass: crossRefContainer

dn: CN=X,CN=Partitions,CN=Configuration,DC=x,DC=test
objectClass: top
objectClass: crossRef
nCName: DC=x,DC=test
dnsRoot: x.test

dn: CN=CHILD,CN=Partitions,CN=Configuration,DC=x,DC=test
objectClass: top
objectClass: crossRef
nCName: DC=child,DC=x,DC=test
dnsRoot: child.x.test

dn: CN=Sites,CN=Configuration,DC=x,DC=test
objectClass: top
objectClass: sitesContainer

dn: CN=Paris,CN=Sites,CN=Configuration,DC=x,DC=test
objectClass: top
objectClass: site
)";

class DirectoryRules : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(store.LoadText(kForest, "forest").ok()); }
    std::vector<Entry> Find(const std::string& base, Scope scope, const std::string& filter,
                            bool wholeForest = false) {
        std::vector<Entry> out;
        SearchRequest request{base, scope, filter, {}, 0};
        request.wholeForest = wholeForest;
        Status status = SearchAll(store, request, out);
        EXPECT_TRUE(status.ok()) << status.message;
        return out;
    }
    std::vector<std::string> Values(const std::string& dn, const std::string& type) {
        auto found = Find(dn, Scope::Base, "(objectClass=*)");
        const auto* values = found.empty() ? nullptr : found.front().Find(type);
        return values ? *values : std::vector<std::string>{};
    }
    MemoryStore store;
};

TEST_F(DirectoryRules, ReferencesFollowRenamesAndMovesAndLinkedOnesGoWithTheObject) {
    // The OU holding Ann moves: every value naming Ann (written three ways) follows.
    ASSERT_TRUE(store.Rename("OU=Old,OU=Staff,DC=x,DC=test", "OU=New", true, "DC=x,DC=test").ok());
    const std::string ann = "CN=Ann\\, Lee,OU=New,DC=x,DC=test";
    EXPECT_EQ(Values("CN=Team,OU=Staff,DC=x,DC=test", "member"),
              (std::vector<std::string>{"CN=ANN\\2C LEE," + std::string("OU=New,DC=x,DC=test"),
                                        "CN=Bob,OU=Staff,DC=x,DC=test"}));
    EXPECT_EQ(Values("CN=Bob,OU=Staff,DC=x,DC=test", "manager"),
              (std::vector<std::string>{"cn=ann\\2C lee,OU=New,DC=x,DC=test"}));
    EXPECT_EQ(Find("DC=x,DC=test", Scope::Subtree,
                   "(member=" + std::string("CN=Ann\\5c, Lee,OU=New,DC=x,DC=test") + ")")
                  .size(),
              1u);

    // Bob is renamed, then deleted: the group loses him (linked), Ann's seeAlso (not linked)
    // keeps naming him, as a directory keeps a reference to a deleted object.
    ASSERT_TRUE(store.Rename("CN=Bob,OU=Staff,DC=x,DC=test", "CN=Robert", true, "").ok());
    EXPECT_EQ(Values(ann, "seeAlso"),
              (std::vector<std::string>{"CN=Robert,OU=Staff,DC=x,DC=test"}));
    ASSERT_TRUE(store.Delete("CN=Robert,OU=Staff,DC=x,DC=test").ok());
    EXPECT_EQ(Values("CN=Team,OU=Staff,DC=x,DC=test", "member").size(), 1u);
    EXPECT_EQ(Values(ann, "seeAlso").size(), 1u);

    // A member value is one value however it is written.
    EXPECT_EQ(
        store
            .Modify("CN=Team,OU=Staff,DC=x,DC=test",
                    {{Modification::Op::Add, "member", {"cn=ann\\, lee, ou=new,dc=x,dc=test"}}})
            .code,
        ResultCode::AttributeOrValueExists);
    EXPECT_TRUE(
        store
            .Modify("CN=Team,OU=Staff,DC=x,DC=test",
                    {{Modification::Op::Delete, "member", {"cn=ann\\2c lee,ou=new,dc=x,dc=test"}}})
            .ok());
}

TEST_F(DirectoryRules, UnpagedSearchesStopAtTheSizeLimitAndPagedOnesReturnAll) {
    for (int i = 0; i < 1200; ++i)
        ASSERT_TRUE(store
                        .Add({"CN=u" + std::to_string(i) + ",OU=Staff,DC=x,DC=test",
                              {{"objectClass", {"top", "person", "organizationalPerson", "user"}}}})
                        .ok());
    std::unique_ptr<SearchCursor> cursor;
    ASSERT_TRUE(
        store.Search({"OU=Staff,DC=x,DC=test", Scope::OneLevel, "(cn=u*)", {}, 0}, cursor).ok());
    std::vector<Entry> page;
    EXPECT_EQ(cursor->NextPage(page).code, ResultCode::SizeLimitExceeded);
    EXPECT_EQ(page.size(), MemoryStore::kMaxPageSize);
    EXPECT_TRUE(cursor->NextPage(page).ok());
    EXPECT_TRUE(page.empty());
    EXPECT_EQ(Find("OU=Staff,DC=x,DC=test", Scope::OneLevel, "(cn=u*)").size(), 1200u); // paged
}

TEST_F(DirectoryRules, SearchesStayInTheNamingContextOfTheirBase) {
    auto children = Find("DC=x,DC=test", Scope::OneLevel, "(objectClass=*)");
    ASSERT_EQ(children.size(), 1u); // OU=Staff: no child domain, no configuration
    EXPECT_EQ(children[0].dn, "OU=Staff,DC=x,DC=test");
    EXPECT_TRUE(Find("DC=x,DC=test", Scope::Subtree, "(objectClass=site)").empty());
    EXPECT_TRUE(Find("DC=x,DC=test", Scope::Subtree, "(dnsRoot=x.test)").empty()); // indexed
    EXPECT_EQ(Find("DC=x,DC=test", Scope::Subtree, "(objectClass=domainDNS)").size(), 1u);
    // The whole forest, as the global catalog sees it.
    EXPECT_EQ(Find("DC=x,DC=test", Scope::Subtree, "(objectClass=domainDNS)", true).size(), 2u);
    EXPECT_EQ(Find("CN=Configuration,DC=x,DC=test", Scope::Subtree, "(objectClass=site)").size(),
              1u);
}

TEST_F(DirectoryRules, ObjectsGoOnlyWhereTheirClassMayBe) {
    Entry user{"CN=Cat,CN=Paris,CN=Sites,CN=Configuration,DC=x,DC=test",
               {{"objectClass", {"top", "person", "organizationalPerson", "user"}}}};
    EXPECT_EQ(store.Add(user).code, ResultCode::NamingViolation);
    user.dn = "CN=Cat,OU=Staff,DC=x,DC=test";
    ASSERT_TRUE(store.Add(user).ok());
    EXPECT_EQ(
        store.Rename(user.dn, "CN=Cat", true, "CN=Paris,CN=Sites,CN=Configuration,DC=x,DC=test")
            .code,
        ResultCode::NamingViolation);
    EXPECT_TRUE(store.Rename(user.dn, "CN=Cat", true, "DC=x,DC=test").ok());
    // A class the schema does not know is not held back.
    EXPECT_TRUE(store
                    .Add({"CN=Thing,CN=Paris,CN=Sites,CN=Configuration,DC=x,DC=test",
                          {{"objectClass", {"top", "kestruneThing"}}}})
                    .ok());
}

TEST_F(DirectoryRules, AFileWithoutSchemaObjectsHasTheStandardClasses) {
    // Every object got its class's default category, and a class name finds it.
    EXPECT_EQ(Values("DC=x,DC=test", "objectCategory"),
              (std::vector<std::string>{"CN=Domain-DNS,CN=Schema,CN=Configuration,DC=x,DC=test"}));
    EXPECT_EQ(Find("", Scope::Subtree, "(objectCategory=Domain)").size(), 2u);
    EXPECT_EQ(Find("DC=x,DC=test", Scope::Subtree, "(objectCategory=user)").size(), 2u);
    EXPECT_EQ(Find("DC=x,DC=test", Scope::Subtree, "(objectCategory=group)").size(), 1u);
}

} // namespace
} // namespace kestrune::store
