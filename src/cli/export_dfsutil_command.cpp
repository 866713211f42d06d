#include "cli/export_dfsutil_command.h"

#include "backup/dfsutil_export.h"
#include "backup/restore_input.h"
#include "backup/run_report.h"
#include "base/file_io.h"
#include "base/paths.h"

#include <ostream>

namespace kestrune {

int RunExportDfsutilCommand(const std::string& file, const std::string& out, Console console) {
    const std::filesystem::path input = PathFromUtf8(file);
    Expected<RestoreInput> read = ReadRestoreInput(input);
    if (!read) {
        console.err << "kestrune: " << read.error().text << "\n";
        return kExitUsage;
    }
    LoadedProperties loaded = LoadRestoreProperties(input);
    // Without its properties the export still holds every target, with the defaults.
    if (!loaded.warning.empty())
        console.err << "kestrune: warning: " << ConsoleText(loaded.warning)
                    << "; the export has the default states and referral times\n";
    Expected<std::string> xml =
        FormatDfsutilExport(read->lines, loaded.recorded ? &loaded.recorded->All() : nullptr);
    if (!xml) {
        console.err << "kestrune: " << file << ": " << ConsoleText(xml.error().text) << "\n";
        return kExitUsage;
    }
    if (Expected<void> written = ReplaceFileContents(PathFromUtf8(out), *xml); !written) {
        console.err << "kestrune: " << written.error().text << "\n";
        return kExitFailure;
    }
    return kExitSuccess;
}

} // namespace kestrune
