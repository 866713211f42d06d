// What the directory platform takes from the schema and the forest: attribute syntaxes,
// inherited class attributes, and forest facts read once until the directory changes.
#include "platform/adsi_over_store/adsi_over_store.h"
#include "platform/memory_store/memory_store.h"
#include "platform/store/attribute_syntax.h"

#include <gtest/gtest.h>

namespace kestrune {
namespace {

using namespace adsi;
using store::AttributeSyntax;

TEST(AttributeSyntaxes, StandardAttributesSchemaSyntaxesAndTheSchemaFirst) {
    EXPECT_EQ(store::StandardSyntax("uSNCreated"), AttributeSyntax::LargeInteger);
    EXPECT_EQ(store::StandardSyntax("USNCHANGED"), AttributeSyntax::LargeInteger);
    EXPECT_EQ(store::StandardSyntax("member"), AttributeSyntax::DistinguishedName);
    EXPECT_EQ(store::StandardSyntax("badPwdCount"), AttributeSyntax::Integer);
    EXPECT_EQ(store::StandardSyntax("objectGUID"), AttributeSyntax::OctetString);
    EXPECT_EQ(store::StandardSyntax("whenCreated"), AttributeSyntax::GeneralizedTime);
    EXPECT_EQ(store::StandardSyntax("nTSecurityDescriptor"), AttributeSyntax::SecurityDescriptor);
    EXPECT_EQ(store::StandardSyntax("isCriticalSystemObject"), AttributeSyntax::Boolean);
    EXPECT_FALSE(store::StandardSyntax("description"));
    EXPECT_FALSE(store::StandardSyntax("uscreated")); // a misspelt name is no attribute

    EXPECT_EQ(store::SyntaxFromSchema("2.5.5.9", "2"), AttributeSyntax::Integer);
    EXPECT_EQ(store::SyntaxFromSchema("2.5.5.16", "65"), AttributeSyntax::LargeInteger);
    EXPECT_EQ(store::SyntaxFromSchema("2.5.5.1", "127"), AttributeSyntax::DistinguishedName);
    EXPECT_EQ(store::SyntaxFromSchema("2.5.5.7", "127"), AttributeSyntax::String); // DN-binary
    EXPECT_EQ(store::SyntaxFromSchema("2.5.5.11", "24"), AttributeSyntax::GeneralizedTime);
    EXPECT_EQ(store::SyntaxFromSchema("2.5.5.17", "4"), AttributeSyntax::OctetString); // SID
    EXPECT_EQ(store::SyntaxFromSchema("", "66"), AttributeSyntax::SecurityDescriptor);
    EXPECT_FALSE(store::SyntaxFromSchema("", ""));

    store::AttributeSyntaxes syntaxes;
    EXPECT_EQ(syntaxes.Of("kestruneCounter"), AttributeSyntax::String);
    syntaxes.Learn({"CN=x", {{"lDAPDisplayName", {"kestruneCounter"}}, {"oMSyntax", {"2"}}}});
    syntaxes.Learn(
        {"CN=y", {{"lDAPDisplayName", {"badPwdCount"}}, {"attributeSyntax", {"2.5.5.12"}}}});
    EXPECT_EQ(syntaxes.Of("KESTRUNECOUNTER"), AttributeSyntax::Integer);
    EXPECT_EQ(syntaxes.Of("badPwdCount"), AttributeSyntax::String); // the schema wins
}

// Counts the searches that reach the store.
class CountingStore : public store::MemoryStore {
  public:
    store::Status Search(const store::SearchRequest& request,
                         std::unique_ptr<store::SearchCursor>& cursor) override {
        ++searches;
        return MemoryStore::Search(request, cursor);
    }
    int searches = 0;
};

const char* kForest = R"(dn:
defaultNamingContext: DC=x,DC=test
rootDomainNamingContext: DC=x,DC=test
configurationNamingContext: CN=Configuration,DC=x,DC=test
schemaNamingContext: CN=Schema,CN=Configuration,DC=x,DC=test

dn: DC=x,DC=test
objectClass: top
objectClass: domain
objectClass: domainDNS

dn: CN=Users,DC=x,DC=test
objectClass: top
objectClass: container

dn: CN=G,CN=Users,DC=x,DC=test
objectClass: top
objectClass: group
kestruneCounter: 7

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
nETBIOSName: X

dn: CN=Schema,CN=Configuration,DC=x,DC=test
objectClass: top
objectClass: dMD

dn: CN=Solo,CN=Schema,CN=Configuration,DC=x,DC=test
objectClass: top
objectClass: classSchema
lDAPDisplayName: kestruneSolo
subClassOf: kestruneSolo
systemMustContain: cn
)";

class SchemaFacts : public ::testing::Test {
  protected:
    void SetUp() override {
        directory = std::make_shared<CountingStore>();
        ASSERT_TRUE(directory->LoadText(kForest, "forest").ok());
        InstallAdsiPlatform(MakeStoreAdsi(directory));
    }
    void TearDown() override { InstallAdsiPlatform(nullptr); }
    template <typename T> std::shared_ptr<T> Bind(const std::u16string& path) {
        std::shared_ptr<IUnknown> object;
        if (FAILED(ADsGetObject(path, T::IID_, object))) return nullptr;
        return std::dynamic_pointer_cast<T>(object);
    }
    static std::vector<std::u16string> Names(const Variant& v) {
        std::vector<std::u16string> names;
        if (v.vt & VT_ARRAY)
            for (const Variant& e : v.AsArray()->elements)
                names.push_back(*e.AsString());
        else
            names.push_back(*v.AsString());
        return names;
    }
    std::shared_ptr<CountingStore> directory;
};

TEST_F(SchemaFacts, StandardClassesServeADomainWithoutSchemaObjects) {
    // No classSchema for group here: AD's standard group, with its superclass and auxiliary
    // class.
    auto group = Bind<IADsClass>(u"LDAP://schema/group");
    ASSERT_TRUE(group);
    Variant v;
    group->get_MandatoryProperties(v);
    EXPECT_EQ(Names(v), (std::vector<std::u16string>{u"groupType", u"objectSid", u"sAMAccountName",
                                                     u"objectClass", u"objectCategory",
                                                     u"nTSecurityDescriptor", u"instanceType"}));
    // A class whose list holds one name hands it out as a single string.
    auto solo = Bind<IADsClass>(u"LDAP://schema/kestruneSolo");
    ASSERT_TRUE(solo);
    solo->get_MandatoryProperties(v);
    EXPECT_EQ(v.vt, VT_BSTR);
    EXPECT_FALSE(Bind<IADsClass>(u"LDAP://schema/noSuchClass"));

    // An attribute the schema does not type is a string, until an attributeSchema says more.
    auto g = Bind<IADs>(u"LDAP://CN=G,CN=Users,DC=x,DC=test");
    ASSERT_EQ(g->Get(u"kestruneCounter", v), S_OK);
    EXPECT_EQ(v.vt, VT_BSTR);
    ASSERT_TRUE(directory
                    ->Add({"CN=Kestrune-Counter,CN=Schema,CN=Configuration,DC=x,DC=test",
                           {{"objectClass", {"top", "attributeSchema"}},
                            {"lDAPDisplayName", {"kestruneCounter"}},
                            {"attributeSyntax", {"2.5.5.9"}},
                            {"oMSyntax", {"2"}}}})
                    .ok());
    ASSERT_EQ(g->Get(u"kestruneCounter", v), S_OK);
    EXPECT_EQ(v.vt, VT_I4);
}

TEST_F(SchemaFacts, ForestFactsAreReadOnceUntilTheDirectoryChanges) {
    ASSERT_TRUE(Bind<IADs>(u"LDAP://x.test/CN=Users,DC=x,DC=test"));
    int first = directory->searches;
    for (int i = 0; i < 20; ++i)
        ASSERT_TRUE(Bind<IADs>(u"LDAP://x.test/CN=G,CN=Users,DC=x,DC=test"));
    // Each bind reads its object, and nothing else.
    EXPECT_EQ(directory->searches - first, 20);

    // A new domain's name is known as a server once it is in the directory.
    EXPECT_FALSE(Bind<IADs>(u"LDAP://y.test/DC=x,DC=test"));
    ASSERT_TRUE(directory
                    ->Add({"CN=Y,CN=Partitions,CN=Configuration,DC=x,DC=test",
                           {{"objectClass", {"top", "crossRef"}},
                            {"nCName", {"DC=y,DC=test"}},
                            {"dnsRoot", {"y.test"}}}})
                    .ok());
    EXPECT_TRUE(Bind<IADs>(u"LDAP://y.test/DC=x,DC=test"));
}

} // namespace
} // namespace kestrune
