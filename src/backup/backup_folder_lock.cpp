#include "backup/backup_folder_lock.h"

#include "base/file_io.h"

#include <cerrno>
#include <string>
#include <thread>
#include <utility>

namespace kestrune {

Expected<BackupFolderLock> BackupFolderLock::Take(const std::filesystem::path& folder,
                                                  std::chrono::milliseconds wait,
                                                  const std::function<bool()>& keepWaiting) {
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        const intptr_t handle = TryLockFolder(folder);
        if (handle != -1) return BackupFolderLock(handle);
        const int error = errno;
        if (error != EWOULDBLOCK && error != EAGAIN)
            return Error{static_cast<uint32_t>(error), "Cannot lock folder \"" +
                                                           FullFileName(folder) + "\". " +
                                                           SystemErrorText(error)};
        if (std::chrono::steady_clock::now() >= deadline || (keepWaiting && !keepWaiting()))
            return Error{static_cast<uint32_t>(EWOULDBLOCK),
                         "Another backup is writing into the folder \"" + FullFileName(folder) +
                             "\"; nothing was written (waited " +
                             std::to_string(std::chrono::ceil<std::chrono::seconds>(wait).count()) +
                             " s for it to end)."};
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

BackupFolderLock::BackupFolderLock(BackupFolderLock&& other) noexcept
    : handle_(std::exchange(other.handle_, -1)) {}

BackupFolderLock& BackupFolderLock::operator=(BackupFolderLock&& other) noexcept {
    if (this != &other) {
        UnlockFolder(handle_);
        handle_ = std::exchange(other.handle_, -1);
    }
    return *this;
}

BackupFolderLock::~BackupFolderLock() {
    UnlockFolder(handle_);
}

} // namespace kestrune
