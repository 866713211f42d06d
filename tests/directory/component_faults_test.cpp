// How the component ends an operation that fails: the stop event fires, the first error
// reaches the caller, nothing that was handed out is lost.
#include "adsi/adsi_path.h"
#include "directory/tntads.h"
#include "platform/memory_store/memory_store.h"
#include "platform/platform.h"
#include "support/scoped_platform.h"
#include "support/scripted_adsi.h"

#include <gtest/gtest.h>
#include <optional>
#include <stdexcept>

namespace kestrune {
namespace {

std::string ErrorOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "no error";
}

class ScriptedComponent : public ::testing::Test {
  protected:
    void SetUp() override {
        adsi::InstallAdsiPlatform(platform);
        ads = std::make_unique<TNTADS>();
        ads->SetSearchPath(u"LDAP://DC=x,DC=test");
    }
    void TearDown() override { adsi::InstallAdsiPlatform(nullptr); }
    std::shared_ptr<testing::ScriptedAdsi> platform = std::make_shared<testing::ScriptedAdsi>();
    std::unique_ptr<TNTADS> ads;
};

TEST_F(ScriptedComponent, ASearchFreesEveryColumnAndFiresItsStopEventOnEveryWayOut) {
    platform->object->rows = {{u"CN=A,DC=x,DC=test"}, {}, {u"CN=B,DC=x,DC=test"}};
    TStringList rows;
    EXPECT_TRUE(ads->ExecuteSearch(rows));
    EXPECT_EQ(rows.Count(), 2); // the row without a value is skipped
    EXPECT_EQ(platform->object->columnsFreed, platform->object->columnsGiven);

    // The class lookup of a row fails (the object is no IADs) and the stop handler fails
    // too: the lookup's error reaches the caller, the stop event has fired, the column and
    // the handle are released.
    int stops = 0;
    ads->OnSearch = [](TNTADS*, AnsiString, AnsiString, int64_t) {};
    ads->OnSearchStop = [&](TNTADS*) {
        ++stops;
        throw std::runtime_error("stop failed");
    };
    EXPECT_EQ(ErrorOf([&] { ads->ExecuteSearch(rows); }), "Interface not supported");
    EXPECT_EQ(stops, 1);
    EXPECT_EQ(rows.Count(), 3); // the row appended before the failure stays
    EXPECT_EQ(platform->object->columnsFreed, platform->object->columnsGiven);
    EXPECT_EQ(platform->object->handlesClosed, 2);

    // Without an earlier error, the stop handler's own error reaches the caller.
    ads->OnSearch = nullptr;
    EXPECT_EQ(ErrorOf([&] { ads->ExecuteSearch(rows); }), "stop failed");
    EXPECT_EQ(stops, 2);
}

TEST_F(ScriptedComponent, AFailedEnumerationReleasesItsRecordsAndKeepsTheFirstError) {
    platform->object->children = {u"CN=A", u"CN=B", u"CN=C!"};
    auto container = ads->OpenContainer();
    int stops = 0;
    ads->OnEnumStop = [&](TNTADS*) {
        ++stops;
        throw std::runtime_error("stop failed");
    };
    // The third child cannot be read: two records were made and must not leak.
    EXPECT_NE(ErrorOf([&] { delete ads->EnumerateContainer(*container); }), "stop failed");
    EXPECT_EQ(stops, 1);

    // A failing OnEnum handler and a failing stop handler: the handler's error wins.
    platform->object->children = {u"CN=A", u"CN=B"};
    ads->OnEnum = [](TNTADS*, tObjData*, int64_t count) {
        if (count == 2) throw std::runtime_error("handler failed");
    };
    EXPECT_EQ(ErrorOf([&] { delete ads->EnumerateContainer(*container); }), "handler failed");
    EXPECT_EQ(stops, 2);

    // A list that is returned owns its records; one can be taken out and kept.
    ads->OnEnum = nullptr;
    ads->OnEnumStop = nullptr;
    std::unique_ptr<TStringList> list(ads->EnumerateContainer(*container));
    ASSERT_EQ(list->Count(), 2);
    EXPECT_TRUE(list->OwnsObjects());
    std::unique_ptr<TObject> kept = list->TakeObject(0);
    list.reset();
    EXPECT_EQ(static_cast<tObjData*>(kept.get())->ObjName, u"CN=A");
}

TEST(AdsiPaths, SlashesInsideADnAreEscapedOnceAndUnescaped) {
    EXPECT_EQ(adsi::EscapePathDn(std::string("CN=10.0.0.0/16,CN=Subnets")),
              "CN=10.0.0.0\\/16,CN=Subnets");
    EXPECT_EQ(adsi::EscapePathDn(std::string("CN=a\\/b,CN=c\\,d")), "CN=a\\/b,CN=c\\,d");
    EXPECT_EQ(adsi::UnescapePathDn(std::u16string_view(u"CN=a\\/b\\,c")), u"CN=a/b\\,c");
    EXPECT_EQ(adsi::FindUnescaped(std::u16string_view(u"CN=a\\/b/c"), u'/'), 7u);
    EXPECT_EQ(adsi::E_ADS_COLUMN_NOT_SET, adsi::H(0x80005010));
    EXPECT_EQ(adsi::E_ADS_INVALID_FILTER, adsi::H(0x80005014));
}

class SampleComponent : public ::testing::Test {
  protected:
    void SetUp() override {
        // Kept in memory only: the sample file is never written.
        directory = std::make_shared<store::MemoryStore>();
        ASSERT_TRUE(directory->LoadText(ReadSample(), "sample").ok());
        platform.emplace(directory);
    }
    std::optional<testing::ScopedPlatform> platform;
    static std::string ReadSample() {
        std::FILE* f = std::fopen((std::string(KESTRUNE_SAMPLES) + "/example.ldif").c_str(), "rb");
        std::string text;
        char buffer[4096];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;)
            text.append(buffer, n);
        std::fclose(f);
        return text;
    }
    std::shared_ptr<store::MemoryStore> directory;
};

TEST_F(SampleComponent, ARoleOwnerWithoutACommaIsKeptWhole) {
    ASSERT_TRUE(directory
                    ->Modify("DC=example,DC=com",
                             {{store::Modification::Op::Replace, "fSMORoleOwner", {"DC1"}}})
                    .ok());
    TNTADS ads;
    EXPECT_EQ(ads.GetPDCEmulator("LDAP://DC=example,DC=com", false), "DC1");
    EXPECT_EQ(ads.GetPDCEmulator("LDAP://DC=example,DC=com", true), "\\\\");
}

TEST_F(SampleComponent, SubnetPathsCarryEscapedSlashes) {
    const std::u16string subnet =
        u"CN=10.0.0.0/16,CN=Subnets,CN=Sites,CN=Configuration,DC=example,DC=com";
    std::shared_ptr<adsi::IUnknown> object;
    // As ADSI does, the simulation refuses a "/" that is not escaped inside the DN.
    EXPECT_EQ(adsi::ADsGetObject(u"LDAP://" + subnet, adsi::IADs::IID_, object),
              adsi::E_ADS_BAD_PATHNAME);
    ASSERT_EQ(adsi::ADsGetObject(u"LDAP://" + adsi::EscapePathDn(subnet), adsi::IADs::IID_, object),
              adsi::S_OK);
    std::u16string path;
    std::dynamic_pointer_cast<adsi::IADs>(object)->get_ADsPath(path);
    EXPECT_EQ(path, u"LDAP://" + adsi::EscapePathDn(subnet));
    adsi::Variant dn;
    std::dynamic_pointer_cast<adsi::IADs>(object)->Get(u"distinguishedName", dn);
    EXPECT_EQ(*dn.AsString(), subnet); // the DN itself is not escaped

    TNTADS ads;
    ads.GetSubNets();
    ASSERT_EQ(ads.SubNets()->Count(), 2);
    EXPECT_EQ(static_cast<tObjData*>(ads.SubNets()->Objects(0))->ObjPath,
              u"LDAP://" + adsi::EscapePathDn(subnet));
    // A search under the subnets binds each row for its class: every row's path is escaped.
    ads.SetSearchPath(u"LDAP://CN=Subnets,CN=Sites,CN=Configuration,DC=example,DC=com");
    ads.SetSubs(false);
    std::vector<std::string> classes;
    ads.OnSearch = [&](TNTADS*, AnsiString, AnsiString cls, int64_t) { classes.push_back(cls); };
    TStringList rows;
    EXPECT_TRUE(ads.ExecuteSearch(rows));
    EXPECT_EQ(rows[0], WideToAnsi(subnet));
    EXPECT_EQ(classes, (std::vector<std::string>{"subnet", "subnet"}));
    ads.SetADSPath(WideToAnsi(subnet));
    EXPECT_TRUE(ads.OpenObject());
}

} // namespace
} // namespace kestrune
