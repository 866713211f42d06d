#include "adsi/adsi.h"

#include "base/last_error.h"

#include <cstdio>

namespace kestrune::adsi {
namespace {

// Never destroyed: a large simulated domain is not freed piece by piece when the process ends.
std::shared_ptr<AdsiPlatform>& Installed() {
    static auto* platform = new std::shared_ptr<AdsiPlatform>();
    return *platform;
}

thread_local std::shared_ptr<IErrorInfo> threadErrorInfo;

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A monikers for an ADSI path: binding it is binding the path.
class PathMoniker : public IMoniker {
  public:
    explicit PathMoniker(std::u16string path) : path_(std::move(path)) {}
    HRESULT BindToObject(IBindCtx*, IMoniker*, const IID& iid,
                         std::shared_ptr<IUnknown>& out) override {
        return ADsGetObject(path_, iid, out);
    }

  private:
    std::u16string path_;
};

// What failing without a platform looks like: the domain cannot be reached.
HRESULT NoPlatform(std::shared_ptr<IUnknown>& out) {
    out.reset();
    SetLastError(Win32Code(HR_NO_SUCH_DOMAIN));
    return HR_NO_SUCH_DOMAIN;
}

// The ADSystemInfo object of a computer that is not in a domain: it can be created, but every
// fact about the domain fails to read.
class NoDomainSystemInfo : public IADsADSystemInfo {
  public:
    HRESULT QueryInterface(const IID& iid, std::shared_ptr<IUnknown>& out) override {
        return AnswerQuery<IADsADSystemInfo>(*this, iid, out);
    }
    HRESULT get_UserName(std::u16string&) override { return Fail(); }
    HRESULT get_ComputerName(std::u16string&) override { return Fail(); }
    HRESULT get_SiteName(std::u16string&) override { return Fail(); }
    HRESULT get_DomainShortName(std::u16string&) override { return Fail(); }
    HRESULT get_DomainDNSName(std::u16string&) override { return Fail(); }
    HRESULT get_ForestDNSName(std::u16string&) override { return Fail(); }
    HRESULT get_PDCRoleOwner(std::u16string&) override { return Fail(); }
    HRESULT get_SchemaRoleOwner(std::u16string&) override { return Fail(); }
    HRESULT get_IsNativeMode(bool&) override { return Fail(); }

  private:
    static HRESULT Fail() {
        SetLastError(Win32Code(HR_NO_SUCH_DOMAIN));
        return HR_NO_SUCH_DOMAIN;
    }
};

} // namespace

// GUIDs are written in the registry form: the first three fields little-endian.
std::string GUID::ToString() const {
    char text[40];
    const auto& b = bytes;
    std::snprintf(text, sizeof text,
                  "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", b[3],
                  b[2], b[1], b[0], b[5], b[4], b[7], b[6], b[8], b[9], b[10], b[11], b[12], b[13],
                  b[14], b[15]);
    return text;
}

GUID GUID::Parse(std::string_view text) {
    std::string hex;
    for (char c : text)
        if (HexDigit(c) >= 0) hex += c;
    GUID g;
    if (hex.size() != 32) return g;
    auto byte = [&](int i) {
        return static_cast<uint8_t>(HexDigit(hex[2 * i]) * 16 + HexDigit(hex[2 * i + 1]));
    };
    const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    for (int i = 0; i < 16; ++i)
        g.bytes[order[i]] = byte(i);
    return g;
}

const IID IID_IUnknown = GUID::Parse("00000000-0000-0000-C000-000000000046");
const IID IID_IDispatch = GUID::Parse("00020400-0000-0000-C000-000000000046");
const IID IADs::IID_ = GUID::Parse("FD8256D0-FD15-11CE-ABC4-02608C9E7553");
const IID IADsContainer::IID_ = GUID::Parse("001677D0-FD16-11CE-ABC4-02608C9E7553");
const IID IADsUser::IID_ = GUID::Parse("3E37E320-17E2-11CF-ABC4-02608C9E7553");
const IID IADsGroup::IID_ = GUID::Parse("27636B00-410F-11CF-B1FF-02608C9E7553");
const IID IADsMembers::IID_ = GUID::Parse("451A0030-72EC-11CF-B03B-00AA006E0975");
const IID IADsClass::IID_ = GUID::Parse("C8F93DD0-4AE0-11CF-9E73-00AA004A5691");
const IID IADsNamespaces::IID_ = GUID::Parse("28B96BA0-B330-11CF-A9AD-00AA006BC149");
const IID IADsADSystemInfo::IID_ = GUID::Parse("5BB11929-AFD1-11D2-9CB9-0000F87A369E");
const IID IADsLargeInteger::IID_ = GUID::Parse("9068270B-0939-11D1-8BE1-00C04FD8D503");
const IID IDirectorySearch::IID_ = GUID::Parse("109BA8EC-92F0-11D0-A790-00C04FD8D5A8");
const IID IEnumVARIANT::IID_ = GUID::Parse("00020404-0000-0000-C000-000000000046");
const CLSID CLSID_ADSystemInfo = GUID::Parse("50B6327F-AFD1-11D2-9CB9-0000F87A369E");

Variant Variant::Array(std::vector<Variant> elements) {
    auto array = std::make_shared<SafeArray>();
    array->elements = std::move(elements);
    return {static_cast<uint16_t>(VT_ARRAY | VT_VARIANT), std::move(array)};
}

std::shared_ptr<IUnknown> Variant::AsInterface() const {
    const auto* p = std::get_if<std::shared_ptr<IUnknown>>(&value);
    return p ? *p : nullptr;
}

const SafeArray* Variant::AsArray() const {
    const auto* p = std::get_if<std::shared_ptr<SafeArray>>(&value);
    return p ? p->get() : nullptr;
}

void SetErrorInfo(std::shared_ptr<IErrorInfo> info) {
    threadErrorInfo = std::move(info);
}

HRESULT GetErrorInfo(std::shared_ptr<IErrorInfo>& info) {
    info = std::move(threadErrorInfo);
    threadErrorInfo.reset();
    return info ? S_OK : S_FALSE;
}

void InstallAdsiPlatform(std::shared_ptr<AdsiPlatform> platform) {
    Installed() = std::move(platform);
}

HRESULT CoInitializeEx(void*, uint32_t) {
    return S_OK;
}

HRESULT CoCreateInstance(const CLSID& clsid, void*, uint32_t, const IID& iid,
                         std::shared_ptr<IUnknown>& out) {
    out.reset();
    if (!Installed() && clsid == CLSID_ADSystemInfo) {
        std::shared_ptr<IUnknown> info = std::make_shared<NoDomainSystemInfo>();
        return info->QueryInterface(iid, out);
    }
    if (!Installed()) return REGDB_E_CLASSNOTREG;
    return Installed()->CreateInstance(clsid, iid, out);
}

HRESULT ADsGetObject(const std::u16string& path, const IID& iid, std::shared_ptr<IUnknown>& out) {
    if (!Installed()) return NoPlatform(out);
    return Installed()->GetObject(path, iid, out);
}

HRESULT CreateBindCtx(uint32_t, std::shared_ptr<IBindCtx>& out) {
    out = std::make_shared<IBindCtx>();
    return S_OK;
}

HRESULT MkParseDisplayName(IBindCtx* context, const std::u16string& name, uint32_t* eaten,
                           std::shared_ptr<IMoniker>& out) {
    out.reset();
    if (!context) return E_INVALIDARG;
    // A display name needs its namespace prefix ("LDAP:", "GC:", "ADs:", ...).
    size_t colon = name.find(u':');
    if (colon == std::u16string::npos || colon == 0) {
        if (eaten) *eaten = 0;
        return MK_E_SYNTAX;
    }
    if (eaten) *eaten = static_cast<uint32_t>(name.size());
    out = std::make_shared<PathMoniker>(name);
    return S_OK;
}

} // namespace kestrune::adsi
