#include "platform/adsi_over_store/adsi_over_store.h"

#include "base/last_error.h"
#include "platform/memory_store/memory_store.h"

#include <gtest/gtest.h>

namespace kestrune {
namespace {

using namespace adsi;

class AdsiOverStore : public ::testing::Test {
  protected:
    void SetUp() override {
        directory = std::make_shared<store::MemoryStore>();
        ASSERT_TRUE(directory
                        ->LoadText("dn:\ndefaultNamingContext: "
                                   "DC=x,DC=test\nrootDomainNamingContext: DC=x,DC=test\n"
                                   "dnsHostName: dc1.x.test\n\n"
                                   "dn: DC=x,DC=test\nobjectClass: top\nobjectClass: domainDNS\n"
                                   "objectGUID:: AAECAwQFBgcICQoLDA0ODw==\nnTMixedDomain: 0\n\n"
                                   "dn: CN=Ann*,DC=x,DC=test\nobjectClass: top\nobjectClass: "
                                   "person\nobjectClass: user\n"
                                   "pwdLastSet: 4294967297\nmemberOf: CN=a,DC=x,DC=test\nmemberOf: "
                                   "CN=b,DC=x,DC=test\n"
                                   "isCriticalSystemObject: TRUE\n",
                                   "t")
                        .ok());
        platform = MakeStoreAdsi(directory);
        InstallAdsiPlatform(platform);
    }
    void TearDown() override { InstallAdsiPlatform(nullptr); }
    std::shared_ptr<IADs> Bind(const std::u16string& path, HRESULT* result = nullptr) {
        std::shared_ptr<IUnknown> object;
        HRESULT hr = ADsGetObject(path, IADs::IID_, object);
        if (result) *result = hr;
        return object ? std::dynamic_pointer_cast<IADs>(object) : nullptr;
    }
    std::shared_ptr<store::MemoryStore> directory;
    std::shared_ptr<AdsiPlatform> platform;
};

TEST_F(AdsiOverStore, ObjectsReportNameClassGuidPathsAndTypedValues) {
    auto domain = Bind(u"LDAP://dc1.x.test/DC=x,DC=test");
    ASSERT_TRUE(domain);
    std::u16string text;
    domain->get_Name(text);
    EXPECT_EQ(text, u"DC=x");
    domain->get_Class(text);
    EXPECT_EQ(text, u"domainDNS");
    domain->get_GUID(text);
    EXPECT_EQ(text, u"000102030405060708090a0b0c0d0e0f");
    domain->get_Parent(text);
    EXPECT_EQ(text, u"LDAP://dc1.x.test/DC=test");
    domain->get_Schema(text);
    EXPECT_EQ(text, u"LDAP://dc1.x.test/schema/domainDNS");
    Variant v;
    ASSERT_EQ(domain->Get(u"nTMixedDomain", v), S_OK);
    EXPECT_EQ(v.vt, VT_I4);

    auto ann = Bind(u"LDAP://CN=Ann\\2a,DC=x,DC=test"); // an escaped "*" in the name
    ASSERT_TRUE(ann);
    ASSERT_EQ(ann->Get(u"pwdLastSet", v), S_OK);
    EXPECT_EQ(v.vt, VT_DISPATCH);
    auto large = std::dynamic_pointer_cast<IADsLargeInteger>(v.AsInterface());
    ASSERT_TRUE(large);
    EXPECT_EQ(large->HighPart(), 1);
    EXPECT_EQ(large->LowPart(), 1);
    ASSERT_EQ(ann->Get(u"memberOf", v), S_OK);
    EXPECT_EQ(v.vt, VT_ARRAY | VT_VARIANT);
    EXPECT_EQ(v.AsArray()->elements.size(), 2u);
    ASSERT_EQ(ann->Get(u"isCriticalSystemObject", v), S_OK);
    EXPECT_EQ(v.vt, VT_BOOL);
    EXPECT_EQ(ann->Get(u"mail", v), E_ADS_PROPERTY_NOT_FOUND);
}

TEST_F(AdsiOverStore, FailuresCarryTheirCodesAndTexts) {
    HRESULT hr;
    EXPECT_FALSE(Bind(u"LDAP://CN=Nobody,DC=x,DC=test", &hr));
    EXPECT_EQ(hr, HR_NO_SUCH_OBJECT);
    EXPECT_EQ(GetLastError(), 8240u);
    std::shared_ptr<IErrorInfo> info;
    ASSERT_EQ(GetErrorInfo(info), S_OK);
    EXPECT_EQ(info->Description(), u"There is no such object on the server.");
    EXPECT_FALSE(Bind(u"LDAP://elsewhere/DC=x,DC=test", &hr));
    EXPECT_EQ(hr, HR_SERVER_NOT_OPERATIONAL);
    EXPECT_FALSE(Bind(u"FOO://DC=x,DC=test", &hr));
    EXPECT_EQ(hr, E_ADS_BAD_PATHNAME);
    EXPECT_FALSE(Bind(u"LDAP://not a dn", &hr));
    std::shared_ptr<IUnknown> object;
    ASSERT_EQ(ADsGetObject(u"LDAP://DC=x,DC=test", IADsUser::IID_, object), E_NOINTERFACE);
}

TEST_F(AdsiOverStore, SearchPreferencesAndPagedRows) {
    for (int i = 0; i < 250; ++i)
        ASSERT_TRUE(
            directory
                ->Add({"CN=u" + std::to_string(i) + ",DC=x,DC=test", {{"objectClass", {"user"}}}})
                .ok());
    std::shared_ptr<IUnknown> object;
    ASSERT_EQ(ADsGetObject(u"LDAP://DC=x,DC=test", IDirectorySearch::IID_, object), S_OK);
    auto search = std::dynamic_pointer_cast<IDirectorySearch>(object);
    ADS_SEARCHPREF_INFO bad[2] = {{ADS_SEARCHPREF_PAGESIZE, ADSTYPE_INTEGER, 100},
                                  {ADS_SEARCHPREF_SIZE_LIMIT, ADSTYPE_INTEGER, 5}};
    EXPECT_EQ(search->SetSearchPreference(bad, 2), S_ADS_ERRORSOCCURRED);
    EXPECT_EQ(bad[0].dwStatus, ADS_STATUS_S_OK);
    EXPECT_EQ(bad[1].dwStatus, ADS_STATUS_INVALID_SEARCHPREF);
    ADS_SEARCHPREF_INFO good[2] = {
        {ADS_SEARCHPREF_PAGESIZE, ADSTYPE_INTEGER, 100},
        {ADS_SEARCHPREF_SEARCH_SCOPE, ADSTYPE_INTEGER, ADS_SCOPE_ONELEVEL}};
    ASSERT_EQ(search->SetSearchPreference(good, 2), S_OK);
    ADS_SEARCH_HANDLE handle = nullptr;
    ASSERT_EQ(search->ExecuteSearch(u"(cn=u*)", {u"distinguishedName"}, &handle), S_OK);
    int rows = 0;
    for (HRESULT hr = search->GetFirstRow(handle); hr == S_OK; hr = search->GetNextRow(handle)) {
        ADS_SEARCH_COLUMN column;
        ASSERT_EQ(search->GetColumn(handle, u"distinguishedName", &column), S_OK);
        EXPECT_EQ(column.values.size(), 1u);
        search->FreeColumn(&column);
        ++rows;
    }
    EXPECT_EQ(rows, 250);
    EXPECT_EQ(search->GetNextRow(handle), S_ADS_NOMORE_ROWS);
    search->CloseSearchHandle(handle);
    EXPECT_EQ(search->ExecuteSearch(u"(cn=u*", {}, &handle), E_ADS_INVALID_FILTER);
}

// A directory that stops answering searches while told to, as a DC does that times out.
class TimingOutStore : public store::DirectoryStore {
  public:
    explicit TimingOutStore(std::shared_ptr<store::DirectoryStore> inner)
        : inner_(std::move(inner)) {}
    store::Status Search(const store::SearchRequest& request,
                         std::unique_ptr<store::SearchCursor>& cursor) override {
        if (timingOut) return {store::ResultCode::Timeout, "Timed out", 0};
        return inner_->Search(request, cursor);
    }
    store::Status Add(const store::Entry& e) override { return inner_->Add(e); }
    store::Status Modify(const std::string& dn,
                         const std::vector<store::Modification>& m) override {
        return inner_->Modify(dn, m);
    }
    store::Status Delete(const std::string& dn) override { return inner_->Delete(dn); }
    store::Status Rename(const std::string& dn, const std::string& rdn, bool del,
                         const std::string& sup) override {
        return inner_->Rename(dn, rdn, del, sup);
    }
    bool timingOut = false;

  private:
    std::shared_ptr<store::DirectoryStore> inner_;
};

TEST_F(AdsiOverStore, AFailedSearchIsTheDirectorysFailureNotMissingData) {
    auto timingOut = std::make_shared<TimingOutStore>(directory);
    InstallAdsiPlatform(MakeStoreAdsi(timingOut));
    std::shared_ptr<IUnknown> object;
    ASSERT_EQ(CoCreateInstance(CLSID_ADSystemInfo, nullptr, CLSCTX_INPROC_SERVER,
                               IADsADSystemInfo::IID_, object),
              S_OK);
    auto info = std::dynamic_pointer_cast<IADsADSystemInfo>(object);
    ASSERT_TRUE(info);
    auto description = [] {
        std::shared_ptr<IErrorInfo> error;
        return GetErrorInfo(error) == S_OK && error ? error->Description() : std::u16string();
    };
    const std::u16string timeout = u"This operation returned because the timeout period expired.";

    timingOut->timingOut = true;
    std::u16string value;
    // Not "the rootDSE has no defaultNamingContext", nor no such domain: the directory's reason.
    EXPECT_EQ(info->get_DomainDNSName(value), HRESULT(0x800705B4));
    EXPECT_EQ(description(), timeout);
    EXPECT_EQ(info->get_UserName(value), HRESULT(0x800705B4));
    EXPECT_EQ(info->get_PDCRoleOwner(value), HRESULT(0x800705B4));
    HRESULT hr;
    EXPECT_FALSE(Bind(u"LDAP://", &hr));
    EXPECT_EQ(hr, HRESULT(0x800705B4));
    EXPECT_EQ(description(), timeout);

    // A failure is not remembered as an answer.
    timingOut->timingOut = false;
    EXPECT_EQ(info->get_DomainDNSName(value), S_OK);
    EXPECT_EQ(value, u"x.test");
}

} // namespace
} // namespace kestrune
