// The targets a restore run added, to tell a later line of the same target that it is there.
#pragma once

#include "backup/backup_record.h"

#include <cstddef>
#include <span>
#include <unordered_map>

namespace kestrune {

// Targets by their key (TargetKey), each kept as the key's hash and the record that added it: a
// run of a hundred thousand lines holds a few bytes for each instead of the key itself.
class AddedTargets {
  public:
    explicit AddedTargets(std::span<const BackupRecord> records) : records_(records) {}
    // The target of records[index], a backup line.
    void Add(int index);
    void Forget(int index);
    bool Contains(const BackupLineParts& line) const;

  private:
    std::span<const BackupRecord> records_;
    std::unordered_multimap<size_t, int> added_; // hash of the key -> record
};

} // namespace kestrune
