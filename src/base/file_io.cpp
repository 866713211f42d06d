#include "base/file_io.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrune {
namespace {

// Marks the temporary files of ReplaceFileContents, so that stale ones can be told apart.
constexpr const char* kTemporaryMark = ".kestrune-";

[[noreturn]] void Fail(const char* what, const std::filesystem::path& file, int error) {
    throw EFileError(
        std::string(what) + " \"" + FullFileName(file) + "\". " + SystemErrorText(error), error);
}

// Writes all bytes to fd; errno on failure.
bool WriteAll(int fd, std::string_view bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

} // namespace

std::string FullFileName(const std::filesystem::path& file) {
    std::error_code ignored;
    std::filesystem::path full = std::filesystem::absolute(file, ignored);
    return (full.empty() ? file : full).string();
}

bool ForceDirectories(const std::filesystem::path& folder) {
    std::error_code error;
    if (folder.empty()) return true;
    std::filesystem::create_directories(folder, error);
    if (error) {
        errno = error.value();
        return false;
    }
    return true;
}

void ReplaceFileContents(const std::filesystem::path& file, std::string_view bytes) {
    std::filesystem::path folder = file.parent_path();
    std::string pattern = ((folder.empty() ? std::filesystem::path(".") : folder) /
                           ("." + file.filename().string() + kTemporaryMark + "XXXXXX"))
                              .string();
    int fd = ::mkstemp(pattern.data());
    if (fd < 0) Fail("Cannot create file", file, errno);
    // Held until the file is renamed or removed: it tells a live write from a stale one.
    ::flock(fd, LOCK_EX);
    // mkstemp makes the file private; give it the permissions a new file normally gets.
    mode_t mask = ::umask(0);
    ::umask(mask);
    int error = 0;
    if (::fchmod(fd, 0666 & ~mask) != 0 || !WriteAll(fd, bytes) || ::fsync(fd) != 0) error = errno;
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && ::rename(pattern.c_str(), file.c_str()) != 0) error = errno;
    if (error != 0) {
        ::unlink(pattern.c_str());
        Fail("Cannot create file", file, error);
    }
}

void RemoveStaleTemporaries(const std::filesystem::path& folder) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        // ".<target name>.kestrune-XXXXXX", as ReplaceFileContents names them.
        const size_t mark = name.rfind(kTemporaryMark);
        if (name[0] != '.' || mark == std::string::npos ||
            mark + std::strlen(kTemporaryMark) + 6 != name.size())
            continue;
        if (!entry.is_regular_file(error)) continue;
        int fd = ::open(entry.path().c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0) continue;
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) ::unlink(entry.path().c_str());
        ::close(fd);
    }
}

std::string SystemErrorText(int error) {
    return std::strerror(error);
}

std::string ReadWholeFile(const std::filesystem::path& file) {
    int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) Fail("Cannot open file", file, errno);
    std::string bytes;
    char buffer[1 << 16];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            int error = errno;
            ::close(fd);
            Fail("Cannot read file", file, error);
        }
        if (n == 0) break;
        bytes.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    return bytes;
}

void WriteWholeFile(const std::filesystem::path& file, std::string_view bytes) {
    int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) Fail("Cannot create file", file, errno);
    if (!WriteAll(fd, bytes)) {
        int error = errno;
        ::close(fd);
        Fail("Cannot write file", file, error);
    }
    if (::close(fd) != 0) Fail("Cannot write file", file, errno);
}

} // namespace kestrune
