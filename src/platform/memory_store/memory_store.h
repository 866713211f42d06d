// A directory held in memory, loaded from an LDIF file. Every change is appended to that file
// as an LDIF change record (and flushed to the disk) before it takes effect, so nothing is
// lost and nothing is rewritten. Several programs may use one file: each change is decided
// and appended under an exclusive lock of the file, after taking in what the others appended.
#pragma once

#include "base/expected.h"
#include "platform/memory_store/entry_tree.h"
#include "platform/memory_store/journal.h"
#include "platform/memory_store/reference_tracker.h"
#include "platform/memory_store/value_index.h"
#include "platform/store/directory_schema.h"
#include "platform/store/directory_store.h"
#include "platform/store/ldif.h"

#include <filesystem>

namespace kestrune::store {

class Filter;

// The entries are held in an EntryTree; a ValueIndex finds entries by the values lookups name
// them by, and a ReferenceTracker keeps DN values naming the objects they named. The store itself
// decides whether a change may be made, records it in its file (the Journal) and answers
// searches.
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

    size_t EntryCount() const { return tree_.Count(); }
    uint64_t ChangeCount() const override { return changes_; }

  private:
    using Node = EntryNode;
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
        std::vector<EntryTree::Renaming> renamed; // the subtree, with the new DNs
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

    Node* FindNode(std::string_view dn) const { return tree_.Find(dn); }
    // The SID of the nearest object at or above node that has one: the domain's, for an object
    // of its naming context. Empty when none has.
    std::string DomainSidAbove(const Node* node) const;
    // The node and its descendants, in the order they were added; the heads of other naming
    // contexts and what lies below them only with wholeForest.
    void CollectSubtree(const Node* node, bool wholeForest, std::vector<const Node*>& out) const;
    // Before a node goes or changes its key: the searches being paged keep keys instead.
    void KeepCursorKeys();
    // The store goes: the searches being paged end.
    void OrphanCursors();
    // The entries the index holds for the terms, within the scope; false when the filter
    // cannot use the index.
    bool IndexedCandidates(const Filter& filter, const Node* base, Scope scope, bool wholeForest,
                           std::vector<const Node*>& out) const;

    EntryTree tree_;
    const AttributeTypes& types_ = tree_.Types(); // of every stored entry
    // Made by the first search that can use it.
    mutable ValueIndex index_;
    uint64_t changes_ = 1; // one more after every change that takes effect
    // The searches being paged; they hold the nodes they matched until one goes or is renamed.
    mutable std::vector<Cursor*> cursors_;
    DirectorySchema schema_;
    ReferenceTracker references_{tree_, schema_};
    // The parent of the last entry added, by the DN text that named it.
    std::string lastParentDn_;
    Node* lastParent_ = nullptr;
    // The file the entries come from and changes go to; its records are taken in by Replay.
    Journal journal_{[this](LdifRecord& record) { return Replay(record); }};
};

} // namespace kestrune::store
