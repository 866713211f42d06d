// One entry of the memory store's tree: the entry as it is stored, where it sits, and when it
// came.
#pragma once

#include "platform/memory_store/stored_entry.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kestrune::store {

struct EntryNode {
    uint64_t seq = 0; // order of addition
    std::string key;  // the normalized DN
    StoredEntry entry;
    EntryNode* parent = nullptr;
    std::vector<EntryNode*> children; // in the order they were added
    // Not in the file: stands for an object the directory must hold (the parent of an
    // exported entry, the rootDSE of an export); the file's own record of it replaces it.
    bool implied = false;
};

} // namespace kestrune::store
