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
#include <utility>

namespace kestrune {

Error SystemError(uint32_t code) {
    return {code, std::strerror(static_cast<int>(code))};
}

Error LastSystemError() {
    return SystemError(static_cast<uint32_t>(errno));
}

bool IsMissingFile(const Error& error) {
    return error.code == ENOENT;
}

bool IsNameTaken(const Error& error) {
    return error.code == EEXIST;
}

bool IsHeldByAnother(const Error& error) {
    return error.code == EWOULDBLOCK || error.code == EAGAIN;
}

bool IsWriteRefused(const Error& error) {
    return error.code == EACCES || error.code == EPERM || error.code == EROFS;
}

bool IsDiskFull(const Error& error) {
    return error.code == ENOSPC;
}

Expected<FileDescriptor> OpenFileDescriptor(const std::filesystem::path& file, int flags) {
    const int fd = ::open(file.c_str(), flags | O_CLOEXEC, 0666);
    if (fd < 0) return LastSystemError();
    return FileDescriptor(fd);
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

Expected<FileDescriptor> OpenScratchFile(const std::filesystem::path& besideFile) {
    std::string pattern = TemporaryPattern(besideFile);
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) return LastSystemError();
    ::unlink(pattern.c_str());
    return FileDescriptor(fd);
}

Expected<void> SyncFileDescriptor(const FileDescriptor& fd) {
    if (::fsync(fd.Get()) != 0) return LastSystemError();
    return {};
}

Expected<void> TruncateFileDescriptor(const FileDescriptor& fd, uint64_t size) {
    // A size the system's offsets cannot hold would wrap around to a small or negative one.
    if (size > static_cast<uint64_t>(std::numeric_limits<off_t>::max())) return SystemError(EFBIG);
    while (::ftruncate(fd.Get(), static_cast<off_t>(size)) != 0)
        if (errno != EINTR) return LastSystemError();
    return {};
}

Expected<size_t> ReadFileAt(const FileDescriptor& fd, void* buffer, size_t size, uint64_t offset) {
    for (;;) {
        const ssize_t n = ::pread(fd.Get(), buffer, size, static_cast<off_t>(offset));
        if (n >= 0) return static_cast<size_t>(n);
        if (errno != EINTR) return LastSystemError();
    }
}

namespace {

int FlockOperation(FileLock lock) {
    return lock == FileLock::Shared ? LOCK_SH : lock == FileLock::Exclusive ? LOCK_EX : LOCK_UN;
}

} // namespace

Expected<void> LockFileDescriptor(const FileDescriptor& fd, FileLock lock) {
    while (::flock(fd.Get(), FlockOperation(lock)) != 0)
        if (errno != EINTR) return LastSystemError();
    return {};
}

Expected<void> TryLockFileDescriptor(const FileDescriptor& fd, FileLock lock) {
    while (::flock(fd.Get(), FlockOperation(lock) | LOCK_NB) != 0)
        if (errno != EINTR) return LastSystemError();
    return {};
}

Expected<FolderLock> FolderLock::TryTake(const std::filesystem::path& folder) {
    Expected<FileDescriptor> fd = OpenFileDescriptor(folder, O_RDONLY | O_DIRECTORY);
    if (!fd) return fd.error();
    if (Expected<void> locked = TryLockFileDescriptor(*fd, FileLock::Exclusive); !locked)
        return locked.error();
    // The lock goes with the descriptor, which the FolderLock now owns.
    FileDescriptor owned = std::move(*fd);
    return FolderLock(owned.Release());
}

void FolderLock::Release() {
    if (handle_ < 0) return;
    FileDescriptor closing(static_cast<int>(std::exchange(handle_, -1)));
}

namespace {

FileIdentity IdentityOf(const struct stat& status) {
    return {static_cast<uint64_t>(status.st_dev), static_cast<uint64_t>(status.st_ino),
            static_cast<uint64_t>(status.st_size)};
}

} // namespace

Expected<FileIdentity> IdentifyOpenFile(const FileDescriptor& fd) {
    struct stat status;
    if (::fstat(fd.Get(), &status) != 0) return LastSystemError();
    return IdentityOf(status);
}

Expected<FileIdentity> IdentifyNamedFile(const std::filesystem::path& file) {
    struct stat status;
    if (::stat(file.c_str(), &status) != 0) return LastSystemError();
    return IdentityOf(status);
}

Expected<void>
ReplaceFileContents(const std::filesystem::path& file,
                    const std::function<Expected<void>(const FileDescriptor& fd)>& write) {
    std::string pattern = TemporaryPattern(file);
    const int created = ::mkstemp(pattern.data());
    if (created < 0) return FileError("Cannot create file", file, LastSystemError());
    FileDescriptor fd(created);
    // Held until the file is renamed or removed: it tells a live write from a stale one.
    (void)LockFileDescriptor(fd, FileLock::Exclusive);
    // mkstemp makes the file private; give it the permissions a new file normally gets.
    mode_t mask = ::umask(0);
    ::umask(mask);
    Expected<void> done = ::fchmod(fd.Get(), 0666 & ~mask) == 0 ? Expected<void>()
                                                                : Expected<void>(LastSystemError());
    if (done) done = write(fd);
    if (done) done = SyncFileDescriptor(fd);
    if (Expected<void> closed = fd.Close(); done && !closed) done = closed;
    if (done && ::rename(pattern.c_str(), file.c_str()) != 0) done = LastSystemError();
    if (!done) {
        ::unlink(pattern.c_str());
        return FileError("Cannot create file", file, done.error());
    }
    return {};
}

Expected<void> LinkFile(const std::filesystem::path& existing, const std::filesystem::path& name) {
    if (::link(existing.c_str(), name.c_str()) != 0) return LastSystemError();
    return {};
}

Expected<void> MoveFileNoReplace(const std::filesystem::path& from,
                                 const std::filesystem::path& to) {
#ifdef RENAME_NOREPLACE
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return {};
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return LastSystemError();
#endif
    // A file system that cannot refuse a taken name in the rename itself: a hard link claims
    // the new name (both names hold the file meanwhile); without hard links the name is looked
    // at first.
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return {};
    }
    if (errno == EEXIST) return LastSystemError();
    struct stat status;
    if (::lstat(to.c_str(), &status) == 0) return SystemError(EEXIST);
    if (::rename(from.c_str(), to.c_str()) != 0) return LastSystemError();
    return {};
}

void RemoveStaleTemporaries(const std::filesystem::path& folder) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        if (!IsTemporaryFileName(entry.path().filename().string())) continue;
        if (!entry.is_regular_file(error)) continue;
        Expected<FileDescriptor> fd = OpenFileDescriptor(entry.path(), O_RDONLY | O_NOFOLLOW);
        if (fd && TryLockFileDescriptor(*fd, FileLock::Exclusive)) ::unlink(entry.path().c_str());
    }
}

} // namespace kestrune
