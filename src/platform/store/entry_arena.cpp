#include "platform/store/entry_arena.h"

#include <cstdint>
#ifdef __linux__
#include <sys/mman.h>
#endif

namespace kestrune::store {

void EntryArena::BlockFree::operator()(char* block) const {
#ifdef __linux__
    if (mapped) {
        ::munmap(block, mapped);
        return;
    }
#endif
    delete[] block;
}

EntryArena::Block EntryArena::NewBlock(size_t size) {
#ifdef __linux__
    if (size == kLargeBlock) {
        // Aligned to its size, so that the system can back it with one huge page: a large load
        // then takes one page fault a block instead of one every 4 KiB.
        void* mapped =
            ::mmap(nullptr, 2 * size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapped != MAP_FAILED) {
            auto start = reinterpret_cast<uintptr_t>(mapped);
            uintptr_t aligned = (start + size - 1) & ~(uintptr_t(size) - 1);
            if (aligned > start) ::munmap(mapped, aligned - start);
            if (aligned + size < start + 2 * size)
                ::munmap(reinterpret_cast<void*>(aligned + size),
                         start + 2 * size - aligned - size);
            ::madvise(reinterpret_cast<void*>(aligned), size, MADV_HUGEPAGE);
            return Block(reinterpret_cast<char*>(aligned), BlockFree{size});
        }
    }
#endif
    return Block(new char[size], BlockFree{});
}

char* EntryArena::Allocate(size_t size) {
    allocated_ += size;
    if (size > kSmallBlock / 4) {
        // A large entry gets a block of its own: the one being filled goes on.
        large_.push_back(NewBlock(size));
        return large_.back().get();
    }
    if (size > left_) {
        size_t block = blocks_.size() < kSmallBlocks ? kSmallBlock : kLargeBlock;
        blocks_.push_back(NewBlock(block));
        next_ = blocks_.back().get();
        left_ = block;
    }
    char* at = next_;
    next_ += size;
    left_ -= size;
    return at;
}

} // namespace kestrune::store
