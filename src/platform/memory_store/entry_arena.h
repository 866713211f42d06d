// Memory for the packed entries of one store, carved from large blocks one after another: a
// load of many entries pays neither an allocation for each nor the gaps between them. The
// space of an entry replaced or removed is only counted; when most of the memory is such
// space, the store moves its entries into a new arena.
#pragma once

#include "base/large_block.h"

#include <cstddef>
#include <vector>

namespace kestrune::store {

class EntryArena {
  public:
    EntryArena() = default;
    EntryArena(const EntryArena&) = delete;
    EntryArena& operator=(const EntryArena&) = delete;
    EntryArena(EntryArena&&) = default;
    EntryArena& operator=(EntryArena&&) = default;

    // size bytes that stay where they are until the arena goes.
    char* Allocate(size_t size);
    // size bytes given with Allocate are no longer used.
    void Release(size_t size) { unused_ += size; }

    size_t Used() const { return allocated_ - unused_; }
    size_t Unused() const { return unused_; }
    // Whether moving the live entries into a new arena would give back enough to be worth it.
    bool WorthCompacting() const { return unused_ >= kSmallBlock && unused_ > allocated_ / 2; }

  private:
    // The first blocks are small, for the many small stores; a large store's blocks are large.
    static constexpr size_t kSmallBlock = size_t(256) << 10;
    static constexpr size_t kLargeBlock = kHugePageSize;
    static constexpr size_t kSmallBlocks = 8;
    std::vector<LargeBlock> blocks_;
    std::vector<LargeBlock> large_; // one entry each
    size_t left_ = 0;               // free bytes at the end of the last block
    char* next_ = nullptr;
    size_t allocated_ = 0;
    size_t unused_ = 0;
};

} // namespace kestrune::store
