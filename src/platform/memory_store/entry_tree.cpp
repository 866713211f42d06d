// The memory store's entries: the tree of nodes by normalized DN, a subtree renamed, the value
// index and the arena that holds the entries' bytes.
#include "platform/memory_store/memory_store.h"

#include "base/ascii.h"
#include "platform/store/dn.h"
#include "platform/store/filter.h"

#include <algorithm>

namespace kestrune::store {

namespace {

// The attributes kept in the index: those that lookups name one entry by.
bool IsIndexed(std::string_view type) {
    static const char* const indexed[] = {"msDFS-LinkPathv2", "cn",        "name",
                                          "sAMAccountName",   "dnsRoot",   "nETBIOSName",
                                          "lDAPDisplayName",  "objectGUID"};
    for (const char* name : indexed)
        if (SameTextAscii(name, type)) return true;
    return false;
}

std::string IndexValue(std::string_view type, std::string_view value) {
    return IsBinaryAttribute(type) ? std::string(value) : FoldCase(value);
}

// Calls visit with the index's values of the type and the key of the value, for each value of
// the entry that the index holds.
template <typename Index, typename Visit>
void ForEachIndexedValue(const StoredEntry& entry, const AttributeTypes& types, Index& index,
                         Visit visit) {
    for (StoredEntry::Attribute a : entry.AllAttributes()) {
        std::string_view type = types.Name(a.type);
        if (!IsIndexed(type)) continue;
        auto& byValue = index[FoldCase(type)];
        for (std::string_view v : a.values)
            visit(byValue, IndexValue(type, v));
    }
}

} // namespace

MemoryStore::Node* MemoryStore::FindNode(std::string_view dn) const {
    std::string key = NormalizeDn(dn);
    // A malformed DN normalizes to the rootDSE's empty key but names no entry.
    std::vector<std::string> rdns;
    if (key.empty() && (!SplitDn(dn, rdns) || !rdns.empty())) return nullptr;
    auto it = nodes_.find(key);
    return it == nodes_.end() ? nullptr : it->second.get();
}

void MemoryStore::CollectSubtree(const Node* node, bool wholeForest,
                                 std::vector<const Node*>& out) const {
    out.push_back(node);
    for (const Node* child : node->children)
        if (wholeForest || !schema_.IsContextHead(child->key))
            CollectSubtree(child, wholeForest, out);
}

void MemoryStore::Renamed(Node* node, const std::string& newDn,
                          std::vector<std::pair<Node*, std::string>>& out) const {
    out.emplace_back(node, newDn);
    for (Node* child : node->children)
        Renamed(child, JoinDn(FirstRdn(child->entry.Dn()), newDn), out);
}

void MemoryStore::Rekey(const std::vector<std::pair<Node*, std::string>>& renamed) {
    KeepCursorKeys();
    // Every node leaves the map before any returns, so that no new key meets an old one.
    std::vector<std::unique_ptr<Node>> owned;
    owned.reserve(renamed.size());
    for (const auto& [node, dn] : renamed) {
        auto it = nodes_.find(node->key);
        owned.push_back(std::move(it->second));
        nodes_.erase(it);
    }
    for (size_t i = 0; i < renamed.size(); ++i) {
        Node* node = renamed[i].first;
        node->entry.SetDn(renamed[i].second, arena_);
        node->key = NormalizeDn(renamed[i].second);
        nodes_.emplace(node->key, std::move(owned[i]));
    }
}

void MemoryStore::Compact() {
    if (!arena_.WorthCompacting()) return;
    EntryArena fresh;
    for (auto& [key, node] : nodes_)
        node->entry.MoveTo(fresh);
    arena_ = std::move(fresh);
}

void MemoryStore::AddToIndex(Node* node) const {
    if (!indexed_) return; // made when first needed
    ForEachIndexedValue(node->entry, types_, index_, [&](auto& byValue, std::string key) {
        byValue.emplace(std::move(key), node);
    });
}

void MemoryStore::RemoveFromIndex(Node* node) const {
    if (!indexed_) return;
    ForEachIndexedValue(node->entry, types_, index_, [&](auto& byValue, const std::string& key) {
        auto [first, last] = byValue.equal_range(key);
        for (auto it = first; it != last; ++it) {
            if (it->second == node) {
                byValue.erase(it);
                break;
            }
        }
    });
}

bool MemoryStore::IndexedCandidates(const Filter& filter, const Node* base, Scope scope,
                                    bool wholeForest, std::vector<const Node*>& out) const {
    if (scope == Scope::Base) return false; // one entry: nothing to gain
    auto terms = filter.IndexTerms(IsIndexed);
    if (!terms) return false;
    // A search stays in the naming context of its base unless it covers the whole forest.
    auto inScope = [&](const Node* node) {
        if (node->key.empty()) return false; // the rootDSE is in no scope but its own
        if (!base) return scope == Scope::Subtree || node->parent == nullptr;
        if (scope == Scope::Base) return node == base;
        if (scope == Scope::OneLevel)
            return node->parent == base && (wholeForest || !schema_.IsContextHead(node->key));
        for (const Node* up = node; up; up = up->parent) {
            if (up == base) return true;
            if (!wholeForest && schema_.IsContextHead(up->key)) return false;
        }
        return false;
    };
    std::vector<const Node*> found;
    for (const IndexTerm& term : *terms) {
        if (!indexed_) {
            // The index is made by the first search that can use it: a load or a run that
            // never looks anything up by value does not pay for it.
            indexed_ = true;
            for (const auto& [key, node] : nodes_)
                AddToIndex(node.get());
        }
        auto values = index_.find(FoldCase(term.type));
        if (values == index_.end()) continue;
        const auto& byValue = values->second;
        auto it = byValue.lower_bound(term.value);
        for (; it != byValue.end(); ++it) {
            bool hit = term.prefix ? it->first.compare(0, term.value.size(), term.value) == 0
                                   : it->first == term.value;
            if (!hit) break;
            if (inScope(it->second)) found.push_back(it->second);
        }
    }
    std::sort(found.begin(), found.end(),
              [](const Node* a, const Node* b) { return a->seq < b->seq; });
    found.erase(std::unique(found.begin(), found.end()), found.end());
    out = std::move(found);
    return true;
}

} // namespace kestrune::store
