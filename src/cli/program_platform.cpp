#include "cli/program_platform.h"

#include "platform/platform.h"

#include <ostream>
#include <vector>

namespace kestrune {

Expected<void> InstallProgramPlatform(std::ostream& err) {
    std::vector<std::string> notes;
    Expected<void> installed = InstallPlatformFromEnvironment(&notes);
    for (const std::string& note : notes)
        err << "kestrune: not found in the directory: " << note << "\n";
    if (!installed) err << "kestrune: " << installed.error().text << "\n";
    return installed;
}

} // namespace kestrune
