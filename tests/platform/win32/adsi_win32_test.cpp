// ADSI over COM against scripted COM objects: real COM interfaces (vtables, BSTR, VARIANT,
// SAFEARRAY, ADSVALUE) answering as activeds would, driven through the platform and the
// directory component.
#include "directory/tntads.h"
#include "platform/win32/adsi_win32.h"

#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/win32/com_values.h" // last: the SDK's macros
#include <adserr.h>

namespace kestrune::win32 {
namespace {

// Reference counting and the IDispatch methods nobody calls here.
template <typename... Interfaces> class Scripted : public Interfaces... {
  public:
    virtual ~Scripted() = default;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = --refs;
        if (left == 0) delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
        return E_NOTIMPL;
    }
    ULONG refs = 1;

  protected:
    // Answers for IUnknown, IDispatch and the interfaces whose ids are given.
    HRESULT Answer(REFIID iid, void** out, std::initializer_list<std::pair<GUID, void*>> known) {
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_IDispatch) *out = static_cast<void*>(this);
        for (const auto& [id, p] : known)
            if (iid == id) *out = p;
        if (!*out) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
};

BSTR Bstr(const wchar_t* text) {
    return SysAllocString(text);
}

// A property getter's answer: the text as a new BSTR the caller frees.
HRESULT Give(BSTR* out, const wchar_t* text) {
    *out = Bstr(text);
    return S_OK;
}

// Leaves a description for GetErrorInfo, as a failing ADSI object does.
HRESULT FailWith(HRESULT hr, const wchar_t* description) {
    ICreateErrorInfo* create = nullptr;
    if (SUCCEEDED(CreateErrorInfo(&create))) {
        create->SetDescription(const_cast<LPOLESTR>(description));
        ::IErrorInfo* info = nullptr;
        create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info));
        ::SetErrorInfo(0, info);
        info->Release();
        create->Release();
    }
    return hr;
}

class FakeSystemInfo : public Scripted<::IADsADSystemInfo> {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        return Answer(iid, out, {{ToGuid(adsi::IADsADSystemInfo::IID_), this}});
    }
    HRESULT STDMETHODCALLTYPE get_UserName(BSTR* v) override {
        return Give(v, L"CN=Ann Lee,OU=Staff,DC=example,DC=com");
    }
    HRESULT STDMETHODCALLTYPE get_ComputerName(BSTR* v) override {
        return Give(v, L"CN=WS1,CN=Computers,DC=example,DC=com");
    }
    HRESULT STDMETHODCALLTYPE get_SiteName(BSTR* v) override {
        if (siteFails) return FailWith(E_NOTIMPL, L"The site is not known.");
        return Give(v, L"Paris");
    }
    HRESULT STDMETHODCALLTYPE get_DomainShortName(BSTR* v) override { return Give(v, L"EXAMPLE"); }
    HRESULT STDMETHODCALLTYPE get_DomainDNSName(BSTR* v) override {
        return Give(v, L"example.com");
    }
    HRESULT STDMETHODCALLTYPE get_ForestDNSName(BSTR* v) override {
        return Give(v, L"example.com");
    }
    HRESULT STDMETHODCALLTYPE get_PDCRoleOwner(BSTR* v) override {
        return Give(v, L"CN=NTDS Settings,CN=DC1,CN=Servers,CN=Paris,CN=Sites,CN=Configuration,"
                       L"DC=example,DC=com");
    }
    HRESULT STDMETHODCALLTYPE get_SchemaRoleOwner(BSTR* v) override { return get_PDCRoleOwner(v); }
    HRESULT STDMETHODCALLTYPE get_IsNativeMode(VARIANT_BOOL* v) override {
        *v = VARIANT_TRUE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetAnyDCName(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetDCSiteName(BSTR, BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RefreshSchemaCache() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTrees(VARIANT*) override { return E_NOTIMPL; }
    bool siteFails = false;
};

// A directory object that is also a search root: IADs with a few properties of each kind and
// IDirectorySearch over a fixed list of rows.
class FakeObject : public Scripted<::IADs, ::IDirectorySearch> {
  public:
    FakeObject(std::wstring name, std::vector<std::wstring> rows)
        : name_(std::move(name)), rows_(std::move(rows)) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        return Answer(
            iid, out,
            {{ToGuid(adsi::IADs::IID_), static_cast<::IADs*>(this)},
             {ToGuid(adsi::IDirectorySearch::IID_), static_cast<::IDirectorySearch*>(this)}});
    }
    // IADs
    HRESULT STDMETHODCALLTYPE get_Name(BSTR* v) override { return Give(v, name_.c_str()); }
    HRESULT STDMETHODCALLTYPE get_Class(BSTR* v) override { return Give(v, L"user"); }
    HRESULT STDMETHODCALLTYPE get_GUID(BSTR* v) override {
        return Give(v, L"0123456789abcdef0123456789abcdef");
    }
    HRESULT STDMETHODCALLTYPE get_ADsPath(BSTR* v) override {
        return Give(v, (L"LDAP://" + name_ + L",DC=example,DC=com").c_str());
    }
    HRESULT STDMETHODCALLTYPE get_Parent(BSTR* v) override {
        return Give(v, L"LDAP://DC=example,DC=com");
    }
    HRESULT STDMETHODCALLTYPE get_Schema(BSTR* v) override {
        return Give(v, L"LDAP://schema/user");
    }
    HRESULT STDMETHODCALLTYPE GetInfo() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetInfo() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Get(BSTR name, VARIANT* v) override {
        std::wstring n(name, SysStringLen(name));
        VariantInit(v);
        if (n == L"badPwdCount") {
            V_VT(v) = VT_I4;
            V_I4(v) = -3;
        } else if (n == L"memberOf") { // several values: an array of variants
            SAFEARRAY* a = SafeArrayCreateVector(VT_VARIANT, 0, 2);
            for (LONG i = 0; i < 2; ++i) {
                VARIANT e;
                V_VT(&e) = VT_BSTR;
                V_BSTR(&e) = Bstr(i == 0 ? L"CN=Staff,DC=example,DC=com"
                                         : L"CN=\u00c9quipe,DC=example,DC=com");
                SafeArrayPutElement(a, &i, &e);
                VariantClear(&e);
            }
            V_VT(v) = VT_ARRAY | VT_VARIANT;
            V_ARRAY(v) = a;
        } else if (n == L"objectGUID") { // an octet string: an array of bytes
            SAFEARRAY* a = SafeArrayCreateVector(VT_UI1, 0, 3);
            for (LONG i = 0; i < 3; ++i) {
                BYTE b = static_cast<BYTE>(0xFD + i);
                SafeArrayPutElement(a, &i, &b);
            }
            V_VT(v) = VT_ARRAY | VT_UI1;
            V_ARRAY(v) = a;
        } else if (n == L"manager" && manager) {
            V_VT(v) = VT_DISPATCH;
            V_DISPATCH(v) = static_cast<::IADs*>(manager);
            manager->AddRef();
        } else {
            return FailWith(static_cast<HRESULT>(0x8000500D), L"The property is not in the cache.");
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Put(BSTR, VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetEx(BSTR, VARIANT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE PutEx(LONG, BSTR, VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetInfoEx(VARIANT, LONG) override { return E_NOTIMPL; }

    // IDirectorySearch
    HRESULT STDMETHODCALLTYPE SetSearchPreference(PADS_SEARCHPREF_INFO p, DWORD n) override {
        for (DWORD i = 0; i < n; ++i) {
            preferences[p[i].dwSearchPref] = p[i].vValue.Integer;
            p[i].dwStatus = p[i].dwSearchPref == ::ADS_SEARCHPREF_TIME_LIMIT
                                ? ::ADS_STATUS_INVALID_SEARCHPREF
                                : ::ADS_STATUS_S_OK;
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ExecuteSearch(LPWSTR filter, LPWSTR* names, DWORD n,
                                            PADS_SEARCH_HANDLE handle) override {
        this->filter = filter ? filter : L"<none>";
        columns.assign(names, names + n);
        row_ = -1;
        *handle = reinterpret_cast<ADS_SEARCH_HANDLE>(this);
        ++openHandles;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE AbandonSearch(ADS_SEARCH_HANDLE) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetFirstRow(ADS_SEARCH_HANDLE) override {
        row_ = 0;
        return rows_.empty() ? S_ADS_NOMORE_ROWS : S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetNextRow(ADS_SEARCH_HANDLE) override {
        return ++row_ < static_cast<int>(rows_.size()) ? S_OK : S_ADS_NOMORE_ROWS;
    }
    HRESULT STDMETHODCALLTYPE GetPreviousRow(ADS_SEARCH_HANDLE) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetNextColumnName(ADS_SEARCH_HANDLE, LPWSTR*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetColumn(ADS_SEARCH_HANDLE, LPWSTR name,
                                        PADS_SEARCH_COLUMN column) override {
        // Memory of ADSI's own, released only through FreeColumn.
        auto* value = new ADSVALUE{};
        value->dwType = ADSTYPE_DN_STRING;
        value->DNString = Bstr(rows_[static_cast<size_t>(row_)].c_str());
        column->pszAttrName = Bstr(name);
        column->dwADsType = ADSTYPE_DN_STRING;
        column->pADsValues = value;
        column->dwNumValues = 1;
        ++openColumns;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE FreeColumn(PADS_SEARCH_COLUMN column) override {
        SysFreeString(column->pADsValues->DNString);
        delete column->pADsValues;
        SysFreeString(column->pszAttrName);
        --openColumns;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE CloseSearchHandle(ADS_SEARCH_HANDLE) override {
        --openHandles;
        return S_OK;
    }

    std::map<int, DWORD> preferences;
    std::wstring filter;
    std::vector<std::wstring> columns;
    int openColumns = 0, openHandles = 0;
    FakeObject* manager = nullptr;

  private:
    std::wstring name_;
    std::vector<std::wstring> rows_;
    int row_ = -1;
};

// What the scripted activeds knows: objects by path, and the system information object.
struct Directory {
    std::map<std::wstring, FakeObject*> objects;
    FakeSystemInfo* info = nullptr;
    std::vector<std::wstring> asked;
};
Directory* directory = nullptr;

ComEntryPoints ScriptedEntryPoints() {
    return {
        [](const wchar_t* path, const void* iid, void** object) -> adsi::HRESULT {
            directory->asked.push_back(path);
            auto it = directory->objects.find(path);
            *object = nullptr;
            if (it == directory->objects.end())
                return FailWith(static_cast<HRESULT>(0x80072030), L"There is no such object.");
            return it->second->QueryInterface(*static_cast<const GUID*>(iid), object);
        },
        [](const void* clsid, const void* iid, void** object) -> adsi::HRESULT {
            *object = nullptr;
            if (*static_cast<const GUID*>(clsid) != ToGuid(adsi::CLSID_ADSystemInfo) ||
                !directory->info)
                return REGDB_E_CLASSNOTREG;
            return directory->info->QueryInterface(*static_cast<const GUID*>(iid), object);
        },
    };
}

class ComAdsiTest : public ::testing::Test {
  protected:
    void SetUp() override {
        directory = &scripted;
        scripted.info = &info;
        scripted.objects[L"LDAP://CN=Ann Lee,DC=example,DC=com"] = &ann;
        scripted.objects[L"LDAP://CN=Bob Stone,DC=example,DC=com"] = &bob;
        scripted.objects[L"GC://DC=example,DC=com"] = &forest;
        ann.manager = &bob;
        adsi::InstallAdsiPlatform(MakeComAdsi(ScriptedEntryPoints()));
    }
    void TearDown() override {
        adsi::InstallAdsiPlatform(nullptr);
        // Every reference the platform took was given back.
        EXPECT_EQ(info.refs, 1u);
        EXPECT_EQ(ann.refs, 1u);
        EXPECT_EQ(bob.refs, 1u);
        EXPECT_EQ(forest.refs, 1u);
        EXPECT_EQ(forest.openColumns, 0);
        EXPECT_EQ(forest.openHandles, 0);
        directory = nullptr;
    }
    Directory scripted;
    FakeSystemInfo info;
    FakeObject ann{L"CN=Ann Lee", {}};
    FakeObject bob{L"CN=Bob Stone", {}};
    FakeObject forest{L"DC=example,DC=com", {L"DC=example,DC=com", L"DC=sales,DC=example,DC=com"}};
};

TEST_F(ComAdsiTest, DetectionReadsTheSystemInformationObject) {
    TNTADS ads;
    EXPECT_EQ(ads.LastError(), 0);
    EXPECT_EQ(ads.Domain(), u"DC=example,DC=com");
    EXPECT_EQ(ads.Username(), "CN=Ann Lee,OU=Staff,DC=example,DC=com");
    EXPECT_EQ(ads.Site(), u"Paris");
    EXPECT_TRUE(ads.Native());

    // A getter that fails (as under Wine) gives the directory component's error pair.
    info.siteFails = true;
    TNTADS failing;
    EXPECT_EQ(failing.LastError(), 999);
    EXPECT_NE(WideToAnsi(failing.LastMessage()).find("The site is not known"), std::string::npos)
        << WideToAnsi(failing.LastMessage());
}

TEST_F(ComAdsiTest, TheDomainListComesFromAPagedGlobalCatalogSearch) {
    TNTADS ads;
    std::unique_ptr<TStringList> domains(ads.GetDomains("", false));
    ASSERT_EQ(domains->Count(), 2);
    EXPECT_EQ((*domains)[0], "DC=example,DC=com");
    EXPECT_EQ((*domains)[1], "DC=sales,DC=example,DC=com");
    EXPECT_EQ(forest.filter, L"(objectCategory=Domain)");
    EXPECT_EQ(forest.columns, (std::vector<std::wstring>{L"distinguishedName"}));
    EXPECT_EQ(forest.preferences[::ADS_SEARCHPREF_PAGESIZE], 100u);
    EXPECT_EQ(forest.preferences[::ADS_SEARCHPREF_SEARCH_SCOPE],
              static_cast<DWORD>(::ADS_SCOPE_SUBTREE));

    // A preference the object refuses comes back with its status.
    std::shared_ptr<adsi::IUnknown> bound;
    ASSERT_EQ(adsi::ADsGetObject(u"GC://DC=example,DC=com", adsi::IDirectorySearch::IID_, bound),
              S_OK);
    std::shared_ptr<adsi::IDirectorySearch> search;
    ASSERT_EQ(adsi::QueryInterface(*bound, search), S_OK);
    adsi::ADS_SEARCHPREF_INFO preference{adsi::ADS_SEARCHPREF_TIME_LIMIT, adsi::ADSTYPE_INTEGER, 5};
    search->SetSearchPreference(&preference, 1);
    EXPECT_EQ(preference.dwStatus, adsi::ADS_STATUS_INVALID_SEARCHPREF);
}

TEST_F(ComAdsiTest, PropertiesArriveAsThePlatformsVariants) {
    std::shared_ptr<adsi::IUnknown> bound;
    ASSERT_EQ(adsi::ADsGetObject(u"LDAP://CN=Ann Lee,DC=example,DC=com", adsi::IADs::IID_, bound),
              S_OK);
    std::shared_ptr<adsi::IADs> object;
    ASSERT_EQ(adsi::QueryInterface(*bound, object), S_OK);
    std::u16string text;
    EXPECT_EQ(object->get_Name(text), S_OK);
    EXPECT_EQ(text, u"CN=Ann Lee");
    EXPECT_EQ(object->get_Class(text), S_OK);
    EXPECT_EQ(text, u"user");

    adsi::Variant value;
    ASSERT_EQ(object->Get(u"badPwdCount", value), S_OK);
    EXPECT_EQ(value.vt, adsi::VT_I4);
    EXPECT_EQ(std::get<int64_t>(value.value), -3);

    ASSERT_EQ(object->Get(u"memberOf", value), S_OK);
    ASSERT_NE(value.AsArray(), nullptr);
    ASSERT_EQ(value.AsArray()->elements.size(), 2u);
    EXPECT_EQ(*value.AsArray()->elements[1].AsString(), u"CN=\u00c9quipe,DC=example,DC=com");

    ASSERT_EQ(object->Get(u"objectGUID", value), S_OK);
    EXPECT_EQ(value.vt, adsi::VT_ARRAY | adsi::VT_UI1);
    ASSERT_EQ(value.AsArray()->elements.size(), 3u);
    EXPECT_EQ(std::get<int64_t>(value.AsArray()->elements[2].value), 0xFF);

    // An object inside a property is an object of the platform, with its own reference.
    ASSERT_EQ(object->Get(u"manager", value), S_OK);
    std::shared_ptr<adsi::IADs> manager;
    ASSERT_EQ(adsi::QueryInterface(*value.AsInterface(), manager), S_OK);
    EXPECT_EQ(manager->get_Name(text), S_OK);
    EXPECT_EQ(text, u"CN=Bob Stone");
    EXPECT_GT(bob.refs, 1u);

    // A failure keeps its code and leaves its description.
    EXPECT_EQ(object->Get(u"nothing", value), E_ADS_PROPERTY_NOT_FOUND);
    std::shared_ptr<adsi::IErrorInfo> error;
    ASSERT_EQ(adsi::GetErrorInfo(error), S_OK);
    EXPECT_EQ(error->Description(), u"The property is not in the cache.");

    // Interfaces the object lacks are refused, not faked.
    std::shared_ptr<adsi::IADsContainer> container;
    EXPECT_EQ(adsi::QueryInterface(*bound, container), E_NOINTERFACE);
}

TEST_F(ComAdsiTest, AMissingObjectFailsWithItsCode) {
    TNTADS ads;
    EXPECT_FALSE(ads.ObjectExists("CN=Nobody,DC=example,DC=com"));
    EXPECT_EQ(static_cast<uint32_t>(ads.LastError()), 0x2030u);
    EXPECT_EQ(scripted.asked.back(), L"LDAP://CN=Nobody,DC=example,DC=com");
    EXPECT_TRUE(ads.ObjectExists("CN=Ann Lee,DC=example,DC=com"));
}

// An enumerator of a container's children as IEnumVARIANT hands them out: objects in variants,
// a batch at a time, S_FALSE when fewer than asked for are left.
class FakeEnum : public ::IEnumVARIANT {
  public:
    explicit FakeEnum(std::vector<::IDispatch*> items) : items_(std::move(items)) { ++alive; }
    virtual ~FakeEnum() { --alive; }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        *out = nullptr;
        if (iid != IID_IUnknown && iid != ToGuid(adsi::IEnumVARIANT::IID_)) return E_NOINTERFACE;
        *out = this;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE Next(ULONG count, VARIANT* out, ULONG* fetched) override {
        ULONG n = 0;
        for (; n < count && next_ < items_.size(); ++n, ++next_) {
            V_VT(&out[n]) = VT_DISPATCH;
            V_DISPATCH(&out[n]) = items_[next_];
            items_[next_]->AddRef();
        }
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reset() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Clone(::IEnumVARIANT**) override { return E_NOTIMPL; }
    static inline int alive = 0;

  private:
    std::vector<::IDispatch*> items_;
    size_t next_ = 0;
    ULONG refs_ = 1;
};

class FakeContainer : public Scripted<::IADsContainer> {
  public:
    explicit FakeContainer(std::vector<::IDispatch*> children) : children_(std::move(children)) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        return Answer(iid, out, {{ToGuid(adsi::IADsContainer::IID_), this}});
    }
    HRESULT STDMETHODCALLTYPE get_Count(LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get__NewEnum(::IUnknown** out) override {
        *out = new FakeEnum(children_);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Filter(VARIANT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Filter(VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Hints(VARIANT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Hints(VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetObject(BSTR, BSTR, ::IDispatch**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Create(BSTR, BSTR, ::IDispatch**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Delete(BSTR cls, BSTR name) override {
        deleted = std::wstring(cls) + L"|" + name;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE CopyHere(BSTR, BSTR, ::IDispatch**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE MoveHere(BSTR source, BSTR name, ::IDispatch** out) override {
        moved = std::wstring(source) + L"|" + (name ? name : L"<keep>");
        *out = children_.front();
        (*out)->AddRef();
        return S_OK;
    }
    std::wstring deleted, moved;

  private:
    std::vector<::IDispatch*> children_;
};

TEST_F(ComAdsiTest, ContainersEnumerateMoveAndDeleteThroughCom) {
    FakeContainer users({static_cast<::IADs*>(&ann), static_cast<::IADs*>(&bob)});
    {
        std::shared_ptr<adsi::IUnknown> object =
            WrapComObject(static_cast<::IADsContainer*>(&users));
        std::shared_ptr<adsi::IADsContainer> container;
        ASSERT_EQ(adsi::QueryInterface(*object, container), S_OK);
        std::shared_ptr<adsi::IEnumVARIANT> children;
        ASSERT_EQ(container->get__NewEnum(children), S_OK);
        std::vector<adsi::Variant> items;
        EXPECT_EQ(children->Next(5, items), S_FALSE); // two of five
        ASSERT_EQ(items.size(), 2u);
        std::shared_ptr<adsi::IADs> second;
        ASSERT_EQ(adsi::QueryInterface(*items[1].AsInterface(), second), S_OK);
        std::u16string name;
        EXPECT_EQ(second->get_Name(name), S_OK);
        EXPECT_EQ(name, u"CN=Bob Stone");
        EXPECT_EQ(children->Next(1, items), S_FALSE);
        EXPECT_TRUE(items.empty());

        EXPECT_EQ(container->Delete(u"user", u"CN=Old"), S_OK);
        EXPECT_EQ(users.deleted, L"user|CN=Old");
        std::shared_ptr<adsi::IDispatch> moved;
        EXPECT_EQ(container->MoveHere(u"LDAP://CN=Ann Lee,DC=example,DC=com", u"", moved), S_OK);
        EXPECT_EQ(users.moved, L"LDAP://CN=Ann Lee,DC=example,DC=com|<keep>");
        ASSERT_NE(moved, nullptr);

        // What the container lacks is refused.
        std::shared_ptr<adsi::IADs> ads;
        EXPECT_EQ(adsi::QueryInterface(*object, ads), E_NOINTERFACE);
    }
    EXPECT_EQ(FakeEnum::alive, 0);
    EXPECT_EQ(users.refs, 1u);
}

} // namespace
} // namespace kestrune::win32
