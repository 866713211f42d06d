#include "cli/program_platform.h"

#include "platform/platform.h"

#include <ostream>
#include <vector>

namespace kestrune {

bool InstallProgramPlatform(std::ostream& err, std::string& error) {
    std::vector<std::string> notes;
    const bool installed = InstallPlatformFromEnvironment(error, &notes);
    for (const std::string& note : notes)
        err << "kestrune: not found in the directory: " << note << "\n";
    if (!installed) err << "kestrune: " << error << "\n";
    return installed;
}

} // namespace kestrune
