#include "backup/restore_preparation.h"

#include "backup/restore_input.h"

namespace kestrune {

LoadedProperties LoadRecordedProperties(const RestorePreparation& preparation) {
    if (preparation.input.empty()) return {};
    LoadedProperties loaded = LoadRestoreProperties(preparation.input);
    Retarget(loaded, preparation.destination);
    if (!loaded.recorded || !loaded.recorded->NeedsDomains() || !preparation.readDomainSids)
        return loaded;
    RecordedProperties& recorded = *loaded.recorded;
    if (Expected<DomainSids> sids = preparation.readDomainSids(recorded.Domain()))
        recorded.SetDomains(std::move(*sids));
    else if (preparation.warn)
        preparation.warn("the SIDs of " + recorded.Domain() + "'s groups cannot be read (" +
                         Utf8ToAnsi(sids.error().text) +
                         "); view permissions that name them by alias are not set");
    return loaded;
}

PreparedRestore::PreparedRestore(TOXLDFS& dfs, const std::vector<BackupRecord>& records,
                                 const RestorePreparation& preparation)
    : properties(LoadRecordedProperties(preparation)) {
    // Whether a link is there, and as what, decides which of its properties a line sets.
    live.withProperties = properties.recorded.has_value();
    live.ReadNamespacesOf(dfs, records);
}

void PreparedRestore::Equip(RestoreRun& run) {
    run.loadedProperties = std::move(properties);
    run.targetIsLive = [this](const BackupLineParts& line) {
        return live.HasTarget(line.entryPath, line.target);
    };
    run.liveProperties = [this](const AnsiString& entryPath) {
        return live.PropertiesOf(entryPath);
    };
}

} // namespace kestrune
