// The file operations whose POSIX and Windows forms are the same.
#include "base/file_io.h"

#include "base/paths.h"
#include "base/system_call.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace kestrune {

void OrThrowFileError(const Expected<void>& result) {
    if (!result) throw EFileError(result.error().text, static_cast<int>(result.error().code));
}

FileDescriptor::FileDescriptor(FileDescriptor&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)) {}

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
        (void)Close();
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

FileDescriptor::~FileDescriptor() {
    (void)Close();
}

Expected<void> FileDescriptor::Close() {
    if (fd_ < 0) return {};
    const int fd = std::exchange(fd_, -1);
    if (SystemCall([fd] { return ::close(fd); }) != 0) return LastSystemError();
    return {};
}

int FileDescriptor::Release() {
    return std::exchange(fd_, -1);
}

FolderLock::FolderLock(FolderLock&& other) noexcept : handle_(std::exchange(other.handle_, -1)) {}

FolderLock& FolderLock::operator=(FolderLock&& other) noexcept {
    if (this != &other) {
        Release();
        handle_ = std::exchange(other.handle_, -1);
    }
    return *this;
}

FolderLock::~FolderLock() {
    Release();
}

Error FileError(const char* what, const std::filesystem::path& file, const Error& reason) {
    return {reason.code, std::string(what) + " \"" + FullFileName(file) + "\". " + reason.text};
}

void ThrowFileError(const char* what, const std::filesystem::path& file, const std::string& reason,
                    int error) {
    throw EFileError(std::string(what) + " \"" + FullFileName(file) + "\". " + reason, error);
}

Expected<void> WriteAll(const FileDescriptor& fd, std::string_view bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        auto n = SystemCall([&] {
            return ::write(fd.Get(), bytes.data() + done,
                           static_cast<unsigned>(bytes.size() - done));
        });
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return LastSystemError();
        done += static_cast<size_t>(n);
    }
    return {};
}

Expected<void> WriteAll(const FileDescriptor& fd, std::span<const std::string_view> pieces) {
    // One system call per piece would cost more than the copying for a file of short elements.
    constexpr size_t kGathered = size_t(1) << 18;
    std::string gathered;
    for (std::string_view piece : pieces) {
        if (gathered.size() + piece.size() > kGathered) {
            if (Expected<void> written = WriteAll(fd, gathered); !written) return written;
            gathered.clear();
        }
        if (piece.size() >= kGathered) {
            if (Expected<void> written = WriteAll(fd, piece); !written) return written;
        } else {
            if (gathered.empty()) gathered.reserve(kGathered);
            gathered += piece;
        }
    }
    return WriteAll(fd, gathered);
}

Expected<void> ReplaceFileContents(const std::filesystem::path& file, std::string_view bytes) {
    return ReplaceFileContents(file, std::span<const std::string_view>(&bytes, 1));
}

Expected<void> ReplaceFileContents(const std::filesystem::path& file,
                                   std::span<const std::string_view> pieces) {
    return ReplaceFileContents(file,
                               [pieces](const FileDescriptor& fd) { return WriteAll(fd, pieces); });
}

std::string FullFileName(const std::filesystem::path& file) {
    std::error_code ignored;
    std::filesystem::path full = std::filesystem::absolute(file, ignored);
    return AnsiFromPath(full.empty() ? file : full);
}

bool IsTemporaryFileName(const std::string& name) {
    const size_t mark = name.rfind(kTemporaryMark);
    return !name.empty() && name[0] == '.' && mark != std::string::npos &&
           mark + std::strlen(kTemporaryMark) + 6 == name.size();
}

namespace {

// Gives every byte up to the end, a piece at a time, or up to one byte more than limit; the
// count given.
Expected<uint64_t> ReadPiecesToEnd(const FileDescriptor& fd, const std::filesystem::path& file,
                                   uint64_t limit,
                                   const std::function<void(std::string_view)>& piece) {
    uint64_t given = 0;
    std::vector<char> buffer(size_t(1) << 16);
    for (;;) {
        auto n = SystemCall([&] { return ::read(fd.Get(), buffer.data(), buffer.size()); });
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return FileError("Cannot read file", file, LastSystemError());
        if (n == 0) break;
        piece(std::string_view(buffer.data(), static_cast<size_t>(n)));
        given += static_cast<uint64_t>(n);
        if (given > limit) break;
    }
    return given;
}

// Every byte up to the end, or up to one byte more than limit; room for expected bytes is
// made at once, so that a large file is not copied as the text grows.
Expected<std::string> ReadToEnd(const FileDescriptor& fd, const std::filesystem::path& file,
                                uint64_t limit, uint64_t expected = 0) {
    std::string bytes;
    bytes.reserve(static_cast<size_t>(std::min(expected, limit) + 1));
    Expected<uint64_t> read =
        ReadPiecesToEnd(fd, file, limit, [&](std::string_view piece) { bytes.append(piece); });
    if (!read) return read.error();
    return bytes;
}

std::string SizeText(uint64_t bytes) {
    constexpr uint64_t kMiB = uint64_t(1) << 20;
    return bytes % kMiB == 0 ? std::to_string(bytes / kMiB) + " MiB"
                             : std::to_string(bytes) + " bytes";
}

// The codes of this program's own refusals of a file, in the system's terms.
#ifdef _WIN32
constexpr uint32_t kNotRegularFile = 1; // ERROR_INVALID_FUNCTION
constexpr uint32_t kFileTooLarge = 223; // ERROR_FILE_TOO_LARGE
constexpr uint32_t kFileIsFolder = 267; // ERROR_DIRECTORY
#else
constexpr uint32_t kNotRegularFile = EINVAL;
constexpr uint32_t kFileTooLarge = EFBIG;
constexpr uint32_t kFileIsFolder = EISDIR;
#endif

Error FileTooLarge(const std::filesystem::path& file, uint64_t maxBytes) {
    return FileError("Cannot read file", file,
                     {kFileTooLarge, "It is larger than " + SizeText(maxBytes) + "."});
}

} // namespace

Expected<std::string> ReadWholeFile(const std::filesystem::path& file) {
    Expected<FileDescriptor> fd = OpenFileDescriptor(file, O_RDONLY);
    if (!fd) return FileError("Cannot open file", file, fd.error());
    return ReadToEnd(*fd, file, UINT64_MAX);
}

namespace {

// The file open for reading, and its size, after the checks ReadRegularFile makes.
Expected<std::pair<FileDescriptor, uint64_t>> OpenRegularFile(const std::filesystem::path& file,
                                                              uint64_t maxBytes) {
#ifdef O_NONBLOCK
    // Opening a pipe would otherwise wait for a writer.
    Expected<FileDescriptor> fd = OpenFileDescriptor(file, O_RDONLY | O_NONBLOCK);
#else
    Expected<FileDescriptor> fd = OpenFileDescriptor(file, O_RDONLY);
#endif
    if (!fd) return FileError("Cannot open file", file, fd.error());
    struct stat status;
    if (SystemCall([&] { return ::fstat(fd->Get(), &status); }) != 0)
        return FileError("Cannot open file", file, LastSystemError());
    if (S_ISDIR(status.st_mode))
        return FileError("Cannot open file", file, SystemError(kFileIsFolder));
    if (!S_ISREG(status.st_mode))
        return FileError(
            "Cannot open file", file,
            {kNotRegularFile, "It is not a regular file but a device, a pipe or a socket."});
    if (static_cast<uint64_t>(status.st_size) > maxBytes) return FileTooLarge(file, maxBytes);
    return std::pair(std::move(*fd), static_cast<uint64_t>(status.st_size));
}

} // namespace

Expected<std::string> ReadRegularFile(const std::filesystem::path& file, uint64_t maxBytes) {
    Expected<std::pair<FileDescriptor, uint64_t>> opened = OpenRegularFile(file, maxBytes);
    if (!opened) return opened.error();
    // A file that grows while it is read is held to the same bound.
    Expected<std::string> bytes = ReadToEnd(opened->first, file, maxBytes, opened->second);
    if (bytes && bytes->size() > maxBytes) return FileTooLarge(file, maxBytes);
    return bytes;
}

Expected<void> ReadRegularFileInPieces(const std::filesystem::path& file, uint64_t maxBytes,
                                       const std::function<void(std::string_view)>& piece) {
    Expected<std::pair<FileDescriptor, uint64_t>> opened = OpenRegularFile(file, maxBytes);
    if (!opened) return opened.error();
    Expected<uint64_t> read = ReadPiecesToEnd(opened->first, file, maxBytes, piece);
    if (!read) return read.error();
    if (*read > maxBytes) return FileTooLarge(file, maxBytes);
    return {};
}

Expected<void> WriteWholeFile(const std::filesystem::path& file, std::string_view bytes) {
    Expected<FileDescriptor> fd = OpenFileDescriptor(file, O_WRONLY | O_CREAT | O_TRUNC);
    if (!fd) return FileError("Cannot create file", file, fd.error());
    if (Expected<void> written = WriteAll(*fd, bytes); !written)
        return FileError("Cannot write file", file, written.error());
    if (Expected<void> closed = fd->Close(); !closed)
        return FileError("Cannot write file", file, closed.error());
    return {};
}

Expected<void> ForceDirectories(const std::filesystem::path& folder) {
    if (folder.empty()) return {};
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error)
        return FileError("Cannot create folder", folder,
                         {static_cast<uint32_t>(error.value()), error.message()});
    return {};
}

} // namespace kestrune
