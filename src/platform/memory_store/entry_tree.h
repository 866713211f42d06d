// The memory store's entries as a tree: one node per entry, found by its normalized DN, under
// its parent, with its children in the order they came. The entries' bytes lie together in one
// arena and their attribute types are named once; the tree gives the bytes back when an entry
// changes or goes.
#pragma once

#include "platform/memory_store/attribute_types.h"
#include "platform/memory_store/entry_arena.h"
#include "platform/memory_store/entry_node.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace kestrune::store {

class EntryTree {
  public:
    // A node with the DN it takes when a subtree is renamed.
    using Renaming = std::pair<EntryNode*, std::string>;

    EntryTree() = default;
    EntryTree(const EntryTree&) = delete;
    EntryTree& operator=(const EntryTree&) = delete;

    size_t Count() const { return nodes_.size(); }
    const AttributeTypes& Types() const { return types_; }
    // The node a DN names; null when none does, and for a malformed DN.
    EntryNode* Find(std::string_view dn) const;
    // The node of a normalized DN (the rootDSE's is empty).
    EntryNode* FindKey(std::string_view key) const;
    // The entries without a parent in the tree, in the order they came; the rootDSE stands
    // apart from them.
    const std::vector<EntryNode*>& Tops() const { return tops_; }
    // Every node, in no particular order.
    void ForEach(const std::function<void(EntryNode&)>& visit) const;

    // A new node for the entry under parent (null: a top, or the rootDSE). The key must be free.
    EntryNode* Insert(std::string key, const Entry& entry, EntryNode* parent);
    // The node holds another entry of the same DN.
    void Replace(EntryNode& node, const Entry& entry);
    // Removes a node without children.
    void Remove(EntryNode* node);
    // Moves the node, with what lies below it, under parent (null: among the tops).
    void Reparent(EntryNode* node, EntryNode* parent);
    // The node and its descendants, each with the DN it takes when the node is renamed to newDn.
    std::vector<Renaming> Renamed(EntryNode* node, const std::string& newDn) const;
    // Gives each node its new DN and key.
    void Rekey(const std::vector<Renaming>& renamed);
    // Moves the entries into a new arena when most of the old one is space they left.
    void Compact();

  private:
    void RenamedBelow(EntryNode* node, const std::string& newDn, std::vector<Renaming>& out) const;

    AttributeTypes types_; // of every stored entry
    EntryArena arena_;     // their bytes
    // By normalized DN: each key views its node's own.
    std::unordered_map<std::string_view, std::unique_ptr<EntryNode>> nodes_;
    std::vector<EntryNode*> tops_;
    uint64_t nextSeq_ = 0;
};

} // namespace kestrune::store
