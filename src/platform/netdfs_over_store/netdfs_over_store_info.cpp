// NetDfsGetInfo and NetDfsSetInfo over the directory store: one root or link object, its
// properties stored as Active Directory stores them.
#include "platform/netdfs_over_store/netdfs_over_store.h"

#include "base/ansi_string.h"
#include "base/security_descriptor.h"
#include "base/win_errors.h"
#include "platform/netdfs_over_store/dfs_properties_attribute.h"
#include "platform/netdfs_over_store/netapi_status.h"
#include "platform/netdfs_over_store/netdfs_store_legacy.h"
#include "platform/netdfs_over_store/netdfs_store_names.h"
#include "platform/store/dn.h"
#include "platform/store/filter.h"
#include "platform/store/guid.h"

#include <cstdlib>

namespace kestrune {

using namespace dfs_store;
using store::Entry;
using store::Modification;

DfsStatus StoreNetDfs::FindEntry(const char16_t* DfsEntryPath, FoundEntry& found) {
    LocatedNamespace ns;
    DfsStatus status = LocateNamespace(DfsEntryPath, ns);
    if (status != NERR_Success) return status;
    found.namespaceDn = ns.dn;
    found.rootPath =
        u"\\\\" + ns.parts[0] + u"\\" + Utf8ToWide(store::RdnValue(store::FirstRdn(ns.object.dn)));
    found.isRoot = ns.parts.size() == 2;
    found.legacy = ns.legacy;
    found.parts = ns.parts;
    // A Windows 2000 mode namespace's links are read from its one object, when wanted.
    if (found.isRoot || found.legacy) {
        found.entry = std::move(ns.object);
        return NERR_Success;
    }
    std::string linkPath;
    status = LinkPathOf(ns.parts, linkPath);
    if (status != NERR_Success) return status;
    if (const Entry* staged = StagedLink(ns.dn, linkPath)) {
        found.entry = *staged;
        return NERR_Success;
    }
    FlushStaged();
    std::vector<Entry> links;
    store::Status searched = store::SearchAll(*directory_,
                                              {ns.dn, store::Scope::OneLevel,
                                               "(&(objectClass=msDFS-Linkv2)(msDFS-LinkPathv2=" +
                                                   store::EscapeFilterValue(linkPath) + "))",
                                               EntryAttributes(9), 0},
                                              links);
    if (!searched.ok()) return NetDfsFailureOf(searched);
    if (links.empty()) return ERROR_NOT_FOUND;
    found.entry = std::move(links.front());
    return NERR_Success;
}

DfsStatus StoreNetDfs::GetInfo(const char16_t* DfsEntryPath, const char16_t* ServerName,
                               const char16_t* ShareName, uint32_t Level, uint8_t** Buffer) {
    if (!Buffer) return ERROR_INVALID_PARAMETER;
    *Buffer = nullptr;
    if (Level != 9 && Level != 50) return ERROR_INVALID_LEVEL;
    if (ServerName || ShareName) return ERROR_INVALID_PARAMETER;
    FoundEntry found;
    DfsStatus status = FindEntry(DfsEntryPath, found);
    if (status != NERR_Success) return status;
    if (Level == 50) return GetModeInfo(found, Buffer);
    if (found.legacy) return GetLegacyInfo(found, Buffer);
    DfsEntryRecord record;
    status = EntryRecord(found.rootPath, found.entry, found.isRoot, 9, record);
    if (status != NERR_Success) return status;
    *Buffer = PackDfsInfo9({record});
    return NERR_Success;
}

DfsStatus StoreNetDfs::GetModeInfo(const FoundEntry& found, uint8_t** buffer) {
    if (!found.isRoot) return ERROR_INVALID_PARAMETER;
    DFS_INFO_50 info{1, 0, 0};
    if (!found.legacy) {
        info.NamespaceMajorVersion = 2;
        info.NamespaceMinorVersion = static_cast<uint32_t>(
            std::strtoul(found.entry.First("msDFS-SchemaMinorVersion").c_str(), nullptr, 10));
        info.NamespaceCapabilities = DFS_NAMESPACE_CAPABILITY_ABDE;
    }
    *buffer = PackDfsInfo50(info);
    return NERR_Success;
}

DfsStatus StoreNetDfs::GetLegacyInfo(const FoundEntry& found, uint8_t** buffer) {
    std::vector<DfsEntryRecord> records;
    DfsStatus status = LegacyRecords(found.rootPath, found.entry, 9, records);
    if (status != NERR_Success) return status;
    std::u16string wanted = found.rootPath;
    for (size_t i = 2; i < found.parts.size(); ++i)
        wanted += u"\\" + found.parts[i];
    for (const DfsEntryRecord& r : records)
        if (Fold(r.entryPath) == Fold(wanted)) {
            *buffer = PackDfsInfo9({r});
            return NERR_Success;
        }
    return ERROR_NOT_FOUND;
}

DfsStatus StoreNetDfs::SetInfo(const char16_t* DfsEntryPath, const char16_t* ServerName,
                               const char16_t* ShareName, uint32_t Level, const uint8_t* Buffer) {
    if (!Buffer) return ERROR_INVALID_PARAMETER;
    // The object is read and changed as one step, though other programs change it too.
    DfsStatus result = NERR_Success;
    store::Status status = directory_->Exclusively([&] {
        CheckRun();
        result = SetEntryInfo(DfsEntryPath, ServerName, ShareName, Level, Buffer);
        KeepRun();
        return store::Status::Ok();
    });
    return status.ok() ? result : NetDfsFailureOf(status);
}

namespace {

// The new target list with one target's state or priority changed.
DfsStatus SetTargetInfo(const Entry& entry, std::u16string_view entryPath,
                        std::u16string_view server, std::u16string_view share, uint32_t level,
                        const uint8_t* buffer, std::vector<Modification>& changes) {
    if (level != 101 && level != 104) return ERROR_INVALID_PARAMETER;
    while (!server.empty() && server.front() == u'\\')
        server.remove_prefix(1);
    if (server.empty() || share.empty()) return ERROR_INVALID_PARAMETER;
    Expected<std::vector<StoredTarget>> targets = TargetsOf(entry);
    if (!targets) return Unreadable(entryPath, targets.error().text);
    std::string wanted = Fold(u"\\\\" + std::u16string(server) + u"\\" + std::u16string(share));
    StoredTarget* target = nullptr;
    for (StoredTarget& t : *targets)
        if (Fold(t.path) == wanted) target = &t;
    if (!target) return ERROR_NOT_FOUND;
    if (level == 101) {
        uint32_t state = reinterpret_cast<const DFS_INFO_101*>(buffer)->State;
        // Only a namespace server can be told to read the directory; the directory alone has
        // none to tell.
        if (state == DFS_VOLUME_STATE_RESYNCHRONIZE) {
            return {ERROR_NOT_SUPPORTED, "the directory alone has no namespace server to tell"};
        }
        if (state != DFS_STORAGE_STATE_ONLINE && state != DFS_STORAGE_STATE_OFFLINE)
            return ERROR_INVALID_PARAMETER;
        target->online = state == DFS_STORAGE_STATE_ONLINE;
    } else {
        const DFS_TARGET_PRIORITY& p =
            reinterpret_cast<const DFS_INFO_104*>(buffer)->TargetPriority;
        if (p.TargetPriorityClass < DfsSiteCostNormalPriorityClass ||
            p.TargetPriorityClass > DfsGlobalLowPriorityClass || p.TargetPriorityRank > 31)
            return ERROR_INVALID_PARAMETER;
        target->priorityClass = static_cast<uint32_t>(p.TargetPriorityClass);
        target->priorityRank = p.TargetPriorityRank;
    }
    changes.push_back(
        {Modification::Op::Replace, "msDFS-TargetListv2", {EncodeTargetEntries(*targets)}});
    return NERR_Success;
}

DfsStatus SetEntryProperty(const Entry& entry, bool isRoot, uint32_t level, const uint8_t* buffer,
                           std::vector<Modification>& changes) {
    EntryFlags flags = DecodeEntryFlags(entry.Find("msDFS-Propertiesv2"));
    switch (level) {
    case 100: {
        const char16_t* comment = reinterpret_cast<const DFS_INFO_100*>(buffer)->Comment;
        // The directory refuses an empty value: no comment is no attribute.
        std::vector<std::string> values;
        if (comment && *comment) values.push_back(WideToUtf8(comment));
        changes.push_back({Modification::Op::Replace, "msDFS-Commentv2", values});
        return NERR_Success;
    }
    case 101: {
        uint32_t state = reinterpret_cast<const DFS_INFO_101*>(buffer)->State & DFS_VOLUME_STATES;
        if (isRoot) return ERROR_INVALID_PARAMETER; // a namespace root's state is not changed
        if (state != DFS_VOLUME_STATE_ONLINE && state != DFS_VOLUME_STATE_OFFLINE &&
            state != DFS_VOLUME_STATE_OK)
            return ERROR_INVALID_PARAMETER;
        flags.offline = state == DFS_VOLUME_STATE_OFFLINE;
        break;
    }
    case 102:
        changes.push_back(
            {Modification::Op::Replace,
             "msDFS-Ttlv2",
             {std::to_string(reinterpret_cast<const DFS_INFO_102*>(buffer)->Timeout)}});
        return NERR_Success;
    case 103: {
        const auto* info = reinterpret_cast<const DFS_INFO_103*>(buffer);
        if (info->PropertyFlagMask & ~DFS_KNOWN_PROPERTY_FLAGS) return ERROR_INVALID_PARAMETER;
        if (!isRoot &&
            (info->PropertyFlagMask & info->PropertyFlags & DFS_ROOT_ONLY_PROPERTY_FLAGS))
            return ERROR_INVALID_PARAMETER;
        flags.propertyFlags = (flags.propertyFlags & ~info->PropertyFlagMask) |
                              (info->PropertyFlags & info->PropertyFlagMask);
        break;
    }
    case 150: {
        if (isRoot) return ERROR_INVALID_PARAMETER; // a root's permissions are its share's
        const auto* info = reinterpret_cast<const DFS_INFO_150*>(buffer);
        std::vector<std::string> values;
        if (info->pSecurityDescriptor && info->SdLengthReserved) {
            std::string sd(reinterpret_cast<const char*>(info->pSecurityDescriptor),
                           info->SdLengthReserved);
            if (!SecurityDescriptorToSddl(sd)) return ERROR_INVALID_SECURITY_DESCR;
            values.push_back(std::move(sd));
        }
        changes.push_back({Modification::Op::Replace, "msDFS-LinkSecurityDescriptorv2", values});
        return NERR_Success;
    }
    default:
        return ERROR_INVALID_LEVEL;
    }
    changes.push_back({Modification::Op::Replace, "msDFS-Propertiesv2",
                       ReencodeEntryFlags(flags, entry.Find("msDFS-Propertiesv2"))});
    return NERR_Success;
}

} // namespace

DfsStatus StoreNetDfs::SetEntryInfo(const char16_t* DfsEntryPath, const char16_t* ServerName,
                                    const char16_t* ShareName, uint32_t Level,
                                    const uint8_t* Buffer) {
    FoundEntry found;
    DfsStatus status = FindEntry(DfsEntryPath, found);
    if (status != NERR_Success) return status;
    if (found.legacy) return RefuseLegacyChange(found.rootPath);
    const Entry& entry = found.entry;
    std::vector<Modification> changes;
    if (ServerName || ShareName) {
        if (!ServerName || !ShareName) return ERROR_INVALID_PARAMETER;
        status = SetTargetInfo(entry, DfsEntryPath, ServerName, ShareName, Level, Buffer, changes);
    } else {
        status = SetEntryProperty(entry, found.isRoot, Level, Buffer, changes);
    }
    if (status != NERR_Success) return status;
    changes.push_back({Modification::Op::Replace, "msDFS-GenerationGUIDv2", {store::RandomGuid()}});
    changes.push_back({Modification::Op::Replace, "msDFS-LastModifiedv2", {GeneralizedTimeNow()}});
    store::Status changed = Write(entry.dn, changes);
    if (!changed.ok()) return NetDfsFailureOf(changed);
    if (found.isRoot) {
        Forget(found.namespaceDn);
        return NERR_Success;
    }
    Changed(found.namespaceDn);
    if (IsStaged(entry.dn)) {
        KeepStagedInRun();
        return NERR_Success;
    }
    // A run keeps the link's targets as they are now.
    if (LinksByPath* links = KnownLinksOf(found.namespaceDn)) {
        std::string linkPath;
        if (LinkPathOf(found.parts, linkPath) == NERR_Success &&
            ReadAround(found.namespaceDn, linkPath, *links) != NERR_Success)
            Forget(found.namespaceDn);
    }
    return NERR_Success;
}

} // namespace kestrune
