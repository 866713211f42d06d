// Packs enumeration records into one block that NetApiBufferFree releases, as the network
// interface hands them out. For backends and test fakes.
#pragma once

#include "netdfs/netdfs.h"

#include <optional>
#include <string>
#include <vector>

namespace kestrune {

struct DfsStorageRecord {
    std::u16string server;
    std::u16string share;
    // Level 9 only.
    uint32_t state = DFS_STORAGE_STATE_ONLINE;
    DFS_TARGET_PRIORITY priority{DfsSiteCostNormalPriorityClass, 0, 0};
};

struct DfsEntryRecord {
    std::u16string entryPath;
    std::optional<std::u16string> comment; // nullopt gives a null Comment
    std::vector<DfsStorageRecord> storages;
    // Level 9 only.
    uint32_t state = DFS_VOLUME_STATE_OK;
    uint32_t timeout = 0;
    uint32_t propertyFlags = 0;
    std::vector<uint8_t> securityDescriptor{}; // empty: none
};

// Bytes that a level 3 record takes in a buffer, strings included.
size_t PackedSize3(const DfsEntryRecord& entry);
size_t PackedSize9(const DfsEntryRecord& entry);
size_t PackedSize200(const std::u16string& name);

uint8_t* PackDfsInfo200(const std::vector<std::u16string>& names);
uint8_t* PackDfsInfo3(const std::vector<DfsEntryRecord>& entries);
uint8_t* PackDfsInfo9(const std::vector<DfsEntryRecord>& entries);
uint8_t* PackDfsInfo50(const DFS_INFO_50& info);

// A level 9 record as a record of our own (the reverse of PackDfsInfo9).
DfsEntryRecord UnpackDfsInfo9(const DFS_INFO_9& record);

} // namespace kestrune
