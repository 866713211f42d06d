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
};

struct DfsEntryRecord {
    std::u16string entryPath;
    std::optional<std::u16string> comment; // nullopt gives a null Comment
    std::vector<DfsStorageRecord> storages;
};

// Bytes that a level 3 record takes in a buffer, strings included.
size_t PackedSize3(const DfsEntryRecord& entry);
size_t PackedSize200(const std::u16string& name);

uint8_t* PackDfsInfo200(const std::vector<std::u16string>& names);
uint8_t* PackDfsInfo3(const std::vector<DfsEntryRecord>& entries);

} // namespace kestrune
