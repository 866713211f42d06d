#include "backup/added_targets.h"

#include <functional>
#include <string>

namespace kestrune {
namespace {

size_t HashOf(const std::u16string& key) {
    return std::hash<std::u16string>{}(key);
}

} // namespace

void AddedTargets::Add(int index) {
    added_.emplace(HashOf(TargetKey(*records_[index].parts)), index);
}

void AddedTargets::Forget(int index) {
    if (!records_[index].parts) return;
    auto [first, last] = added_.equal_range(HashOf(TargetKey(*records_[index].parts)));
    for (auto it = first; it != last; ++it)
        if (it->second == index) {
            added_.erase(it);
            return;
        }
}

bool AddedTargets::Contains(const BackupLineParts& line) const {
    const std::u16string key = TargetKey(line);
    auto [first, last] = added_.equal_range(HashOf(key));
    for (auto it = first; it != last; ++it)
        if (TargetKey(*records_[it->second].parts) == key) return true;
    return false;
}

} // namespace kestrune
