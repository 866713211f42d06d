#include "platform/memory_store/entry_tree.h"

#include "platform/store/dn.h"

#include <algorithm>

namespace kestrune::store {

namespace {

void Unlink(EntryNode* node, std::vector<EntryNode*>& tops) {
    std::vector<EntryNode*>& siblings = node->parent ? node->parent->children : tops;
    siblings.erase(std::find(siblings.begin(), siblings.end(), node));
}

} // namespace

EntryNode* EntryTree::Find(std::string_view dn) const {
    std::string key = NormalizeDn(dn);
    // A malformed DN normalizes to the rootDSE's empty key but names no entry.
    std::vector<std::string> rdns;
    if (key.empty() && (!SplitDn(dn, rdns) || !rdns.empty())) return nullptr;
    return FindKey(key);
}

EntryNode* EntryTree::FindKey(std::string_view key) const {
    auto it = nodes_.find(key);
    return it == nodes_.end() ? nullptr : it->second.get();
}

void EntryTree::ForEach(const std::function<void(EntryNode&)>& visit) const {
    for (const auto& [key, node] : nodes_)
        visit(*node);
}

EntryNode* EntryTree::Insert(std::string key, const Entry& entry, EntryNode* parent) {
    auto node = std::make_unique<EntryNode>();
    node->key = std::move(key);
    node->entry = StoredEntry(entry, types_, arena_);
    node->parent = parent;
    node->seq = nextSeq_++;
    EntryNode* raw = node.get();
    nodes_.emplace(raw->key, std::move(node));
    if (parent)
        parent->children.push_back(raw);
    else if (!raw->key.empty())
        tops_.push_back(raw);
    return raw;
}

void EntryTree::Replace(EntryNode& node, const Entry& entry) {
    node.entry.Release(arena_);
    node.entry = StoredEntry(entry, types_, arena_);
}

void EntryTree::Remove(EntryNode* node) {
    if (!node->key.empty()) Unlink(node, tops_);
    node->entry.Release(arena_);
    nodes_.erase(nodes_.find(node->key));
}

void EntryTree::Reparent(EntryNode* node, EntryNode* parent) {
    if (parent == node->parent) return;
    Unlink(node, tops_);
    (parent ? parent->children : tops_).push_back(node);
    node->parent = parent;
}

std::vector<EntryTree::Renaming> EntryTree::Renamed(EntryNode* node,
                                                    const std::string& newDn) const {
    std::vector<Renaming> out;
    RenamedBelow(node, newDn, out);
    return out;
}

void EntryTree::RenamedBelow(EntryNode* node, const std::string& newDn,
                             std::vector<Renaming>& out) const {
    out.emplace_back(node, newDn);
    for (EntryNode* child : node->children)
        RenamedBelow(child, JoinDn(FirstRdn(child->entry.Dn()), newDn), out);
}

void EntryTree::Rekey(const std::vector<Renaming>& renamed) {
    // Every node leaves the map before any returns, so that no new key meets an old one.
    std::vector<std::unique_ptr<EntryNode>> owned;
    owned.reserve(renamed.size());
    for (const auto& [node, dn] : renamed) {
        auto it = nodes_.find(node->key);
        owned.push_back(std::move(it->second));
        nodes_.erase(it);
    }
    for (size_t i = 0; i < renamed.size(); ++i) {
        EntryNode* node = renamed[i].first;
        node->entry.SetDn(renamed[i].second, arena_);
        node->key = NormalizeDn(renamed[i].second);
        nodes_.emplace(node->key, std::move(owned[i]));
    }
}

void EntryTree::Compact() {
    if (!arena_.WorthCompacting()) return;
    EntryArena fresh;
    for (auto& [key, node] : nodes_)
        node->entry.MoveTo(fresh);
    arena_ = std::move(fresh);
}

} // namespace kestrune::store
