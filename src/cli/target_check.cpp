#include "cli/target_check.h"

#include "cli/progress.h"
#include "platform/smb/share_probes.h"

#include <ostream>

namespace kestrune {

std::optional<TargetCheck> TargetCheck::Prepare(Console console) {
    Expected<std::chrono::seconds> timeout = SmbTimeoutFromEnvironment();
    if (!timeout) {
        console.err << "kestrune: " << timeout.error().text << "\n";
        return std::nullopt;
    }
    Expected<std::shared_ptr<const ShareProbe>> probe = smb::MakeSystemShareProbe();
    if (!probe) {
        console.err << "kestrune: the targets cannot be checked: " << probe.error().text << "\n";
        return std::nullopt;
    }
    return TargetCheck(*probe, *timeout);
}

std::vector<std::optional<ShareAnswer>> TargetCheck::Check(const std::vector<BackupRecord>& records,
                                                           bool quiet, Console console) const {
    std::vector<ShareTarget> targets;
    std::vector<size_t> recordOf;
    for (size_t i = 0; i < records.size(); ++i)
        if (const Expected<BackupLineParts> parts = records[i].Parts()) {
            targets.push_back({parts->target.server, parts->target.share});
            recordOf.push_back(i);
        }
    const std::vector<ShareAnswer> answers = CheckTargets(targets, quiet, console);
    std::vector<std::optional<ShareAnswer>> ofRecord(records.size());
    for (size_t t = 0; t < answers.size(); ++t)
        ofRecord[recordOf[t]] = answers[t];
    return ofRecord;
}

std::vector<ShareAnswer> TargetCheck::CheckTargets(const std::vector<ShareTarget>& targets,
                                                   bool quiet, Console console) const {
    std::optional<LineProgress> progress;
    ShareCheckSettings settings;
    settings.timeout = timeout_;
    settings.serverDone = [&](int done, int servers) {
        if (done == 0)
            progress.emplace(console, servers, "servers", !quiet);
        else
            progress->Step();
    };
    std::vector<ShareAnswer> answers = CheckShares(probe_, targets, settings);
    if (progress) progress->Finish();
    return answers;
}

std::string TargetOutcome(const ShareAnswer& answer) {
    const std::string reason = std::to_string(answer.code) + ": " + answer.text;
    switch (answer.state) {
    case ShareAnswer::State::Reachable:
        return "reachable";
    case ShareAnswer::State::AccessDenied:
        return "reachable (" + reason + "; the share exists)";
    case ShareAnswer::State::Unreachable:
        break;
    }
    return "unreachable (" + reason + ")";
}

} // namespace kestrune
