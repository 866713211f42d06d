// DN values follow the object they name when it is renamed or deleted, as a directory keeps
// references: after a rename a value that named the object, or one below it, names it by its
// new DN; when the object goes, a linked value (member, manager and the like) goes with it, and
// other values stay as they were.
#pragma once

#include "platform/memory_store/entry_tree.h"
#include "platform/store/directory_schema.h"

#include <string>
#include <string_view>

namespace kestrune::store {

class ReferenceTracker {
  public:
    // The schema says which values are DNs; it learns a cross-reference's new naming context.
    ReferenceTracker(EntryTree& tree, DirectorySchema& schema) : tree_(tree), schema_(schema) {}

    void Renamed(const std::string& oldDn, const std::string& newDn) { Follow(oldDn, newDn); }
    void Deleted(const std::string& dn) { Follow(dn, std::string()); }

    // Whether the directory keeps the attribute's values pointing at live objects.
    static bool IsLinked(std::string_view type);

  private:
    // With newDn empty, the object is gone.
    void Follow(const std::string& oldDn, const std::string& newDn);

    EntryTree& tree_;
    DirectorySchema& schema_;
};

} // namespace kestrune::store
