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

} // namespace

void InstallNetDfsApi(std::shared_ptr<NetDfsApi> api) {
    Installed() = std::move(api);
}

DfsStatus netdfs::Enum(const char16_t* DfsName, uint32_t Level, uint32_t PrefMaxLen,
                       uint8_t** Buffer, uint32_t* EntriesRead, uint32_t* ResumeHandle) {
    if (!Buffer || !EntriesRead) return ERROR_INVALID_PARAMETER;
    *Buffer = nullptr;
    *EntriesRead = 0;
    if (!Installed()) return ERROR_BAD_NETPATH;
    return Installed()->Enum(DfsName, Level, PrefMaxLen, Buffer, EntriesRead, ResumeHandle);
}

DfsStatus netdfs::Add(const char16_t* DfsEntryPath, const char16_t* ServerName,
                      const char16_t* ShareName, const char16_t* Comment, uint32_t Flags) {
    if (!Installed()) return ERROR_BAD_NETPATH;
    return Installed()->Add(DfsEntryPath, ServerName, ShareName, Comment, Flags);
}

DfsStatus NetDfsApi::GetInfo(const char16_t*, const char16_t*, const char16_t*, uint32_t,
                             uint8_t**) {
    return ERROR_NOT_SUPPORTED;
}

DfsStatus NetDfsApi::SetInfo(const char16_t*, const char16_t*, const char16_t*, uint32_t,
                             const uint8_t*) {
    return ERROR_NOT_SUPPORTED;
}

DfsStatus netdfs::GetInfo(const char16_t* DfsEntryPath, const char16_t* ServerName,
                          const char16_t* ShareName, uint32_t Level, uint8_t** Buffer) {
    if (!Buffer) return ERROR_INVALID_PARAMETER;
    *Buffer = nullptr;
    if (!Installed()) return ERROR_BAD_NETPATH;
    return Installed()->GetInfo(DfsEntryPath, ServerName, ShareName, Level, Buffer);
}

DfsStatus netdfs::SetInfo(const char16_t* DfsEntryPath, const char16_t* ServerName,
                          const char16_t* ShareName, uint32_t Level, const uint8_t* Buffer) {
    if (!Buffer) return ERROR_INVALID_PARAMETER;
    if (!Installed()) return ERROR_BAD_NETPATH;
    return Installed()->SetInfo(DfsEntryPath, ServerName, ShareName, Level, Buffer);
}

DfsStatus NetDfsApi::AddRootTarget(const char16_t*, const char16_t*, uint32_t, const char16_t*,
                                   uint32_t) {
    return ERROR_NOT_SUPPORTED;
}

DfsStatus NetDfsApi::GetSecurity(const char16_t*, uint32_t, uint8_t**, uint32_t*) {
    return ERROR_NOT_SUPPORTED;
}

DfsStatus NetDfsApi::SetSecurity(const char16_t*, uint32_t, const uint8_t*, uint32_t) {
    return ERROR_NOT_SUPPORTED;
}

DfsStatus netdfs::AddRootTarget(const char16_t* pDfsPath, const char16_t* pTargetPath,
                                uint32_t MajorVersion, const char16_t* pComment, uint32_t Flags) {
    if (!pDfsPath || !pTargetPath) return ERROR_INVALID_PARAMETER;
    if (!Installed()) return ERROR_BAD_NETPATH;
    return Installed()->AddRootTarget(pDfsPath, pTargetPath, MajorVersion, pComment, Flags);
}

DfsStatus netdfs::GetSecurity(const char16_t* DfsEntryPath, uint32_t SecurityInformation,
                              uint8_t** ppSecurityDescriptor, uint32_t* lpcbSecurityDescriptor) {
    if (!ppSecurityDescriptor || !lpcbSecurityDescriptor) return ERROR_INVALID_PARAMETER;
    *ppSecurityDescriptor = nullptr;
    *lpcbSecurityDescriptor = 0;
    if (!Installed()) return ERROR_BAD_NETPATH;
    return Installed()->GetSecurity(DfsEntryPath, SecurityInformation, ppSecurityDescriptor,
                                    lpcbSecurityDescriptor);
}

DfsStatus netdfs::SetSecurity(const char16_t* DfsEntryPath, uint32_t SecurityInformation,
                              const uint8_t* pSecurityDescriptor, uint32_t cbSecurityDescriptor) {
    if (!pSecurityDescriptor || !cbSecurityDescriptor) return ERROR_INVALID_PARAMETER;
    if (!Installed()) return ERROR_BAD_NETPATH;
    return Installed()->SetSecurity(DfsEntryPath, SecurityInformation, pSecurityDescriptor,
                                    cbSecurityDescriptor);
}

DfsStatus NetDfsApi::EndChanges() {
    return NERR_Success;
}

DfsStatus NetDfsApi::ChangeGroup(const std::function<void()>& work) {
    work();
    return NERR_Success;
}

DfsStatus NetDfsApi::ChangeLink(const std::function<void()>& work) {
    work();
    return NERR_Success;
}

NET_API_STATUS NetDfsEnum(const char16_t* DfsName, uint32_t Level, uint32_t PrefMaxLen,
                          uint8_t** Buffer, uint32_t* EntriesRead, uint32_t* ResumeHandle) {
    return netdfs::Enum(DfsName, Level, PrefMaxLen, Buffer, EntriesRead, ResumeHandle).code;
}

NET_API_STATUS NetDfsAdd(const char16_t* DfsEntryPath, const char16_t* ServerName,
                         const char16_t* ShareName, const char16_t* Comment, uint32_t Flags) {
    return netdfs::Add(DfsEntryPath, ServerName, ShareName, Comment, Flags).code;
}

NET_API_STATUS NetDfsGetInfo(const char16_t* DfsEntryPath, const char16_t* ServerName,
                             const char16_t* ShareName, uint32_t Level, uint8_t** Buffer) {
    return netdfs::GetInfo(DfsEntryPath, ServerName, ShareName, Level, Buffer).code;
}

NET_API_STATUS NetDfsSetInfo(const char16_t* DfsEntryPath, const char16_t* ServerName,
                             const char16_t* ShareName, uint32_t Level, const uint8_t* Buffer) {
    return netdfs::SetInfo(DfsEntryPath, ServerName, ShareName, Level, Buffer).code;
}

NET_API_STATUS NetDfsAddRootTarget(const char16_t* pDfsPath, const char16_t* pTargetPath,
                                   uint32_t MajorVersion, const char16_t* pComment,
                                   uint32_t Flags) {
    return netdfs::AddRootTarget(pDfsPath, pTargetPath, MajorVersion, pComment, Flags).code;
}

NET_API_STATUS NetDfsGetSecurity(const char16_t* DfsEntryPath, uint32_t SecurityInformation,
                                 uint8_t** ppSecurityDescriptor, uint32_t* lpcbSecurityDescriptor) {
    return netdfs::GetSecurity(DfsEntryPath, SecurityInformation, ppSecurityDescriptor,
                               lpcbSecurityDescriptor)
        .code;
}

NET_API_STATUS NetDfsSetSecurity(const char16_t* DfsEntryPath, uint32_t SecurityInformation,
                                 const uint8_t* pSecurityDescriptor,
                                 uint32_t cbSecurityDescriptor) {
    return netdfs::SetSecurity(DfsEntryPath, SecurityInformation, pSecurityDescriptor,
                               cbSecurityDescriptor)
        .code;
}

NET_API_STATUS NetDfsEndChanges() {
    return netdfs::EndChanges().code;
}

NET_API_STATUS NetDfsChangeGroup(const std::function<void()>& work) {
    return netdfs::ChangeGroup(work).code;
}

NET_API_STATUS NetDfsChangeLink(const std::function<void()>& work) {
    return netdfs::ChangeLink(work).code;
}

void NetDfsBeginChanges() {
    if (Installed()) Installed()->BeginChanges();
}

DfsStatus netdfs::EndChanges() {
    return Installed() ? Installed()->EndChanges() : NERR_Success;
}

DfsStatus netdfs::ChangeGroup(const std::function<void()>& work) {
    if (!Installed()) {
        work();
        return NERR_Success;
    }
    return Installed()->ChangeGroup(work);
}

DfsStatus netdfs::ChangeLink(const std::function<void()>& work) {
    if (!Installed()) {
        work();
        return NERR_Success;
    }
    return Installed()->ChangeLink(work);
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
