// The values of a few attributes that lookups name one entry by (cn, sAMAccountName, objectGUID
// and the like), as a directory indexes them: a search by such a value finds its entries
// without reading every other.
#pragma once

#include "platform/memory_store/entry_node.h"
#include "platform/store/filter.h"

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kestrune::store {

class ValueIndex {
  public:
    // Whether the index holds the values of the attribute (type compared without regard to
    // case).
    static bool Holds(std::string_view type);

    // Until it is made, the index holds nothing and Add and Remove do nothing: a load, or a
    // run that never looks a value up, does not pay for it.
    bool Made() const { return made_; }
    void Make(const std::vector<EntryNode*>& entries, const AttributeTypes& types);

    // The node's values, as its entry holds them now: added after the node is made or its
    // entry changes, removed before the node goes or its entry changes.
    void Add(EntryNode* node, const AttributeTypes& types);
    void Remove(EntryNode* node, const AttributeTypes& types);

    // Each entry that holds the term's value (or, for a prefix term, a value beginning with it),
    // once per such value.
    void Find(const IndexTerm& term, const std::function<void(EntryNode*)>& found) const;

  private:
    // Folded type -> value (folded, unless the attribute is binary) -> the entries holding it.
    std::unordered_map<std::string, std::multimap<std::string, EntryNode*>> values_;
    bool made_ = false;
};

} // namespace kestrune::store
