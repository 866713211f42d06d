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

// Every allocation of at least this many bytes gets memory of its own from the system, which
// goes back when it is freed.
inline constexpr size_t kOwnMappingBytes = size_t(1) << 20;

// Called once at start, before the program allocates much. The C library's heap on Linux
// otherwise takes the size of the largest block freed as where blocks of their own begin: after
// a restore has read and freed a file of 10 MB, its lists and indexes of up to that size come
// from the heap, and when they are freed they leave room there that the process keeps.
// Elsewhere it does nothing.
void ReturnLargeBlocksWhenFreed();

} // namespace kestrune
