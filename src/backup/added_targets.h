// The targets a restore run added, to tell a later line of the same target that it is there.
#pragma once

#include "backup/backup_record.h"
#include "base/hashed_key_index.h"

#include <cstddef>
#include <span>

namespace kestrune {

// Targets by their key (TargetKey), each kept as the key's hash and the record that added it.
class AddedTargets {
  public:
    // Room for every line's target is made at once: a large run that grew into it would hold
    // the index twice near its end.
    explicit AddedTargets(std::span<const BackupRecord> records) : records_(records) {
        added_.Reserve(records.size());
    }
    // The target of records[index], a backup line.
    void Add(int index);
    void Forget(int index);
    bool Contains(const BackupLineParts& line) const;

  private:
    std::span<const BackupRecord> records_;
    HashedKeyIndex added_; // records by their target's key
};

} // namespace kestrune
