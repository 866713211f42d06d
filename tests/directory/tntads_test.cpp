#include "base/environment.h"
#include "directory/ole_error.h"
#include "directory/tntads.h"
#include "support/sample_domain_test.h"

#include "platform/memory_store/memory_store.h"
#include "platform/platform.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

namespace kestrune {
namespace {

class TntadsOffDomain : public ::testing::Test {
  protected:
    void SetUp() override { UninstallPlatform(); }
    std::vector<std::string> messages;
    TNTADS::MessageHookScope hook{[this](const AnsiString& text) { messages.push_back(text); }};
};

TEST_F(TntadsOffDomain, ConstructionSucceedsQuietlyWithoutADirectory) {
    TNTADS ads;
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(ads.LastError(), 999);
    EXPECT_FALSE(ads.LastMessage().empty());
    EXPECT_TRUE(ads.Domain().empty());
    EXPECT_EQ(ads.Provider(), "LDAP://");
    EXPECT_EQ(ads.RowCount(), 100);
    const AnsiString version = ads.Version();
    ads.SetVersion(version + ".1"); // read only: the component's own version stays
    EXPECT_EQ(ads.Version(), version);
    EXPECT_EQ(ads.GetVer(), version);
    std::unique_ptr<TStringList> domains(ads.GetDomains("", false));
    EXPECT_EQ(domains->Count(), 0);
    EXPECT_FALSE(ads.ObjectExists("DC=example,DC=com"));
    EXPECT_NE(ads.LastError(), 0);
}

TEST_F(TntadsOffDomain, LoginServerAndProviderSwitch) {
    SetProcessEnvironment("LOGONSERVER", "\\\\DC1");
    TNTADS ads;
    RemoveProcessEnvironment("LOGONSERVER");
    EXPECT_EQ(ads.LoginServer(), u"\\\\DC1");
    ads.UseLIS(true);
    EXPECT_EQ(ads.Provider(), "LDAP://\\\\DC1/");
    ads.SetUseLoginServer(true); // twice appends twice
    EXPECT_EQ(ads.Provider(), "LDAP://\\\\DC1/\\\\DC1/");
    ads.UseLIS(false);
    EXPECT_EQ(ads.Provider(), "LDAP://");
    EXPECT_FALSE(ads.UseLoginServer());
    ads.SetProvider("GC:");
    ads.UseLIS(false);
    EXPECT_EQ(ads.Provider(), "G");

    TNTADS bare;
    EXPECT_TRUE(bare.LoginServer().empty());
    bare.UseLIS(true);
    EXPECT_EQ(bare.Provider(), "LDAP:///");
}

TEST_F(TntadsOffDomain, EnvironmentIsAppended) {
    TStringList list;
    list.Add("kept");
    SetProcessEnvironment("KESTRUNE_TEST_VARIABLE", "a=b");
    TNTADS::LoadEnvironmentStrings(list);
    RemoveProcessEnvironment("KESTRUNE_TEST_VARIABLE");
    EXPECT_EQ(list[0], "kept");
    EXPECT_GE(list.IndexOf("KESTRUNE_TEST_VARIABLE=a=b"), 1);
}

class TntadsOnSample : public testing::SampleDomainTest {};

TEST_F(TntadsOnSample, DetectsTheComputersDomain) {
    TNTADS ads;
    ASSERT_EQ(ads.LastError(), 0) << WideToAnsi(ads.LastMessage());
    EXPECT_EQ(ads.Domain(), u"DC=example,DC=com");
    EXPECT_EQ(ads.Domains(), u"EXAMPLE");
    EXPECT_EQ(ads.Forest(), u"example.com");
    EXPECT_TRUE(ads.Native());
    EXPECT_EQ(ads.Username(), "CN=Administrator,CN=Users,DC=example,DC=com");
    EXPECT_EQ(ads.Site(), u"Default-First-Site-Name");
    EXPECT_NE(ads.PDCEmulator().find(u"CN=NTDS Settings,CN=DC1"), std::u16string::npos);
    ads.SetLastError(999);
    ads.DetectDirectory();
    EXPECT_EQ(ads.LastError(), 0);
    EXPECT_EQ(ads.GetRoot(), "DC=example,DC=com");
    ads.SetDomain(u"sales.example.com");
    EXPECT_EQ(ads.GetRoot(), "DC=example,DC=com");
}

TEST_F(TntadsOnSample, GetDomainsListsTheForestFromTheGlobalCatalog) {
    TNTADS ads;
    std::vector<std::string> events;
    ads.OnSearchStart = [&](TNTADS*) { events.push_back("start"); };
    ads.OnSearchStop = [&](TNTADS*) { events.push_back("stop"); };
    ads.OnSearch = [&](TNTADS*, AnsiString dn, AnsiString cls, int64_t count) {
        events.push_back(std::to_string(count) + " " + dn + " " + cls);
    };
    std::unique_ptr<TStringList> domains(ads.GetDomains("", false));
    ASSERT_EQ(domains->Count(), 2);
    EXPECT_EQ((*domains)[0], "DC=example,DC=com");
    EXPECT_EQ((*domains)[1], "DC=sales,DC=example,DC=com");
    EXPECT_EQ(events, (std::vector<std::string>{"start", "1 DC=example,DC=com domainDNS",
                                                "2 DC=sales,DC=example,DC=com domainDNS", "stop"}));
    EXPECT_EQ(ads.ObjectCatagory(), u"Domain");
    EXPECT_TRUE(ads.Subs());
    EXPECT_TRUE(ads.Filter().empty());
    EXPECT_EQ(ads.SearchPath(), u"GC://DC=example,DC=com");

    std::unique_ptr<TStringList> shortNames(ads.GetDomains("example.com", true));
    EXPECT_EQ((*shortNames)[0], "example");
    EXPECT_EQ((*shortNames)[1], "sales");
}

TEST_F(TntadsOnSample, SearchScopeFilterPagingAndFailures) {
    for (int i = 0; i < 250; ++i)
        ASSERT_TRUE(directory
                        ->Add({"CN=u" + std::to_string(i) + ",CN=Users,DC=example,DC=com",
                               {{"objectClass", {"top", "person", "user"}},
                                {"objectCategory",
                                 {"CN=Person,CN=Schema,CN=Configuration,DC=example,DC=com"}}}})
                        .ok());
    TNTADS ads;
    ads.SetSearchPath(u"LDAP://DC=example,DC=com");
    ads.SetObjectCatagory(u"user");
    ads.SetSubs(true);
    TStringList rows;
    EXPECT_TRUE(ads.ExecuteSearch(rows));
    EXPECT_EQ(rows.Count(),
              254); // with the sample's four users; the child domain is not searched over LDAP

    rows.Clear();
    ads.SetFilter(u"cn=u1*");
    EXPECT_TRUE(ads.ExecuteSearch(rows));
    EXPECT_EQ(rows.Count(), 111); // u1, u10..u19, u100..u199

    rows.Clear();
    ads.SetObjectCatagory(u"");
    ads.SetFilter(u"");
    ads.SetSubs(false);
    ads.SetSearchPath(u"LDAP://CN=Users,DC=example,DC=com");
    EXPECT_TRUE(ads.ExecuteSearch(rows)); // no filter at all: every child
    EXPECT_EQ(rows.Count(), 251);

    int stops = 0;
    ads.OnSearchStop = [&](TNTADS*) { ++stops; };
    ads.SetRowCount(-1); // refused by the platform
    EXPECT_FALSE(ads.ExecuteSearch(rows));
    ads.SetRowCount(100);
    ads.SetSearchPath(u"LDAP://CN=Nowhere,DC=example,DC=com");
    EXPECT_FALSE(ads.ExecuteSearch(rows));
    ads.SetSearchPath(u"");
    EXPECT_FALSE(ads.ExecuteSearch(rows));
    EXPECT_EQ(stops, 3);

    ads.SetSearchPath(u"LDAP://CN=Users,DC=example,DC=com");
    ads.OnSearch = [](TNTADS*, AnsiString, AnsiString, int64_t count) {
        if (count == 2) throw std::runtime_error("handler");
    };
    rows.Clear();
    EXPECT_THROW(ads.ExecuteSearch(rows), std::runtime_error);
    EXPECT_EQ(rows.Count(), 2);
    EXPECT_EQ(stops, 4);
}

TEST_F(TntadsOnSample, BindingClassesAndExistence) {
    TNTADS ads;
    EXPECT_EQ(ads.GetClass("DC=example,DC=com"), "domainDNS");
    EXPECT_EQ(ads.GetClass2("LDAP://CN=Users,DC=example,DC=com"), "container");
    EXPECT_TRUE(ads.ObjectExists("DC=sales,DC=example,DC=com"));
    EXPECT_TRUE(ads.ObjectExists("LDAP://DC=sales,DC=example,DC=com"));
    EXPECT_TRUE(ads.DomainExists("LDAP://dc1.example.com/DC=example,DC=com"));
    EXPECT_EQ(ads.LastError(), 0);
    EXPECT_FALSE(ads.ObjectExists("CN=Nobody,DC=example,DC=com"));
    EXPECT_EQ(ads.LastError(), 8240); // ERROR_DS_NO_SUCH_OBJECT
    EXPECT_EQ(ads.LastMessage(), u"There is no such object on the server");
    EXPECT_FALSE(ads.ObjectExists("LDAP://nosuchserver/DC=example,DC=com"));
    EXPECT_EQ(ads.LastError(), 8250);
    EXPECT_THROW(ads.GetClass("CN=Nobody,DC=example,DC=com"), EOleError);
}

} // namespace
} // namespace kestrune
