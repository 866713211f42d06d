#include "directory/ole_error.h"
#include "directory/tntads.h"
#include "platform/memory_store/memory_store.h"
#include "platform/platform.h"
#include "support/scoped_platform.h"

#include <gtest/gtest.h>
#include <optional>

namespace kestrune {
namespace {

class Infrastructure : public ::testing::Test {
  protected:
    void SetUp() override {
        auto opened = store::MemoryStore::Open(std::string(KESTRUNE_SAMPLES) + "/example.ldif");
        ASSERT_TRUE(opened) << opened.error().text; // only read here
        platform.emplace(std::move(*opened));
    }
    std::optional<testing::ScopedPlatform> platform;
    static std::vector<std::string> Items(const TStringList& list) {
        std::vector<std::string> out;
        for (int i = 0; i < list.Count(); ++i)
            out.push_back(list[i]);
        return out;
    }
};

TEST_F(Infrastructure, PdcEmulatorInLongAndShortForm) {
    TNTADS ads;
    EXPECT_EQ(
        ads.GetPDCEmulator("LDAP://DC=example,DC=com", false),
        "CN=DC1,CN=Servers,CN=Default-First-Site-Name,CN=Sites,CN=Configuration,DC=example,DC=com");
    EXPECT_EQ(ads.GetPDCEmulator("LDAP://DC=example,DC=com", true), "\\\\DC1");
    EXPECT_EQ(ads.GetPDCEmulator("LDAP://DC=sales,DC=example,DC=com", true), "\\\\SALESDC1");
    EXPECT_EQ(ads.GetPDCEmulator("", true), "");
    EXPECT_EQ(ads.GetPDCEmulator("LDAP://CN=Users,DC=example,DC=com", false), ""); // no role owner
    EXPECT_THROW(ads.GetPDCEmulator("LDAP://CN=Nobody,DC=example,DC=com", false), EOleError);
}

TEST_F(Infrastructure, ServersAreComputersWithAServerSystem) {
    TNTADS ads;
    ads.SetSubs(true);
    std::unique_ptr<TStringList> servers(ads.Serverlist("", true));
    EXPECT_EQ(Items(*servers), (std::vector<std::string>{"\\\\DC1", "\\\\FS1", "\\\\FS2"}));
    EXPECT_TRUE(servers->Sorted());
    EXPECT_EQ(ads.SearchPath(), u"LDAP://DC=example,DC=com");
    EXPECT_EQ(ads.Filter(), u"operatingsystem=*server*");
    std::unique_ptr<TStringList> full(ads.Serverlist("DC=example,DC=com", false));
    EXPECT_EQ((*full)[0], "CN=DC1,OU=Domain Controllers,DC=example,DC=com");
    ads.SetSubs(false); // only the domain head's own children: no computers there
    EXPECT_EQ(std::unique_ptr<TStringList>(ads.Serverlist("", false))->Count(), 0);
}

TEST_F(Infrastructure, ProvidersAndTheDefaultContainer) {
    TNTADS ads;
    std::unique_ptr<TStringList> providers(ads.GetProviders());
    ASSERT_TRUE(providers);
    EXPECT_TRUE(providers->OwnsObjects());
    EXPECT_EQ(Items(*providers), (std::vector<std::string>{"LDAP:", "GC:"}));
    EXPECT_EQ(ads.Provider(), "ADs:");

    EXPECT_EQ(ads.getDefaultContainer(), "");
    EXPECT_TRUE(ads.SetDefaultContainer("LDAP://OU=Staff,DC=example,DC=com"));
    EXPECT_EQ(ads.getDefaultContainer(), "LDAP://OU=Staff,DC=example,DC=com");
    EXPECT_EQ(ads.ADSPath(), "");
}

TEST_F(Infrastructure, SitesAndSubnets) {
    TNTADS ads;
    ads.GetSites();
    EXPECT_EQ(Items(*ads.Sites()),
              (std::vector<std::string>{"Default-First-Site-Name", "Paris", "Subnets"}));
    EXPECT_EQ(ads.ADSPath(), "CN=SITES,CN=CONFIGURATION,DC=example,DC=com");
    auto* record = static_cast<tObjData*>(ads.Sites()->Objects(1));
    EXPECT_EQ(record->ObjClass, u"site");
    ads.SetEnumFilter(u"site");
    ads.GetSites(); // refilled: the earlier records are released with their entries
    EXPECT_EQ(Items(*ads.Sites()), (std::vector<std::string>{"Default-First-Site-Name", "Paris"}));
    ads.SetEnumFilter(u"");
    ads.GetSubNets();
    EXPECT_EQ(Items(*ads.SubNets()), (std::vector<std::string>{"10.0.0.0/16", "10.1.0.0/16"}));

    ads.SetForest(u"corp"); // a dotless forest is used as it stands: nothing there
    EXPECT_THROW(ads.GetSites(), EOleError);
    EXPECT_EQ(ads.ADSPath(), "CN=SITES,CN=CONFIGURATION,corp");
    EXPECT_EQ(ads.Sites()->Count(), 0);
}

} // namespace
} // namespace kestrune
