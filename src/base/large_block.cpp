#include "base/large_block.h"

#include <cstdint>
#ifdef __linux__
#include <malloc.h>
#include <sys/mman.h>
#endif

namespace kestrune {

void LargeBlockFree::operator()(char* block) const {
#ifdef __linux__
    if (mapped) {
        ::munmap(block, mapped);
        return;
    }
#endif
    delete[] block;
}

LargeBlock NewLargeBlock(size_t size) {
#ifdef __linux__
    if (size > 0 && size % kHugePageSize == 0) {
        // Mapped with a huge page to spare, then trimmed to an aligned run of them.
        size_t span = size + kHugePageSize;
        void* mapped =
            ::mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapped != MAP_FAILED) {
            auto start = reinterpret_cast<uintptr_t>(mapped);
            uintptr_t aligned = (start + kHugePageSize - 1) & ~(uintptr_t(kHugePageSize) - 1);
            if (aligned > start) ::munmap(mapped, aligned - start);
            if (aligned + size < start + span)
                ::munmap(reinterpret_cast<void*>(aligned + size), start + span - aligned - size);
            ::madvise(reinterpret_cast<void*>(aligned), size, MADV_HUGEPAGE);
            return LargeBlock(reinterpret_cast<char*>(aligned), LargeBlockFree{size});
        }
    }
#endif
    return LargeBlock(new char[size], LargeBlockFree{});
}

void ReturnLargeBlocksWhenFreed() {
#ifdef __GLIBC__
    // A threshold that is set stays where it is set.
    mallopt(M_MMAP_THRESHOLD, static_cast<int>(kOwnMappingBytes));
#endif
}

} // namespace kestrune
