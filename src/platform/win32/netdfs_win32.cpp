#include "platform/win32/netdfs_win32.h"

#include "netdfs/netdfs_buffer.h"

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

class Win32NetDfs : public NetDfsApi {
  public:
    explicit Win32NetDfs(const NetApi32& api) : api_(api) {}

    uint32_t Enum(const char16_t* DfsName, uint32_t Level, uint32_t PrefMaxLen, uint8_t** Buffer,
                  uint32_t* EntriesRead, uint32_t* ResumeHandle) override {
        if (Level != 200 && Level != 3) return ERROR_INVALID_LEVEL;
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
                *Buffer = Level == 200 ? CopyLevel200(system, count) : CopyLevel3(system, count);
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

    uint32_t Add(const char16_t* DfsEntryPath, const char16_t* ServerName,
                 const char16_t* ShareName, const char16_t* Comment, uint32_t Flags) override {
        return api_.NetDfsAdd(Argument(DfsEntryPath), Argument(ServerName), Argument(ShareName),
                              Argument(Comment), Flags);
    }

  private:
    NetApi32 api_;
};

} // namespace

NetApi32 SystemNetApi32() {
    return {&::NetDfsEnum, &::NetDfsAdd, &::NetApiBufferFree};
}

std::shared_ptr<NetDfsApi> MakeWin32NetDfs(const NetApi32& api) {
    return std::make_shared<Win32NetDfs>(api);
}

} // namespace kestrune::win32
