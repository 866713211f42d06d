// Positions in a container found by a text key, keeping only 32 bits of the key's hash for each:
// a run over a hundred thousand entries holds about 12 bytes for each instead of a second copy
// of its key (or a node of a hash map, which takes four times as much).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace kestrune {

class HashedKeyIndex {
  public:
    static constexpr size_t npos = static_cast<size_t>(-1);

    void Add(std::u16string_view key, size_t position);
    // Room for count entries in all, made at once: growing to it holds the old table and the new
    // one together, at the end of a long run.
    void Reserve(size_t count);
    void Remove(std::u16string_view key, size_t position);
    // The lowest position added under key that holds(position) confirms, or npos: the hash
    // alone cannot tell two keys apart, the entry at the position can.
    template <typename Holds> size_t Find(std::u16string_view key, Holds holds) const {
        size_t found = npos;
        if (slots_.empty()) return found;
        const uint32_t hash = Hash(key);
        for (size_t at = Start(hash); slots_[at].position != kEmpty; at = Next(at)) {
            const Slot& slot = slots_[at];
            if (slot.hash == hash && slot.position != kRemoved &&
                (found == npos || slot.position < found) && holds(slot.position))
                found = slot.position;
        }
        return found;
    }

  private:
    // Open addressing: a slot is empty (ends a search), removed (a search goes past it) or holds
    // a position.
    static constexpr uint32_t kEmpty = UINT32_MAX, kRemoved = UINT32_MAX - 1;
    struct Slot {
        uint32_t hash = 0;
        uint32_t position = kEmpty;
    };

    static uint32_t Hash(std::u16string_view key) {
        const uint64_t full = std::hash<std::u16string_view>{}(key);
        return static_cast<uint32_t>(full ^ (full >> 32));
    }
    // The table's size is a power of two; the hash is spread over it by a multiplication, so
    // that keys differing only in their high bits still start apart.
    size_t Start(uint32_t hash) const {
        return static_cast<size_t>((uint64_t(hash) * 0x9E3779B97F4A7C15u) >> 32) &
               (slots_.size() - 1);
    }
    size_t Next(size_t at) const { return (at + 1) & (slots_.size() - 1); }
    void Place(uint32_t hash, uint32_t position);
    void Rebuild(size_t size);

    std::vector<Slot> slots_;
    size_t used_ = 0; // slots that hold a position or are removed
};

} // namespace kestrune
