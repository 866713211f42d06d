#include "base/hashed_key_index.h"

#include <stdexcept>

namespace kestrune {

void HashedKeyIndex::Add(std::u16string_view key, size_t position) {
    if (position >= kRemoved) throw std::length_error("HashedKeyIndex: position out of range");
    // At most three quarters of the slots in use, so that a search meets an empty one soon.
    if ((used_ + 1) * 4 > slots_.size() * 3) {
        size_t live = 0;
        for (const Slot& slot : slots_)
            live += slot.position < kRemoved;
        size_t size = slots_.empty() ? 16 : slots_.size();
        while ((live + 1) * 2 > size)
            size *= 2;
        Rebuild(size);
    }
    Place(Hash(key), static_cast<uint32_t>(position));
}

void HashedKeyIndex::Reserve(size_t count) {
    size_t size = slots_.empty() ? 16 : slots_.size();
    while (count * 4 > size * 3)
        size *= 2;
    if (size > slots_.size()) Rebuild(size);
}

void HashedKeyIndex::Remove(std::u16string_view key, size_t position) {
    if (slots_.empty()) return;
    const uint32_t hash = Hash(key);
    for (size_t at = Start(hash); slots_[at].position != kEmpty; at = Next(at))
        if (slots_[at].hash == hash && slots_[at].position == position) {
            slots_[at].position = kRemoved;
            return;
        }
}

void HashedKeyIndex::Place(uint32_t hash, uint32_t position) {
    size_t at = Start(hash);
    while (slots_[at].position != kEmpty)
        at = Next(at);
    slots_[at] = {hash, position};
    ++used_;
}

void HashedKeyIndex::Rebuild(size_t size) {
    std::vector<Slot> old(size);
    old.swap(slots_);
    used_ = 0;
    for (const Slot& slot : old)
        if (slot.position < kRemoved) Place(slot.hash, slot.position);
}

} // namespace kestrune
