// What a restore reads before its first change, the same for the Restore window and --restore:
// the properties recorded for its input, and the namespaces as they are, so that a target that
// is there already is told from a path that overlaps another link.
#pragma once

#include "backup/live_namespaces.h"
#include "backup/restore_destination.h"
#include "backup/restore_properties.h"
#include "backup/restore_run.h"
#include "base/expected.h"
#include "base/security_descriptor.h"

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace kestrune {

struct RestorePreparation {
    // The backup file or dfsutil export the records come from; empty: nothing is recorded.
    std::filesystem::path input;
    // Where the lines go (--as, --map-server, the window's "Restore into another place").
    RestoreDestination destination;
    // The SIDs of a domain's groups, which view permissions may name by alias (DA): the
    // directory's answer. Unset: such aliases stay unresolved, and setting them fails.
    std::function<Expected<DomainSids>(const std::string& domain)> readDomainSids;
    // Told, in the code page, what is read but cannot be used ("the SIDs of ... cannot be read").
    std::function<void(const AnsiString& warning)> warn;
};

// The properties recorded for the input, their paths moved to the destination, with the SIDs of
// the groups they name by alias.
LoadedProperties LoadRecordedProperties(const RestorePreparation& preparation);

class PreparedRestore {
  public:
    PreparedRestore(TOXLDFS& dfs, const std::vector<BackupRecord>& records,
                    const RestorePreparation& preparation);
    PreparedRestore(const PreparedRestore&) = delete;
    PreparedRestore& operator=(const PreparedRestore&) = delete;

    // Hands the run the recorded properties (taken over) and what is live: a target the platform
    // refuses as existing and live confirms is "already there", and a link that is there keeps
    // its own properties. The run reads live while it lives.
    void Equip(RestoreRun& run);

    LoadedProperties properties;
    LiveNamespaces live;
};

} // namespace kestrune
