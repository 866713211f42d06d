// Class indexes and opening the object that Provider and ADSPath name.
#include "adsi/adsi_path.h"
#include "directory/ole_error.h"
#include "directory/tntads.h"

#include <array>

namespace kestrune {
namespace {

constexpr std::array<const char*, 28> kClassKeywords = {
    "",
    "CONTAINER",
    "ORGANIZATIONALUNIT",
    "COMPUTER",
    "GROUP",
    "USER",
    "PRINTER",
    "PRINTQUEUE",
    "SERVICE",
    "FILESERVICE",
    "FILESHARE",
    "BUILTINDOMAIN",
    "TRUSTEDDOMAIN",
    "LOSTANDFOUND",
    "SECRET",
    "DOMAINPOLICY",
    "DFSCONFIGURATION",
    "NTFRSSETTINGS",
    "FILELINKTRACKING",
    "NAMESPACE",
    "INFRASTRUCTUREUPDATE",
    "RIDMANAGER",
    "RPCCONTAINER",
    "SAMSERVER",
    "DNSZONE",
    "FOREIGNSECURITYPRINCIPAL",
    "GROUPPOLICYCONTAINER",
    "DOMAINDNS",
};

// prefix + path, unless the path already holds the prefix anywhere; a path put behind the
// prefix is a DN, whose "/" are escaped.
AnsiString WithPrefix(const AnsiString& prefix, const AnsiString& path) {
    return path.find(prefix) != AnsiString::npos ? path : prefix + adsi::EscapePathDn(path);
}

template <typename T> std::shared_ptr<T> Bind(const AnsiString& path) {
    std::shared_ptr<adsi::IUnknown> object;
    adsi::HRESULT hr = adsi::ADsGetObject(AnsiToWide(path), T::IID_, object);
    OleCheck(hr);
    if (!object) throw EOleError("Interface not supported", adsi::E_NOINTERFACE);
    return Supports<T>(*object);
}

} // namespace

uint8_t TNTADS::GetClassIndex(const AnsiString& className) {
    AnsiString upper = className;
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    for (size_t i = 1; i < kClassKeywords.size(); ++i)
        if (upper == kClassKeywords[i]) return static_cast<uint8_t>(i);
    return 0;
}

std::shared_ptr<adsi::IADs> TNTADS::OpenObject() {
    if (FProvider.empty()) return nullptr;
    return Bind<adsi::IADs>(WithPrefix(FProvider, FADSPath));
}

std::shared_ptr<adsi::IADsContainer> TNTADS::OpenContainer() {
    if (FProvider.empty()) return nullptr;
    return Bind<adsi::IADsContainer>(WithPrefix(FProvider, FADSPath));
}

std::shared_ptr<adsi::IADsUser> TNTADS::OpenUser() {
    if (FADSPath.empty()) return nullptr;
    return Bind<adsi::IADsUser>(WithPrefix("LDAP://", FADSPath));
}

void TNTADS::abort() {
    FAborting = true;
}

void TNTADS::SetADSData() {}

} // namespace kestrune
