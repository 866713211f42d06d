#include "backup/restore_plan.h"

#include "base/message_table.h"
#include "base/win_errors.h"
#include "netdfs/link_names.h"

namespace kestrune {
namespace {

bool HasValidLinkNames(const AnsiString& entryPath, size_t rootSize) {
    size_t start = rootSize + 1;
    for (;;) {
        size_t slash = entryPath.find('\\', start);
        if (!IsValidLinkName(AnsiToWide(std::string_view(entryPath).substr(
                start, slash == AnsiString::npos ? AnsiString::npos : slash - start))))
            return false;
        if (slash == AnsiString::npos) return true;
        start = slash + 1;
    }
}

} // namespace

std::string TooLongFieldNote(const BackupLineParts& parts, const AnsiString& servername) {
    const std::pair<const char*, const AnsiString*> fields[] = {{"entry path", &parts.entryPath},
                                                                {"server name", &servername},
                                                                {"share name", &parts.target.share},
                                                                {"comment", &parts.comment}};
    for (const auto& [name, text] : fields)
        if (AnsiToWide(*text).size() > TOXLDFS::kMaxText)
            return std::string(" (the ") + name + " is longer than " +
                   std::to_string(TOXLDFS::kMaxText) + " characters)";
    return {};
}

PlannedLine PlanLine(const BackupRecord& record, const LiveNamespaces& live) {
    PlannedLine planned;
    auto fail = [&](uint32_t status, const std::string& note) {
        planned.action = PlannedLine::Action::WouldFail;
        planned.status = status;
        planned.reason = StatusText(status) + note;
        return planned;
    };
    const Expected<BackupLineParts> parts = record.Parts();
    if (!parts) {
        planned.action = PlannedLine::Action::WouldFail;
        planned.reason = parts.error().text;
        return planned;
    }
    const TargetParts& target = parts->target;
    if (std::string note = TooLongFieldNote(*parts, "\\\\" + target.server); !note.empty())
        return fail(ERROR_INVALID_PARAMETER, note);
    const AnsiString root = NamespaceOfEntry(parts->entryPath);
    if (root.empty()) return fail(ERROR_INVALID_PARAMETER, " (the entry path names no namespace)");
    const bool rootLine = parts->entryPath.size() == root.size();
    if (rootLine && live.IsGone(parts->entryPath)) {
        if (target.server.empty() || target.share.empty())
            return fail(ERROR_INVALID_PARAMETER, " (the target needs a server and a share)");
        planned.action = PlannedLine::Action::CreateNamespace;
        return planned;
    }
    if (const LiveNamespaces::ReadFailure* failure = live.FailureFor(parts->entryPath)) {
        planned.action = PlannedLine::Action::WouldFail;
        planned.status = failure->status;
        planned.reason =
            failure->error + (IsNoSuchNamespace(failure->status)
                                  ? " (" + root + " is gone; a line of its root creates it)"
                                  : " (" + root + " could not be read)");
        return planned;
    }
    if (live.HasTarget(parts->entryPath, target)) {
        planned.action = PlannedLine::Action::AlreadyThere;
        return planned;
    }
    if (target.server.empty() || target.share.empty())
        return fail(ERROR_INVALID_PARAMETER, " (the target needs a server and a share)");
    if (live.IsUnchangeableLegacy(parts->entryPath))
        return fail(ERROR_NOT_SUPPORTED,
                    " (" + Utf8ToAnsi(LegacyNamespaceRefusal(AnsiToWide(root))) + ")");
    if (rootLine) {
        planned.action = PlannedLine::Action::AddRootTarget;
        return planned;
    }
    if (!HasValidLinkNames(parts->entryPath, root.size())) return fail(ERROR_INVALID_NAME, "");
    if (live.Find(parts->entryPath)) {
        planned.action = PlannedLine::Action::AddTarget;
    } else if (const LiveEntry* other = live.Overlapping(parts->entryPath)) {
        return fail(ERROR_FILE_EXISTS, " (the path overlaps the link " + other->path + ")");
    } else {
        planned.action = PlannedLine::Action::AddLink;
    }
    return planned;
}

std::vector<PlannedLine> PlanRestore(const std::vector<BackupRecord>& records,
                                     LiveNamespaces& live) {
    std::vector<PlannedLine> plan;
    plan.reserve(records.size());
    for (int i : RestoreOrder(records)) {
        PlannedLine planned = PlanLine(records[i], live);
        planned.index = i;
        if (planned.action == PlannedLine::Action::CreateNamespace)
            live.RecordCreated(*records[i].Parts());
        else if (planned.action != PlannedLine::Action::AlreadyThere &&
                 planned.action != PlannedLine::Action::WouldFail)
            live.RecordRestored(*records[i].Parts());
        plan.push_back(std::move(planned));
    }
    return plan;
}

} // namespace kestrune
