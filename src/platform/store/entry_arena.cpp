#include "platform/store/entry_arena.h"

namespace kestrune::store {

char* EntryArena::Allocate(size_t size) {
    allocated_ += size;
    if (size > kBlock / 4) {
        // A large entry gets a block of its own: the one being filled goes on.
        large_.push_back(std::make_unique_for_overwrite<char[]>(size));
        return large_.back().get();
    }
    if (size > left_) {
        blocks_.push_back(std::make_unique_for_overwrite<char[]>(kBlock));
        next_ = blocks_.back().get();
        left_ = kBlock;
    }
    char* at = next_;
    next_ += size;
    left_ -= size;
    return at;
}

} // namespace kestrune::store
