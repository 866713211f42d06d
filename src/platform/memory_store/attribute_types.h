// Attribute type names, each spelling kept once for all the entries of a store: an entry
// refers to its types by number instead of holding a copy of every name.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>

namespace kestrune::store {

class AttributeTypes {
  public:
    AttributeTypes() = default;
    AttributeTypes(const AttributeTypes&) = delete;
    AttributeTypes& operator=(const AttributeTypes&) = delete;

    // The number of the spelling, the same for every later call with it. Spellings that
    // differ only in case get numbers of their own: an entry reads back as it was written.
    uint32_t Intern(std::string_view spelling);
    // The spelling a number stands for.
    std::string_view Name(uint32_t id) const { return names_[id]; }
    size_t Count() const { return names_.size(); }

  private:
    std::deque<std::string> names_; // never moves an element, so the views below stay good
    std::unordered_map<std::string_view, uint32_t> ids_;
};

} // namespace kestrune::store
