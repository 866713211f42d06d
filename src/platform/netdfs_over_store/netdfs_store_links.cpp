#include "platform/netdfs_over_store/netdfs_store_links.h"

#include "platform/netdfs_over_store/netdfs_store_names.h"
#include "platform/store/dn.h"
#include "platform/store/filter.h"

namespace kestrune::dfs_store {

std::vector<std::string> LinkAttributes() {
    return {"msDFS-LinkPathv2", "msDFS-Commentv2", "msDFS-TargetListv2"};
}

StoredLink LinkOf(store::Entry&& e) {
    StoredLink link;
    link.path = e.First("msDFS-LinkPathv2");
    if (const auto* comment = e.Find("msDFS-Commentv2"); comment && !comment->empty())
        link.comment = comment->front();
    link.targetList = e.First("msDFS-TargetListv2");
    if (Expected<std::vector<StoredTarget>> targets = TargetsOf(e))
        link.targets = std::move(*targets);
    else
        link.unreadable = targets.error().text;
    link.dn = std::move(e.dn);
    return link;
}

StoredLink LinkOfObject(const store::Entry& object) {
    store::Entry kept{object.dn, {}};
    for (const std::string& type : LinkAttributes())
        if (const auto* values = object.Find(type)) kept.attributes.push_back({type, *values});
    return LinkOf(std::move(kept));
}

std::string LinksAroundFilter(const std::string& linkPath) {
    // Only the link itself and the links above or below it matter; the directory finds them by
    // path without reading the whole namespace.
    std::string filter = "(&(objectClass=msDFS-Linkv2)(|";
    for (size_t slash = linkPath.find('/', 1);; slash = linkPath.find('/', slash + 1)) {
        filter += "(msDFS-LinkPathv2=" + store::EscapeFilterValue(linkPath.substr(0, slash)) + ")";
        if (slash == std::string::npos) break;
    }
    return filter + "(msDFS-LinkPathv2=" + store::EscapeFilterValue(linkPath) + "/*)))";
}

const StoredLink* LinksByPath::Find(const std::string& linkPath) const {
    auto found = links_.find(store::FoldCase(linkPath));
    return found == links_.end() ? nullptr : found->second.get();
}

bool LinksByPath::Has(const std::string& linkPath) const {
    return links_.contains(store::FoldCase(linkPath));
}

std::string LinksByPath::Overlapping(const std::string& linkPath) const {
    const std::string wanted = store::FoldCase(linkPath);
    for (size_t slash = wanted.find('/', 1); slash != std::string::npos;
         slash = wanted.find('/', slash + 1))
        if (auto above = links_.find(wanted.substr(0, slash)); above != links_.end())
            return above->first;
    // Everything below the path sorts together, right after the path and its "/".
    auto below = links_.lower_bound(wanted + "/");
    if (below != links_.end() && Overlaps(below->first, wanted)) return below->first;
    return {};
}

void LinksByPath::Put(StoredLink link) {
    std::string key = store::FoldCase(link.path);
    auto [kept, added] = links_.try_emplace(std::move(key));
    if (added || !kept->second) kept->second = std::make_unique<StoredLink>(std::move(link));
}

void LinksByPath::KeepPathOnly(const std::string& linkPath) {
    if (auto found = links_.find(store::FoldCase(linkPath)); found != links_.end())
        found->second.reset();
}

void LinksByPath::Remove(const std::string& linkPath) {
    links_.erase(store::FoldCase(linkPath));
}

void LinksByPath::SetTargets(const std::string& linkPath, std::string targetList,
                             std::vector<StoredTarget> targets) {
    auto found = links_.find(store::FoldCase(linkPath));
    if (found == links_.end() || !found->second) return;
    found->second->targetList = std::move(targetList);
    found->second->targets = std::move(targets);
    found->second->unreadable.clear();
}

void LinksByPath::ReplaceAround(const std::string& linkPath, std::vector<StoredLink> links) {
    const std::string wanted = store::FoldCase(linkPath);
    for (size_t slash = wanted.find('/', 1);; slash = wanted.find('/', slash + 1)) {
        links_.erase(wanted.substr(0, slash)); // the links above, then the link itself
        if (slash == std::string::npos) break;
    }
    const std::string below = wanted + "/";
    auto it = links_.lower_bound(below);
    while (it != links_.end() && it->first.starts_with(below))
        it = links_.erase(it);
    for (StoredLink& link : links)
        Put(std::move(link));
}

} // namespace kestrune::dfs_store
