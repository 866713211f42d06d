#include "platform/netdfs_over_store/netdfs_store_legacy.h"

#include "base/ansi_string.h"
#include "base/win_errors.h"
#include "platform/netdfs_over_store/dfs_pkt_blob.h"
#include "platform/netdfs_over_store/netdfs_store_names.h"
#include "platform/store/dn.h"

namespace kestrune::dfs_store {

namespace {

// The pKT's entry type bits that stand for the property flags of level 9.
uint32_t PropertyFlagsOf(uint32_t type) {
    uint32_t flags = 0;
    if (type & PKT_ENTRY_TYPE_INSITE_ONLY) flags |= DFS_PROPERTY_FLAG_INSITE_REFERRALS;
    if (type & PKT_ENTRY_TYPE_COST_BASED_SITE_SELECTION) flags |= DFS_PROPERTY_FLAG_SITE_COSTING;
    if (type & PKT_ENTRY_TYPE_ROOT_SCALABILITY) flags |= DFS_PROPERTY_FLAG_ROOT_SCALABILITY;
    if (type & PKT_ENTRY_TYPE_TARGET_FAILBACK) flags |= DFS_PROPERTY_FLAG_TARGET_FAILBACK;
    return flags;
}

DfsEntryRecord RecordOf(const std::u16string& rootPath, const PktEntry& e, uint32_t level) {
    DfsEntryRecord r;
    r.entryPath = e.IsRoot() ? rootPath : rootPath + u"\\" + PktLinkPath(e);
    // The pKT has no "no comment": an empty one is none, as an absent msDFS-Commentv2.
    if (!e.comment.empty()) r.comment = e.comment;
    for (const PktTarget& t : e.targets) {
        DfsStorageRecord storage;
        storage.server = t.server;
        storage.share = t.share;
        storage.state = t.state == DFS_STORAGE_STATE_OFFLINE ? DFS_STORAGE_STATE_OFFLINE
                                                             : DFS_STORAGE_STATE_ONLINE;
        storage.priority.TargetPriorityClass =
            static_cast<DFS_TARGET_PRIORITY_CLASS>(t.PriorityClass());
        storage.priority.TargetPriorityRank = t.PriorityRank();
        r.storages.push_back(std::move(storage));
    }
    if (level == 9) {
        bool offline = !e.IsRoot() && (e.state & DFS_VOLUME_STATES) == DFS_VOLUME_STATE_OFFLINE;
        r.state =
            (offline ? DFS_VOLUME_STATE_OFFLINE : DFS_VOLUME_STATE_OK) | DFS_VOLUME_FLAVOR_AD_BLOB;
        r.timeout = e.referralTtl;
        r.propertyFlags = PropertyFlagsOf(e.type);
    }
    return r;
}

} // namespace

std::string LegacyNamespaceDn(const std::string& domainDn, const std::string& name) {
    return store::JoinDn("CN=" + store::EscapeDnValue(name),
                         "CN=Dfs-Configuration,CN=System," + domainDn);
}

std::vector<std::string> LegacyAttributes() {
    return {"pKT"};
}

DfsStatus LegacyRecords(const std::u16string& rootPath, const store::Entry& ftDfs, uint32_t level,
                        std::vector<DfsEntryRecord>& out) {
    out.clear();
    const auto* values = ftDfs.Find("pKT");
    if (!values || values->empty()) return Unreadable(rootPath, "it has no pKT");
    Expected<PktBlob> blob = DecodePktBlob(values->front());
    if (!blob) return Unreadable(rootPath, "its pKT cannot be read: " + blob.error().text);
    out.reserve(blob->entries.size());
    out.push_back(RecordOf(rootPath, blob->Root(), level));
    for (const PktEntry& e : blob->entries)
        if (!e.IsRoot()) out.push_back(RecordOf(rootPath, e, level));
    return NERR_Success;
}

DfsStatus AnswerLegacyAdd(const std::u16string& rootPath, const store::Entry& ftDfs,
                          const std::u16string& entryPath, const std::u16string& target,
                          uint32_t flags) {
    std::vector<DfsEntryRecord> records;
    DfsStatus status = LegacyRecords(rootPath, ftDfs, 3, records);
    if (status != NERR_Success) return status;
    for (const DfsEntryRecord& r : records) {
        if (Fold(r.entryPath) != Fold(entryPath)) continue;
        if (flags == DFS_ADD_VOLUME) return ERROR_FILE_EXISTS;
        for (const DfsStorageRecord& s : r.storages)
            if (Fold(u"\\\\" + s.server + u"\\" + s.share) == Fold(target))
                return ERROR_FILE_EXISTS;
    }
    // A root's targets are its servers, which the call does not add in either mode.
    if (Fold(entryPath) == Fold(rootPath)) return ERROR_INVALID_PARAMETER;
    return RefuseLegacyChange(rootPath);
}

DfsStatus RefuseLegacyChange(std::u16string_view rootPath) {
    return {ERROR_NOT_SUPPORTED, LegacyNamespaceRefusal(rootPath)};
}

} // namespace kestrune::dfs_store
