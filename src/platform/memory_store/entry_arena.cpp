#include "platform/memory_store/entry_arena.h"

namespace kestrune::store {

char* EntryArena::Allocate(size_t size) {
    allocated_ += size;
    if (size > kSmallBlock / 4) {
        // A large entry gets a block of its own: the one being filled goes on.
        large_.push_back(NewLargeBlock(size));
        return large_.back().get();
    }
    if (size > left_) {
        size_t block = blocks_.size() < kSmallBlocks ? kSmallBlock : kLargeBlock;
        blocks_.push_back(NewLargeBlock(block));
        next_ = blocks_.back().get();
        left_ = block;
    }
    char* at = next_;
    next_ += size;
    left_ -= size;
    return at;
}

} // namespace kestrune::store
