#include "directory/tntads.h"
#include "platform/memory_store/memory_store.h"
#include "platform/platform.h"
#include "support/scoped_platform.h"

#include <gtest/gtest.h>
#include <optional>

namespace kestrune {
namespace {

const char* kForest = R"(dn:
defaultNamingContext: DC=x,DC=test
rootDomainNamingContext: DC=x,DC=test

dn: DC=x,DC=test
objectClass: top
objectClass: domainDNS

dn: OU=Mixed,DC=x,DC=test
objectClass: top
objectClass: organizationalUnit

dn: CN=G,OU=Mixed,DC=x,DC=test
objectClass: top
objectClass: group
member: CN=U1,OU=Mixed,DC=x,DC=test
member: CN=G,OU=Mixed,DC=x,DC=test
member: CN=PC,OU=Mixed,DC=x,DC=test
member: CN=H,OU=Mixed,DC=x,DC=test

dn: CN=U1,OU=Mixed,DC=x,DC=test
objectClass: top
objectClass: person
objectClass: user

dn: CN=U2,OU=Mixed,DC=x,DC=test
objectClass: top
objectClass: person
objectClass: user

dn: OU=Inner,OU=Mixed,DC=x,DC=test
objectClass: top
objectClass: organizationalUnit

dn: CN=H,OU=Mixed,DC=x,DC=test
objectClass: top
objectClass: group
member: CN=G,OU=Mixed,DC=x,DC=test
member: cn=u1,ou=mixed,dc=x,dc=test
member: CN=U2,OU=Mixed,DC=x,DC=test

dn: CN=PC,OU=Mixed,DC=x,DC=test
objectClass: top
objectClass: person
objectClass: user
objectClass: computer

dn: OU=Empty,DC=x,DC=test
objectClass: top
objectClass: organizationalUnit
)";

class Enumeration : public ::testing::Test {
  protected:
    void SetUp() override {
        auto store = std::make_shared<store::MemoryStore>();
        ASSERT_TRUE(store->LoadText(kForest, "forest").ok());
        platform.emplace(store);
        ads = std::make_unique<TNTADS>();
        ads->OnEnumStart = [this](TNTADS*) { events.push_back("start"); };
        ads->OnEnumStop = [this](TNTADS*) { events.push_back("stop"); };
        ads->OnEnum = [this](TNTADS*, tObjData* obj, int64_t count) {
            events.push_back(WideToAnsi(obj->ObjName) + " " + std::to_string(count));
            if (abortAt == count) ads->abort();
        };
    }
    std::optional<testing::ScopedPlatform> platform;
    std::unique_ptr<TStringList> Enumerate(const char* path) {
        ads->SetADSPath(path);
        auto container = ads->OpenContainer();
        std::unique_ptr<TStringList> list(ads->EnumerateContainer(*container));
        EXPECT_TRUE(list->OwnsObjects()); // the records go with the list
        return list;
    }
    std::unique_ptr<TNTADS> ads;
    std::vector<std::string> events;
    int64_t abortAt = -1;
};

TEST_F(Enumeration, ChildrenWithRecordsFilterAndCount) {
    auto all = Enumerate("OU=Mixed,DC=x,DC=test");
    ASSERT_EQ(all->Count(), 6);
    EXPECT_EQ((*all)[0], "CN=G");
    auto* record = static_cast<tObjData*>(all->Objects(1));
    EXPECT_EQ(record->ObjClass, u"user");
    EXPECT_EQ(record->ObjPath, u"LDAP://CN=U1,OU=Mixed,DC=x,DC=test");
    EXPECT_EQ(record->ObjParent, u"LDAP://OU=Mixed,DC=x,DC=test");
    EXPECT_EQ(record->ObjSchema, u"LDAP://schema/user");
    EXPECT_EQ(record->ClassIndex, 5);
    EXPECT_EQ(static_cast<tObjData*>(all->Objects(0))->ClassIndex, 4);

    events.clear();
    ads->SetEnumFilter(u"user");
    auto users = Enumerate("OU=Mixed,DC=x,DC=test");
    EXPECT_EQ(users->Count(), 2);
    EXPECT_EQ(events, (std::vector<std::string>{"start", "CN=U1 2", "CN=U2 3", "stop"}));
    EXPECT_EQ(ads->EnumCount(), 6);
    ads->SetEnumFilter(u"User");
    EXPECT_EQ(Enumerate("OU=Mixed,DC=x,DC=test")->Count(), 0);
}

TEST_F(Enumeration, EmptyContainersAndAborts) {
    auto none = Enumerate("OU=Empty,DC=x,DC=test");
    EXPECT_EQ(none->Count(), 0);
    EXPECT_EQ(ads->EnumCount(), 0);
    EXPECT_EQ(events, (std::vector<std::string>{"start", "stop"}));

    events.clear();
    abortAt = 1;
    auto one = Enumerate("OU=Mixed,DC=x,DC=test");
    EXPECT_EQ(one->Count(), 1);
    EXPECT_EQ(ads->EnumCount(), 1);
    EXPECT_EQ(events, (std::vector<std::string>{"start", "CN=G 1", "stop"}));

    // An abort from the start event is cleared before the walk.
    abortAt = -1;
    ads->OnEnumStart = [this](TNTADS*) { ads->abort(); };
    EXPECT_EQ(Enumerate("OU=Mixed,DC=x,DC=test")->Count(), 6);
}

TEST_F(Enumeration, GroupsMembersAndAllUsers) {
    std::unique_ptr<TStringList> members(ads->enumgroup("LDAP://CN=G,OU=Mixed,DC=x,DC=test"));
    ASSERT_EQ(members->Count(), 4);
    EXPECT_EQ((*members)[0], "{user}LDAP://CN=U1,OU=Mixed,DC=x,DC=test");
    EXPECT_EQ((*members)[1], "{group}LDAP://CN=G,OU=Mixed,DC=x,DC=test");
    EXPECT_EQ((*members)[2], "{computer}LDAP://CN=PC,OU=Mixed,DC=x,DC=test");

    // G holds itself and H, which holds G: each is visited once; U1 arrives twice (once in
    // other letter case) and is listed once; the computer is left out.
    std::unique_ptr<TStringList> users(ads->GetAllusers("LDAP://CN=G,OU=Mixed,DC=x,DC=test"));
    ASSERT_EQ(users->Count(), 2);
    EXPECT_EQ((*users)[0], "LDAP://CN=U1,OU=Mixed,DC=x,DC=test");
    EXPECT_EQ((*users)[1], "LDAP://CN=U2,OU=Mixed,DC=x,DC=test");
    EXPECT_TRUE(users->Sorted());
    EXPECT_EQ(events, (std::vector<std::string>{"start", "stop"})); // no OnEnum

    std::unique_ptr<TStringList> groups(ads->EnumUser("LDAP://CN=U2,OU=Mixed,DC=x,DC=test"));
    EXPECT_EQ(groups->Count(), 1);
    EXPECT_EQ((*groups)[0], "LDAP://CN=H,OU=Mixed,DC=x,DC=test");

    EXPECT_EQ(std::unique_ptr<TStringList>(ads->enumgroup("LDAP://CN=Nope,DC=x,DC=test"))->Count(),
              0);
    EXPECT_EQ(std::unique_ptr<TStringList>(ads->EnumUser("LDAP://CN=Nope,DC=x,DC=test"))->Count(),
              0);
    EXPECT_EQ(
        std::unique_ptr<TStringList>(ads->enumgroup("LDAP://CN=U1,OU=Mixed,DC=x,DC=test"))->Count(),
        0);

    ads->SetSubs(true);
    EXPECT_EQ(ads->CountContainer("LDAP://OU=Mixed,DC=x,DC=test"), 7);
    EXPECT_EQ(ads->SearchPath(), u"LDAP://OU=Mixed,DC=x,DC=test");
    EXPECT_TRUE(ads->ObjectCatagory().empty());
}

} // namespace
} // namespace kestrune
