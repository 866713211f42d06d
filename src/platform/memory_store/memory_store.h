// A directory held in memory, loaded from an LDIF file. Every change is appended to that file
// as an LDIF change record (and flushed to the disk) before it takes effect, so nothing is
// lost and nothing is rewritten. Several programs may use one file: each change is decided
// and appended under an exclusive lock of the file, after taking in what the others appended.
#pragma once

#include "base/expected.h"
#include "platform/memory_store/journal.h"
#include "platform/memory_store/stored_entry.h"
#include "platform/store/directory_schema.h"
#include "platform/store/directory_store.h"
#include "platform/store/ldif.h"

#include <filesystem>
#include <map>
#include <unordered_map>

namespace kestrune::store {

class Filter;

class MemoryStore : public DirectoryStore {
  public:
    // The most entries a search returns in one page, as a Windows domain controller's
    // MaxPageSize: an unpaged search stops there with SizeLimitExceeded.
    static constexpr size_t kMaxPageSize = 1000;

    MemoryStore();
    ~MemoryStore() override;
    MemoryStore(const MemoryStore&) = delete;
    MemoryStore& operator=(const MemoryStore&) = delete;

    // Loads file; later changes are appended to it. On a malformed file, the error names the
    // file and the line.
    static Expected<std::unique_ptr<MemoryStore>> Open(const std::filesystem::path& file);
    // Applies LDIF text to a store without a file (nothing is recorded).
    Status LoadText(std::string_view text, const std::string& name);

    Status Search(const SearchRequest& request, std::unique_ptr<SearchCursor>& cursor) override;
    Status Add(const Entry& entry) override;
    Status Modify(const std::string& dn, const std::vector<Modification>& changes) override;
    Status Delete(const std::string& dn) override;
    Status Rename(const std::string& dn, const std::string& newRdn, bool deleteOldRdn,
                  const std::string& newSuperior) override;
    Status Exclusively(const std::function<Status()>& work) override;
    // Flushes the file once for the group's changes (see Journal::Group).
    Status InOneGroup(const std::function<Status()>& work) override;

    // Where warnings go (a record cut short when it was written, left out): standard error
    // unless set; an empty sink restores that.
    static void SetWarningSink(std::function<void(const std::string&)> sink);

    size_t EntryCount() const { return nodes_.size(); }
    uint64_t ChangeCount() const override { return changes_; }

  private:
    struct Node {
        uint64_t seq = 0; // order of addition
        std::string key;  // the normalized DN
        StoredEntry entry;
        Node* parent = nullptr;
        std::vector<Node*> children; // in the order they were added
        // Not in the file: stands for an object the directory must hold (the parent of an
        // exported entry, the rootDSE of an export); the file's own record of it replaces it.
        bool implied = false;
    };
    class Cursor;

    // A change checked against the entries, ready to take effect: applying it cannot fail.
    struct NewEntry {
        Entry entry; // as it is stored: with its GUID, its naming value and its category
        std::string key;
        std::string parentDn; // as the entry's DN names it
        Node* parent = nullptr;
        Node* implied = nullptr; // the implied entry it replaces
    };
    struct Modified {
        Node* node = nullptr;
        Entry before;
        Entry after;
    };
    struct Moved {
        Node* node = nullptr;
        Node* parent = nullptr; // after the move; null for an entry without a parent
        Entry entry;            // before the move
        std::string rdn;        // the new one
        bool deleteOldRdn = true;
        std::string newDn;
        std::vector<std::pair<Node*, std::string>> renamed; // the subtree, with the new DNs
    };
    // The GUID of an entry added without one, from its key.
    using GuidFor = std::string (*)(const std::string& key);

    // Takes one record of the file (or of loaded text) in; may take the record's contents.
    Status Replay(LdifRecord& record);
    // What the entries must allow for a change, whether it is made here or read from the file;
    // out is the change ready to apply.
    // mayReplaceImplied: a record of the file's own content, which may stand where an implied
    // entry does.
    Status ValidateAdd(Entry&& entry, GuidFor guid, NewEntry& out,
                       bool mayReplaceImplied = false) const;
    Status ValidateModify(const std::string& dn, const std::vector<Modification>& changes,
                          Modified& out) const;
    Status ValidateDelete(const std::string& dn, Node*& out) const;
    Status ValidateRename(const std::string& dn, const std::string& newRdn, bool deleteOldRdn,
                          const std::string& newSuperior, Moved& out) const;
    // Whether an object of the entry's class may be placed under parent (its schema's
    // possible superiors); NamingViolation when not. Checked for changes made here: a record
    // of the file is taken as it was made.
    Status CheckSuperior(std::string_view dn, std::string_view structuralClass,
                         const Node* parent) const;
    void ApplyAdd(NewEntry&& add);

    // An export holds what its search found, in the order the server gave it: an entry's
    // parents may be missing or come after it. Adds, as implied entries, the missing parents
    // of a record of the file's own content, down from the head of its domain-component run.
    Status ImplyParents(const std::string& dn);
    Status AddImplied(Entry&& entry);
    // A file without a rootDSE (an export) is given the one a domain controller of its forest
    // would have, and a cross-reference for each domain that has none, inferred from the
    // entries; what only the local computer knows stays missing.
    // file names the export in a message about an implied entry that collides with its own.
    Status ImplyForest(const std::filesystem::path& file);
    void ApplyModify(Modified&& change);
    void ApplyDelete(Node* node);
    void ApplyRename(Moved&& move);

    Node* FindNode(std::string_view dn) const;
    // The SID of the nearest object at or above node that has one: the domain's, for an object
    // of its naming context. Empty when none has.
    std::string DomainSidAbove(const Node* node) const;
    // The node and its descendants, each with its DN after the node is renamed to newDn.
    void Renamed(Node* node, const std::string& newDn,
                 std::vector<std::pair<Node*, std::string>>& out) const;
    void Rekey(const std::vector<std::pair<Node*, std::string>>& renamed);
    // The node and its descendants, in the order they were added; the heads of other naming
    // contexts and what lies below them only with wholeForest.
    void CollectSubtree(const Node* node, bool wholeForest, std::vector<const Node*>& out) const;
    // DN values that name oldDn or an object below it now name newDn instead (a rename, as
    // the directory keeps references); with newDn empty, linked values naming them go.
    void UpdateReferences(const std::string& oldDn, const std::string& newDn);
    // The node's values in the index, once it is made: after the node is added or its entry
    // changes, and before the node goes or its entry changes.
    void AddToIndex(Node* node) const;
    void RemoveFromIndex(Node* node) const;
    // Moves the entries into a new arena when most of the old one is space they left.
    void Compact();
    // Before a node goes or changes its key: the searches being paged keep keys instead.
    void KeepCursorKeys();
    // The store goes: the searches being paged end.
    void OrphanCursors();
    // The entries the index holds for the terms, within the scope; false when the filter
    // cannot use the index.
    bool IndexedCandidates(const Filter& filter, const Node* base, Scope scope, bool wholeForest,
                           std::vector<const Node*>& out) const;

    AttributeTypes types_; // of every stored entry
    EntryArena arena_;     // their bytes
    // By normalized DN: each key views its node's own.
    std::unordered_map<std::string_view, std::unique_ptr<Node>> nodes_;
    std::vector<Node*> tops_; // entries without a parent in the store; the rootDSE is apart
    // Values of a few attributes that lookups go by (folded type -> folded value -> entries),
    // as a directory indexes them.
    mutable std::unordered_map<std::string, std::multimap<std::string, Node*>> index_;
    mutable bool indexed_ = false;
    uint64_t nextSeq_ = 0;
    uint64_t changes_ = 1; // one more after every change that takes effect
    // The searches being paged; they hold the nodes they matched until one goes or is renamed.
    mutable std::vector<Cursor*> cursors_;
    DirectorySchema schema_;
    // The parent of the last entry added, by the DN text that named it.
    std::string lastParentDn_;
    Node* lastParent_ = nullptr;
    // The file the entries come from and changes go to; its records are taken in by Replay.
    Journal journal_{[this](LdifRecord& record) { return Replay(record); }};
};

} // namespace kestrune::store
