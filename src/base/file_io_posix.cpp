// The file operations whose POSIX and Windows forms differ: the POSIX forms.
#include "base/file_io.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrune {

int OpenFileDescriptor(const std::filesystem::path& file, int flags) {
    return ::open(file.c_str(), flags | O_CLOEXEC, 0666);
}

bool SyncFileDescriptor(int fd) {
    return ::fsync(fd) == 0;
}

void ReplaceFileContents(const std::filesystem::path& file, std::string_view bytes) {
    std::filesystem::path folder = file.parent_path();
    std::string pattern = ((folder.empty() ? std::filesystem::path(".") : folder) /
                           ("." + file.filename().string() + kTemporaryMark + "XXXXXX"))
                              .string();
    int fd = ::mkstemp(pattern.data());
    if (fd < 0) ThrowFileError("Cannot create file", file, SystemErrorText(errno), errno);
    // Held until the file is renamed or removed: it tells a live write from a stale one.
    ::flock(fd, LOCK_EX);
    // mkstemp makes the file private; give it the permissions a new file normally gets.
    mode_t mask = ::umask(0);
    ::umask(mask);
    int error = 0;
    if (::fchmod(fd, 0666 & ~mask) != 0 || !WriteAll(fd, bytes) || !SyncFileDescriptor(fd))
        error = errno;
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && ::rename(pattern.c_str(), file.c_str()) != 0) error = errno;
    if (error != 0) {
        ::unlink(pattern.c_str());
        ThrowFileError("Cannot create file", file, SystemErrorText(error), error);
    }
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
