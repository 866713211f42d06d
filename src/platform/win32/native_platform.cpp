#include "platform/win32/native_platform.h"

#include "platform/win32/adsi_win32.h"
#include "platform/win32/netdfs_win32.h"

#include "base/windows_sdk.h" // last: the SDK's macros

namespace kestrune::win32 {

bool RunningUnderWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

Expected<void> InstallNativePlatform() {
    if (RunningUnderWine())
        return Error{0, "KESTRUNE_PLATFORM=native: Wine does not provide the Windows DFS and "
                        "directory interfaces (netapi32's NetDfsEnum, ADSI); use sim:PATH to an "
                        "LDIF file, or none"};
    InstallNetDfsApi(MakeWin32NetDfs());
    adsi::InstallAdsiPlatform(MakeComAdsi());
    return {};
}

} // namespace kestrune::win32
