#include "netdfs/netdfs_buffer.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>

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

namespace {

// One buffer of the records of items: the sizes summed first, then each record filled in place.
template <typename Record, typename Item, typename SizeOf, typename Fill>
uint8_t* PackRecords(const std::vector<Item>& items, SizeOf sizeOf, Fill fill) {
    size_t size = 0;
    for (const Item& item : items)
        size += sizeOf(item);
    Arena arena(size);
    Record* records = arena.Take<Record>(items.size());
    for (size_t i = 0; i < items.size(); ++i) {
        records[i] = Record{};
        fill(records[i], items[i], arena);
    }
    return arena.Release();
}

// The entry's path, comment and storages, as levels 3 and 9 have them alike.
template <typename Record> void FillEntry(Record& r, const DfsEntryRecord& entry, Arena& arena) {
    using Storage = std::remove_pointer_t<decltype(r.Storage)>;
    r.EntryPath = arena.Copy(entry.entryPath);
    r.Comment = entry.comment ? arena.Copy(*entry.comment) : nullptr;
    r.NumberOfStorages = static_cast<uint32_t>(entry.storages.size());
    r.Storage = entry.storages.empty() ? nullptr : arena.Take<Storage>(entry.storages.size());
    for (size_t s = 0; s < entry.storages.size(); ++s) {
        r.Storage[s] = Storage{};
        r.Storage[s].ServerName = arena.Copy(entry.storages[s].server);
        r.Storage[s].ShareName = arena.Copy(entry.storages[s].share);
    }
}

} // namespace

uint8_t* PackDfsInfo200(const std::vector<std::u16string>& names) {
    return PackRecords<DFS_INFO_200>(names, PackedSize200,
                                     [](DFS_INFO_200& r, const std::u16string& name, Arena& arena) {
                                         r.FtDfsName = arena.Copy(name);
                                     });
}

uint8_t* PackDfsInfo3(const std::vector<DfsEntryRecord>& entries) {
    return PackRecords<DFS_INFO_3>(entries, PackedSize3,
                                   [](DFS_INFO_3& r, const DfsEntryRecord& entry, Arena& arena) {
                                       FillEntry(r, entry, arena);
                                       r.State = 1; // DFS_VOLUME_STATE_OK
                                       for (uint32_t s = 0; s < r.NumberOfStorages; ++s)
                                           r.Storage[s].State = 2; // DFS_STORAGE_STATE_ONLINE
                                   });
}

uint8_t* PackDfsInfo9(const std::vector<DfsEntryRecord>& entries) {
    return PackRecords<DFS_INFO_9>(
        entries, PackedSize9, [](DFS_INFO_9& r, const DfsEntryRecord& entry, Arena& arena) {
            FillEntry(r, entry, arena);
            r.State = entry.state;
            r.Timeout = entry.timeout;
            r.PropertyFlags = entry.propertyFlags;
            if (!entry.securityDescriptor.empty()) {
                r.SecurityDescriptorLength = static_cast<uint32_t>(entry.securityDescriptor.size());
                r.pSecurityDescriptor = arena.Take<uint8_t>(entry.securityDescriptor.size());
                std::memcpy(r.pSecurityDescriptor, entry.securityDescriptor.data(),
                            entry.securityDescriptor.size());
            }
            for (uint32_t s = 0; s < r.NumberOfStorages; ++s) {
                r.Storage[s].State = entry.storages[s].state;
                r.Storage[s].TargetPriority = entry.storages[s].priority;
            }
        });
}

uint8_t* PackDfsInfo50(const DFS_INFO_50& info) {
    Arena arena(sizeof(DFS_INFO_50));
    *arena.Take<DFS_INFO_50>(1) = info;
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
