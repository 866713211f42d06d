// --check-targets: whether the shares a backup file's targets point at are there, asked of
// their file servers over SMB.
#pragma once

#include "backup/backup_record.h"
#include "cli/command_line.h"
#include "shares/share_check.h"

#include <memory>
#include <optional>
#include <vector>

namespace kestrune {

class TargetCheck {
  public:
    // The timeout (KESTRUNE_SMB_TIMEOUT) and the system's probe, logged on as the program is;
    // nothing, with the reason on standard error, when either cannot be had.
    static std::optional<TargetCheck> Prepare(Console console);

    // The answer for each record's target, in their order; none for a line that is no backup
    // line. Progress on standard error unless quiet.
    std::vector<std::optional<ShareAnswer>> Check(const std::vector<BackupRecord>& records,
                                                  bool quiet, Console console) const;
    // The answer for each share, in their order.
    std::vector<ShareAnswer> CheckTargets(const std::vector<ShareTarget>& targets, bool quiet,
                                          Console console) const;

  private:
    TargetCheck(std::shared_ptr<const ShareProbe> probe, std::chrono::seconds timeout)
        : probe_(std::move(probe)), timeout_(timeout) {}

    std::shared_ptr<const ShareProbe> probe_;
    std::chrono::seconds timeout_;
};

// "reachable", "reachable (5: Access is denied.; the share exists)" or
// "unreachable (53: The network path was not found.)".
std::string TargetOutcome(const ShareAnswer& answer);

} // namespace kestrune
