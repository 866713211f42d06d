// The file operations whose POSIX and Windows forms differ: the POSIX forms.
#include "base/file_io.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrune {

int OpenFileDescriptor(const std::filesystem::path& file, int flags) {
    return ::open(file.c_str(), flags | O_CLOEXEC, 0666);
}

namespace {

// A mkstemp pattern for a name beside file: ".<file name>.kestrune-XXXXXX".
std::string TemporaryPattern(const std::filesystem::path& file) {
    std::filesystem::path folder = file.parent_path();
    return ((folder.empty() ? std::filesystem::path(".") : folder) /
            ("." + file.filename().string() + kTemporaryMark + "XXXXXX"))
        .string();
}

} // namespace

int OpenScratchFile(const std::filesystem::path& besideFile) {
    std::string pattern = TemporaryPattern(besideFile);
    int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd >= 0) ::unlink(pattern.c_str());
    return fd;
}

bool SyncFileDescriptor(int fd) {
    return ::fsync(fd) == 0;
}

bool TruncateFileDescriptor(int fd, uint64_t size) {
    // A size the system's offsets cannot hold would wrap around to a small or negative one.
    if (size > static_cast<uint64_t>(std::numeric_limits<off_t>::max())) {
        errno = EFBIG;
        return false;
    }
    while (::ftruncate(fd, static_cast<off_t>(size)) != 0)
        if (errno != EINTR) return false;
    return true;
}

long long ReadFileAt(int fd, void* buffer, size_t size, uint64_t offset) {
    return ::pread(fd, buffer, size, static_cast<off_t>(offset));
}

bool LockFileDescriptor(int fd, FileLock lock) {
    int operation = lock == FileLock::Shared      ? LOCK_SH
                    : lock == FileLock::Exclusive ? LOCK_EX
                                                  : LOCK_UN;
    while (::flock(fd, operation) != 0)
        if (errno != EINTR) return false;
    return true;
}

bool TryLockFileDescriptor(int fd, FileLock lock) {
    int operation = lock == FileLock::Shared ? LOCK_SH : LOCK_EX;
    while (::flock(fd, operation | LOCK_NB) != 0)
        if (errno != EINTR) return false;
    return true;
}

intptr_t TryLockFolder(const std::filesystem::path& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return -1;
    if (TryLockFileDescriptor(fd, FileLock::Exclusive)) return fd;
    const int error = errno;
    ::close(fd);
    errno = error;
    return -1;
}

void UnlockFolder(intptr_t handle) {
    if (handle >= 0) ::close(static_cast<int>(handle));
}

static FileIdentity IdentityOf(const struct stat& status) {
    return {static_cast<uint64_t>(status.st_dev), static_cast<uint64_t>(status.st_ino),
            static_cast<uint64_t>(status.st_size)};
}

bool IdentifyOpenFile(int fd, FileIdentity& identity) {
    struct stat status;
    if (::fstat(fd, &status) != 0) return false;
    identity = IdentityOf(status);
    return true;
}

bool IdentifyNamedFile(const std::filesystem::path& file, FileIdentity& identity) {
    struct stat status;
    if (::stat(file.c_str(), &status) != 0) return false;
    identity = IdentityOf(status);
    return true;
}

void ReplaceFileContents(const std::filesystem::path& file,
                         std::span<const std::string_view> pieces) {
    ReplaceFileContents(file, [pieces](int fd) { return WriteAll(fd, pieces); });
}

void ReplaceFileContents(const std::filesystem::path& file,
                         const std::function<bool(int fd)>& write) {
    std::string pattern = TemporaryPattern(file);
    int fd = ::mkstemp(pattern.data());
    if (fd < 0) ThrowFileError("Cannot create file", file, SystemErrorText(errno), errno);
    // Held until the file is renamed or removed: it tells a live write from a stale one.
    ::flock(fd, LOCK_EX);
    // mkstemp makes the file private; give it the permissions a new file normally gets.
    mode_t mask = ::umask(0);
    ::umask(mask);
    int error = 0;
    if (::fchmod(fd, 0666 & ~mask) != 0 || !write(fd) || !SyncFileDescriptor(fd)) error = errno;
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && ::rename(pattern.c_str(), file.c_str()) != 0) error = errno;
    if (error != 0) {
        ::unlink(pattern.c_str());
        ThrowFileError("Cannot create file", file, SystemErrorText(error), error);
    }
}

bool LinkFile(const std::filesystem::path& existing, const std::filesystem::path& name) {
    return ::link(existing.c_str(), name.c_str()) == 0;
}

bool MoveFileNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) {
#ifdef RENAME_NOREPLACE
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return false;
#endif
    // A file system that cannot refuse a taken name in the rename itself: a hard link claims
    // the new name (both names hold the file meanwhile); without hard links the name is looked
    // at first.
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return true;
    }
    if (errno == EEXIST) return false;
    struct stat status;
    if (::lstat(to.c_str(), &status) == 0) {
        errno = EEXIST;
        return false;
    }
    return ::rename(from.c_str(), to.c_str()) == 0;
}

void RemoveStaleTemporaries(const std::filesystem::path& folder) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        if (!IsTemporaryFileName(entry.path().filename().string())) continue;
        if (!entry.is_regular_file(error)) continue;
        int fd = ::open(entry.path().c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0) continue;
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) ::unlink(entry.path().c_str());
        ::close(fd);
    }
}

} // namespace kestrune
