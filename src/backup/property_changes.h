// What differs between an entry's properties as they are and as a properties file records
// them, and how each difference is set back: one comparison for the compare's drift report,
// the dry run and the restore alike.
#pragma once

#include "backup/backup_line.h"
#include "backup/properties_file.h"
#include "base/security_descriptor.h"
#include "dfs/toxldfs.h"

#include <string>
#include <vector>

namespace kestrune {

struct PropertyChange {
    enum class Kind {
        State,
        TimeToLive,
        Flag,
        ViewPermissions,
        ManagementPermissions,
        TargetState,
        TargetPriority
    };
    Kind kind = Kind::State;
    uint32_t flag = 0;    // Flag: the DFS_PROPERTY_FLAG_* bit
    std::string property; // as the properties file names it ("TimeToLiveSec", ...)
    // A target property's target (\\server\share, UTF-8, as recorded); empty for the entry's.
    std::string target;
    std::string now;      // the value as it is, written as the properties file writes it
    std::string recorded; // the value the file records
    // now is what a new link or target has before anything is set, not a value read live.
    bool nowIsDefault = false;
};

// Every property of recorded that differs in now: the entry's state, referral time, flags and
// view permissions, then each recorded target's state, priority class and rank, in the
// recorded order. Targets match by path, case ignored; a target that only one side has is
// no property change (the backup lines tell of it). Comments are left to the backup lines.
// View and management permissions compare as descriptors, whatever their SDDL spelling; domains
// resolves the aliases of a domain's groups (DA).
std::vector<PropertyChange> ChangedProperties(const EntryProperties& now,
                                              const EntryProperties& recorded,
                                              const DomainSids& domains = {});

// What a new link (or a namespace created anew, for a root's path) has before a restore sets
// anything: Windows' defaults, with the one target given.
EntryProperties NewLinkProperties(const std::string& path, const TargetParts& target);

// The changes that concern one backup line: the entry's own (withEntry, for the line that
// stands for its entry) and those of the line's target.
std::vector<PropertyChange> ChangesOfLine(const std::vector<PropertyChange>& changes,
                                          const TargetParts& target, bool withEntry);

// What one backup line's restore sets of the recorded entry: for a target it adds, the target's
// properties, and the entry's own for the line that stands for an entry it creates; with
// existing (--properties), also those of an entry and a target that are already there and
// differ. live: the entry as it is now, or null when it is not there (or not known). A target
// is added with a new target's defaults, a link created with a new link's. Who may manage a
// namespace is given only to one that is created (live null).
std::vector<PropertyChange> ChangesOfRestore(const EntryProperties& recorded,
                                             const EntryProperties* live, const TargetParts& target,
                                             bool targetIsLive, bool entryLine, bool existing,
                                             const DomainSids& domains = {});

// "State Offline, TimeToLiveSec 300": the recorded values the changes set.
std::string DescribeChanges(const std::vector<PropertyChange>& changes);

// Sets each change to its recorded value through the component, whose DFSEntry names the
// entry and whose Servername and ShareName name the target of target properties. Stops at
// the first that fails: failedProperty names it and the status returned says why (the
// component's LastError, or ERROR_INVALID_SECURITY_DESCR for permissions whose SDDL cannot be
// made a descriptor here). NERR_Success when every change was set. setCount, when given,
// receives how many were set, those before a failure included.
uint32_t SetRecordedProperties(TOXLDFS& dfs, const std::vector<PropertyChange>& changes,
                               const EntryProperties& recorded, const DomainSids& domains,
                               std::string& failedProperty, size_t* setCount = nullptr);

} // namespace kestrune
