#include "backup/backup_folder_lock.h"

#include "base/file_io.h"

#include <string>
#include <thread>
#include <utility>

namespace kestrune {

Expected<BackupFolderLock> BackupFolderLock::Take(const std::filesystem::path& folder,
                                                  std::chrono::milliseconds wait,
                                                  const std::function<bool()>& keepWaiting) {
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        Expected<FolderLock> lock = FolderLock::TryTake(folder);
        if (lock) return BackupFolderLock(std::move(*lock));
        if (!IsHeldByAnother(lock.error()))
            return FileError("Cannot lock folder", folder, lock.error());
        if (std::chrono::steady_clock::now() >= deadline || (keepWaiting && !keepWaiting()))
            return Error{lock.error().code,
                         "Another backup is writing into the folder \"" + FullFileName(folder) +
                             "\"; nothing was written (waited " +
                             std::to_string(std::chrono::ceil<std::chrono::seconds>(wait).count()) +
                             " s for it to end)."};
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

} // namespace kestrune
