#include "netdfs/netdfs_buffer.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace kestrune {
namespace {

constexpr size_t Align(size_t n) {
    return (n + 7) & ~size_t(7);
}
size_t StringBytes(const std::u16string& s) {
    return (s.size() + 1) * sizeof(char16_t);
}

// Hands out aligned pieces of one malloc'd block (released with NetApiBufferFree).
class Arena {
  public:
    explicit Arena(size_t size) : base_(static_cast<uint8_t*>(std::malloc(size ? size : 1))) {
        if (!base_) throw std::bad_alloc();
    }
    template <typename T> T* Take(size_t count) {
        T* at = reinterpret_cast<T*>(base_ + used_);
        used_ += Align(count * sizeof(T));
        return at;
    }
    char16_t* Copy(const std::u16string& s) {
        char16_t* at = Take<char16_t>(s.size() + 1);
        std::memcpy(at, s.c_str(), StringBytes(s));
        return at;
    }
    uint8_t* Release() { return base_; }

  private:
    uint8_t* base_;
    size_t used_ = 0;
};

} // namespace

size_t PackedSize200(const std::u16string& name) {
    return Align(sizeof(DFS_INFO_200)) + Align(StringBytes(name));
}

size_t PackedSize3(const DfsEntryRecord& entry) {
    size_t size = Align(sizeof(DFS_INFO_3)) + Align(StringBytes(entry.entryPath));
    if (entry.comment) size += Align(StringBytes(*entry.comment));
    size += Align(entry.storages.size() * sizeof(DFS_STORAGE_INFO));
    for (const DfsStorageRecord& s : entry.storages)
        size += Align(StringBytes(s.server)) + Align(StringBytes(s.share));
    return size;
}

size_t PackedSize9(const DfsEntryRecord& entry) {
    size_t size = Align(sizeof(DFS_INFO_9)) + Align(StringBytes(entry.entryPath));
    if (entry.comment) size += Align(StringBytes(*entry.comment));
    size += Align(entry.securityDescriptor.size());
    size += Align(entry.storages.size() * sizeof(DFS_STORAGE_INFO_1));
    for (const DfsStorageRecord& s : entry.storages)
        size += Align(StringBytes(s.server)) + Align(StringBytes(s.share));
    return size;
}

uint8_t* PackDfsInfo200(const std::vector<std::u16string>& names) {
    size_t size = 0;
    for (const auto& name : names)
        size += PackedSize200(name);
    Arena arena(size);
    DFS_INFO_200* records = arena.Take<DFS_INFO_200>(names.size());
    for (size_t i = 0; i < names.size(); ++i)
        records[i].FtDfsName = arena.Copy(names[i]);
    return arena.Release();
}

uint8_t* PackDfsInfo3(const std::vector<DfsEntryRecord>& entries) {
    size_t size = 0;
    for (const auto& entry : entries)
        size += PackedSize3(entry);
    Arena arena(size);
    DFS_INFO_3* records = arena.Take<DFS_INFO_3>(entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        const DfsEntryRecord& entry = entries[i];
        DFS_INFO_3& r = records[i];
        r.EntryPath = arena.Copy(entry.entryPath);
        r.Comment = entry.comment ? arena.Copy(*entry.comment) : nullptr;
        r.State = 1; // DFS_VOLUME_STATE_OK
        r.NumberOfStorages = static_cast<uint32_t>(entry.storages.size());
        r.Storage =
            entry.storages.empty() ? nullptr : arena.Take<DFS_STORAGE_INFO>(entry.storages.size());
        for (size_t s = 0; s < entry.storages.size(); ++s) {
            r.Storage[s].State = 2; // DFS_STORAGE_STATE_ONLINE
            r.Storage[s].ServerName = arena.Copy(entry.storages[s].server);
            r.Storage[s].ShareName = arena.Copy(entry.storages[s].share);
        }
    }
    return arena.Release();
}

uint8_t* PackDfsInfo9(const std::vector<DfsEntryRecord>& entries) {
    size_t size = 0;
    for (const auto& entry : entries)
        size += PackedSize9(entry);
    Arena arena(size);
    DFS_INFO_9* records = arena.Take<DFS_INFO_9>(entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        const DfsEntryRecord& entry = entries[i];
        DFS_INFO_9& r = records[i];
        r = DFS_INFO_9{};
        r.EntryPath = arena.Copy(entry.entryPath);
        r.Comment = entry.comment ? arena.Copy(*entry.comment) : nullptr;
        r.State = entry.state;
        r.Timeout = entry.timeout;
        r.PropertyFlags = entry.propertyFlags;
        if (!entry.securityDescriptor.empty()) {
            r.SecurityDescriptorLength = static_cast<uint32_t>(entry.securityDescriptor.size());
            r.pSecurityDescriptor = arena.Take<uint8_t>(entry.securityDescriptor.size());
            std::memcpy(r.pSecurityDescriptor, entry.securityDescriptor.data(),
                        entry.securityDescriptor.size());
        }
        r.NumberOfStorages = static_cast<uint32_t>(entry.storages.size());
        r.Storage = entry.storages.empty() ? nullptr
                                           : arena.Take<DFS_STORAGE_INFO_1>(entry.storages.size());
        for (size_t s = 0; s < entry.storages.size(); ++s) {
            r.Storage[s].State = entry.storages[s].state;
            r.Storage[s].ServerName = arena.Copy(entry.storages[s].server);
            r.Storage[s].ShareName = arena.Copy(entry.storages[s].share);
            r.Storage[s].TargetPriority = entry.storages[s].priority;
        }
    }
    return arena.Release();
}

DfsEntryRecord UnpackDfsInfo9(const DFS_INFO_9& r) {
    auto text = [](const char16_t* t) { return t ? std::u16string(t) : std::u16string(); };
    DfsEntryRecord entry;
    entry.entryPath = text(r.EntryPath);
    if (r.Comment) entry.comment = text(r.Comment);
    entry.state = r.State;
    entry.timeout = r.Timeout;
    entry.propertyFlags = r.PropertyFlags;
    if (r.pSecurityDescriptor && r.SecurityDescriptorLength)
        entry.securityDescriptor.assign(r.pSecurityDescriptor,
                                        r.pSecurityDescriptor + r.SecurityDescriptorLength);
    for (uint32_t s = 0; s < r.NumberOfStorages && r.Storage; ++s)
        entry.storages.push_back({text(r.Storage[s].ServerName), text(r.Storage[s].ShareName),
                                  r.Storage[s].State, r.Storage[s].TargetPriority});
    return entry;
}

} // namespace kestrune
