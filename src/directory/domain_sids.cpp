#include "directory/domain_sids.h"

#include "adsi/adsi.h"
#include "adsi/domain_name_forms.h"

namespace kestrune {
namespace {

// A directory object's attribute as bytes; an error when it cannot be read or is not bytes.
Expected<std::string> ReadBytes(const std::u16string& path, const std::u16string& name) {
    std::shared_ptr<adsi::IUnknown> bound;
    std::shared_ptr<adsi::IADs> object;
    adsi::HRESULT hr = adsi::ADsGetObject(path, adsi::IADs::IID_, bound);
    if (adsi::SUCCEEDED(hr) && bound) hr = adsi::QueryInterface(*bound, object);
    adsi::Variant value;
    if (adsi::SUCCEEDED(hr) && object) hr = object->Get(name, value);
    if (!adsi::SUCCEEDED(hr) || !object)
        return Error{static_cast<uint32_t>(hr),
                     WideToUtf8(name) + " of " + WideToUtf8(path) + " cannot be read"};
    const adsi::SafeArray* array = value.AsArray();
    std::string bytes;
    if (array)
        for (const adsi::Variant& b : array->elements)
            if (const int64_t* byte = std::get_if<int64_t>(&b.value))
                bytes += static_cast<char>(*byte);
    if (value.AsString()) bytes = WideToUtf8(*value.AsString());
    return bytes;
}

Expected<std::string> DomainSid(const AnsiString& dn) {
    const std::u16string path = u"LDAP://" + AnsiToWide(dn);
    Expected<std::string> bytes = ReadBytes(path, u"objectSid");
    if (!bytes) return bytes.error();
    std::string sid = SidString(*bytes);
    if (sid.empty()) return Error{0, "objectSid of " + AnsiToUtf8(dn) + " is not a SID"};
    return sid;
}

} // namespace

Expected<DomainSids> ReadDomainSids(const AnsiString& domain) {
    const AnsiString dn = DomainNameToDn(domain);
    Expected<std::string> own = DomainSid(dn);
    if (!own) return own.error();
    Expected<std::string> root = ReadBytes(u"LDAP://RootDSE", u"rootDomainNamingContext");
    if (!root) return root.error();
    Expected<std::string> forestRoot = root->empty() || *root == dn ? own : DomainSid(*root);
    if (!forestRoot) return forestRoot.error();
    return DomainSids{*own, *forestRoot};
}

} // namespace kestrune
