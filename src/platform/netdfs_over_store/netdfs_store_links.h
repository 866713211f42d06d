// A namespace's links as read from the directory, by path: what a change of one link decides
// against (whether the link is there, its targets, the links above and below it).
#pragma once

#include "platform/netdfs_over_store/dfs_target_list.h"
#include "platform/store/directory_store.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kestrune::dfs_store {

struct StoredLink {
    std::string dn;
    std::string path; // relative, with "/" separators as stored: "/Data/Projects"
    std::optional<std::string> comment;
    std::string targetList; // msDFS-TargetListv2 as stored, which a change of it replaces
    std::vector<StoredTarget> targets;
    std::string unreadable; // why the targets could not be read; empty when they were
};

// A link object found by a search with LinkAttributes().
StoredLink LinkOf(store::Entry&& entry);
// A link object as this program wrote it, all its attributes at hand.
StoredLink LinkOfObject(const store::Entry& object);
std::vector<std::string> LinkAttributes();

// The filter that finds the links a change of linkPath depends on: the link itself and those
// above and below it.
std::string LinksAroundFilter(const std::string& linkPath);

// Links by their path compared without regard to case. Where two objects claim one path, the
// first one put stays, as the directory gave them. A link may be known by its path alone: that it
// is there is all a change of another link needs of it.
class LinksByPath {
  public:
    // The link in full; null when it is not known, or known by its path alone.
    const StoredLink* Find(const std::string& linkPath) const;
    // Whether a link of linkPath is known, in full or by its path alone.
    bool Has(const std::string& linkPath) const;
    // The folded path of a link above or below linkPath; empty when there is none.
    std::string Overlapping(const std::string& linkPath) const;
    void Put(StoredLink link);
    // Forgets all of the link but its path: a run that wrote it has no more use for its targets,
    // and a later change of it reads them again.
    void KeepPathOnly(const std::string& linkPath);
    void Remove(const std::string& linkPath);
    // The link's new targets after a change of them.
    void SetTargets(const std::string& linkPath, std::string targetList,
                    std::vector<StoredTarget> targets);
    // What is known of linkPath and the links above and below it is replaced by links, read
    // with LinksAroundFilter.
    void ReplaceAround(const std::string& linkPath, std::vector<StoredLink> links);
    size_t size() const { return links_.size(); }

  private:
    // By folded path; null for a link known by its path alone.
    std::map<std::string, std::unique_ptr<StoredLink>> links_;
};

} // namespace kestrune::dfs_store
