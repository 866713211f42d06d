// What to tell after a restore created a namespace in the directory itself (over LDAP): the
// directory's objects alone make a namespace that no server serves. Each root target's server
// still needs the share and its own record of the namespace.
#pragma once

#include "backup/backup_line.h"

#include <vector>

namespace kestrune {

struct CreatedNamespace {
    AnsiString root;                  // \\domain\namespace
    std::vector<TargetParts> targets; // its root targets: server and share
};

// Collects, from the lines a restore run restored, the namespaces it created and the root
// targets each got in the run.
class CreatedNamespaces {
  public:
    // A line restored: a root line that created its namespace, or a further root target of
    // one created earlier in the run. Other lines are passed over.
    void Restored(const BackupLineParts& line, bool createdNamespace);
    const std::vector<CreatedNamespace>& All() const { return created_; }

  private:
    std::vector<CreatedNamespace> created_;
};

// One paragraph per namespace, without a line end: which server needs which share, and what to
// run there.
std::vector<AnsiString> NewNamespaceNotes(const std::vector<CreatedNamespace>& created);

} // namespace kestrune
