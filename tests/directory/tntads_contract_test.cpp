// The directory component over any store: the memory store and a real domain controller
// give the same answers for the sample's example.com.
#include "directory/tntads.h"
#include "platform/platform.h"
#include "support/scoped_platform.h"
#include "support/store_under_test.h"

#include <gtest/gtest.h>
#include <optional>

namespace kestrune {
namespace {

std::vector<std::string> Items(TStringList* list) {
    std::unique_ptr<TStringList> owned(list);
    std::vector<std::string> items;
    for (int i = 0; i < owned->Count(); ++i)
        items.push_back((*owned)[i]);
    std::sort(items.begin(), items.end());
    return items;
}

class TntadsContractTest : public ::testing::Test {
  protected:
    void SetUp() override {
        auto store = testing::OpenStoreUnderTest();
        ASSERT_TRUE(store);
        platform.emplace(store);
        ads = std::make_unique<TNTADS>();
    }
    void TearDown() override {
        ads.reset();
        platform.reset();
    }
    std::optional<testing::ScopedPlatform> platform;
    std::unique_ptr<TNTADS> ads;
};

TEST_F(TntadsContractTest, DetectsTheDomainAndListsTheForestsDomains) {
    ads->DetectDirectory();
    EXPECT_EQ(ads->LastError(), 0) << WideToUtf8(ads->LastMessage());
    EXPECT_EQ(ads->Domain(), u"DC=example,DC=com");
    EXPECT_EQ(ads->Domains(), u"EXAMPLE");
    EXPECT_EQ(ads->Forest(), u"example.com");
    EXPECT_TRUE(ads->Native());
    EXPECT_NE(ads->PDCEmulator().find(u"CN=NTDS Settings,CN=DC1,"), std::u16string::npos);

    // The global catalog's domains: never a DNS application partition.
    std::vector<std::string> domains = Items(ads->GetDomains("", false));
    std::vector<std::string> expected{"DC=example,DC=com"};
    if (testing::StoreHoldsWholeSample()) expected.push_back("DC=sales,DC=example,DC=com");
    EXPECT_EQ(domains, expected);
}

TEST_F(TntadsContractTest, SearchesPageAndBindObjects) {
    TStringList rows;
    ads->SetSearchPath(u"LDAP://OU=Staff,DC=example,DC=com");
    ads->SetFilter(u"objectClass=user");
    ads->SetSubs(true);
    ads->SetRowCount(2);
    ASSERT_TRUE(ads->ExecuteSearch(rows));
    std::vector<std::string> names;
    for (int i = 0; i < rows.Count(); ++i)
        names.push_back(rows[i]);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"CN=Ann Lee,OU=Staff,DC=example,DC=com",
                                               "CN=Bob Stone,OU=Staff,DC=example,DC=com",
                                               "CN=Carol King,OU=Staff,DC=example,DC=com"}));

    EXPECT_EQ(ads->GetClass("DC=example,DC=com"), "domainDNS");
    EXPECT_TRUE(ads->ObjectExists("LDAP://CN=Ann Lee,OU=Staff,DC=example,DC=com"));
    EXPECT_FALSE(ads->ObjectExists("LDAP://CN=Nobody,OU=Staff,DC=example,DC=com"));
    EXPECT_EQ(WideToUtf8(ads->LastMessage()), "There is no such object on the server");

    ads->SetADSPath("CN=Ann Lee,OU=Staff,DC=example,DC=com");
    std::shared_ptr<adsi::IADs> ann = ads->OpenObject();
    ASSERT_TRUE(ann);
    EXPECT_EQ(ads->GetPropertyValue(*ann, "sAMAccountName"), u"ann");
}

TEST_F(TntadsContractTest, GroupsTheirMembersAndNestedUsers) {
    EXPECT_EQ(Items(ads->enumgroup("LDAP://CN=Staff,OU=Staff,DC=example,DC=com")),
              (std::vector<std::string>{"{computer}LDAP://CN=WS01,CN=Computers,DC=example,DC=com",
                                        "{group}LDAP://CN=Managers,OU=Staff,DC=example,DC=com",
                                        "{user}LDAP://CN=Ann Lee,OU=Staff,DC=example,DC=com",
                                        "{user}LDAP://CN=Bob Stone,OU=Staff,DC=example,DC=com"}));
    EXPECT_EQ(Items(ads->GetAllusers("LDAP://CN=Everyone,OU=Staff,DC=example,DC=com")),
              (std::vector<std::string>{"LDAP://CN=Administrator,CN=Users,DC=example,DC=com",
                                        "LDAP://CN=Ann Lee,OU=Staff,DC=example,DC=com",
                                        "LDAP://CN=Bob Stone,OU=Staff,DC=example,DC=com",
                                        "LDAP://CN=Carol King,OU=Staff,DC=example,DC=com"}));
    std::vector<std::string> groups =
        Items(ads->EnumUser("LDAP://CN=Ann Lee,OU=Staff,DC=example,DC=com"));
    EXPECT_EQ(groups, (std::vector<std::string>{"LDAP://CN=Managers,OU=Staff,DC=example,DC=com",
                                                "LDAP://CN=Staff,OU=Staff,DC=example,DC=com"}));
}

} // namespace
} // namespace kestrune
