// The component on the simulated domain where a real domain answers differently from a naive
// simulation: naming contexts, moved members, the size limit, missing session facts.
#include "directory/tntads.h"
#include "platform/memory_store/memory_store.h"
#include "support/sample_domain_test.h"

#include <gtest/gtest.h>

namespace kestrune {
namespace {

using SimulatedDomain = testing::SampleDomainTest;

std::vector<std::string> Items(const TStringList& list) {
    std::vector<std::string> out;
    for (int i = 0; i < list.Count(); ++i)
        out.push_back(list[i]);
    return out;
}

TEST_F(SimulatedDomain, TheDomainHeadHoldsNeitherTheConfigurationNorAChildDomain) {
    TNTADS ads;
    ads.SetADSPath("DC=example,DC=com");
    auto container = ads.OpenContainer();
    std::unique_ptr<TStringList> children(ads.EnumerateContainer(*container));
    std::vector<std::string> names = Items(*children);
    EXPECT_EQ(std::count(names.begin(), names.end(), "CN=Configuration"), 0);
    EXPECT_EQ(std::count(names.begin(), names.end(), "DC=sales"), 0);
    EXPECT_EQ(std::count(names.begin(), names.end(), "CN=Users"), 1);

    ads.SetSubs(true); // a subtree count stays in the domain too
    int inDomain = ads.CountContainer("LDAP://DC=example,DC=com");
    EXPECT_EQ(ads.CountContainer("LDAP://CN=Configuration,DC=example,DC=com") > 0, true);
    ads.SetObjectCatagory(u"Domain"); // the global catalog sees both domains
    ads.SetSearchPath(u"GC://DC=example,DC=com");
    TStringList domains;
    ads.ExecuteSearch(domains);
    EXPECT_EQ(domains.Count(), 2);
    EXPECT_LT(inDomain, static_cast<int>(directory->EntryCount()) - 20);
}

TEST_F(SimulatedDomain, AMovedUserStaysInItsGroups) {
    TNTADS ads;
    ads.SetADSPath("CN=Users,DC=example,DC=com");
    auto users = ads.OpenContainer();
    ASSERT_TRUE(ads.MoveObject(*users, "LDAP://CN=Ann Lee,OU=Staff,DC=example,DC=com"))
        << WideToAnsi(ads.LastMessage());
    std::unique_ptr<TStringList> all(
        ads.GetAllusers("LDAP://CN=Everyone,OU=Staff,DC=example,DC=com"));
    EXPECT_GE(all->IndexOf("LDAP://CN=Ann Lee,CN=Users,DC=example,DC=com"), 0);
    std::unique_ptr<TStringList> groups(
        ads.EnumUser("LDAP://CN=Ann Lee,CN=Users,DC=example,DC=com"));
    EXPECT_EQ(groups->Count(), 2); // Staff and Managers

    // A user cannot be moved where its class may not be.
    ads.SetADSPath("CN=Subnets,CN=Sites,CN=Configuration,DC=example,DC=com");
    auto subnets = ads.OpenContainer();
    EXPECT_FALSE(ads.MoveObject(*subnets, "LDAP://CN=Ann Lee,CN=Users,DC=example,DC=com"));
    EXPECT_NE(ads.LastMessage().find(u"possible superiors"), std::u16string::npos);
}

TEST_F(SimulatedDomain, AnUnpagedSearchStopsAtTheSizeLimit) {
    for (int i = 0; i < 1100; ++i)
        ASSERT_TRUE(
            directory
                ->Add({"CN=u" + std::to_string(i) + ",OU=Staff,DC=example,DC=com",
                       {{"objectClass", {"top", "person", "organizationalPerson", "user"}}}})
                .ok());
    TNTADS ads;
    ads.SetSearchPath(u"LDAP://OU=Staff,DC=example,DC=com");
    ads.SetFilter(u"cn=u*");
    ads.SetRowCount(0); // no paging: the server's limit applies
    TStringList rows;
    EXPECT_TRUE(ads.ExecuteSearch(rows));
    EXPECT_EQ(rows.Count(), 1000);
    ads.SetRowCount(100); // paged: every row
    TStringList all;
    EXPECT_TRUE(ads.ExecuteSearch(all));
    EXPECT_EQ(all.Count(), 1100);
}

TEST_F(SimulatedDomain, AMissingSessionFactIsNamed) {
    ASSERT_TRUE(
        directory->Modify("", {{store::Modification::Op::Delete, "kestruneLocalSiteName", {}}})
            .ok());
    TNTADS ads;
    EXPECT_EQ(ads.LastError(), 999);
    EXPECT_NE(ads.LastMessage().find(u"kestruneLocalSiteName"), std::u16string::npos)
        << WideToAnsi(ads.LastMessage());
}

} // namespace
} // namespace kestrune
