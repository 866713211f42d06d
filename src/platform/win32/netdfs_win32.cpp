#include "platform/win32/netdfs_win32.h"

#include "netdfs/netdfs_buffer.h"

#include <cstdlib>
#include <cstring>

// The SDK comes after the project's headers: it defines NET_API_STATUS, MAX_PREFERRED_LENGTH
// and other names of netdfs.h as macros.
#include "base/windows_sdk.h"
#include <lm.h>
#include <lmdfs.h>

namespace kestrune::win32 {
namespace {

std::u16string Text(const wchar_t* text) {
    return text ? std::u16string(reinterpret_cast<const char16_t*>(text)) : std::u16string();
}

wchar_t* Argument(const char16_t* text) {
    return const_cast<wchar_t*>(reinterpret_cast<const wchar_t*>(text));
}

uint8_t* CopyLevel200(const unsigned char* buffer, unsigned long count) {
    const auto* records = reinterpret_cast<const ::DFS_INFO_200*>(buffer);
    std::vector<std::u16string> names;
    names.reserve(count);
    for (unsigned long i = 0; i < count; ++i)
        names.push_back(Text(records[i].FtDfsName));
    return PackDfsInfo200(names);
}

uint8_t* CopyLevel3(const unsigned char* buffer, unsigned long count) {
    const auto* records = reinterpret_cast<const ::DFS_INFO_3*>(buffer);
    std::vector<DfsEntryRecord> entries(count);
    for (unsigned long i = 0; i < count; ++i) {
        const ::DFS_INFO_3& r = records[i];
        entries[i].entryPath = Text(r.EntryPath);
        if (r.Comment) entries[i].comment = Text(r.Comment);
        for (DWORD s = 0; s < r.NumberOfStorages && r.Storage; ++s)
            entries[i].storages.push_back(
                {Text(r.Storage[s].ServerName), Text(r.Storage[s].ShareName)});
    }
    return PackDfsInfo3(entries);
}

uint8_t* CopyLevel9(const unsigned char* buffer, unsigned long count) {
    const auto* records = reinterpret_cast<const ::DFS_INFO_9*>(buffer);
    std::vector<DfsEntryRecord> entries(count);
    for (unsigned long i = 0; i < count; ++i) {
        const ::DFS_INFO_9& r = records[i];
        DfsEntryRecord& e = entries[i];
        e.entryPath = Text(r.EntryPath);
        if (r.Comment) e.comment = Text(r.Comment);
        e.state = r.State;
        e.timeout = r.Timeout;
        e.propertyFlags = r.PropertyFlags;
        // MinGW names the length of the descriptor SdLengthReserved, as in level 150.
        if (r.pSecurityDescriptor && r.SdLengthReserved) {
            const auto* sd = reinterpret_cast<const uint8_t*>(r.pSecurityDescriptor);
            e.securityDescriptor.assign(sd, sd + r.SdLengthReserved);
        }
        for (DWORD s = 0; s < r.NumberOfStorages && r.Storage; ++s) {
            const ::DFS_STORAGE_INFO_1& storage = r.Storage[s];
            DfsStorageRecord copy{Text(storage.ServerName), Text(storage.ShareName)};
            copy.state = storage.State;
            copy.priority.TargetPriorityClass =
                static_cast<DFS_TARGET_PRIORITY_CLASS>(storage.TargetPriority.TargetPriorityClass);
            copy.priority.TargetPriorityRank = storage.TargetPriority.TargetPriorityRank;
            e.storages.push_back(std::move(copy));
        }
    }
    return PackDfsInfo9(entries);
}

uint8_t* CopyLevel50(const unsigned char* buffer) {
    const auto* r = reinterpret_cast<const ::DFS_INFO_50*>(buffer);
    return PackDfsInfo50({r->NamespaceMajorVersion, r->NamespaceMinorVersion,
                          static_cast<uint64_t>(r->NamespaceCapabilities)});
}

uint8_t* CopyLevel(unsigned long level, const unsigned char* buffer, unsigned long count) {
    return level == 200 ? CopyLevel200(buffer, count)
           : level == 3 ? CopyLevel3(buffer, count)
                        : CopyLevel9(buffer, count);
}

class Win32NetDfs : public NetDfsApi {
  public:
    explicit Win32NetDfs(const NetApi32& api) : api_(api) {}

    DfsStatus Enum(const char16_t* DfsName, uint32_t Level, uint32_t PrefMaxLen, uint8_t** Buffer,
                   uint32_t* EntriesRead, uint32_t* ResumeHandle) override {
        if (Level != 200 && Level != 3 && Level != 9) return ERROR_INVALID_LEVEL;
        unsigned char* system = nullptr;
        unsigned long count = 0;
        unsigned long resume = ResumeHandle ? *ResumeHandle : 0;
        unsigned long status = api_.NetDfsEnum(Argument(DfsName), Level, PrefMaxLen, &system,
                                               &count, ResumeHandle ? &resume : nullptr);
        // ERROR_MORE_DATA delivers records too; the walk continues with the next call as after
        // a success, so it is reported as one.
        if (status == ERROR_MORE_DATA) status = NERR_Success;
        if (status == NERR_Success && system) {
            try {
                *Buffer = CopyLevel(Level, system, count);
            } catch (const std::bad_alloc&) {
                status = ERROR_NOT_ENOUGH_MEMORY;
            }
        }
        if (system) api_.NetApiBufferFree(system);
        if (status != NERR_Success) {
            *Buffer = nullptr;
            return status;
        }
        *EntriesRead = *Buffer ? count : 0;
        if (ResumeHandle) *ResumeHandle = static_cast<uint32_t>(resume);
        return status;
    }

    DfsStatus Add(const char16_t* DfsEntryPath, const char16_t* ServerName,
                  const char16_t* ShareName, const char16_t* Comment, uint32_t Flags) override {
        return api_.NetDfsAdd(Argument(DfsEntryPath), Argument(ServerName), Argument(ShareName),
                              Argument(Comment), Flags);
    }

    DfsStatus GetInfo(const char16_t* DfsEntryPath, const char16_t* ServerName,
                      const char16_t* ShareName, uint32_t Level, uint8_t** Buffer) override {
        if (Level != 9 && Level != 50) return ERROR_INVALID_LEVEL;
        unsigned char* system = nullptr;
        unsigned long status = api_.NetDfsGetInfo(Argument(DfsEntryPath), Argument(ServerName),
                                                  Argument(ShareName), Level, &system);
        if (status == NERR_Success && system) {
            try {
                *Buffer = Level == 50 ? CopyLevel50(system) : CopyLevel9(system, 1);
            } catch (const std::bad_alloc&) {
                status = ERROR_NOT_ENOUGH_MEMORY;
            }
        }
        if (system) api_.NetApiBufferFree(system);
        return status;
    }

    DfsStatus SetInfo(const char16_t* DfsEntryPath, const char16_t* ServerName,
                      const char16_t* ShareName, uint32_t Level, const uint8_t* Buffer) override {
        // The system's structures, field by field: ours share their order, not their types.
        ::DFS_INFO_100 comment{};
        ::DFS_INFO_101 state{};
        ::DFS_INFO_102 timeout{};
        ::DFS_INFO_103 flags{};
        ::DFS_INFO_104 priority{};
        ::DFS_INFO_150 security{};
        unsigned char* system = nullptr;
        switch (Level) {
        case 100:
            comment.Comment = Argument(reinterpret_cast<const DFS_INFO_100*>(Buffer)->Comment);
            system = reinterpret_cast<unsigned char*>(&comment);
            break;
        case 101:
            state.State = reinterpret_cast<const DFS_INFO_101*>(Buffer)->State;
            system = reinterpret_cast<unsigned char*>(&state);
            break;
        case 102:
            timeout.Timeout = reinterpret_cast<const DFS_INFO_102*>(Buffer)->Timeout;
            system = reinterpret_cast<unsigned char*>(&timeout);
            break;
        case 103: {
            const auto* ours = reinterpret_cast<const DFS_INFO_103*>(Buffer);
            flags.PropertyFlagMask = ours->PropertyFlagMask;
            flags.PropertyFlags = ours->PropertyFlags;
            system = reinterpret_cast<unsigned char*>(&flags);
            break;
        }
        case 104: {
            const auto& ours = reinterpret_cast<const DFS_INFO_104*>(Buffer)->TargetPriority;
            priority.TargetPriority.TargetPriorityClass =
                static_cast<::DFS_TARGET_PRIORITY_CLASS>(ours.TargetPriorityClass);
            priority.TargetPriority.TargetPriorityRank = ours.TargetPriorityRank;
            system = reinterpret_cast<unsigned char*>(&priority);
            break;
        }
        case 150: {
            const auto* ours = reinterpret_cast<const DFS_INFO_150*>(Buffer);
            security.SdLengthReserved = ours->SdLengthReserved;
            security.pSecurityDescriptor =
                reinterpret_cast<PSECURITY_DESCRIPTOR>(ours->pSecurityDescriptor);
            system = reinterpret_cast<unsigned char*>(&security);
            break;
        }
        default:
            return ERROR_INVALID_LEVEL;
        }
        return api_.NetDfsSetInfo(Argument(DfsEntryPath), Argument(ServerName), Argument(ShareName),
                                  Level, system);
    }

    DfsStatus AddRootTarget(const char16_t* pDfsPath, const char16_t* pTargetPath,
                            uint32_t MajorVersion, const char16_t* pComment,
                            uint32_t Flags) override {
        return api_.NetDfsAddRootTarget(Argument(pDfsPath), Argument(pTargetPath), MajorVersion,
                                        Argument(pComment), Flags);
    }

    DfsStatus GetSecurity(const char16_t* DfsEntryPath, uint32_t SecurityInformation,
                          uint8_t** ppSecurityDescriptor,
                          uint32_t* lpcbSecurityDescriptor) override {
        void* system = nullptr;
        unsigned long size = 0;
        unsigned long status =
            api_.NetDfsGetSecurity(Argument(DfsEntryPath), SecurityInformation, &system, &size);
        if (status == NERR_Success && system && size) {
            auto* copy = static_cast<uint8_t*>(std::malloc(size));
            if (copy) {
                std::memcpy(copy, system, size);
                *ppSecurityDescriptor = copy;
                *lpcbSecurityDescriptor = static_cast<uint32_t>(size);
            } else {
                status = ERROR_NOT_ENOUGH_MEMORY;
            }
        }
        if (system) api_.NetApiBufferFree(system);
        return status;
    }

    DfsStatus SetSecurity(const char16_t* DfsEntryPath, uint32_t SecurityInformation,
                          const uint8_t* pSecurityDescriptor, uint32_t) override {
        return api_.NetDfsSetSecurity(Argument(DfsEntryPath), SecurityInformation,
                                      const_cast<uint8_t*>(pSecurityDescriptor));
    }

  private:
    NetApi32 api_;
};

} // namespace

namespace {

// The system's SECURITY_INFORMATION and PSECURITY_DESCRIPTOR are the types the table names.
unsigned long SystemGetSecurity(wchar_t* path, unsigned long information, void** descriptor,
                                unsigned long* size) {
    return ::NetDfsGetSecurity(path, information, descriptor, size);
}

unsigned long SystemSetSecurity(wchar_t* path, unsigned long information, void* descriptor) {
    return ::NetDfsSetSecurity(path, information, descriptor);
}

} // namespace

NetApi32 SystemNetApi32() {
    return {&::NetDfsEnum,    &::NetDfsAdd,           &::NetApiBufferFree, &::NetDfsGetInfo,
            &::NetDfsSetInfo, &::NetDfsAddRootTarget, &SystemGetSecurity,  &SystemSetSecurity};
}

std::shared_ptr<NetDfsApi> MakeWin32NetDfs(const NetApi32& api) {
    return std::make_shared<Win32NetDfs>(api);
}

} // namespace kestrune::win32
