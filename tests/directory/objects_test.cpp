#include "base/last_error.h"
#include "directory/ole_error.h"
#include "directory/tntads.h"
#include "platform/memory_store/memory_store.h"
#include "platform/platform.h"
#include "support/sample_domain_test.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

namespace kestrune {
namespace {

TEST(DirectoryErrors, TheAdsiBlockByNameAndEverythingElseFromTheTable) {
    UninstallPlatform();
    TNTADS ads;
    auto message = [&](uint32_t code) {
        SetLastError(code);
        ads.GetErrorMessage();
        return WideToAnsi(ads.LastMessage());
    };
    EXPECT_EQ(message(0), "");
    EXPECT_EQ(ads.LastError(), 0);
    EXPECT_EQ(message(0x80005000), "E_ADS_BAD_PATHNAME");
    EXPECT_EQ(ads.LastError(), 20480);
    EXPECT_EQ(message(0x80005006), "E_ADS_PROPERT_NOT_SUPPORTED");
    EXPECT_EQ(message(0x80005008), "Not Defined8");
    EXPECT_EQ(message(0x8000500A), "Not Defineda");
    EXPECT_EQ(message(0x80005010), "Not Defined0");
    EXPECT_EQ(message(0x80005014), "Not Defined4");
    EXPECT_EQ(message(0x80005015), "Unknown error (20501)");
    EXPECT_EQ(message(0x80070005), "Unknown error (458757)");
    EXPECT_EQ(ads.LastError(), 458757);
    EXPECT_EQ(message(5), "Access is denied.\r\n");
}

TEST(DirectoryNames, ClassIndexesAndCommonNames) {
    EXPECT_EQ(TNTADS::GetClassIndex("user"), 5);
    EXPECT_EQ(TNTADS::GetClassIndex("group"), 4);
    EXPECT_EQ(TNTADS::GetClassIndex("printQueue"), 7);
    EXPECT_EQ(TNTADS::GetClassIndex("OrganizationalUnit"), 2);
    EXPECT_EQ(TNTADS::GetClassIndex("domaindns"), 27);
    EXPECT_EQ(TNTADS::GetClassIndex("site"), 0);
    EXPECT_EQ(TNTADS::GetClassIndex(""), 0);
    EXPECT_EQ(TNTADS::GetClassIndex("user "), 0);
    EXPECT_EQ(TNTADS::GetClassIndex("us\xe9r"), 0);

    EXPECT_EQ(TNTADS::GetCommonName(u"CN=Ann Lee,OU=Staff,DC=x"), u"CN=Ann Lee");
    EXPECT_EQ(TNTADS::GetCommonName(u"OU=Staff,CN=Builtin,DC=x"), u"CN=Builtin");
    EXPECT_EQ(TNTADS::GetCommonName(u"OU=Staff,DC=x"), u"OU=Staff");
    EXPECT_EQ(TNTADS::GetCommonName(u"CN=Users"), u"");
    EXPECT_EQ(TNTADS::GetCommonName(u""), u"");
    EXPECT_EQ(TNTADS::GetCommonName(u"cn=ann,DC=x"), u"cn=ann");
}

class DirectoryObjects : public testing::SampleDomainTest {};

TEST_F(DirectoryObjects, OpeningWithAndWithoutTheProviderInThePath) {
    TNTADS ads;
    ads.SetADSPath("CN=Users,DC=example,DC=com");
    std::u16string path;
    ads.OpenObject()->get_ADsPath(path);
    EXPECT_EQ(path, u"LDAP://CN=Users,DC=example,DC=com");
    ads.SetADSPath("LDAP://dc1.example.com/CN=Users,DC=example,DC=com");
    ads.OpenObject()->get_ADsPath(path);
    EXPECT_EQ(path, u"LDAP://dc1.example.com/CN=Users,DC=example,DC=com");
    EXPECT_TRUE(ads.OpenContainer());

    ads.SetADSPath("");
    ads.OpenObject()->get_ADsPath(path); // "LDAP://" alone: the default naming context
    EXPECT_EQ(path, u"LDAP://DC=example,DC=com");
    EXPECT_FALSE(ads.OpenUser());

    ads.SetProvider("");
    ads.SetADSPath("CN=Users,DC=example,DC=com");
    EXPECT_FALSE(ads.OpenObject());
    EXPECT_FALSE(ads.OpenContainer());

    ads.SetProvider("LDAP://");
    ads.SetADSPath("CN=Nobody,DC=example,DC=com");
    EXPECT_THROW(ads.OpenObject(), EOleError);
    EXPECT_EQ(ads.LastError(), 0);

    EXPECT_FALSE(ads.Aborting());
    ads.abort();
    EXPECT_TRUE(ads.Aborting());
}

TEST_F(DirectoryObjects, MoveThenDeleteAndTheErrorPairIsClearedOnSuccess) {
    TNTADS ads;
    ads.SetADSPath("DC=example,DC=com");
    auto domain = ads.OpenContainer();
    ASSERT_TRUE(domain);
    EXPECT_TRUE(ads.MoveObject(*domain, "LDAP://CN=WS01,CN=Computers,DC=example,DC=com"));
    EXPECT_EQ(ads.LastError(), 0);
    EXPECT_FALSE(ads.MoveObject(*domain, "LDAP://CN=WS01,CN=Computers,DC=example,DC=com"));
    EXPECT_EQ(ads.LastError(), 8240);
    EXPECT_EQ(ads.LastMessage(), u"There is no such object on the server");

    EXPECT_FALSE(ads.DeleteObject(u"computer", u"CN=Nobody"));
    EXPECT_EQ(ads.LastError(), 8240);
    EXPECT_TRUE(ads.DeleteObject(u"computer", u"CN=WS01"));
    EXPECT_EQ(ads.LastError(), 0);
    EXPECT_TRUE(ads.LastMessage().empty());
    EXPECT_FALSE(ads.DeleteObject(u"container", u"CN=Users")); // not a leaf
    EXPECT_NE(ads.LastError(), 0);

    ads.SetADSPath("CN=Gone,DC=example,DC=com");
    EXPECT_FALSE(ads.DeleteObject(u"user", u"CN=x"));
    EXPECT_EQ(ads.LastError(), 8240);

    // The changes were kept in the file: the computer the sample holds in CN=Computers is
    // neither there nor where it was moved, and the rest of the domain is.
    auto opened = store::MemoryStore::Open(file);
    ASSERT_TRUE(opened) << opened.error().text;
    auto reloaded = std::move(*opened);
    auto lookUp = [&](const std::string& dn) {
        std::vector<store::Entry> found;
        return store::SearchAll(*reloaded, {dn, store::Scope::Base, "(objectClass=*)", {}, 0},
                                found)
            .code;
    };
    EXPECT_EQ(lookUp("CN=WS01,CN=Computers,DC=example,DC=com"), store::ResultCode::NoSuchObject);
    EXPECT_EQ(lookUp("CN=WS01,DC=example,DC=com"), store::ResultCode::NoSuchObject);
    EXPECT_EQ(lookUp("CN=Users,DC=example,DC=com"), store::ResultCode::Success);
}

} // namespace
} // namespace kestrune
