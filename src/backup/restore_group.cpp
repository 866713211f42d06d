#include "backup/restore_group.h"

#include "backup/backup_line.h"

namespace kestrune {

void FailGroup(std::span<GroupedLine> lines, uint32_t status, const std::string& detail) {
    for (GroupedLine& grouped : lines) {
        RestoredLine& line = grouped.line;
        if (!line.changedNamespace) continue;
        line.outcome = RestoredLine::Outcome::Failed;
        line.status = status;
        line.lostCharacters = false;
        line.propertiesSet.clear();
        line.reason = DfsFailureText(status, detail);
        // The "Restoring" line stays; what it said of the outcome was not kept.
        std::vector<std::pair<AnsiString, uint32_t>>& log = grouped.log.lines;
        if (log.size() > 1) log.resize(1);
        log.emplace_back("Failed " + line.reason, clRed);
    }
}

} // namespace kestrune
