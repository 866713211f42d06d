#include "base/paths.h"

namespace kestrune {

AnsiString IncludeTrailingPathDelimiter(const AnsiString& folder) {
    if (folder.empty() || folder.back() == kPathDelim) return folder;
    return folder + kPathDelim;
}

} // namespace kestrune
