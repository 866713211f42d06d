// The DFS network interface: enumerate namespaces and links, add a link target.
//
// The calls and records follow the Windows network management functions of the same names.
// A backend (the real netapi32, or a directory-backed stand-in) implements NetDfsApi and is
// installed once for the process; the free functions below dispatch to it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace kestrune {

using NET_API_STATUS = uint32_t;

constexpr uint32_t MAX_PREFERRED_LENGTH = 0xFFFFFFFFu;
constexpr uint32_t DFS_ADD_VOLUME = 1;     // create the link; fail if it exists
constexpr uint32_t DFS_RESTORE_VOLUME = 2; // not supported by domain-based namespaces

struct DFS_INFO_200 {
    char16_t* FtDfsName; // the namespace name, without the domain
};

struct DFS_STORAGE_INFO {
    uint32_t State;
    char16_t* ServerName;
    char16_t* ShareName;
};

struct DFS_INFO_3 {
    char16_t* EntryPath; // \\domain\namespace[\link\path]
    char16_t* Comment;   // may be null
    uint32_t State;
    uint32_t NumberOfStorages;
    DFS_STORAGE_INFO* Storage;
};

// What a backend provides. The contract of each call is that of the free function below.
class NetDfsApi {
  public:
    virtual ~NetDfsApi() = default;
    virtual NET_API_STATUS Enum(const char16_t* DfsName, uint32_t Level, uint32_t PrefMaxLen,
                                uint8_t** Buffer, uint32_t* EntriesRead,
                                uint32_t* ResumeHandle) = 0;
    virtual NET_API_STATUS Add(const char16_t* DfsEntryPath, const char16_t* ServerName,
                               const char16_t* ShareName, const char16_t* Comment,
                               uint32_t Flags) = 0;
};

// Installs the process's backend; null means no network platform (every call fails with
// ERROR_BAD_NETPATH, as on a computer that reaches no domain).
void InstallNetDfsApi(std::shared_ptr<NetDfsApi> api);

// Level 200 on \\domain lists its namespaces; level 3 on \\domain\namespace lists the root
// entry first, then every link with all its targets. On NERR_Success *Buffer holds
// *EntriesRead records of the level in one block that the caller releases with
// NetApiBufferFree, and *ResumeHandle has advanced; pass it back unchanged to continue. A walk
// with nothing left ends with ERROR_NO_MORE_ITEMS. Any other status leaves *Buffer null.
NET_API_STATUS NetDfsEnum(const char16_t* DfsName, uint32_t Level, uint32_t PrefMaxLen,
                          uint8_t** Buffer, uint32_t* EntriesRead, uint32_t* ResumeHandle);

// Adds the target \\ServerName\ShareName to the link DfsEntryPath. Flags DFS_ADD_VOLUME: the
// link must not exist yet (ERROR_FILE_EXISTS otherwise). Flags 0: the link is created if
// needed and the target added; a target the link already has gives ERROR_FILE_EXISTS. The
// comment is used only when the call creates the link.
NET_API_STATUS NetDfsAdd(const char16_t* DfsEntryPath, const char16_t* ServerName,
                         const char16_t* ShareName, const char16_t* Comment, uint32_t Flags);

// Releases a buffer that NetDfsEnum returned. A null buffer is accepted.
NET_API_STATUS NetApiBufferFree(void* Buffer);

// What the backend said about the last failed NetDfsEnum or NetDfsAdd of this thread beyond its
// status: which object and why, in UTF-8 ("the target list of \\example.com\Public\Data cannot
// be read: ..."). Empty when it said nothing (the real interface never does); each call clears
// it. A backend sets it just before it returns a failure.
const std::string& NetDfsErrorDetail();
void SetNetDfsErrorDetail(std::string detail);

} // namespace kestrune
