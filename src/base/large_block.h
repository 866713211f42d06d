// Memory for a large buffer that is filled from its start. On Linux a block of a whole number
// of huge pages is aligned to them and offered to the system for them, so that filling it
// takes a page fault every 2 MiB instead of every 4 KiB; elsewhere it is an ordinary
// allocation.
#pragma once

#include <cstddef>
#include <memory>

namespace kestrune {

inline constexpr size_t kHugePageSize = size_t(2) << 20;

struct LargeBlockFree {
    size_t mapped = 0; // the size of a block the system mapped; 0 for one from new[]
    void operator()(char* block) const;
};
using LargeBlock = std::unique_ptr<char[], LargeBlockFree>;

// size bytes, not cleared.
LargeBlock NewLargeBlock(size_t size);

} // namespace kestrune
