// What only a real directory shows: ranged values, the global catalog's partitions, session
// facts found by logon name, host name and address, and Kerberos logons.
#include "platform/ldap/ldap_store.h"
#include "platform/ldap/session_facts.h"
#include "platform/store/dn.h"
#include "samba_dc.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace kestrune::ldap {
namespace {

using store::Entry;
using store::Scope;

class SambaStoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        store = std::make_unique<LdapStore>(testing::SambaSettings());
        std::vector<std::string> notes;
        store::Status status = store->Connect(notes);
        ASSERT_TRUE(status.ok()) << status.message;
    }
    // What a test added goes again however the test ends, so the next one finds the sample.
    void TearDown() override {
        for (auto dn = added.rbegin(); store && dn != added.rend(); ++dn) {
            store::Status status = store->Delete(*dn);
            EXPECT_TRUE(status.ok() || status.code == store::ResultCode::NoSuchObject)
                << *dn << ": " << status.message;
        }
    }
    // Adds the entry, to be deleted in TearDown.
    void Add(const Entry& entry) {
        store::Status status = store->Add(entry);
        ASSERT_TRUE(status.ok()) << entry.dn << ": " << status.message;
        added.push_back(entry.dn);
    }
    std::vector<Entry> Find(const store::SearchRequest& request) {
        std::vector<Entry> out;
        store::Status status = store::SearchAll(*store, request, out);
        EXPECT_TRUE(status.ok()) << status.message;
        return out;
    }
    std::unique_ptr<LdapStore> store;
    std::vector<std::string> added;
};

TEST_F(SambaStoreTest, RangedValuesAreReadToTheEnd) {
    // Asked for two values at a time, the server answers "member;range=0-1" and the store
    // goes on until the range ends in "*".
    auto staff = Find({"CN=Staff,OU=Staff,DC=example,DC=com",
                       Scope::Base,
                       "(objectClass=*)",
                       {"member;range=0-1"},
                       0});
    ASSERT_EQ(staff.size(), 1u);
    const auto* members = staff[0].Find("member");
    ASSERT_NE(members, nullptr);
    EXPECT_EQ(members->size(), 4u);
    ASSERT_EQ(staff[0].attributes.size(), 1u);
    EXPECT_EQ(staff[0].attributes[0].type, "member");
}

TEST_F(SambaStoreTest, TheGlobalCatalogsDomainsLeaveOutApplicationPartitions) {
    // The DNS partitions exist and Samba's global catalog answers from them...
    auto partitions = Find({"CN=Partitions,CN=Configuration,DC=example,DC=com",
                            Scope::OneLevel,
                            "(objectClass=crossRef)",
                            {"nCName"},
                            0});
    bool dnsZones = false;
    for (const Entry& p : partitions)
        dnsZones = dnsZones || store::NormalizeDn(p.First("nCName")).find("dc=domaindnszones") == 0;
    EXPECT_TRUE(dnsZones);
    // ...but they are not domains.
    store::SearchRequest domains{
        "DC=example,DC=com", Scope::Subtree, "(objectCategory=domain)", {"1.1"}, 1};
    domains.wholeForest = true;
    std::vector<std::string> names;
    for (const Entry& e : Find(domains))
        names.push_back(store::NormalizeDn(e.dn));
    EXPECT_EQ(names, std::vector<std::string>{"dc=example,dc=com"});
}

TEST_F(SambaStoreTest, SessionFactsFromLogonNameHostNameAndAddresses) {
    std::vector<std::string> notes;
    for (const char* identity : {"Administrator@EXAMPLE.COM", "EXAMPLE\\Administrator",
                                 "administrator", "CN=Administrator,CN=Users,DC=example,DC=com"}) {
        notes.clear();
        SessionFacts facts = FindSessionFacts(*store, identity, notes);
        EXPECT_EQ(facts.user, "CN=Administrator,CN=Users,DC=example,DC=com") << identity;
    }
    notes.clear();
    EXPECT_TRUE(FindSessionFacts(*store, "nobody@EXAMPLE.COM", notes).user.empty());
    ASSERT_EQ(notes.size(), 3u); // no user, no computer account, no subnet for this host
    EXPECT_NE(notes[0].find("nobody@EXAMPLE.COM"), std::string::npos) << notes[0];

    // This host as a computer of the domain, its loopback address in the Paris site.
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    std::string name(host);
    name = name.substr(0, name.find('.'));
    std::string computer = "CN=" + name + ",CN=Computers,DC=example,DC=com";
    std::string subnet = "CN=127.0.0.0/8,CN=Subnets,CN=Sites,CN=Configuration,DC=example,DC=com";
    ASSERT_NO_FATAL_FAILURE(
        Add({computer, {{"objectClass", {"top", "computer"}}, {"sAMAccountName", {name + "$"}}}}));
    ASSERT_NO_FATAL_FAILURE(
        Add({subnet,
             {{"objectClass", {"top", "subnet"}},
              {"siteObject", {"CN=Paris,CN=Sites,CN=Configuration,DC=example,DC=com"}}}}));
    notes.clear();
    SessionFacts facts = FindSessionFacts(*store, "Administrator@EXAMPLE.COM", notes);
    EXPECT_EQ(store::NormalizeDn(facts.computer), store::NormalizeDn(computer));
    EXPECT_EQ(facts.site, "Paris");
    EXPECT_TRUE(notes.empty());
}

TEST(SambaLogonTest, KerberosByAddressFailsWithItsReason) {
    // With a ticket in KRB5CCNAME (dc.sh got one) but the DC named by its address, the KDC
    // knows no such service: the logon fails and says why. (By name it works: the end-to-end
    // test backs up that way.)
    Settings settings = testing::SambaSettings("ldap://127.0.0.1");
    settings.bindUser.clear();
    settings.password.clear();
    LdapStore store(settings);
    std::vector<std::string> notes;
    store::Status status = store.Connect(notes);
    EXPECT_FALSE(status.ok());
    EXPECT_NE(status.message.find("Kerberos logon"), std::string::npos) << status.message;
}

TEST(SambaLogonTest, AWrongPasswordIsRefusedWithTheServersReason) {
    Settings settings = testing::SambaSettings();
    settings.password = "not the password";
    LdapStore store(settings);
    std::vector<std::string> notes;
    store::Status status = store.Connect(notes);
    EXPECT_EQ(status.code, store::ResultCode::InvalidCredentials) << status.message;
    EXPECT_NE(status.message.find("data 52e"), std::string::npos) << status.message;
}

} // namespace
} // namespace kestrune::ldap
