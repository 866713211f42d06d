// An entry as the memory store keeps it: the DN and every value packed together in the store's
// EntryArena, attribute types by their number in the store's AttributeTypes. A directory of
// many small entries then costs about what its text does, not an allocation per value.
// A StoredEntry only views those bytes: the store gives them back to the arena (Release) when
// it replaces or removes the entry, and moves them when it compacts the arena.
#pragma once

#include "platform/memory_store/attribute_types.h"
#include "platform/memory_store/entry_arena.h"
#include "platform/store/directory_store.h"

#include <cstddef>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrune::store {

namespace packed {
// Numbers are written 7 bits a byte, low first; the high bit says another byte follows.
inline uint32_t ReadNumber(const char*& at) {
    uint32_t value = 0;
    for (int shift = 0;; shift += 7) {
        auto byte = static_cast<unsigned char>(*at++);
        value |= static_cast<uint32_t>(byte & 0x7F) << shift;
        if (!(byte & 0x80)) return value;
    }
}
} // namespace packed

class StoredEntry {
  public:
    // The values of one attribute, read in place.
    class Values {
      public:
        class Iterator {
          public:
            using iterator_category = std::forward_iterator_tag;
            using value_type = std::string_view;
            using difference_type = std::ptrdiff_t;
            using reference = std::string_view;
            using pointer = void;
            Iterator() = default;
            Iterator(const char* at, uint32_t left) : at_(at), left_(left) {}
            std::string_view operator*() const {
                const char* p = at_;
                uint32_t size = packed::ReadNumber(p);
                return {p, size};
            }
            Iterator& operator++() {
                uint32_t size = packed::ReadNumber(at_);
                at_ += size;
                --left_;
                return *this;
            }
            Iterator operator++(int) {
                Iterator before = *this;
                ++*this;
                return before;
            }
            bool operator==(const Iterator& other) const { return left_ == other.left_; }

          private:
            const char* at_ = nullptr;
            uint32_t left_ = 0;
        };

        Values() = default;
        Values(const char* first, uint32_t count) : first_(first), count_(count) {}
        Iterator begin() const { return {first_, count_}; }
        Iterator end() const { return {nullptr, 0}; }
        size_t size() const { return count_; }
        bool empty() const { return count_ == 0; }
        std::string_view front() const { return *begin(); }
        // The values as the directory store hands them out.
        std::vector<std::string> Copy() const {
            std::vector<std::string> out;
            out.reserve(count_);
            for (std::string_view v : *this)
                out.emplace_back(v);
            return out;
        }

      private:
        const char* first_ = nullptr;
        uint32_t count_ = 0;
    };

    struct Attribute {
        uint32_t type = 0; // its number in the store's AttributeTypes
        Values values;
    };

    // The attributes in the order the entry has them.
    class Attributes {
      public:
        class Iterator {
          public:
            using value_type = Attribute;
            using difference_type = std::ptrdiff_t;
            Iterator() = default;
            Iterator(const char* at, uint32_t left) : at_(at), left_(left) {}
            Attribute operator*() const;
            Iterator& operator++();
            bool operator==(const Iterator& other) const { return left_ == other.left_; }

          private:
            const char* at_ = nullptr;
            uint32_t left_ = 0;
        };
        Attributes(const char* first, uint32_t count) : first_(first), count_(count) {}
        Iterator begin() const { return {first_, count_}; }
        Iterator end() const { return {nullptr, 0}; }
        size_t size() const { return count_; }

      private:
        const char* first_;
        uint32_t count_;
    };

    StoredEntry() = default; // the empty DN, no attributes
    StoredEntry(const Entry& entry, AttributeTypes& types, EntryArena& arena);

    std::string_view Dn() const;
    Attributes AllAttributes() const;
    // The values of the attribute (type compared without regard to case); nothing when the
    // entry has no such attribute (an attribute may have no values).
    std::optional<Values> Find(const AttributeTypes& types, std::string_view type) const;
    // The entry as the directory store hands entries out.
    Entry ToEntry(const AttributeTypes& types) const;
    // Gives the entry another DN, its attributes unchanged.
    void SetDn(std::string_view dn, EntryArena& arena);
    // Gives the bytes back to the arena; the entry is then empty.
    void Release(EntryArena& arena);
    // Copies the bytes into another arena (the old one is about to go).
    void MoveTo(EntryArena& arena);

  private:
    const char* data_ = nullptr; // null: the empty DN and no attributes
    size_t size_ = 0;
};

} // namespace kestrune::store
