#include "platform/memory_store/value_index.h"

#include "base/ascii.h"
#include "platform/store/dn.h"

namespace kestrune::store {

namespace {

std::string IndexValue(std::string_view type, std::string_view value) {
    return IsBinaryAttribute(type) ? std::string(value) : FoldCase(value);
}

// Calls visit with the index's values of the type and the key of the value, for each value of
// the entry that the index holds.
template <typename Values, typename Visit>
void ForEachIndexedValue(const StoredEntry& entry, const AttributeTypes& types, Values& values,
                         Visit visit) {
    for (StoredEntry::Attribute a : entry.AllAttributes()) {
        std::string_view type = types.Name(a.type);
        if (!ValueIndex::Holds(type)) continue;
        auto& byValue = values[FoldCase(type)];
        for (std::string_view v : a.values)
            visit(byValue, IndexValue(type, v));
    }
}

} // namespace

bool ValueIndex::Holds(std::string_view type) {
    static const char* const indexed[] = {"msDFS-LinkPathv2", "cn",        "name",
                                          "sAMAccountName",   "dnsRoot",   "nETBIOSName",
                                          "lDAPDisplayName",  "objectGUID"};
    for (const char* name : indexed)
        if (SameTextAscii(name, type)) return true;
    return false;
}

void ValueIndex::Make(const std::vector<EntryNode*>& entries, const AttributeTypes& types) {
    if (made_) return;
    made_ = true;
    for (EntryNode* node : entries)
        Add(node, types);
}

void ValueIndex::Add(EntryNode* node, const AttributeTypes& types) {
    if (!made_) return;
    ForEachIndexedValue(node->entry, types, values_, [&](auto& byValue, std::string key) {
        byValue.emplace(std::move(key), node);
    });
}

void ValueIndex::Remove(EntryNode* node, const AttributeTypes& types) {
    if (!made_) return;
    ForEachIndexedValue(node->entry, types, values_, [&](auto& byValue, const std::string& key) {
        auto [first, last] = byValue.equal_range(key);
        for (auto it = first; it != last; ++it) {
            if (it->second == node) {
                byValue.erase(it);
                break;
            }
        }
    });
}

void ValueIndex::Find(const IndexTerm& term, const std::function<void(EntryNode*)>& found) const {
    auto values = values_.find(FoldCase(term.type));
    if (values == values_.end()) return;
    const auto& byValue = values->second;
    for (auto it = byValue.lower_bound(term.value); it != byValue.end(); ++it) {
        bool hit = term.prefix ? it->first.compare(0, term.value.size(), term.value) == 0
                               : it->first == term.value;
        if (!hit) break;
        found(it->second);
    }
}

} // namespace kestrune::store
