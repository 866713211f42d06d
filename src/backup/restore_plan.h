// What a restore would do, line by line, without changing anything.
#pragma once

#include "backup/backup_record.h"
#include "backup/live_namespaces.h"

#include <string>
#include <vector>

namespace kestrune {

struct PlannedLine {
    // CreateNamespace: the namespace is gone and the line's root target brings it back;
    // AddRootTarget: a namespace that is there gains the line's root target.
    enum class Action {
        AddLink,
        AddTarget,
        CreateNamespace,
        AddRootTarget,
        AlreadyThere,
        WouldFail
    };
    int index = 0; // in the lines given
    Action action = Action::AddLink;
    uint32_t status = 0; // the platform's answer a failure would bring; 0 for no backup line
    std::string reason;  // why it would fail: the platform's code and text, and a note
};

// Which text handed to the DFS component is too long for it, as " (the <field> is longer than
// <n> characters)"; empty when none is. servername is the name as handed over.
std::string TooLongFieldNote(const BackupLineParts& parts, const AnsiString& servername);

// What restoring one line would do with the namespaces as live holds them. The platform's
// rules are the ones a restore meets: fields that fit, a server and a share, valid link names,
// no link above or below another, a namespace that is there (or a root line that creates it).
PlannedLine PlanLine(const BackupRecord& record, const LiveNamespaces& live);

// Every line in the order the restore run takes it (RestoreOrder; flags 0). live takes in each
// target a restore would add, so a line sees what the lines before it would have done.
std::vector<PlannedLine> PlanRestore(const std::vector<BackupRecord>& records,
                                     LiveNamespaces& live);

} // namespace kestrune
