#include "platform/win32/adsi_win32.h"

#include "base/last_error.h"

#include "platform/win32/com_values.h" // last: the SDK's macros

#include <adshlp.h>
#include <objbase.h>

namespace kestrune::win32 {
namespace {

// An owned COM interface pointer.
template <typename T> class ComRef {
  public:
    ComRef() = default;
    explicit ComRef(T* p) : p_(p) {}
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    ~ComRef() {
        if (p_) p_->Release();
    }
    T* get() const { return p_; }
    T* operator->() const { return p_; }
    T** put() { return &p_; }
    explicit operator bool() const { return p_ != nullptr; }

  private:
    T* p_ = nullptr;
};

// A BSTR argument, released after the call.
class Bstr {
  public:
    explicit Bstr(const std::u16string& text) : text_(ToBstr(text)) {}
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr() { SysFreeString(text_); }
    operator BSTR() const { return text_; }

  private:
    BSTR text_;
};

class ErrorDescription : public adsi::IErrorInfo {
  public:
    explicit ErrorDescription(std::u16string text) : text_(std::move(text)) {}
    std::u16string Description() const override { return text_; }

  private:
    std::u16string text_;
};

// A failed call's error information and code, handed on to the platform's caller.
adsi::HRESULT Checked(HRESULT hr) {
    if (SUCCEEDED(hr)) return hr;
    ::IErrorInfo* info = nullptr;
    if (::GetErrorInfo(0, &info) == S_OK && info) {
        BSTR description = nullptr;
        if (SUCCEEDED(info->GetDescription(&description)))
            adsi::SetErrorInfo(std::make_shared<ErrorDescription>(FromBstr(description)));
        SysFreeString(description);
        info->Release();
    }
    SetLastError(adsi::Win32Code(hr));
    return hr;
}

// One adapter for every interface: each call asks the COM object for the interface it needs,
// so QueryInterface answers exactly what the object itself supports.
class ComObject final : public adsi::IADsUser,
                        public adsi::IADsGroup,
                        public adsi::IADsClass,
                        public adsi::IADsNamespaces,
                        public adsi::IADsContainer,
                        public adsi::IADsMembers,
                        public adsi::IADsADSystemInfo,
                        public adsi::IADsLargeInteger,
                        public adsi::IDirectorySearch,
                        public adsi::IEnumVARIANT {
  public:
    // Takes over one reference of object.
    explicit ComObject(::IUnknown* object) : object_(object) {}
    ~ComObject() override { object_->Release(); }

    adsi::HRESULT QueryInterface(const adsi::IID& iid,
                                 std::shared_ptr<adsi::IUnknown>& out) override {
        out.reset();
        GUID guid = ToGuid(iid);
        ::IUnknown* asked = nullptr;
        HRESULT hr = object_->QueryInterface(guid, reinterpret_cast<void**>(&asked));
        if (FAILED(hr) || !asked) return FAILED(hr) ? hr : E_NOINTERFACE;
        asked->Release(); // each call asks again for what it needs
        out = shared_from_this();
        return S_OK;
    }

    // IADs
    adsi::HRESULT get_Name(std::u16string& out) override {
        return Read<::IADs>(adsi::IADs::IID_, &::IADs::get_Name, out);
    }
    adsi::HRESULT get_Class(std::u16string& out) override {
        return Read<::IADs>(adsi::IADs::IID_, &::IADs::get_Class, out);
    }
    adsi::HRESULT get_GUID(std::u16string& out) override {
        return Read<::IADs>(adsi::IADs::IID_, &::IADs::get_GUID, out);
    }
    adsi::HRESULT get_ADsPath(std::u16string& out) override {
        return Read<::IADs>(adsi::IADs::IID_, &::IADs::get_ADsPath, out);
    }
    adsi::HRESULT get_Parent(std::u16string& out) override {
        return Read<::IADs>(adsi::IADs::IID_, &::IADs::get_Parent, out);
    }
    adsi::HRESULT get_Schema(std::u16string& out) override {
        return Read<::IADs>(adsi::IADs::IID_, &::IADs::get_Schema, out);
    }
    adsi::HRESULT Get(const std::u16string& name, adsi::Variant& out) override {
        ComRef<::IADs> ads;
        if (HRESULT hr = Ask(adsi::IADs::IID_, ads); FAILED(hr)) return hr;
        return ReadVariant([&](VARIANT* v) { return ads->Get(Bstr(name), v); }, out);
    }
    adsi::HRESULT GetInfo() override {
        ComRef<::IADs> ads;
        if (HRESULT hr = Ask(adsi::IADs::IID_, ads); FAILED(hr)) return hr;
        return Checked(ads->GetInfo());
    }

    // IADsContainer and IADsMembers
    adsi::HRESULT get__NewEnum(std::shared_ptr<adsi::IEnumVARIANT>& out) override {
        out.reset();
        ComRef<::IUnknown> enumerator;
        ComRef<::IADsContainer> container;
        ComRef<::IADsMembers> members;
        HRESULT hr = E_NOINTERFACE;
        if (SUCCEEDED(Ask(adsi::IADsContainer::IID_, container)))
            hr = container->get__NewEnum(enumerator.put());
        else if (SUCCEEDED(Ask(adsi::IADsMembers::IID_, members)))
            hr = members->get__NewEnum(enumerator.put());
        if (FAILED(hr)) return Checked(hr);
        return WrapAs(enumerator.get(), adsi::IEnumVARIANT::IID_, out);
    }
    adsi::HRESULT Delete(const std::u16string& className,
                         const std::u16string& relativeName) override {
        ComRef<::IADsContainer> container;
        if (HRESULT hr = Ask(adsi::IADsContainer::IID_, container); FAILED(hr)) return hr;
        return Checked(container->Delete(Bstr(className), Bstr(relativeName)));
    }
    adsi::HRESULT MoveHere(const std::u16string& sourcePath, const std::u16string& newName,
                           std::shared_ptr<adsi::IDispatch>& out) override {
        out.reset();
        ComRef<::IADsContainer> container;
        if (HRESULT hr = Ask(adsi::IADsContainer::IID_, container); FAILED(hr)) return hr;
        ComRef<::IDispatch> moved;
        // ADSI takes a null new name as "keep the name".
        Bstr name(newName);
        HRESULT hr = container->MoveHere(Bstr(sourcePath), newName.empty() ? nullptr : BSTR(name),
                                         moved.put());
        if (FAILED(hr)) return Checked(hr);
        return WrapAs(moved.get(), adsi::IID_IDispatch, out);
    }

    // IADsUser, IADsGroup
    adsi::HRESULT Groups(std::shared_ptr<adsi::IADsMembers>& out) override {
        out.reset();
        ComRef<::IADsUser> user;
        if (HRESULT hr = Ask(adsi::IADsUser::IID_, user); FAILED(hr)) return hr;
        ComRef<::IADsMembers> members;
        if (HRESULT hr = user->Groups(members.put()); FAILED(hr)) return Checked(hr);
        return WrapAs(members.get(), adsi::IADsMembers::IID_, out);
    }
    adsi::HRESULT Members(std::shared_ptr<adsi::IADsMembers>& out) override {
        out.reset();
        ComRef<::IADsGroup> group;
        if (HRESULT hr = Ask(adsi::IADsGroup::IID_, group); FAILED(hr)) return hr;
        ComRef<::IADsMembers> members;
        if (HRESULT hr = group->Members(members.put()); FAILED(hr)) return Checked(hr);
        return WrapAs(members.get(), adsi::IADsMembers::IID_, out);
    }

    // IADsClass
    adsi::HRESULT get_MandatoryProperties(adsi::Variant& out) override {
        ComRef<::IADsClass> cls;
        if (HRESULT hr = Ask(adsi::IADsClass::IID_, cls); FAILED(hr)) return hr;
        return ReadVariant([&](VARIANT* v) { return cls->get_MandatoryProperties(v); }, out);
    }
    adsi::HRESULT get_OptionalProperties(adsi::Variant& out) override {
        ComRef<::IADsClass> cls;
        if (HRESULT hr = Ask(adsi::IADsClass::IID_, cls); FAILED(hr)) return hr;
        return ReadVariant([&](VARIANT* v) { return cls->get_OptionalProperties(v); }, out);
    }

    // IADsNamespaces
    adsi::HRESULT get_DefaultContainer(std::u16string& out) override {
        return Read<::IADsNamespaces>(adsi::IADsNamespaces::IID_,
                                      &::IADsNamespaces::get_DefaultContainer, out);
    }
    adsi::HRESULT put_DefaultContainer(const std::u16string& value) override {
        ComRef<::IADsNamespaces> namespaces;
        if (HRESULT hr = Ask(adsi::IADsNamespaces::IID_, namespaces); FAILED(hr)) return hr;
        return Checked(namespaces->put_DefaultContainer(Bstr(value)));
    }

    // IADsADSystemInfo
    adsi::HRESULT get_UserName(std::u16string& out) override {
        return Info(&::IADsADSystemInfo::get_UserName, out);
    }
    adsi::HRESULT get_ComputerName(std::u16string& out) override {
        return Info(&::IADsADSystemInfo::get_ComputerName, out);
    }
    adsi::HRESULT get_SiteName(std::u16string& out) override {
        return Info(&::IADsADSystemInfo::get_SiteName, out);
    }
    adsi::HRESULT get_DomainShortName(std::u16string& out) override {
        return Info(&::IADsADSystemInfo::get_DomainShortName, out);
    }
    adsi::HRESULT get_DomainDNSName(std::u16string& out) override {
        return Info(&::IADsADSystemInfo::get_DomainDNSName, out);
    }
    adsi::HRESULT get_ForestDNSName(std::u16string& out) override {
        return Info(&::IADsADSystemInfo::get_ForestDNSName, out);
    }
    adsi::HRESULT get_PDCRoleOwner(std::u16string& out) override {
        return Info(&::IADsADSystemInfo::get_PDCRoleOwner, out);
    }
    adsi::HRESULT get_SchemaRoleOwner(std::u16string& out) override {
        return Info(&::IADsADSystemInfo::get_SchemaRoleOwner, out);
    }
    adsi::HRESULT get_IsNativeMode(bool& out) override {
        ComRef<::IADsADSystemInfo> info;
        if (HRESULT hr = Ask(adsi::IADsADSystemInfo::IID_, info); FAILED(hr)) return hr;
        VARIANT_BOOL native = VARIANT_FALSE;
        HRESULT hr = info->get_IsNativeMode(&native);
        out = SUCCEEDED(hr) && native != VARIANT_FALSE;
        return Checked(hr);
    }

    // IADsLargeInteger: a part that cannot be read is 0.
    int32_t HighPart() const override { return Part(&::IADsLargeInteger::get_HighPart); }
    int32_t LowPart() const override { return Part(&::IADsLargeInteger::get_LowPart); }

    // IDirectorySearch
    adsi::HRESULT SetSearchPreference(adsi::ADS_SEARCHPREF_INFO* prefs, uint32_t count) override {
        ComRef<::IDirectorySearch> search;
        if (HRESULT hr = Ask(adsi::IDirectorySearch::IID_, search); FAILED(hr)) return hr;
        std::vector<::ADS_SEARCHPREF_INFO> system(count);
        for (uint32_t i = 0; i < count; ++i) {
            system[i].dwSearchPref = static_cast<::ADS_SEARCHPREF>(prefs[i].dwSearchPref);
            system[i].vValue.dwType = static_cast<ADSTYPE>(prefs[i].dwType);
            system[i].vValue.Integer = static_cast<DWORD>(prefs[i].Integer);
            system[i].dwStatus = ::ADS_STATUS_S_OK;
        }
        HRESULT hr = search->SetSearchPreference(system.data(), count);
        for (uint32_t i = 0; i < count; ++i)
            prefs[i].dwStatus = static_cast<adsi::ADS_STATUS>(system[i].dwStatus);
        return Checked(hr);
    }
    adsi::HRESULT ExecuteSearch(const char16_t* filter,
                                const std::vector<std::u16string>& attributes,
                                adsi::ADS_SEARCH_HANDLE* handle) override {
        ComRef<::IDirectorySearch> search;
        if (HRESULT hr = Ask(adsi::IDirectorySearch::IID_, search); FAILED(hr)) return hr;
        std::vector<LPWSTR> names;
        for (const std::u16string& a : attributes)
            names.push_back(const_cast<LPWSTR>(reinterpret_cast<LPCWSTR>(a.c_str())));
        ADS_SEARCH_HANDLE system = nullptr;
        HRESULT hr = search->ExecuteSearch(const_cast<LPWSTR>(reinterpret_cast<LPCWSTR>(filter)),
                                           names.empty() ? nullptr : names.data(),
                                           static_cast<DWORD>(names.size()), &system);
        *handle = SUCCEEDED(hr) ? system : nullptr;
        return Checked(hr);
    }
    adsi::HRESULT GetFirstRow(adsi::ADS_SEARCH_HANDLE handle) override {
        return Row(handle, &::IDirectorySearch::GetFirstRow);
    }
    adsi::HRESULT GetNextRow(adsi::ADS_SEARCH_HANDLE handle) override {
        return Row(handle, &::IDirectorySearch::GetNextRow);
    }
    // The column is copied and ADSI's own released at once.
    adsi::HRESULT GetColumn(adsi::ADS_SEARCH_HANDLE handle, const std::u16string& name,
                            adsi::ADS_SEARCH_COLUMN* column) override {
        ComRef<::IDirectorySearch> search;
        if (HRESULT hr = Ask(adsi::IDirectorySearch::IID_, search); FAILED(hr)) return hr;
        ::ADS_SEARCH_COLUMN system{};
        HRESULT hr = search->GetColumn(
            handle, const_cast<LPWSTR>(reinterpret_cast<LPCWSTR>(name.c_str())), &system);
        if (FAILED(hr)) return Checked(hr);
        column->pszAttrName = system.pszAttrName
                                  ? std::u16string(reinterpret_cast<char16_t*>(system.pszAttrName))
                                  : name;
        column->dwADsType = static_cast<int32_t>(system.dwADsType);
        column->values.clear();
        for (DWORD i = 0; i < system.dwNumValues && system.pADsValues; ++i)
            column->values.push_back(FromAdsValue(system.pADsValues[i]));
        search->FreeColumn(&system);
        return hr;
    }
    adsi::HRESULT FreeColumn(adsi::ADS_SEARCH_COLUMN* column) override {
        if (!column) return E_POINTER;
        *column = adsi::ADS_SEARCH_COLUMN{};
        return S_OK;
    }
    adsi::HRESULT CloseSearchHandle(adsi::ADS_SEARCH_HANDLE handle) override {
        return Row(handle, &::IDirectorySearch::CloseSearchHandle);
    }

    // IEnumVARIANT
    adsi::HRESULT Next(uint32_t count, std::vector<adsi::Variant>& items) override {
        items.clear();
        ComRef<::IEnumVARIANT> enumerator;
        if (HRESULT hr = Ask(adsi::IEnumVARIANT::IID_, enumerator); FAILED(hr)) return hr;
        std::vector<VARIANT> fetched(count);
        for (VARIANT& v : fetched)
            VariantInit(&v);
        ULONG got = 0;
        HRESULT hr = enumerator->Next(count, fetched.data(), &got);
        for (ULONG i = 0; i < got && i < count; ++i)
            items.push_back(FromVariant(fetched[i]));
        for (VARIANT& v : fetched)
            VariantClear(&v);
        return Checked(hr);
    }

  private:
    template <typename I> HRESULT Ask(const adsi::IID& iid, ComRef<I>& out) const {
        GUID guid = ToGuid(iid);
        HRESULT hr = object_->QueryInterface(guid, reinterpret_cast<void**>(out.put()));
        if (SUCCEEDED(hr) && !out) hr = E_NOINTERFACE;
        return hr;
    }

    template <typename I>
    adsi::HRESULT Read(const adsi::IID& iid, HRESULT (STDMETHODCALLTYPE I::*get)(BSTR*),
                       std::u16string& out) {
        out.clear();
        ComRef<I> i;
        if (HRESULT hr = Ask(iid, i); FAILED(hr)) return hr;
        BSTR value = nullptr;
        HRESULT hr = (i.get()->*get)(&value);
        if (SUCCEEDED(hr)) out = FromBstr(value);
        SysFreeString(value);
        return Checked(hr);
    }

    adsi::HRESULT Info(HRESULT (STDMETHODCALLTYPE ::IADsADSystemInfo::*get)(BSTR*),
                       std::u16string& out) {
        return Read<::IADsADSystemInfo>(adsi::IADsADSystemInfo::IID_, get, out);
    }

    template <typename Call> adsi::HRESULT ReadVariant(Call call, adsi::Variant& out) {
        VARIANT value;
        VariantInit(&value);
        HRESULT hr = call(&value);
        out = SUCCEEDED(hr) ? FromVariant(value) : adsi::Variant{};
        VariantClear(&value);
        return Checked(hr);
    }

    int32_t Part(HRESULT (STDMETHODCALLTYPE ::IADsLargeInteger::*get)(LONG*)) const {
        ComRef<::IADsLargeInteger> large;
        LONG part = 0;
        if (FAILED(Ask(adsi::IADsLargeInteger::IID_, large)) || FAILED((large.get()->*get)(&part)))
            return 0;
        return part;
    }

    adsi::HRESULT Row(adsi::ADS_SEARCH_HANDLE handle,
                      HRESULT (STDMETHODCALLTYPE ::IDirectorySearch::*call)(ADS_SEARCH_HANDLE)) {
        ComRef<::IDirectorySearch> search;
        if (HRESULT hr = Ask(adsi::IDirectorySearch::IID_, search); FAILED(hr)) return hr;
        return Checked((search.get()->*call)(handle));
    }

    // out receives object (one reference of our own) seen as the platform interface T.
    template <typename T>
    adsi::HRESULT WrapAs(::IUnknown* object, const adsi::IID& iid, std::shared_ptr<T>& out) {
        std::shared_ptr<adsi::IUnknown> wrapped = WrapComObject(object);
        if (!wrapped) return E_POINTER;
        std::shared_ptr<adsi::IUnknown> seen;
        adsi::HRESULT hr = wrapped->QueryInterface(iid, seen);
        out = std::dynamic_pointer_cast<T>(seen);
        return out ? S_OK : (FAILED(hr) ? hr : E_NOINTERFACE);
    }

    ::IUnknown* object_;
};

class ComAdsi : public adsi::AdsiPlatform {
  public:
    explicit ComAdsi(const ComEntryPoints& entry) : entry_(entry) {}

    adsi::HRESULT GetObject(const std::u16string& path, const adsi::IID& iid,
                            std::shared_ptr<adsi::IUnknown>& out) override {
        out.reset();
        GUID guid = ToGuid(iid);
        ::IUnknown* object = nullptr;
        HRESULT hr = entry_.getObject(reinterpret_cast<const wchar_t*>(path.c_str()), &guid,
                                      reinterpret_cast<void**>(&object));
        if (FAILED(hr)) return Checked(hr);
        if (!object) return E_POINTER;
        out = std::make_shared<ComObject>(object);
        return hr;
    }

    adsi::HRESULT CreateInstance(const adsi::CLSID& clsid, const adsi::IID& iid,
                                 std::shared_ptr<adsi::IUnknown>& out) override {
        out.reset();
        GUID classId = ToGuid(clsid);
        GUID guid = ToGuid(iid);
        ::IUnknown* object = nullptr;
        HRESULT hr = entry_.createInstance(&classId, &guid, reinterpret_cast<void**>(&object));
        if (FAILED(hr)) return Checked(hr);
        if (!object) return E_POINTER;
        out = std::make_shared<ComObject>(object);
        return hr;
    }

  private:
    ComEntryPoints entry_;
};

} // namespace

std::shared_ptr<adsi::IUnknown> WrapComObject(::IUnknown* object) {
    if (!object) return nullptr;
    object->AddRef();
    return std::make_shared<ComObject>(object);
}

ComEntryPoints SystemComEntryPoints() {
    return {
        [](const wchar_t* path, const void* iid, void** object) -> adsi::HRESULT {
            return ::ADsGetObject(path, *static_cast<const GUID*>(iid), object);
        },
        [](const void* clsid, const void* iid, void** object) -> adsi::HRESULT {
            return ::CoCreateInstance(*static_cast<const GUID*>(clsid), nullptr,
                                      CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                      *static_cast<const GUID*>(iid), object);
        },
    };
}

std::shared_ptr<adsi::AdsiPlatform> MakeComAdsi(const ComEntryPoints& entry) {
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    return std::make_shared<ComAdsi>(entry);
}

} // namespace kestrune::win32
