// The memory store's warnings (records left out when a file is read) collected for a scope
// instead of going to standard error; the sink is process-wide and is put back at the end.
#pragma once

#include "platform/memory_store/memory_store.h"

#include <string>
#include <vector>

namespace kestrune::testing {

class CapturedStoreWarnings {
  public:
    CapturedStoreWarnings() {
        store::MemoryStore::SetWarningSink([this](const std::string& w) { lines.push_back(w); });
    }
    ~CapturedStoreWarnings() { store::MemoryStore::SetWarningSink({}); }
    CapturedStoreWarnings(const CapturedStoreWarnings&) = delete;
    CapturedStoreWarnings& operator=(const CapturedStoreWarnings&) = delete;

    std::vector<std::string> lines;
};

} // namespace kestrune::testing
