// The DFS network interface: enumerate namespaces and links, add a link target.
//
// The calls and records follow the Windows network management functions of the same names.
// A backend (the real netapi32, or a directory-backed stand-in) implements NetDfsApi and is
// installed once for the process; the free functions below dispatch to it. Each call's failure
// comes with the backend's words about it (DfsStatus) in namespace netdfs; the NetDfs functions
// are the same calls answering the status alone, as netapi32 does.
#pragma once

#include "base/win_errors.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

namespace kestrune {

using NET_API_STATUS = uint32_t;

// A status and what the backend said about it beyond the code: which object and why, in UTF-8
// ("\\example.com\Public\Data: its target list cannot be read: ..."). The detail is empty
// when the backend said nothing (the real interface never does) and on success.
struct [[nodiscard]] DfsStatus {
    NET_API_STATUS code = NERR_Success;
    std::string detail;

    DfsStatus() = default;
    // A status alone: the backend has nothing to add.
    DfsStatus(NET_API_STATUS status) : code(status) {}
    DfsStatus(NET_API_STATUS status, std::string words) : code(status), detail(std::move(words)) {}

    bool ok() const { return code == NERR_Success; }
    friend bool operator==(const DfsStatus& status, NET_API_STATUS code) {
        return status.code == code;
    }
};

constexpr uint32_t MAX_PREFERRED_LENGTH = 0xFFFFFFFFu;
constexpr uint32_t DFS_ADD_VOLUME = 1;     // create the link; fail if it exists
constexpr uint32_t DFS_RESTORE_VOLUME = 2; // not supported by domain-based namespaces

// Entry states (DFS_INFO_9.State, DFS_INFO_101 for a link): one state in the low four bits; a
// read adds the namespace's flavour.
constexpr uint32_t DFS_VOLUME_STATE_OK = 0x1;
constexpr uint32_t DFS_VOLUME_STATE_OFFLINE = 0x3;
constexpr uint32_t DFS_VOLUME_STATE_ONLINE = 0x4;
constexpr uint32_t DFS_VOLUME_STATES = 0xF;
// Given to NetDfsSetInfo level 101 with a root target's server and share: that namespace server
// reads the namespace from the directory now rather than at its next poll.
constexpr uint32_t DFS_VOLUME_STATE_RESYNCHRONIZE = 0x10;
constexpr uint32_t DFS_VOLUME_FLAVOR_AD_BLOB = 0x200;
// The referral cache time (DFS_INFO_9.Timeout) Windows gives a new link, in seconds.
constexpr uint32_t kNewLinkTimeout = 1800;
// ... and a new namespace's root.
constexpr uint32_t kNewRootTimeout = 300;
// NetDfsGetSecurity / NetDfsSetSecurity: which parts of a security descriptor.
constexpr uint32_t DACL_SECURITY_INFORMATION = 0x4;
// Target states (DFS_STORAGE_INFO_1.State, DFS_INFO_101 for a target).
constexpr uint32_t DFS_STORAGE_STATE_OFFLINE = 0x1;
constexpr uint32_t DFS_STORAGE_STATE_ONLINE = 0x2;
// DFS_INFO_9.PropertyFlags and DFS_INFO_103.
constexpr uint32_t DFS_PROPERTY_FLAG_INSITE_REFERRALS = 0x1;
constexpr uint32_t DFS_PROPERTY_FLAG_ROOT_SCALABILITY = 0x2; // domain root only
constexpr uint32_t DFS_PROPERTY_FLAG_SITE_COSTING = 0x4;     // root only
constexpr uint32_t DFS_PROPERTY_FLAG_TARGET_FAILBACK = 0x8;
constexpr uint32_t DFS_PROPERTY_FLAG_ABDE = 0x20; // root only
constexpr uint32_t DFS_ROOT_ONLY_PROPERTY_FLAGS =
    DFS_PROPERTY_FLAG_ROOT_SCALABILITY | DFS_PROPERTY_FLAG_SITE_COSTING | DFS_PROPERTY_FLAG_ABDE;
constexpr uint32_t DFS_KNOWN_PROPERTY_FLAGS = DFS_ROOT_ONLY_PROPERTY_FLAGS |
                                              DFS_PROPERTY_FLAG_INSITE_REFERRALS |
                                              DFS_PROPERTY_FLAG_TARGET_FAILBACK;

enum DFS_TARGET_PRIORITY_CLASS : int32_t {
    DfsInvalidPriorityClass = -1,
    DfsSiteCostNormalPriorityClass = 0,
    DfsGlobalHighPriorityClass = 1,
    DfsSiteCostHighPriorityClass = 2,
    DfsSiteCostLowPriorityClass = 3,
    DfsGlobalLowPriorityClass = 4,
};

struct DFS_TARGET_PRIORITY {
    DFS_TARGET_PRIORITY_CLASS TargetPriorityClass;
    uint16_t TargetPriorityRank; // 0 to 31, 0 first
    uint16_t Reserved;
};

struct DFS_GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};

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

struct DFS_STORAGE_INFO_1 {
    uint32_t State;
    char16_t* ServerName;
    char16_t* ShareName;
    DFS_TARGET_PRIORITY TargetPriority;
};

// Everything an entry holds: level 9 of NetDfsEnum and NetDfsGetInfo.
struct DFS_INFO_9 {
    char16_t* EntryPath;
    char16_t* Comment;
    uint32_t State;
    uint32_t Timeout; // seconds a client keeps a referral
    DFS_GUID Guid;
    uint32_t PropertyFlags;
    uint32_t MetadataSize;
    uint32_t SecurityDescriptorLength;
    uint8_t* pSecurityDescriptor; // self-relative, DACL only; null when the link has none
    uint32_t NumberOfStorages;
    DFS_STORAGE_INFO_1* Storage;
};

// The mode of a namespace (NetDfsGetInfo level 50, on a root): major version 1 for a Windows
// 2000 mode namespace, 2 for a Windows Server 2008 mode one.
constexpr uint64_t DFS_NAMESPACE_CAPABILITY_ABDE = 0x1;
struct DFS_INFO_50 {
    uint32_t NamespaceMajorVersion;
    uint32_t NamespaceMinorVersion;
    uint64_t NamespaceCapabilities;
};

// What NetDfsSetInfo takes, by level.
struct DFS_INFO_100 {
    char16_t* Comment;
};
struct DFS_INFO_101 {
    uint32_t State;
};
struct DFS_INFO_102 {
    uint32_t Timeout;
};
struct DFS_INFO_103 {
    uint32_t PropertyFlagMask;
    uint32_t PropertyFlags;
};
struct DFS_INFO_104 {
    DFS_TARGET_PRIORITY TargetPriority;
};
struct DFS_INFO_150 {
    uint32_t SdLengthReserved;
    uint8_t* pSecurityDescriptor; // self-relative; null or empty removes the permissions
};

// What a backend provides. The contract of each call is that of the free function below.
class NetDfsApi {
  public:
    virtual ~NetDfsApi() = default;
    virtual DfsStatus Enum(const char16_t* DfsName, uint32_t Level, uint32_t PrefMaxLen,
                           uint8_t** Buffer, uint32_t* EntriesRead, uint32_t* ResumeHandle) = 0;
    virtual DfsStatus Add(const char16_t* DfsEntryPath, const char16_t* ServerName,
                          const char16_t* ShareName, const char16_t* Comment, uint32_t Flags) = 0;
    // Backends that cannot read or change properties answer ERROR_NOT_SUPPORTED.
    virtual DfsStatus GetInfo(const char16_t* DfsEntryPath, const char16_t* ServerName,
                              const char16_t* ShareName, uint32_t Level, uint8_t** Buffer);
    virtual DfsStatus SetInfo(const char16_t* DfsEntryPath, const char16_t* ServerName,
                              const char16_t* ShareName, uint32_t Level, const uint8_t* Buffer);
    virtual DfsStatus AddRootTarget(const char16_t* pDfsPath, const char16_t* pTargetPath,
                                    uint32_t MajorVersion, const char16_t* pComment,
                                    uint32_t Flags);
    virtual DfsStatus GetSecurity(const char16_t* DfsEntryPath, uint32_t SecurityInformation,
                                  uint8_t** ppSecurityDescriptor, uint32_t* lpcbSecurityDescriptor);
    virtual DfsStatus SetSecurity(const char16_t* DfsEntryPath, uint32_t SecurityInformation,
                                  const uint8_t* pSecurityDescriptor,
                                  uint32_t cbSecurityDescriptor);
    // Whether Add and SetInfo change Windows 2000 mode namespaces, as netapi32 does.
    virtual bool ChangesLegacyNamespaces() const { return true; }
    // Not netapi32's own: a run of many changes (a restore), see NetDfsBeginChanges.
    virtual void BeginChanges() {}
    virtual DfsStatus EndChanges();
    virtual DfsStatus ChangeGroup(const std::function<void()>& work);
    virtual DfsStatus ChangeLink(const std::function<void()>& work);
};

// Installs the process's backend; null means no network platform (every call fails with
// ERROR_BAD_NETPATH, as on a computer that reaches no domain).
void InstallNetDfsApi(std::shared_ptr<NetDfsApi> api);

// Level 200 on \\domain lists its namespaces; level 3 (or 9, with every property) on
// \\domain\namespace lists the root entry first, then every link with all its targets. On
// NERR_Success *Buffer holds *EntriesRead records of the level in one block that the caller
// releases with NetApiBufferFree, and *ResumeHandle has advanced; pass it back unchanged to
// continue. A walk with nothing left ends with ERROR_NO_MORE_ITEMS. Any other status leaves *Buffer
// null.
NET_API_STATUS NetDfsEnum(const char16_t* DfsName, uint32_t Level, uint32_t PrefMaxLen,
                          uint8_t** Buffer, uint32_t* EntriesRead, uint32_t* ResumeHandle);

// Adds the target \\ServerName\ShareName to the link DfsEntryPath. Flags DFS_ADD_VOLUME: the
// link must not exist yet (ERROR_FILE_EXISTS otherwise). Flags 0: the link is created if
// needed and the target added; a target the link already has gives ERROR_FILE_EXISTS. The
// comment is used only when the call creates the link.
NET_API_STATUS NetDfsAdd(const char16_t* DfsEntryPath, const char16_t* ServerName,
                         const char16_t* ShareName, const char16_t* Comment, uint32_t Flags);

// One entry (root or link) at level 9: *Buffer holds one DFS_INFO_9 that the caller releases.
// Level 50 on a namespace root gives its DFS_INFO_50 (a link path: ERROR_INVALID_PARAMETER).
// ServerName and ShareName are null. A path that names no entry gives ERROR_NOT_FOUND.
NET_API_STATUS NetDfsGetInfo(const char16_t* DfsEntryPath, const char16_t* ServerName,
                             const char16_t* ShareName, uint32_t Level, uint8_t** Buffer);

// Changes one property of an entry (ServerName and ShareName null) or of one of its targets.
// Entry levels: 100 comment, 101 state (DFS_VOLUME_STATE_ONLINE or _OFFLINE; a link only),
// 102 timeout, 103 property flags (a flag only a root takes fails on a link with
// ERROR_INVALID_PARAMETER), 150 view permissions (a link only). Target levels: 101 state
// (DFS_STORAGE_STATE_ONLINE or _OFFLINE), 104 priority. A target the entry does not have gives
// ERROR_NOT_FOUND.
NET_API_STATUS NetDfsSetInfo(const char16_t* DfsEntryPath, const char16_t* ServerName,
                             const char16_t* ShareName, uint32_t Level, const uint8_t* Buffer);

// Creates the domain namespace pDfsPath (\\domain\namespace) with its first root target
// pTargetPath (\\server\share), or adds a root target to it. MajorVersion 2 creates a Windows
// Server 2008 mode namespace, 1 a Windows 2000 mode one; a name that is taken gives
// ERROR_ALREADY_EXISTS. MajorVersion 0 adds a root target to a namespace that exists
// (ERROR_NOT_FOUND when it does not; ERROR_FILE_EXISTS when it has the target). pComment is the
// new namespace's comment (may be null); Flags must be 0. Where the platform creates the share's
// side too (Windows), a share that is not there fails with NERR_NetNameNotFound.
NET_API_STATUS NetDfsAddRootTarget(const char16_t* pDfsPath, const char16_t* pTargetPath,
                                   uint32_t MajorVersion, const char16_t* pComment, uint32_t Flags);

// Who may manage a domain namespace (\\domain\namespace): the security descriptor of its
// objects in the directory, the parts SecurityInformation names (DACL_SECURITY_INFORMATION).
// *ppSecurityDescriptor is self-relative, released with NetApiBufferFree.
NET_API_STATUS NetDfsGetSecurity(const char16_t* DfsEntryPath, uint32_t SecurityInformation,
                                 uint8_t** ppSecurityDescriptor, uint32_t* lpcbSecurityDescriptor);
// Replaces those parts; the length is ours (the system reads it from the descriptor).
NET_API_STATUS NetDfsSetSecurity(const char16_t* DfsEntryPath, uint32_t SecurityInformation,
                                 const uint8_t* pSecurityDescriptor, uint32_t cbSecurityDescriptor);
// Whether the installed backend changes Windows 2000 mode namespaces (the real interface does;
// one over the directory reads them only and refuses, see below).
bool NetDfsChangesLegacyNamespaces();

// What a backend that reads Windows 2000 mode namespaces but does not change them says
// (the detail, with ERROR_NOT_SUPPORTED) when asked to change the one at root
// (\\domain\namespace): where its backup can go instead.
std::string LegacyNamespaceRefusal(std::u16string_view root);

// A run of many changes, such as a restore, which netapi32 does not have: between
// NetDfsBeginChanges and NetDfsEndChanges a backend over a directory may keep what it read of
// the namespaces it changes instead of reading them for every call (a write that finds the object
// changed since is read again and tried once more), and marks each namespace it changed as
// changed once, at the end (its generation and time, which the namespace servers compare).
// EndChanges answers how that went; the runs do not nest.
void NetDfsBeginChanges();
NET_API_STATUS NetDfsEndChanges();
// Runs work as one group of changes that is made durable at once: a change made inside counts as
// done only once this returns NERR_Success; any other status says why the group's changes may
// not have been kept.
NET_API_STATUS NetDfsChangeGroup(const std::function<void()>& work);
// Runs work, the calls of a run of changes that add targets to one link and set its properties,
// so that a backend over a directory may make a link they create in one write, with all its
// targets and properties. Each call inside answers as it would alone, but what it did is kept
// only if this returns NERR_Success. ERROR_RETRY: another program created the link meanwhile, and
// none of the calls took effect; make them again, each on its own. Any other status: none took
// effect, for the reason it gives.
NET_API_STATUS NetDfsChangeLink(const std::function<void()>& work);

// Releases a buffer that NetDfsEnum returned. A null buffer is accepted.
NET_API_STATUS NetApiBufferFree(void* Buffer);

// The calls above, each answering with the backend's words about a failure; the component
// calls these.
namespace netdfs {
DfsStatus Enum(const char16_t* DfsName, uint32_t Level, uint32_t PrefMaxLen, uint8_t** Buffer,
               uint32_t* EntriesRead, uint32_t* ResumeHandle);
DfsStatus Add(const char16_t* DfsEntryPath, const char16_t* ServerName, const char16_t* ShareName,
              const char16_t* Comment, uint32_t Flags);
DfsStatus GetInfo(const char16_t* DfsEntryPath, const char16_t* ServerName,
                  const char16_t* ShareName, uint32_t Level, uint8_t** Buffer);
DfsStatus SetInfo(const char16_t* DfsEntryPath, const char16_t* ServerName,
                  const char16_t* ShareName, uint32_t Level, const uint8_t* Buffer);
DfsStatus AddRootTarget(const char16_t* pDfsPath, const char16_t* pTargetPath,
                        uint32_t MajorVersion, const char16_t* pComment, uint32_t Flags);
DfsStatus GetSecurity(const char16_t* DfsEntryPath, uint32_t SecurityInformation,
                      uint8_t** ppSecurityDescriptor, uint32_t* lpcbSecurityDescriptor);
DfsStatus SetSecurity(const char16_t* DfsEntryPath, uint32_t SecurityInformation,
                      const uint8_t* pSecurityDescriptor, uint32_t cbSecurityDescriptor);
DfsStatus EndChanges();
DfsStatus ChangeGroup(const std::function<void()>& work);
DfsStatus ChangeLink(const std::function<void()>& work);
} // namespace netdfs

} // namespace kestrune
