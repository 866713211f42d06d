#include "backup/property_changes.h"

#include "backup/management_permissions.h"
#include "base/case_fold.h"
#include "base/security_descriptor.h"
#include "base/security_descriptor_meaning.h"
#include "base/win_errors.h"
#include "netdfs/netdfs.h"

namespace kestrune {
namespace {

std::u16string FoldedUtf8(const std::string& utf8) {
    return FoldCase(Utf8ToWide(utf8));
}

std::u16string FoldedTarget(const TargetParts& target) {
    return CaseKey("\\\\" + target.server + "\\" + target.share);
}

const char* StateName(bool online) {
    return online ? "Online" : "Offline";
}

const TargetProperties* FindTarget(const EntryProperties& entry, const std::u16string& folded) {
    for (const TargetProperties& t : entry.targets)
        if (FoldedUtf8(t.targetPath) == folded) return &t;
    return nullptr;
}

// SDDL spells one DACL many ways (BU or S-1-5-32-545, FRFX or 0x1200a9, GA or what it grants
// on a folder), and the platform reads back its own spelling of what it was given.
bool SameViewPermissions(const std::string& a, const std::string& b, const DomainSids& domains) {
    return SameSecurityDescriptorMeaning(a, b, kFileGenericMapping, domains);
}

} // namespace

std::vector<PropertyChange> ChangedProperties(const EntryProperties& now,
                                              const EntryProperties& recorded,
                                              const DomainSids& domains) {
    using Kind = PropertyChange::Kind;
    std::vector<PropertyChange> changes;
    auto note = [&](Kind kind, std::string property, std::string target, std::string nowValue,
                    std::string recordedValue, uint32_t flag = 0) {
        if (nowValue != recordedValue)
            changes.push_back({kind, flag, std::move(property), std::move(target),
                               std::move(nowValue), std::move(recordedValue)});
    };
    note(Kind::State, "State", {}, StateName(now.online), StateName(recorded.online));
    note(Kind::TimeToLive, "TimeToLiveSec", {}, std::to_string(now.timeToLiveSec),
         std::to_string(recorded.timeToLiveSec));
    for (uint32_t bit = 1; bit != 0; bit <<= 1) {
        std::string_view name = PropertyFlagName(bit);
        if (name.empty()) continue;
        note(Kind::Flag, std::string(name), {}, (now.flags & bit) ? "true" : "false",
             (recorded.flags & bit) ? "true" : "false", bit);
    }
    auto sddl = [](const std::string& text) { return text.empty() ? std::string("none") : text; };
    if (!SameViewPermissions(now.viewSddl, recorded.viewSddl, domains))
        changes.push_back({Kind::ViewPermissions,
                           0,
                           "ViewPermissions",
                           {},
                           sddl(now.viewSddl),
                           sddl(recorded.viewSddl)});
    if (!SameSecurityDescriptorMeaning(now.manageSddl, recorded.manageSddl,
                                       kDirectoryObjectGenericMapping, domains))
        changes.push_back({Kind::ManagementPermissions,
                           0,
                           "ManagementPermissions",
                           {},
                           sddl(now.manageSddl),
                           sddl(recorded.manageSddl)});
    for (const TargetProperties& r : recorded.targets) {
        const TargetProperties* t = FindTarget(now, FoldedUtf8(r.targetPath));
        if (!t) continue;
        note(Kind::TargetState, "State", r.targetPath, StateName(t->online), StateName(r.online));
        note(Kind::TargetPriority, "ReferralPriorityClass", r.targetPath,
             std::string(ReferralPriorityClassName(t->priorityClass)),
             std::string(ReferralPriorityClassName(r.priorityClass)));
        note(Kind::TargetPriority, "ReferralPriorityRank", r.targetPath,
             std::to_string(t->priorityRank), std::to_string(r.priorityRank));
    }
    return changes;
}

EntryProperties NewLinkProperties(const std::string& path, const TargetParts& target) {
    EntryProperties fresh;
    fresh.path = path;
    // A namespace created anew has a root's referral time.
    fresh.timeToLiveSec = IsNamespaceRootPath(path) ? kNewRootTimeout : kNewLinkTimeout;
    fresh.targets.push_back({AnsiToUtf8("\\\\" + target.server + "\\" + target.share), true, 0, 0});
    return fresh;
}

std::vector<PropertyChange> ChangesOfLine(const std::vector<PropertyChange>& changes,
                                          const TargetParts& target, bool withEntry) {
    const std::u16string wanted = FoldedTarget(target);
    std::vector<PropertyChange> ofLine;
    for (const PropertyChange& c : changes)
        if (c.target.empty() ? withEntry : FoldedUtf8(c.target) == wanted) ofLine.push_back(c);
    return ofLine;
}

std::vector<PropertyChange> ChangesOfRestore(const EntryProperties& recorded,
                                             const EntryProperties* live, const TargetParts& target,
                                             bool targetIsLive, bool entryLine, bool existing,
                                             const DomainSids& domains) {
    if (targetIsLive && (!existing || !live)) return {};
    EntryProperties fresh = NewLinkProperties(recorded.path, target);
    if (live && !targetIsLive) {
        // A link already there gains the target, with a new target's defaults.
        TargetProperties added = fresh.targets.front();
        fresh = *live;
        fresh.targets.push_back(std::move(added));
    } else if (live) {
        fresh = *live;
    }
    // A link that was there keeps its own properties unless they are asked for.
    const bool withEntry = entryLine && (!live || existing);
    std::vector<PropertyChange> changes =
        ChangesOfLine(ChangedProperties(fresh, recorded, domains), target, withEntry);
    if (live)
        std::erase_if(changes, [](const PropertyChange& c) {
            return c.kind == PropertyChange::Kind::ManagementPermissions;
        });
    for (PropertyChange& c : changes)
        c.nowIsDefault = c.target.empty() ? !live : !targetIsLive;
    return changes;
}

std::string DescribeChanges(const std::vector<PropertyChange>& changes) {
    std::string text;
    for (const PropertyChange& c : changes)
        text += (text.empty() ? "" : ", ") + c.property + " " + c.recorded;
    return text;
}

uint32_t SetRecordedProperties(TOXLDFS& dfs, const std::vector<PropertyChange>& changes,
                               const EntryProperties& recorded, const DomainSids& domains,
                               std::string& failedProperty, size_t* setCount) {
    using Kind = PropertyChange::Kind;
    if (setCount) *setCount = 0;
    for (const PropertyChange& c : changes) {
        bool done = false;
        const TargetProperties* t =
            c.target.empty() ? nullptr : FindTarget(recorded, FoldedUtf8(c.target));
        switch (c.kind) {
        case Kind::State: {
            DFS_INFO_101 state{recorded.online ? DFS_VOLUME_STATE_ONLINE
                                               : DFS_VOLUME_STATE_OFFLINE};
            done = dfs.SetInfo(101, &state, false);
            break;
        }
        case Kind::TimeToLive: {
            DFS_INFO_102 ttl{recorded.timeToLiveSec};
            done = dfs.SetInfo(102, &ttl, false);
            break;
        }
        case Kind::Flag: {
            DFS_INFO_103 flags{c.flag, recorded.flags & c.flag};
            done = dfs.SetInfo(103, &flags, false);
            break;
        }
        case Kind::ViewPermissions: {
            // No recorded permissions: an empty descriptor takes the link's away.
            Expected<std::string> sd = recorded.viewSddl.empty()
                                           ? Expected<std::string>(std::string())
                                           : SddlToSecurityDescriptor(recorded.viewSddl, domains);
            if (!sd) {
                // Nothing was asked of the platform: the recorded text is what is wrong.
                failedProperty = "ViewPermissions (" + sd.error().text + ")";
                return sd.error().code;
            }
            DFS_INFO_150 view{static_cast<uint32_t>(sd->size()),
                              sd->empty() ? nullptr : reinterpret_cast<uint8_t*>(sd->data())};
            done = dfs.SetInfo(150, &view, false);
            break;
        }
        case Kind::ManagementPermissions: {
            // Given to a namespace just created: what the directory gave it stays beside.
            std::string current;
            if (!dfs.GetSecurity(current)) break;
            Expected<std::string> sd = WithDelegation(current, recorded.manageSddl, domains);
            if (!sd) {
                failedProperty = "ManagementPermissions (" + sd.error().text + ")";
                return sd.error().code;
            }
            done = dfs.SetSecurity(*sd);
            break;
        }
        case Kind::TargetState: {
            if (!t) break;
            DFS_INFO_101 state{t->online ? DFS_STORAGE_STATE_ONLINE : DFS_STORAGE_STATE_OFFLINE};
            done = dfs.SetInfo(101, &state, true);
            break;
        }
        case Kind::TargetPriority: {
            if (!t) break;
            DFS_INFO_104 priority{{static_cast<DFS_TARGET_PRIORITY_CLASS>(t->priorityClass),
                                   static_cast<uint16_t>(t->priorityRank), 0}};
            done = dfs.SetInfo(104, &priority, true);
            break;
        }
        }
        if (!done) {
            failedProperty = c.property + (c.target.empty() ? "" : " of the target");
            return dfs.LastError() != NERR_Success ? dfs.LastError() : ERROR_INVALID_PARAMETER;
        }
        if (setCount) ++*setCount;
    }
    return NERR_Success;
}

} // namespace kestrune
