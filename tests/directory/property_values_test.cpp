#include "directory/ole_error.h"
#include "directory/tntads.h"
#include "platform/memory_store/memory_store.h"
#include "platform/platform.h"
#include "support/scoped_platform.h"

#include <gtest/gtest.h>
#include <optional>

namespace kestrune {
namespace {

class PropertyValues : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string sample = std::string(KESTRUNE_SAMPLES) + "/example.ldif";
        std::string error;
        auto opened = store::MemoryStore::Open(sample);
        error = opened ? std::string() : opened.error().text;
        auto loaded = opened ? std::move(*opened) : nullptr; // read only: nothing is changed
        ASSERT_TRUE(loaded) << error;
        platform.emplace(std::move(loaded));
    }
    std::optional<testing::ScopedPlatform> platform;
    std::shared_ptr<adsi::IADs> Open(TNTADS& ads, const char* path) {
        ads.SetADSPath(path);
        return ads.OpenObject();
    }
    std::vector<std::string> messages;
    TNTADS::MessageHookScope hook{[this](const AnsiString& text) { messages.push_back(text); }};
};

TEST_F(PropertyValues, EachKindOfValueAsText) {
    TNTADS ads;
    auto admin = Open(ads, "CN=Administrator,CN=Users,DC=example,DC=com");
    ASSERT_TRUE(admin);
    EXPECT_EQ(ads.GetPropertyValue(*admin, "objectCategory"),
              u"CN=Person,CN=Schema,CN=Configuration,DC=example,DC=com");
    // 134087616000000000: the two 32-bit halves, each signed.
    EXPECT_EQ(ads.GetPropertyValue(*admin, "pwdLastSet"), u"31219705.-260734976");
    EXPECT_EQ(ads.GetPropertyValue(*admin, "PwdLastSet"), u""); // the name is compared exactly
    EXPECT_EQ(ads.GetPropertyValue(*admin, "objectClass"), u"(200C)");
    EXPECT_THROW(ads.GetPropertyValue(*admin, "mail"), EOleError);
    // Typed by the schema: a USN is a large integer (not one of the two named), a count an
    // integer.
    EXPECT_EQ(ads.GetPropertyValue(*admin, "uSNCreated"), u"");
    EXPECT_EQ(ads.GetPropertyValue(*admin, "badPwdCount"), u"3");

    auto domain = Open(ads, "DC=example,DC=com");
    EXPECT_EQ(ads.GetPropertyValue(*domain, "nTMixedDomain"), u"0");
    EXPECT_EQ(ads.GetPropertyValue(*domain, "objectGUID"), u"(2011)");
    EXPECT_TRUE(messages.empty());

    auto link = Open(ads, "CN=Public,CN=Public,CN=Dfs-Configuration,CN=System,DC=example,DC=com");
    EXPECT_EQ(ads.GetPropertyValue(*link, "msDFS-LastModifiedv2"), u"2026-12-01 09:00:00");
    EXPECT_EQ(ads.GetPropertyValue(*link, "msDFS-Ttlv2"), u"300");
}

TEST_F(PropertyValues, ClassAttributeLists) {
    TNTADS ads;
    ads.SetADSPath("LDAP://CN=Administrator,CN=Users,DC=example,DC=com");
    // The class's own names first, then those of its auxiliary classes and superclasses.
    std::unique_ptr<TStringList> optional(ads.GetPropertyList(false));
    ASSERT_GT(optional->Count(), 5);
    EXPECT_EQ((*optional)[0], "sAMAccountName");
    EXPECT_EQ((*optional)[4], "memberOf");
    EXPECT_GE(optional->IndexOf("sIDHistory"), 5);      // securityPrincipal, auxiliary
    EXPECT_GE(optional->IndexOf("department"), 5);      // organizationalPerson
    EXPECT_GE(optional->IndexOf("telephoneNumber"), 5); // person
    EXPECT_GE(optional->IndexOf("whenCreated"), 5);     // top
    EXPECT_EQ(optional->IndexOf("sAMAccountName"), 0);  // each name once
    std::unique_ptr<TStringList> mandatory(ads.GetPropertyList(true));
    std::vector<std::string> names;
    for (int i = 0; i < mandatory->Count(); ++i)
        names.push_back((*mandatory)[i]);
    EXPECT_EQ(names,
              (std::vector<std::string>{"objectSid", "sAMAccountName", "cn", "objectClass",
                                        "objectCategory", "nTSecurityDescriptor", "instanceType"}));

    ads.SetADSPath("LDAP://DC=example,DC=com");
    std::unique_ptr<TStringList> domain(ads.GetPropertyList(true));
    ASSERT_EQ(domain->Count(), 5);
    EXPECT_EQ((*domain)[0], "dc");
    std::unique_ptr<TStringList> none(ads.GetPropertyList2());
    EXPECT_EQ(none->Count(), 0);

    ads.SetADSPath("LDAP://CN=Nobody,DC=example,DC=com");
    EXPECT_THROW(std::unique_ptr<TStringList>(ads.GetPropertyList(true)), EOleError);
    EXPECT_THROW(std::unique_ptr<TStringList>(ads.GetPropertyList2()), EOleError);
    EXPECT_EQ(ads.LastError(), 0);
}

} // namespace
} // namespace kestrune
