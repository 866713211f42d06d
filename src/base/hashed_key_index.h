// Positions in a container found by a text key, keeping only the key's hash for each: a run over a
// hundred thousand entries holds a few bytes for each instead of a second copy of its key.
#pragma once

#include <cstddef>
#include <functional>
#include <string_view>
#include <unordered_map>

namespace kestrune {

class HashedKeyIndex {
  public:
    static constexpr size_t npos = static_cast<size_t>(-1);

    void Add(std::u16string_view key, size_t position) { positions_.emplace(Hash(key), position); }
    void Remove(std::u16string_view key, size_t position) {
        auto [first, last] = positions_.equal_range(Hash(key));
        for (auto it = first; it != last; ++it)
            if (it->second == position) {
                positions_.erase(it);
                return;
            }
    }
    // The lowest position added under key that holds(position) confirms, or npos: the hash
    // alone cannot tell two keys apart, the entry at the position can.
    template <typename Holds> size_t Find(std::u16string_view key, Holds holds) const {
        size_t found = npos;
        auto [first, last] = positions_.equal_range(Hash(key));
        for (auto it = first; it != last; ++it)
            if ((found == npos || it->second < found) && holds(it->second)) found = it->second;
        return found;
    }

  private:
    static size_t Hash(std::u16string_view key) { return std::hash<std::u16string_view>{}(key); }
    std::unordered_multimap<size_t, size_t> positions_;
};

} // namespace kestrune
