#include "backup/management_permissions.h"

#include "backup/backup_line.h"
#include "base/dacl_entries.h"
#include "base/message_table.h"
#include "base/win_errors.h"

#include <algorithm>

namespace kestrune {
namespace {

constexpr std::string_view kDomainAdminsRid = "-512";
constexpr std::string_view kCreatorOwner = "S-1-3-0";
// Of the DACL's control, whether it blocks what the containers above would give: the directory
// sets the others (auto-inherited) on every object.
constexpr uint16_t kDaclProtected = 0x1000;

// Whether entry is the default entry for the domain's admins, any domain's when it is not
// known.
bool IsDefaultForSomeDomainAdmins(std::string_view entry, std::string_view defaultEntry) {
    if (entry.size() != defaultEntry.size() || entry.substr(0, 8) != defaultEntry.substr(0, 8))
        return false;
    const std::string sid = EntrySidText(entry);
    return sid.starts_with("S-1-5-21-") && sid.ends_with(kDomainAdminsRid);
}

// An entry of the defaults, and the form a directory may give it instead: the creator owner's
// entry is given to the new object's owner (Samba does so).
struct DefaultEntry {
    std::string entry, orOwners;
};

Expected<std::vector<DefaultEntry>> DefaultEntries(const DomainSids& domains,
                                                   const std::string& ownerSid) {
    // A placeholder domain stands for the unknown one: its admins' entry is matched by shape.
    DomainSids resolved = domains;
    if (resolved.domain.empty()) resolved.domain = "S-1-5-21-0-0-0";
    Expected<std::string> sd = SddlToSecurityDescriptor(kNamespaceDefaultDacl, resolved);
    if (!sd) return sd.error();
    Expected<Dacl> dacl = ReadDacl(*sd);
    if (!dacl) return dacl.error();
    std::vector<DefaultEntry> defaults;
    for (std::string& entry : dacl->entries) {
        std::string owners;
        if (!ownerSid.empty() && EntrySidText(entry) == kCreatorOwner) {
            owners = entry.substr(0, 8) + ownerSid;
            owners[2] = static_cast<char>(owners.size() & 0xFF);
            owners[3] = static_cast<char>(owners.size() >> 8);
        }
        defaults.push_back({std::move(entry), std::move(owners)});
    }
    return defaults;
}

} // namespace

Expected<std::string> DelegationOf(std::string_view descriptor, const DomainSids& domains) {
    Expected<Dacl> dacl = ReadDacl(descriptor);
    if (!dacl) return dacl.error();
    Expected<std::vector<DefaultEntry>> defaults = DefaultEntries(domains, OwnerSid(descriptor));
    if (!defaults) return defaults.error();
    Dacl own{static_cast<uint16_t>(dacl->control & kDaclProtected), {}};
    for (const std::string& entry : dacl->entries) {
        if (IsInheritedEntry(entry)) continue;
        auto isDefault = [&](const DefaultEntry& d) {
            return entry == d.entry || entry == d.orOwners ||
                   (domains.domain.empty() && IsDefaultForSomeDomainAdmins(entry, d.entry));
        };
        // Each default stands for one entry: a second, equal one was given on purpose.
        auto found = std::find_if(defaults->begin(), defaults->end(), isDefault);
        if (found != defaults->end())
            defaults->erase(found);
        else
            own.entries.push_back(entry);
    }
    if (own.entries.empty() && !own.control) return std::string();
    Expected<std::string> sd = DaclDescriptor(own);
    if (!sd) return sd.error();
    return SecurityDescriptorToSddl(*sd);
}

Expected<std::string> WithDelegation(std::string_view current, std::string_view recordedSddl,
                                     const DomainSids& domains) {
    Expected<Dacl> now = ReadDacl(current);
    if (!now) return now.error();
    Expected<std::string> recordedSd = SddlToSecurityDescriptor(recordedSddl, domains);
    if (!recordedSd) return recordedSd.error();
    Expected<Dacl> recorded = ReadDacl(*recordedSd);
    if (!recorded) return recorded.error();
    std::vector<std::string> denying, allowing, inherited;
    for (const std::string& e : now->entries)
        (IsInheritedEntry(e) ? inherited : IsDenyingEntry(e) ? denying : allowing).push_back(e);
    for (const std::string& e : recorded->entries) {
        std::vector<std::string>& own = IsDenyingEntry(e) ? denying : allowing;
        if (std::find(own.begin(), own.end(), e) == own.end()) own.push_back(e);
    }
    Dacl merged{static_cast<uint16_t>(now->control | (recorded->control & kDaclProtected)),
                std::move(denying)};
    merged.entries.insert(merged.entries.end(), allowing.begin(), allowing.end());
    merged.entries.insert(merged.entries.end(), inherited.begin(), inherited.end());
    return DaclDescriptor(merged);
}

Expected<std::optional<std::string>> ReadDelegation(TOXLDFS& dfs, const DomainSids& domains) {
    std::string descriptor;
    if (!dfs.GetSecurity(descriptor)) {
        if (dfs.LastError() == ERROR_NOT_SUPPORTED) return std::optional<std::string>();
        return Error{dfs.LastError(),
                     "who may manage the namespace cannot be read: " + StatusText(dfs.LastError())};
    }
    Expected<std::string> delegation = DelegationOf(descriptor, domains);
    if (!delegation)
        return Error{delegation.error().code,
                     "who may manage the namespace cannot be kept: " + delegation.error().text};
    return std::optional<std::string>(std::move(*delegation));
}

} // namespace kestrune
