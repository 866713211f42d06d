#include "base/file_io.h"

#include "base/paths.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrune {
namespace {

[[noreturn]] void Fail(const char* what, const std::filesystem::path& file, int error) {
    ThrowFileError(what, file, SystemErrorText(error), error);
}

} // namespace

void ThrowFileError(const char* what, const std::filesystem::path& file, const std::string& reason,
                    int error) {
    throw EFileError(std::string(what) + " \"" + FullFileName(file) + "\". " + reason, error);
}

bool WriteAll(int fd, std::string_view bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        auto n = ::write(fd, bytes.data() + done, static_cast<unsigned>(bytes.size() - done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

bool WriteAll(int fd, std::span<const std::string_view> pieces) {
    // One system call per piece would cost more than the copying for a file of short elements.
    constexpr size_t kGathered = size_t(1) << 18;
    std::string gathered;
    for (std::string_view piece : pieces) {
        if (gathered.size() + piece.size() > kGathered) {
            if (!WriteAll(fd, gathered)) return false;
            gathered.clear();
        }
        if (piece.size() >= kGathered) {
            if (!WriteAll(fd, piece)) return false;
        } else {
            if (gathered.empty()) gathered.reserve(kGathered);
            gathered += piece;
        }
    }
    return WriteAll(fd, gathered);
}

void ReplaceFileContents(const std::filesystem::path& file, std::string_view bytes) {
    ReplaceFileContents(file, std::span<const std::string_view>(&bytes, 1));
}

std::string FullFileName(const std::filesystem::path& file) {
    std::error_code ignored;
    std::filesystem::path full = std::filesystem::absolute(file, ignored);
    return AnsiFromPath(full.empty() ? file : full);
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

bool IsTemporaryFileName(const std::string& name) {
    const size_t mark = name.rfind(kTemporaryMark);
    return !name.empty() && name[0] == '.' && mark != std::string::npos &&
           mark + std::strlen(kTemporaryMark) + 6 == name.size();
}

std::string SystemErrorText(int error) {
    return std::strerror(error);
}

namespace {

// Every byte up to the end, or up to one byte more than limit. Closes fd.
std::string ReadToEnd(int fd, const std::filesystem::path& file, uint64_t limit) {
    std::string bytes;
    char buffer[1 << 16];
    for (;;) {
        auto n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            int error = errno;
            ::close(fd);
            Fail("Cannot read file", file, error);
        }
        if (n == 0) break;
        bytes.append(buffer, static_cast<size_t>(n));
        if (bytes.size() > limit) break;
    }
    ::close(fd);
    return bytes;
}

std::string SizeText(uint64_t bytes) {
    constexpr uint64_t kMiB = uint64_t(1) << 20;
    return bytes % kMiB == 0 ? std::to_string(bytes / kMiB) + " MiB"
                             : std::to_string(bytes) + " bytes";
}

} // namespace

std::string ReadWholeFile(const std::filesystem::path& file) {
    int fd = OpenFileDescriptor(file, O_RDONLY);
    if (fd < 0) Fail("Cannot open file", file, errno);
    return ReadToEnd(fd, file, UINT64_MAX);
}

std::string ReadRegularFile(const std::filesystem::path& file, uint64_t maxBytes) {
#ifdef O_NONBLOCK
    // Opening a pipe would otherwise wait for a writer.
    int fd = OpenFileDescriptor(file, O_RDONLY | O_NONBLOCK);
#else
    int fd = OpenFileDescriptor(file, O_RDONLY);
#endif
    if (fd < 0) Fail("Cannot open file", file, errno);
    struct stat status;
    if (::fstat(fd, &status) != 0) {
        int error = errno;
        ::close(fd);
        Fail("Cannot open file", file, error);
    }
    if (!S_ISREG(status.st_mode)) {
        ::close(fd);
        if (S_ISDIR(status.st_mode)) Fail("Cannot open file", file, EISDIR);
        ThrowFileError("Cannot open file", file,
                       "It is not a regular file but a device, a pipe or a socket.", EINVAL);
    }
    auto tooLarge = [&] {
        ThrowFileError("Cannot read file", file, "It is larger than " + SizeText(maxBytes) + ".",
                       EFBIG);
    };
    if (static_cast<uint64_t>(status.st_size) > maxBytes) {
        ::close(fd);
        tooLarge();
    }
    // A file that grows while it is read is held to the same bound.
    std::string bytes = ReadToEnd(fd, file, maxBytes);
    if (bytes.size() > maxBytes) tooLarge();
    return bytes;
}

void WriteWholeFile(const std::filesystem::path& file, std::string_view bytes) {
    int fd = OpenFileDescriptor(file, O_WRONLY | O_CREAT | O_TRUNC);
    if (fd < 0) Fail("Cannot create file", file, errno);
    if (!WriteAll(fd, bytes)) {
        int error = errno;
        ::close(fd);
        Fail("Cannot write file", file, error);
    }
    if (::close(fd) != 0) Fail("Cannot write file", file, errno);
}

} // namespace kestrune
