// The DFS network interface over the real netapi32 of Windows.
#pragma once

#include "netdfs/netdfs.h"

#include <memory>

namespace kestrune::win32 {

// The netapi32 entry points the backend calls, with their Windows types (DWORD is unsigned
// long, LPWSTR wchar_t*); tests put recorded answers in their place.
struct NetApi32 {
    unsigned long (*NetDfsEnum)(wchar_t* DfsName, unsigned long Level, unsigned long PrefMaxLen,
                                unsigned char** Buffer, unsigned long* EntriesRead,
                                unsigned long* ResumeHandle);
    unsigned long (*NetDfsAdd)(wchar_t* DfsEntryPath, wchar_t* ServerName, wchar_t* ShareName,
                               wchar_t* Comment, unsigned long Flags);
    unsigned long (*NetApiBufferFree)(void* Buffer);
    unsigned long (*NetDfsGetInfo)(wchar_t* DfsEntryPath, wchar_t* ServerName, wchar_t* ShareName,
                                   unsigned long Level, unsigned char** Buffer);
    unsigned long (*NetDfsSetInfo)(wchar_t* DfsEntryPath, wchar_t* ServerName, wchar_t* ShareName,
                                   unsigned long Level, unsigned char* Buffer);
    unsigned long (*NetDfsAddRootTarget)(wchar_t* pDfsPath, wchar_t* pTargetPath,
                                         unsigned long MajorVersion, wchar_t* pComment,
                                         unsigned long Flags);
    // SECURITY_INFORMATION is an unsigned long; the descriptor a void*.
    unsigned long (*NetDfsGetSecurity)(wchar_t* DfsEntryPath, unsigned long SecurityInformation,
                                       void** ppSecurityDescriptor,
                                       unsigned long* lpcbSecurityDescriptor);
    unsigned long (*NetDfsSetSecurity)(wchar_t* DfsEntryPath, unsigned long SecurityInformation,
                                       void* pSecurityDescriptor);
};

// The system's netapi32.
NetApi32 SystemNetApi32();

// A backend that calls api. Each record the system returns is copied into a buffer of our own
// (released with kestrune::NetApiBufferFree) and the system's buffer is released at once with
// the system's NetApiBufferFree. Levels other than 200, 3 and 9 are refused with
// ERROR_INVALID_LEVEL, since their records could not be copied. NetDfsSetInfo gets the
// system's own structures, built from ours (levels 100 to 104 and 150). NetDfsGetSecurity's
// descriptor is copied as the records are.
std::shared_ptr<NetDfsApi> MakeWin32NetDfs(const NetApi32& api = SystemNetApi32());

} // namespace kestrune::win32
