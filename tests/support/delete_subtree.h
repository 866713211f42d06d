// Deleting an object with everything below it, children first, as a script (or ransomware)
// removing a namespace would.
#pragma once

#include "platform/store/directory_store.h"

#include <algorithm>
#include <string>
#include <vector>

namespace kestrune::testing {

// The number of objects deleted; 0 when dn was not there or a delete failed.
inline size_t DeleteSubtree(store::DirectoryStore& directory, const std::string& dn) {
    std::vector<store::Entry> below;
    if (!store::SearchAll(directory, {dn, store::Scope::Subtree, "(objectClass=*)", {"1.1"}, 0},
                          below)
             .ok())
        return 0;
    std::sort(below.begin(), below.end(), [](const store::Entry& a, const store::Entry& b) {
        return a.dn.size() > b.dn.size();
    });
    for (const store::Entry& e : below)
        if (!directory.Delete(e.dn).ok()) return 0;
    return below.size();
}

// A namespace of example.com: its anchor and all below it.
inline size_t DeleteExampleNamespace(store::DirectoryStore& directory, const std::string& name) {
    return DeleteSubtree(directory,
                         "CN=" + name + ",CN=Dfs-Configuration,CN=System,DC=example,DC=com");
}

} // namespace kestrune::testing
