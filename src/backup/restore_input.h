// What a restore, a comparison or a report reads: a backup file with the properties file beside
// it, or an export of "dfsutil root export", which holds both; told apart by content.
#pragma once

#include "backup/properties_file.h"
#include "backup/restore_properties.h"
#include "base/expected.h"

#include <filesystem>
#include <optional>
#include <vector>

namespace kestrune {

struct RestoreInput {
    std::vector<AnsiString> lines;
    std::optional<NamespaceProperties> exported; // an export's own properties
};

// The file's lines as ReadBackupLines gives them, or an export's lines and properties; or why
// there are none (an export that cannot be read names the element).
Expected<RestoreInput> ReadRestoreInput(const std::filesystem::path& file);

// The recorded properties for the file: an export's own, else LoadMatchingProperties.
LoadedProperties LoadRestoreProperties(const std::filesystem::path& file);

} // namespace kestrune
