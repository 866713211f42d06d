#include "netdfs/netdfs.h"

#include "base/ansi_string.h"
#include "base/win_errors.h"

#include <cstdlib>

namespace kestrune {
namespace {

// Never destroyed: a large simulated domain is not freed piece by piece when the process ends.
std::shared_ptr<NetDfsApi>& Installed() {
    static auto* api = new std::shared_ptr<NetDfsApi>();
    return *api;
}

std::string& Detail() {
    thread_local std::string detail;
    return detail;
}

} // namespace

void InstallNetDfsApi(std::shared_ptr<NetDfsApi> api) {
    Installed() = std::move(api);
}

NET_API_STATUS NetDfsEnum(const char16_t* DfsName, uint32_t Level, uint32_t PrefMaxLen,
                          uint8_t** Buffer, uint32_t* EntriesRead, uint32_t* ResumeHandle) {
    if (!Buffer || !EntriesRead) return ERROR_INVALID_PARAMETER;
    *Buffer = nullptr;
    *EntriesRead = 0;
    Detail().clear();
    if (!Installed()) return ERROR_BAD_NETPATH;
    return Installed()->Enum(DfsName, Level, PrefMaxLen, Buffer, EntriesRead, ResumeHandle);
}

NET_API_STATUS NetDfsAdd(const char16_t* DfsEntryPath, const char16_t* ServerName,
                         const char16_t* ShareName, const char16_t* Comment, uint32_t Flags) {
    Detail().clear();
    if (!Installed()) return ERROR_BAD_NETPATH;
    return Installed()->Add(DfsEntryPath, ServerName, ShareName, Comment, Flags);
}

NET_API_STATUS NetDfsApi::GetInfo(const char16_t*, const char16_t*, const char16_t*, uint32_t,
                                  uint8_t**) {
    return ERROR_NOT_SUPPORTED;
}

NET_API_STATUS NetDfsApi::SetInfo(const char16_t*, const char16_t*, const char16_t*, uint32_t,
                                  const uint8_t*) {
    return ERROR_NOT_SUPPORTED;
}

NET_API_STATUS NetDfsGetInfo(const char16_t* DfsEntryPath, const char16_t* ServerName,
                             const char16_t* ShareName, uint32_t Level, uint8_t** Buffer) {
    if (!Buffer) return ERROR_INVALID_PARAMETER;
    *Buffer = nullptr;
    Detail().clear();
    if (!Installed()) return ERROR_BAD_NETPATH;
    return Installed()->GetInfo(DfsEntryPath, ServerName, ShareName, Level, Buffer);
}

NET_API_STATUS NetDfsSetInfo(const char16_t* DfsEntryPath, const char16_t* ServerName,
                             const char16_t* ShareName, uint32_t Level, const uint8_t* Buffer) {
    if (!Buffer) return ERROR_INVALID_PARAMETER;
    Detail().clear();
    if (!Installed()) return ERROR_BAD_NETPATH;
    return Installed()->SetInfo(DfsEntryPath, ServerName, ShareName, Level, Buffer);
}

NET_API_STATUS NetDfsApi::AddRootTarget(const char16_t*, const char16_t*, uint32_t, const char16_t*,
                                        uint32_t) {
    return ERROR_NOT_SUPPORTED;
}

NET_API_STATUS NetDfsApi::GetSecurity(const char16_t*, uint32_t, uint8_t**, uint32_t*) {
    return ERROR_NOT_SUPPORTED;
}

NET_API_STATUS NetDfsApi::SetSecurity(const char16_t*, uint32_t, const uint8_t*, uint32_t) {
    return ERROR_NOT_SUPPORTED;
}

NET_API_STATUS NetDfsAddRootTarget(const char16_t* pDfsPath, const char16_t* pTargetPath,
                                   uint32_t MajorVersion, const char16_t* pComment,
                                   uint32_t Flags) {
    Detail().clear();
    if (!pDfsPath || !pTargetPath) return ERROR_INVALID_PARAMETER;
    if (!Installed()) return ERROR_BAD_NETPATH;
    return Installed()->AddRootTarget(pDfsPath, pTargetPath, MajorVersion, pComment, Flags);
}

NET_API_STATUS NetDfsGetSecurity(const char16_t* DfsEntryPath, uint32_t SecurityInformation,
                                 uint8_t** ppSecurityDescriptor, uint32_t* lpcbSecurityDescriptor) {
    if (!ppSecurityDescriptor || !lpcbSecurityDescriptor) return ERROR_INVALID_PARAMETER;
    *ppSecurityDescriptor = nullptr;
    *lpcbSecurityDescriptor = 0;
    Detail().clear();
    if (!Installed()) return ERROR_BAD_NETPATH;
    return Installed()->GetSecurity(DfsEntryPath, SecurityInformation, ppSecurityDescriptor,
                                    lpcbSecurityDescriptor);
}

NET_API_STATUS NetDfsSetSecurity(const char16_t* DfsEntryPath, uint32_t SecurityInformation,
                                 const uint8_t* pSecurityDescriptor,
                                 uint32_t cbSecurityDescriptor) {
    if (!pSecurityDescriptor || !cbSecurityDescriptor) return ERROR_INVALID_PARAMETER;
    Detail().clear();
    if (!Installed()) return ERROR_BAD_NETPATH;
    return Installed()->SetSecurity(DfsEntryPath, SecurityInformation, pSecurityDescriptor,
                                    cbSecurityDescriptor);
}

const std::string& NetDfsErrorDetail() {
    return Detail();
}

void SetNetDfsErrorDetail(std::string detail) {
    Detail() = std::move(detail);
}

NET_API_STATUS NetDfsApi::EndChanges() {
    return NERR_Success;
}

NET_API_STATUS NetDfsApi::ChangeGroup(const std::function<void()>& work) {
    work();
    return NERR_Success;
}

NET_API_STATUS NetDfsApi::ChangeLink(const std::function<void()>& work) {
    work();
    return NERR_Success;
}

void NetDfsBeginChanges() {
    if (Installed()) Installed()->BeginChanges();
}

NET_API_STATUS NetDfsEndChanges() {
    Detail().clear();
    return Installed() ? Installed()->EndChanges() : NERR_Success;
}

NET_API_STATUS NetDfsChangeGroup(const std::function<void()>& work) {
    if (!Installed()) {
        work();
        return NERR_Success;
    }
    NET_API_STATUS status = Installed()->ChangeGroup(work);
    // The group's own failure, not that of the last call inside it.
    if (status == NERR_Success) Detail().clear();
    return status;
}

NET_API_STATUS NetDfsChangeLink(const std::function<void()>& work) {
    if (!Installed()) {
        work();
        return NERR_Success;
    }
    NET_API_STATUS status = Installed()->ChangeLink(work);
    if (status == NERR_Success) Detail().clear();
    return status;
}

bool NetDfsChangesLegacyNamespaces() {
    return Installed() && Installed()->ChangesLegacyNamespaces();
}

std::string LegacyNamespaceRefusal(std::u16string_view root) {
    std::u16string_view domain = root.substr(2, root.find(u'\\', 2) - 2);
    return WideToUtf8(root) +
           " is a Windows 2000 mode namespace, which this platform does not change; restore its "
           "backup into a Windows Server 2008 mode namespace with --as \\\\" +
           WideToUtf8(domain) + "\\<new name>";
}

NET_API_STATUS NetApiBufferFree(void* Buffer) {
    std::free(Buffer);
    return NERR_Success;
}

} // namespace kestrune
