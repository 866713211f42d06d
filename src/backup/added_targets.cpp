#include "backup/added_targets.h"

namespace kestrune {

void AddedTargets::Add(int index) {
    added_.Add(TargetKey(*records_[index].Parts()), static_cast<size_t>(index));
}

void AddedTargets::Forget(int index) {
    if (records_[index].IsBackupLine())
        added_.Remove(TargetKey(*records_[index].Parts()), static_cast<size_t>(index));
}

bool AddedTargets::Contains(const BackupLineParts& line) const {
    const std::u16string key = TargetKey(line);
    return added_.Find(key, [&](size_t index) {
        return TargetKey(*records_[index].Parts()) == key;
    }) != HashedKeyIndex::npos;
}

} // namespace kestrune
