// Where a restore puts a backup's lines when it is not where they came from: another namespace
// (a migration, a test copy, a domain rebuilt under another name) and file servers that were
// renamed or replaced.
#pragma once

#include "backup/backup_record.h"
#include "backup/properties_file.h"
#include "backup/restore_properties.h"
#include "base/expected.h"

#include <string_view>
#include <vector>

namespace kestrune {

// A target's server named OLD is restored as NEW. Names match whole and without regard to
// case, as written: "fs1" and "fs1.example.com" are different names.
struct ServerRename {
    AnsiString from;
    AnsiString to;
};

struct RestoreDestination {
    AnsiString asNamespace; // \\domain\namespace; empty: the namespace the lines name
    std::vector<ServerRename> servers;

    bool Empty() const { return asNamespace.empty() && servers.empty(); }
};

// "\\domain\namespace" for --as; an error says what is wrong.
Expected<AnsiString> ParseNamespacePath(std::string_view text);
// "OLD=NEW" for --map-server.
Expected<ServerRename> ParseServerRename(std::string_view text);
// Several renames at once: one OLD named twice is an error.
Expected<std::vector<ServerRename>> ParseServerRenames(const std::vector<AnsiString>& pairs);

// The records as the destination has them, each line's text written anew from its fields (as
// the backup writes a line), so what is shown and logged is what is restored. Lines that are
// no backup lines stay as they are. With asNamespace the lines must name one namespace: an
// error names two that they name.
Expected<void> Retarget(std::vector<BackupRecord>& records, const RestoreDestination& destination);

// The same for a properties file's paths and target paths.
void Retarget(NamespaceProperties& properties, const RestoreDestination& destination);
// The same for the properties file as a restore loaded it (LoadMatchingProperties).
void Retarget(LoadedProperties& loaded, const RestoreDestination& destination);

} // namespace kestrune
