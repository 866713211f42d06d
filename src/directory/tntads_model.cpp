// Construction, start-up detection and the component's settings.
#include "base/ascii.h"
#include "base/environment.h"
#include "directory/ole_error.h"
#include "directory/tntads.h"

#include <cstdio>
#include <utility>

namespace kestrune {
namespace {

std::function<void(const AnsiString&)>& MessageHook() {
    static std::function<void(const AnsiString&)> hook;
    return hook;
}

// The module starts COM once for the thread that loads it.
const adsi::HRESULT comStarted = adsi::CoInitializeEx(nullptr, adsi::COINIT_APARTMENTTHREADED);

std::shared_ptr<adsi::IADsADSystemInfo> CoADSystemInfo() {
    std::shared_ptr<adsi::IUnknown> object;
    adsi::HRESULT hr = adsi::CoCreateInstance(
        adsi::CLSID_ADSystemInfo, nullptr, adsi::CLSCTX_INPROC_SERVER | adsi::CLSCTX_LOCAL_SERVER,
        adsi::IID_IUnknown, object);
    if (adsi::FAILED(hr) || !object) ThrowCreateError(hr, adsi::CLSID_ADSystemInfo);
    return Supports<adsi::IADsADSystemInfo>(*object);
}

WideString Read(adsi::HRESULT (adsi::IADsADSystemInfo::*get)(std::u16string&),
                adsi::IADsADSystemInfo& info) {
    std::u16string value;
    OleCheck((info.*get)(value));
    return value;
}

} // namespace

void TNTADS::SetMessageHook(std::function<void(const AnsiString&)> hook) {
    MessageHook() = std::move(hook);
}

TNTADS::MessageHookScope::MessageHookScope(std::function<void(const AnsiString&)> hook)
    : previous_(std::exchange(MessageHook(), std::move(hook))) {}

TNTADS::MessageHookScope::~MessageHookScope() {
    MessageHook() = std::move(previous_);
}

void TNTADS::ShowMessage(const AnsiString& text) {
    if (MessageHook())
        MessageHook()(text);
    else
        std::fprintf(stderr, "kestrune: %s\n", text.c_str());
}

TNTADS::TNTADS()
    : FSubNets(std::make_unique<TStringList>()), FSites(std::make_unique<TStringList>()) {
    (void)comStarted;
    FSubNets->SetOwnsObjects(true);
    FSites->SetOwnsObjects(true);
    FRowCount = 100;
    {
        TStringList environment;
        LoadEnvironmentStrings(environment);
        for (int i = 0; i < environment.Count(); ++i) {
            const AnsiString& entry = environment[i];
            size_t eq = entry.find('=', 1); // a name may itself begin with "="
            if (eq != AnsiString::npos && SameTextAscii(entry.substr(0, eq), "LOGONSERVER")) {
                FLoginServer = AnsiToWide(entry.substr(eq + 1));
                break;
            }
        }
    }
    FProvider = "LDAP://";
    try {
        DetectDirectory();
    } catch (...) {
        ShowMessage("Active Directory not detected");
    }
}

TNTADS::~TNTADS() = default;

void TNTADS::DetectDirectory() {
    FLastError = 0;
    FLastMessage.clear();
    try {
        std::shared_ptr<adsi::IADsADSystemInfo> info = CoADSystemInfo();
        FDomain = AnsiToWide(
            CorrectDomain(WideToAnsi(Read(&adsi::IADsADSystemInfo::get_DomainDNSName, *info))));
        FDomains = Read(&adsi::IADsADSystemInfo::get_DomainShortName, *info);
        FUsername = WideToAnsi(Read(&adsi::IADsADSystemInfo::get_UserName, *info));
        FMachine = Read(&adsi::IADsADSystemInfo::get_ComputerName, *info);
        FSite = Read(&adsi::IADsADSystemInfo::get_SiteName, *info);
        FForest = Read(&adsi::IADsADSystemInfo::get_ForestDNSName, *info);
        FPDCEmulator = Read(&adsi::IADsADSystemInfo::get_PDCRoleOwner, *info);
        FSchema = Read(&adsi::IADsADSystemInfo::get_SchemaRoleOwner, *info);
        bool native = false;
        OleCheck(info->get_IsNativeMode(native));
        FNative = native;
    } catch (const std::exception& e) {
        FLastError = 999;
        FLastMessage = AnsiToWide(e.what());
    }
}

void TNTADS::UseLIS(bool value) {
    FUseLoginServer = value;
    if (value) {
        FProvider += WideToAnsi(FLoginServer) + "/";
        return;
    }
    size_t p = FProvider.find("//");
    // The text up to and including the first "//"; only the first character without one.
    FProvider = FProvider.substr(0, p == AnsiString::npos ? 1 : p + 2);
}

void TNTADS::LoadEnvironmentStrings(TStringList& list) {
    for (const AnsiString& entry : EnvironmentStrings())
        list.Add(entry);
}

} // namespace kestrune
