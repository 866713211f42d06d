#include "platform/memory_store/attribute_types.h"

namespace kestrune::store {

uint32_t AttributeTypes::Intern(std::string_view spelling) {
    auto it = ids_.find(spelling);
    if (it != ids_.end()) return it->second;
    uint32_t id = static_cast<uint32_t>(names_.size());
    names_.emplace_back(spelling);
    ids_.emplace(names_.back(), id);
    return id;
}

} // namespace kestrune::store
