#include "base/file_io.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace kestrune {
namespace {

std::string FullName(const std::filesystem::path& file) {
    std::error_code ignored;
    std::filesystem::path full = std::filesystem::absolute(file, ignored);
    return (full.empty() ? file : full).string();
}

[[noreturn]] void Fail(const char* what, const std::filesystem::path& file, int error) {
    throw EFileError(std::string(what) + " \"" + FullName(file) + "\". " + SystemErrorText(error),
                     error);
}

} // namespace

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
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            int error = errno;
            ::close(fd);
            Fail("Cannot write file", file, error);
        }
        done += static_cast<size_t>(n);
    }
    if (::close(fd) != 0) Fail("Cannot write file", file, errno);
}

} // namespace kestrune
