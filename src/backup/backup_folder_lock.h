// One backup run at a time writes into a folder: two runs into one folder (two timers, a timer
// and a person) would sweep away each other's temporary files, move each other's properties
// files and prune each other's history copies. The lock is on the folder itself (nothing is
// written for it), held while the run writes and let go when its process ends, however it
// ends.
#pragma once

#include "base/expected.h"
#include "base/file_io.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <utility>

namespace kestrune {

class BackupFolderLock {
  public:
    // Takes the folder's lock, waiting at most wait for a run that holds it; keepWaiting, when
    // set, is asked between tries (a window handles its messages there and may give up). An
    // error names the folder and why: another run held it all along, or it cannot be locked.
    static Expected<BackupFolderLock> Take(const std::filesystem::path& folder,
                                           std::chrono::milliseconds wait,
                                           const std::function<bool()>& keepWaiting = {});

  private:
    explicit BackupFolderLock(FolderLock lock) : lock_(std::move(lock)) {}
    FolderLock lock_;
};

} // namespace kestrune
